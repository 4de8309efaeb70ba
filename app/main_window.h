#pragma once
// frmMain on Qt Widgets: renders the window model and forwards every click
// to the handlers. It keeps no state of its own that a handler reads.

#include <QMainWindow>
#include <array>
#include <vector>

#include "app/main_window_handlers.h"

class QButtonGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vellumar {

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(MainWindowHandlers& logic, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Brings every widget in line with the model.
    void render();
    QFrame* page(Page page) const { return pages_[static_cast<size_t>(page)]; }
    // The progress line of a run on the target page: files done of files to
    // do and the current file; hidden once done reaches total.
    void showProgress(uint64_t done, uint64_t total, const std::string& current);

  protected:
    // While a handler runs, clicks and keys aimed at this window are dropped.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window during a run asks whether to cancel the run.
    void closeEvent(QCloseEvent* event) override;

  private:
    void run(void (MainWindowHandlers::*handler)());
    void button(QPushButton* button, void (MainWindowHandlers::*handler)());
    QFrame* newPage(Page page, const char* name);
    void buildMenus();
    void buildPasswordPage();
    void buildSelectPage();
    void buildAboutPage();
    void buildResultPage();
    void renderList();
    bool askToCancelRun();

    MainWindowHandlers& logic_;
    WindowModel& model_;
    std::array<QFrame*, 4> pages_{};
    QLineEdit* txtPassword_ = nullptr;
    QLineEdit* txtConfirm_ = nullptr;
    QButtonGroup* options_ = nullptr;
    std::array<QRadioButton*, 4> optionButtons_{};
    QPushButton* cmdNext_ = nullptr;
    QLabel* Label3_ = nullptr;
    QTreeWidget* ListFiles_ = nullptr;
    QPushButton* cmdEncDec_ = nullptr;
    QFrame* progressLine_ = nullptr;
    QProgressBar* prgRun_ = nullptr;
    QLabel* lblRunFile_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    // The records of "folders" as the target list was last drawn.
    std::vector<std::string> folderRecords_;

    uint64_t renderedFocus_ = 0;
    std::vector<ListRow> renderedRows_;
    uint32_t renderedColor_ = 0xFFFFFFFF;  // no colour yet
    bool rendering_ = false;
    bool renderQueued_ = false;
    bool handlerRunning_ = false;
    bool closeAfterRun_ = false;
    bool askingToCancel_ = false;
};

}  // namespace vellumar
