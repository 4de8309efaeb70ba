// The command line's lock and unlock, in process: each file that does not
// get there is named with its path and cause, then a summary; the exit
// status says whether every file got there; a cancel stops between files,
// or inside a large one, and keeps what was done.

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/password.h"
#include "cli/cli.h"
#include "engine/lists/list_file.h"
#include "engine/formats/large_file.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/media_volume.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "tests/app/memory_settings.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/uneditable_hidden_lists.h"

namespace vellumar::test {
namespace {

struct Ran {
    int status = -1;
    std::string err;
};

class CliFiles : public ::testing::Test {
  protected:
    CliFiles() { checkPassword(settings, "pw", "pw"); }

    // `cancelAfter`: the run is asked to stop once this many files were started.
    Ran run(std::vector<std::string> arguments, int cancelAfter = -1, bool errIsTerminal = false) {
        arguments.insert(arguments.begin(), "--password-stdin");
        std::istringstream in("pw\n");
        std::ostringstream out, err;
        Console console{in, out, err, false, errIsTerminal, {}, {}};
        int asked = 0;
        if (cancelAfter >= 0) console.cancelRequested = [&] { return asked++ >= cancelAfter; };
        Ran ran;
        ran.status = runCli(arguments, settings, console);
        ran.err = err.str();
        EXPECT_EQ(out.str(), "");
        return ran;
    }

    TempFolder temp;
    MemorySettings settings;
};

TEST_F(CliFiles, EachFileThatDoesNotGetThereIsNamedWithItsCause) {
    const std::string plain = temp.write("w/plain.txt", "plain");
    const std::string gone = temp / "w/gone.txt";
    const std::string own = applicationFile("files");
    appendListLines(own, {});  // refused by its name and place, so it must be there
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {"missing", {"lock", gone}, gone + ": no such file\nNot every file was done: 0 locked, 1 missing.\n"},
        {"not locked",
         {"unlock", plain},
         plain + ": refused: not locked\nNot every file was done: 0 unlocked, 1 refused.\n"},
        {"the program's own list",
         {"lock", own},
         own + ": refused: one of the program's own files (files)\n"
               "Not every file was done: 0 locked, 1 refused.\n"},
        {"a refusal among files done",
         {"lock", plain, gone},
         gone + ": no such file\nNot every file was done: 1 locked, 1 missing.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Ran ran = run(c.arguments);
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, c.err);
    }
    EXPECT_FALSE(fileExists(plain));
    EXPECT_TRUE(fileExists(lockedName(plain, ".VKL")));
}

#ifndef _WIN32
TEST_F(CliFiles, ALinkIsRefusedByName) {
    const std::string target = temp.write("w/target.txt", "target");
    const std::string link = temp / "w/link.txt";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const Ran ran = run({"lock", link});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, link + ": refused: a link, which is never followed\n"
                              "Not every file was done: 0 locked, 1 refused.\n");
    EXPECT_EQ(readFile(target), "target");
}

// Root writes into a read-only folder: for root the refusal is put in place.
class NoNewFileIn final : public ForwardingFileSystem {
  public:
    explicit NoNewFileIn(std::string folder) : folder_(std::move(folder)) {}
    IoError createNew(const std::string& p, FileHandle& out) override {
        return getFolderPart(p) == folder_ ? IoError::accessDenied : base().createNew(p, out);
    }

  private:
    const std::string folder_;
};

TEST_F(CliFiles, AFileInAReadOnlyFolderFailsWithThatCause) {
    const std::string file = temp.write("shut/report.doc", "report");
    ASSERT_EQ(::chmod((temp / "shut").c_str(), 0555), 0);
    NoNewFileIn refusing(temp / "shut" + kSeparator);
    Ran ran;
    {
        std::optional<FileSystemOverride> asRoot;
        if (::geteuid() == 0) asRoot.emplace(refusing);
        ran = run({"lock", file});
    }
    ::chmod((temp / "shut").c_str(), 0755);
    EXPECT_EQ(ran.status, 1);
    const std::string cause = onReadOnlyVolume(file) ? "the file system is read-only"
                                                     : "permission denied (its folder is read-only)";
    EXPECT_EQ(ran.err, file + ": " + cause + "\nNot every file was done: 0 locked, 1 failed.\n");
    EXPECT_EQ(readFile(file), "report");
    EXPECT_EQ(listTree(temp / "shut"), "report.doc\n");
}
#endif

