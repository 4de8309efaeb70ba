#pragma once
// The main window's state as plain data. The handlers of every layer change
// it; the Qt window only renders it and forwards clicks, so the whole
// behaviour can be driven and checked without a display.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/wizard_state.h"
#include "locking/sealing_keys.h"

namespace vellumar {

enum class Field { none, txtPassword, txtConfirm };

// One row of a list view: what it shows and which path it stands for. Texts
// and paths are the OS's own bytes; only the window decodes them for display.
struct ListRow {
    std::string text;
    std::string key;
    std::string path;
    bool checked = false;  // read in the encrypted-folders window only
    std::string typeText;
    std::string sizeText;
    std::string imageKey;  // "lock" for a locked file, else empty

    bool operator==(const ListRow&) const = default;
};

// A folder that a search could not enter, and why (a short cause).
struct SkippedFolder {
    std::string path;
    std::string cause;

    bool operator==(const SkippedFolder&) const = default;
};

// Background colours of the target list, as 0xRRGGBB.
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGreen = 0x00FF00;

// The target page's words for its operation: the prompt above the list and
// the run button's caption.
std::string targetPrompt(Option operation);
std::string runButtonCaption(Option operation);

struct WindowModel {
    // Page, operation, gate and run: changed only by its transitions.
    WizardState wizard;
    Page topPage() const { return wizard.page(); }
    Option operation() const { return wizard.operation(); }

    // Password page.
    std::string txtPassword;
    std::string txtConfirm;
    // The field a handler last put the focus in; focusRequests counts the
    // requests so the window moves the focus only when asked again.
    Field focus = Field::none;
    uint64_t focusRequests = 0;
    void setFocus(Field field);
    // The key file is being opened with the typed password: OK is disabled.
    bool passwordChecking = false;

    // The confirmation field: shown only while the password is being set.
    bool confirmVisible = true;

    // Target page. The folder flows enable the run button once their folder
    // is ready; the run is refused all the same while nothing is.
    bool runButtonEnabled = false;
    // A folder run needs the folder in hand, a file run a listed file.
    bool readyToRun() const;
    std::vector<ListRow> targetList;
    uint32_t targetListColor = kWhite;
    // "Seal with the password (strong encryption)": shown on the target pages
    // of "Encrypt File(s)" and "Encrypt a Folder".
    bool sealVisible = false;
    bool sealChecked = false;
    // Once the gate passed: the password, and the identity when sealing is on.
    SealingKeys sessionKeys;

    // The hidden search controls: their results and the two progress labels.
    std::vector<ListRow> foundFiles;
    // Folders the search found but could not enter: their files are not in
    // foundFiles, so a run over them cannot be complete.
    std::vector<SkippedFolder> skippedFolders;
    std::string searchFolderText;
    // Files the searches found; runs on from one search to the next.
    uint64_t searchCount = 0;
    // The hidden file box's folder. Pointing it at another folder runs
    // fileBoxPathChanged (the rebuild of the target list); pointing it at the
    // folder it already shows changes nothing.
    std::string filFilesPath;
    std::function<void()> fileBoxPathChanged;
    void setFileBoxPath(const std::string& path);
    // The hidden drive list and directory list: the drive, the current
    // folder, the full paths of its subfolders by name, and the selected
    // entry (-1: none, which stands for the current folder itself).
    std::string drvListDrive;
    std::string dirListPath;
    std::vector<std::string> dirListEntries;
    int dirListIndex = -1;

    // Folder state shared by the folder flows; the two Windows folders are
    // read once at start-up.
    std::string ParentPath;
    std::string FolderName;
    std::string PlainFolderPath;
    std::string WindowsSystemDir;
    std::string WindowsDir;

    // Set by the person (Cancel, or closing the window) during a run; the
    // run stops before its next file. Each run starts with it cleared.
    bool cancelRequested = false;

    // Bumped by changed(); the window re-renders when it moves.
    uint64_t revision = 0;
    std::function<void()> onChanged;
    void changed();
};

}  // namespace vellumar
