#pragma once
// frmMain on Qt Widgets: renders the window model and forwards every click
// to the handlers. It keeps no state of its own that a handler reads.

#include <QMainWindow>
#include <QRect>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/main_window_handlers.h"
#include "app/open_paths.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vellumar {

class PathOpener;
class TargetListView;

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
    // Where paths from outside (command line, later starts, drops) go.
    void setPathOpener(PathOpener* opener) { opener_ = opener; }
    // A later start's request: the window comes to the front, and its paths
    // are opened as soon as no handler or run is busy.
    void receiveOpenRequest(const OpenRequest& request);

  protected:
    // While a handler runs, clicks and keys aimed at this window are dropped.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window during a run asks whether to cancel the run.
    void closeEvent(QCloseEvent* event) override;

  private:
    void run(void (MainWindowHandlers::*handler)());
    void run(const std::function<void()>& handler);
    // Runs the handler once no other one runs.
    void whenIdle(const std::function<void()>& handler);
    bool keyPressed(QWidget* widget, QEvent* event);
    // An option button's Alt letter; true when the event was one.
    bool optionShortcut(QWidget* widget);
    bool dragged(QWidget* widget, QEvent* event);
    // Keeps each widget's place relative to the edges it is anchored to.
    void anchor(QWidget* widget, int edges);
    void layOut();
    void focusTopPage();
    void button(QPushButton* button, void (MainWindowHandlers::*handler)());
    QFrame* newPage(Page page, const char* name);
    void buildMenus();
    void buildPasswordPage();
    void buildSelectPage();
    void buildAboutPage();
    void buildResultPage();
    void renderList();
    bool askToCancelRun();

    struct Anchored {
        QWidget* widget;
        QRect design;
        int edges;
    };

    MainWindowHandlers& logic_;
    PathOpener* opener_ = nullptr;
    std::vector<Anchored> anchored_;
    WindowModel& model_;
    std::array<QFrame*, 4> pages_{};
    QLineEdit* txtPassword_ = nullptr;
    QLineEdit* txtConfirm_ = nullptr;
    QLabel* lblConfirm_ = nullptr;
    QPushButton* cmdPassword_ = nullptr;
    QButtonGroup* options_ = nullptr;
    std::array<QRadioButton*, 4> optionButtons_{};
    QPushButton* cmdNext_ = nullptr;
    QLabel* Label3_ = nullptr;
    TargetListView* ListFiles_ = nullptr;
    QPushButton* cmdEncDec_ = nullptr;
    QFrame* progressLine_ = nullptr;
    QProgressBar* prgRun_ = nullptr;
    QLabel* lblRunFile_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QCheckBox* chkSeal_ = nullptr;
    // The records of "folders" as the target list was last drawn.
    std::vector<std::string> folderRecords_;

    uint64_t renderedFocus_ = 0;
    Page renderedTop_ = Page::fraPassword;
    std::vector<ListRow> renderedRows_;
    std::optional<ListRow> renderedFolder_;
    uint32_t renderedColor_ = 0xFFFFFFFF;  // no colour yet
    bool rendering_ = false;
    bool renderQueued_ = false;
    bool handlerRunning_ = false;
    bool closeAfterRun_ = false;
    bool askingToCancel_ = false;
};

}  // namespace vellumar