// Files locked on a volume that cannot hide them: one line names the volume,
// and the run succeeds, for files and for a folder alike.
TEST_F(CliFiles, AVolumeThatCannotHideIsNamedOnceAndTheRunSucceeds) {
    const std::string a = temp.write("w/a.txt", "a");
    const std::string b = temp.write("w/b.txt", "b");
    const std::string folder = temp.makeFolder("f");
    temp.write("f/c.txt", "c");
    FileStatus status;
    ASSERT_EQ(platformFileSystem().status(a, status), IoError::ok);
    const std::string line = volumeName(a, status.volume) +
                             ": this file system cannot hide files: they are locked but visible\n";
    const struct {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"lock", a, b}, line + "File(s) Encrypted Successfully\n"},
        {{"lock-folder", folder}, line + "Encryption Completed Successfully\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        CannotHide cannotHide;
        Ran ran;
        {
            FileSystemOverride use(cannotHide);
            ran = run(c.arguments);
        }
        EXPECT_EQ(ran.status, 0);
        EXPECT_EQ(ran.err, c.err);
    }
    EXPECT_EQ(readFile(lockedName(b, ".VKL")).substr(0, kSecretMarker.size()), kSecretMarker);
}

// A listed locked file that the unlock run's list refresh cannot hide again
// is named with the cause, and the run does not end with success.
TEST_F(CliFiles, AListedFileLeftVisibleIsNamedAndFailsTheRun) {
    HidingRefused noHiding;
    const std::string locked = temp.write("locked.VKL", "[Secret]");
    const std::string plain = temp.write("plain.txt", "plain");
    ASSERT_EQ(run({"lock", plain}).status, 0);
    std::vector<std::string> listed;
    ASSERT_EQ(readListFile(applicationFile("files"), listed), IoError::ok);
    ASSERT_EQ(listed.size(), 1u);
    temp.write("home/files", listed[0] + "\r\n" + locked + "\r\n");
    Ran ran;
    {
        FileSystemOverride use(noHiding);
        ran = run({"unlock", listed[0]});
    }
    EXPECT_EQ(readFile(plain), "plain");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, locked + ": listed locked file, could not be hidden again: " +
                           describe(IoError::accessDenied) + "\nFile(s) Decrypted Successfully\n");
}

#ifndef _WIN32
// A folder's list of hidden names that cannot be edited is named by its own
// path with the cause, and the run does not end with success; the file is
// locked all the same (its attribute hides it) and the list stays as it was.
TEST_F(CliFiles, AListOfHiddenNamesThatCannotBeEditedIsNamedAndFailsTheRun) {
    int index = 0;
    for (const UneditableList& kind : kUneditableLists) {
        SCOPED_TRACE(kind.what);
        const std::string folder = "k" + std::to_string(index++);
        const std::string plain = temp.write(folder + "/a.txt", "a");
        kind.make(temp, folder);
        ListEditedMeanwhile editor;
        Ran ran;
        {
            std::optional<FileSystemOverride> edited;
            if (kind.editedMeanwhile) edited.emplace(editor);
            ran = run({"lock", plain});
        }
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, temp / (folder + "/.hidden") +
                               ": list of hidden names not updated: " + kind.cause +
                               "\nFile(s) Encrypted Successfully\n");
        EXPECT_TRUE(fileExists(lockedName(plain, ".VKL")));
        EXPECT_EQ(editor.edited, kind.editedMeanwhile);
    }
}
#endif

// What was done before the cancel is locked and listed for good; the rest
// stays plain and is counted as not tried, on one line however many.
TEST_F(CliFiles, ACancelStopsBetweenFilesAndKeepsWhatWasDone) {
    struct Case {
        int cancelAfter;
        int locked;
        std::string err;
        // The first file is large: it is asked inside it too, and stays as it was.
        bool firstLarge = false;
    } cases[] = {
        {1, 1,
         "2 files were not tried: the run was interrupted.\n"
         "Cancelled: 1 locked, 2 not tried.\n"},
        {2, 2,
         "1 file was not tried: the run was interrupted.\n"
         "Cancelled: 2 locked, 1 not tried.\n"},
        {1, 0,
         "3 files were not tried: the run was interrupted.\n"
         "Cancelled: 0 locked, 3 not tried.\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cancelAfter);
        SCOPED_TRACE(c.firstLarge ? "first file large" : "small files");
        TempFolder fresh;
        const std::string large(kLargeFileThreshold + 1, 'a');
        std::vector<std::string> files;
        for (const char* name : {"a", "b", "c"})
            files.push_back(fresh.write(name, files.empty() && c.firstLarge ? large : name));
        std::vector<std::string> arguments = {"lock"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        const Ran ran = run(arguments, c.cancelAfter);
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, c.err);
        std::string listed;
        for (int i = 0; i < 3; ++i) {
            const bool done = i < c.locked;
            EXPECT_EQ(fileExists(files[i]), !done) << files[i];
            if (done) listed += lockedName(files[i], ".VKL") + "\r\n";
        }
        // Nothing locked, no list written.
        EXPECT_EQ(readFile(applicationFile("files")), c.locked > 0 ? listed : "<missing>");
        if (c.firstLarge) {
            EXPECT_TRUE(readFile(files[0]) == large);
        }

        const std::vector<std::string> rest(files.begin() + c.locked, files.end());
        arguments = {"lock"};
        arguments.insert(arguments.end(), rest.begin(), rest.end());
        const Ran again = run(arguments);
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(again.err, "File(s) Encrypted Successfully\n");
    }
}

// A small locked file that cannot be unlocked ends the run, as in the
// window: the later files are counted, not named one by one.
TEST_F(CliFiles, AnUnlockEndedAtABadFileCountsTheFilesNotTried) {
    const std::string bad = temp.write("w/bad.txt.VKL", "[Secret]no header");
    std::vector<std::string> arguments = {"unlock", bad};
    for (const char* name : {"w/a.txt", "w/b.txt"}) {
        const std::string plain = temp.write(name, "x");
        ASSERT_EQ(run({"lock", plain}).status, 0);
        arguments.push_back(lockedName(plain, ".VKL"));
    }
    const Ran ran = run(arguments);
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, bad +
                           ": it was locked under another password, or is damaged\n"
                           "2 files were not tried: the run ended at an earlier file.\n"
                           "Not every file was done: 0 unlocked, 1 failed, 2 not tried.\n");
    EXPECT_TRUE(fileExists(arguments[2]));
    EXPECT_TRUE(fileExists(arguments[3]));
}

