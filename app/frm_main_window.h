#pragma once
// frmMain on Qt Widgets: renders the window model and forwards every click
// to the handlers. It keeps no state of its own that a handler reads.

#include <QMainWindow>
#include <array>
#include <vector>

#include "app/frm_main.h"

class QButtonGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vellumar {

class FrmMainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit FrmMainWindow(FrmMain& logic, QWidget* parent = nullptr);
    ~FrmMainWindow() override;

    // Brings every widget in line with the model.
    void render();
    QFrame* page(Page page) const { return pages_[static_cast<size_t>(page)]; }

  private:
    void run(void (FrmMain::*handler)());
    void button(QPushButton* button, void (FrmMain::*handler)());
    QFrame* newPage(Page page, const char* name);
    void buildMenus();
    void buildPasswordPage();
    void buildSelectPage();
    void buildAboutPage();
    void buildResultPage();
    void renderList();
    void rowChecked(QTreeWidgetItem* item);

    FrmMain& logic_;
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

    uint64_t renderedFocus_ = 0;
    std::vector<ListRow> renderedRows_;
    uint32_t renderedColor_ = 0xFFFFFFFF;  // no colour yet
    bool rendering_ = false;
    bool renderQueued_ = false;
};

}  // namespace vellumar
