// How the window and its dialogs look, offscreen: the target list's colours on
// a light and a dark palette, the window icon, dialogs that grow with their
// lists, and no link to a web page the build has no address for.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "app/encrypted_folders_dialog.h"
#include "app/find_locked_items_dialog.h"
#include "app/main_window.h"
#include "app/qt_desktop.h"
#include "app/web_pages.h"
#include "tests/app/memory_settings.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

// The application's palette and the build's web pages come back after each test.
class Look : public ::testing::Test {
  protected:
    void TearDown() override {
        QApplication::setPalette(QPalette());
        vendorPages() = built_;
    }

    TempFolder temp;

  private:
    VendorPages built_ = vendorPages();
};

// The main window, with a scripted desktop that expects no dialog at all.
struct Window {
    WindowModel model;
    ScriptedDesktop desktop;
    MemorySettings settings;
    MainWindowHandlers logic{model, desktop, settings};
    MainWindow window{logic};

    Window() {
        window.show();
        model.bringToFront(Page::fraResult);
        ListRow row;
        row.text = row.path = "/data/notes.txt";
        row.typeText = "TXT file";
        row.sizeText = "5 bytes";
        model.targetList = {row, row};
        model.targetList[1].text = model.targetList[1].path = "/data/report.doc";
        window.render();
    }
    QTreeWidget* list() { return window.findChild<QTreeWidget*>(QStringLiteral("ListFiles")); }
};

// An address left empty in the build hides what would open it.
TEST_F(Look, OnlyPagesWithAnAddressAreOffered) {
    struct Case {
        VendorPages pages;
        bool visit, contact;
    } cases[] = {
        {{"", "", ""}, false, false},
        {{"https://home.test/", "", ""}, true, false},
        {{"", "https://home.test/contact", ""}, false, true},
    };
    for (const Case& c : cases) {
        vendorPages() = c.pages;
        Window shown;
        QWidget* about = shown.window.page(Page::fraAbout);
        auto visible = [&](const char* name) {
            return shown.window.findChild<QPushButton*>(QLatin1String(name))->isVisibleTo(about);
        };
        EXPECT_EQ(shown.window.findChild<QAction*>(QStringLiteral("mnuVisit"))->isVisible(),
                  c.visit);
        EXPECT_EQ(visible("Label5"), c.visit);
        EXPECT_EQ(visible("Label6"), c.contact);
        // The help page is offered whatever the build: it ships with the program.
        EXPECT_TRUE(shown.window.findChild<QAction*>(QStringLiteral("mnuOnline"))->isVisible());
    }
}

}  // namespace
}  // namespace vellumar::test
