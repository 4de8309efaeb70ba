#pragma once
// The desktop port on Qt: message boxes, the open-file and folder dialogs,
// the default browser, the busy pointer and a throttled repaint.

#include <QElapsedTimer>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "engine/runs/desktop.h"
#include "app/window_model.h"

namespace vellumar {

// Byte texts (paths, names, messages) as the OS shows them.
QString displayText(const std::string& bytes);

// The square application icon, the window icon of every window and dialog
// (the tall picture of the main window's strip would be squeezed into it).
QIcon applicationIcon();

class QtDesktop : public Desktop {
  public:
    QtDesktop();
    // The window that dialogs belong to.
    void setWindow(QWidget* window) { window_ = window; }
    // The main window's model, which the encrypted-folders window prepares.
    void setModel(WindowModel* model) { model_ = model; }

    using Desktop::message;
    void message(const std::string& text, Icon icon, const std::string& title) override;
    bool ask(const std::string& text, Icon icon, const std::string& title) override;
    bool askPasswords(const std::string& title, const std::vector<std::string>& labels,
                      std::vector<std::string>& typed) override;
    std::vector<std::string> pickFiles() override;
    std::string pickFolder() override;
    void showEncryptedFolders() override;
    void openAddress(const std::string& address) override;
    void setBusy(bool busy) override;
    void progress(uint64_t done, uint64_t total, const std::string& current) override;
    void yield() override;
    bool cancelRequested() override;

    // Where a run's progress is shown (the main window's progress line).
    std::function<void(uint64_t done, uint64_t total, const std::string& current)> progressView;

  private:
    QPointer<QWidget> window_;
    WindowModel* model_ = nullptr;
    // Test hook: when TESSARIN_MESSAGE_LOG names a file, messages are
    // appended there ("icon<TAB>title<TAB>text" per line) instead of shown,
    // so a run without a person at the screen never waits on a box; a
    // question is logged too and answered by TESSARIN_ANSWER ("yes": Yes).
    QString messageLog_;
    QElapsedTimer sinceYield_;
    int busyDepth_ = 0;
};

}  // namespace vellumar
