#pragma once
// Everything the program's logic needs from a person or from the desktop.
// The Qt window, the command line and the tests each implement it, so the
// flows never know which front end they serve.

#include <cstdint>
#include <string>
#include <vector>

namespace vellumar {

// Message-box icons, by their codes.
enum class Icon : int { none = 0, critical = 16, exclamation = 48, information = 64 };

// The application title: the title of every message given no title of its own.
inline const std::string kApplicationTitle = "Vellumar";

class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows a message with one OK button and returns when it is closed.
    virtual void message(const std::string& text, Icon icon, const std::string& title) = 0;
    void message(const std::string& text, Icon icon) { message(text, icon, kApplicationTitle); }
    // Asks a question with Yes and No buttons (No the default); true for Yes.
    virtual bool ask(const std::string& /*text*/, Icon /*icon*/, const std::string& /*title*/) {
        return false;
    }

    // Asks for passwords in a small dialog, one field without echo for each
    // label; false when cancelled, else `answers` holds one text per label.
    virtual bool askPasswords(const std::string& /*title*/,
                              const std::vector<std::string>& /*labels*/,
                              std::vector<std::string>& /*answers*/) {
        return false;
    }

    // The open-file dialog: empty when cancelled; otherwise what the dialog
    // returns (one full path, or the folder followed by the names).
    virtual std::vector<std::string> pickFiles() { return {}; }
    // The folder-browse dialog: the chosen folder, or empty when cancelled.
    virtual std::string pickFolder() { return {}; }
    // Shows the encrypted-folders window modally.
    virtual void showEncryptedFolders() {}
    virtual void openAddress(const std::string& /*address*/) {}
    virtual void setBusy(bool /*busy*/) {}
    // Progress of a run: `done` of `total` files, the current file.
    virtual void progress(uint64_t /*done*/, uint64_t /*total*/, const std::string& /*current*/) {}
    // A file of the run was worked through (done or not): its size, for a rate.
    virtual void workedThrough(uint64_t /*bytes*/) {}
    // Lets the window repaint. Front ends throttle it; callers may call it often.
    virtual void yield() {}
    // Whether the person asked to stop the run. Asked between two files, and
    // every few MiB inside a long one: what was done stays done, the file
    // being worked on and the rest are left as they were.
    virtual bool cancelRequested() { return false; }
};

}  // namespace vellumar