// A folder given to lock or unlock, which take files: the line names the
// folder command that takes it, where one does.
TEST_F(CliFiles, AFolderGivenToAFileCommandNamesTheFolderCommand) {
    const std::string plainFolder = temp.makeFolder("w/Plain");
    const std::string vault = temp / "w/Vault";
    temp.write("w/Vault/a.txt", "a");
    ASSERT_EQ(run({"lock-folder", vault}).status, 0);
    const std::string lockedVault = temp / ("w/" + lockedFolderName("Vault"));
    ASSERT_TRUE(fileExists(lockedVault));
    const std::string unlocksIt = " (tessarin-cli unlock-folder unlocks it)\n";
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
    } cases[] = {
        {{"lock", plainFolder},
         plainFolder + ": it is a folder, not a file (tessarin-cli lock-folder locks folders)\n"
                       "Not every file was done: 0 locked, 1 failed.\n"},
        {{"unlock", lockedVault},
         lockedVault + ": refused: a locked folder, not a file" + unlocksIt +
             "Not every file was done: 0 unlocked, 1 refused.\n"},
        // Its plain path, which the list names.
        {{"unlock", vault},
         vault + ": no such file, but a locked folder is listed by this path" + unlocksIt +
             "Not every file was done: 0 unlocked, 1 missing.\n"},
        // unlock-folder would not take a plain folder either.
        {{"unlock", plainFolder},
         plainFolder + ": refused: not locked\nNot every file was done: 0 unlocked, 1 refused.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        const Ran ran = run(c.arguments);
        EXPECT_EQ(ran.status, 1);
        EXPECT_EQ(ran.err, c.err);
    }
    EXPECT_EQ(listTree(plainFolder), "");
    EXPECT_TRUE(fileExists(lockedVault));
}

// What a terminal shows at the end: each line as the text after its last
// carriage return (a progress line is drawn over, then blanked out).
std::string settledLines(const std::string& text) {
    std::string settled;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const size_t cr = text.rfind('\r', end);
        const size_t from = cr == std::string::npos || cr < start ? start : cr + 1;
        settled.append(text, from, end + 1 - from);
    }
    return settled;
}

// On a terminal a run of more than a few files draws its progress on
// standard error, over one line, and blanks it out before it speaks; when
// standard error is a file or a pipe, nothing but the messages goes there.
TEST_F(CliFiles, ProgressIsDrawnOnATerminalOnly) {
    std::vector<std::string> plain, locked;
    for (int i = 0; i < 7; ++i) {
        plain.push_back(temp.write("w/f" + std::to_string(i), "x"));
        locked.push_back(lockedName(plain.back(), ".VKL"));
    }
    std::vector<std::string> arguments = {"lock"};
    arguments.insert(arguments.end(), plain.begin(), plain.end());
    const Ran drawn = run(arguments, -1, true);
    EXPECT_EQ(drawn.status, 0);
    EXPECT_TRUE(drawn.err.starts_with("\r[0/7] " + plain[0])) << drawn.err;
    EXPECT_EQ(settledLines(drawn.err), "File(s) Encrypted Successfully\n");
    EXPECT_TRUE(drawn.err.ends_with("\rFile(s) Encrypted Successfully\n")) << drawn.err;

    arguments = {"unlock"};
    arguments.insert(arguments.end(), locked.begin(), locked.end());
    const Ran plainText = run(arguments, -1, false);
    EXPECT_EQ(plainText.status, 0);
    EXPECT_EQ(plainText.err.find('\r'), std::string::npos) << plainText.err;
    EXPECT_EQ(settledLines(plainText.err), plainText.err);
    EXPECT_EQ(readFile(plain[6]), "x");
}

}  // namespace
}  // namespace vellumar::test
