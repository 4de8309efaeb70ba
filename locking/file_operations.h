#pragma once
// Locking and unlocking a list of files: the operations beneath the window's
// run button and the command line's lock and unlock. They take paths,
// options, the write batch and the desktop port (progress, yield and a
// cancel request) and return what happened to every file as values. They
// show no message: each front end words the result in its own way.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/sealing/age_keys.h"
#include "engine/runs/desktop.h"
#include "engine/runs/file_result.h"
#include "engine/lists/hidden_list.h"

namespace vellumar {

class WriteBatch;
struct SealingKeys;

enum class ItemStatus {
    done,      // locked, or unlocked (also: finished from an interrupted run's leftovers)
    refused,   // a rule kept it as it is (see Refusal); nothing was changed
    failed,    // tried, and it did not get there; it stands as it was. Or, read back
               // after a lock, its locked file is not as the run claims (see
               // FileProblem::lockedFileGone and notKeptHidden)
    missing,   // not there any more: passed over
    repeated,  // the same file as an earlier path of the run: passed over
    notTried,  // the run ended (cancelled, or stopped early) before its turn
};

// The rule that refused a file.
enum class Refusal {
    none,
    ownFile,     // one of the program's own files (executable, list files, ".hidden")
    systemFile,  // system attribute, or a device or pipe
    link,        // a symbolic link: never followed
    hardLink,    // more than one name: its content would stay readable
    temporary,   // a temporary file of this program
    lineBreak,   // a line break in its path, which the list of locked files cannot hold
    notRegular,  // unlock: not a regular file
    notLocked,   // unlock: does not begin with the locked marker
    notSealed,   // unlock with a recovery key alone: not a sealed file
    caseTwin,    // its locked name would differ only in case from a name of its folder
};

struct ItemResult {
    std::string path;
    ItemStatus status = ItemStatus::notTried;
    Refusal refusal = Refusal::none;
    // failed: what went wrong (the problem, the OS error and the path it concerns).
    FileResult file;
    // The index of the path after which this result was known: its own, or,
    // for a file that failed when its batch was committed, the later path
    // after which that commit ran (the number of paths for the run's last
    // commit). Front ends that speak during a run in order (the window) keep
    // that order with it.
    size_t decidedAfter = 0;
    // Results known after the same path keep the order in which they were
    // known by this rank (a commit fails files in its own order).
    size_t decidedRank = 0;
    // failed at the commit of a write batch, after the engine had done its
    // part; `unwritten` when the new file could not even be written there.
    bool atCommit = false;
    bool unwritten = false;
    // Handed to the large format (".VKW") rather than the small one.
    bool large = false;
    // repeated: whether the earlier path's file was done (locked, or tried and not).
    bool earlierDone = false;
    // refused as ownFile: the name the file is known by ("files", the executable...).
    std::string ownName;
    // refused as caseTwin: the name of its folder that Windows would take
    // for its locked name.
    std::string caseTwin;
    // done, but its folder's ".hidden" could not list the locked name (or,
    // unlocked, still lists it): Linux file managers go by that list, so
    // they show it (or hide it); its attribute is set as it should be. It
    // names the list and why.
    HiddenListResult hiddenList;
};

struct RunReport {
    std::vector<ItemResult> items;  // one per path, in the order given
    // Unlock only: a small locked file that could not be unlocked ended the
    // run, as the window always did; the later paths were not tried.
    bool endedEarly = false;
    // A cancel request stopped the run between two files. What was done is
    // done and durable; the rest is as it was (notTried).
    bool cancelled = false;

    // endedEarly: the index of the path after which the run ended, or the
    // number of paths when it ended at its last commit.
    size_t endedAfter = 0;
    // pruneFilesList: listed locked files that could not be hidden again,
    // each with the OS error; they can be seen in their folders.
    std::vector<FileResult> leftVisible;
    // Lock only: the volumes (their mount points) on which this run locked
    // a file that their file system cannot mark hidden, each once. Those
    // files are locked, but anybody sees them.
    std::vector<std::string> cannotHide;

    size_t count(ItemStatus status) const;
    // Every path done (a repeated path counts as its earlier one).
    bool complete() const;
};

struct LockOptions {
    // "Encrypt File(s)": each locked file is added to the list "files"
    // before its plain file goes.
    bool recordInFilesList = false;
    // Sealing: every file becomes a sealed file (".VKS") for this
    // recipient, whatever its size. Null: the compatible formats.
    const AgeRecipient* sealFor = nullptr;
};

struct UnlockOptions {
    // After the run, lines of "files" whose file is no longer locked are dropped.
    bool pruneFilesList = false;
    // What sealed files are opened with; null or empty: they fail as noIdentity.
    const SealingKeys* keys = nullptr;
    // With a recovery key and no password: only sealed files are unlocked,
    // the others are refused as notSealed.
    bool sealedOnly = false;
};

// `batch` may be null: every file is then committed on its own. Whatever
// the batch holds is committed before they return.
RunReport lockFiles(const std::vector<std::string>& paths, const LockOptions& options,
                    WriteBatch* batch, Desktop& desktop);
RunReport unlockFiles(const std::vector<std::string>& paths, const UnlockOptions& options,
                      WriteBatch* batch, Desktop& desktop);

}  // namespace vellumar
