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
#include "app/target_list_view.h"
#include "app/web_pages.h"
#include "tests/app/memory_settings.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

QPalette darkPalette() {
    QPalette dark;
    const QColor window(0x35, 0x35, 0x35), light(0xee, 0xee, 0xee);
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        dark.setColor(role, window);
    for (auto role :
         {QPalette::WindowText, QPalette::ButtonText, QPalette::Text, QPalette::HighlightedText})
        dark.setColor(role, light);
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xf0));
    return dark;
}

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
        model.wizard.passGate();
        model.wizard.openTargetPage(Option::OptEncFiles);
        ListRow row;
        row.text = row.path = "/data/notes.txt";
        row.typeText = "TXT file";
        row.sizeText = "5 bytes";
        model.targetList = {row, row};
        model.targetList[1].text = model.targetList[1].path = "/data/report.doc";
        window.render();
    }
    QTreeWidget* list() { return window.findChild<QTreeWidget*>(QStringLiteral("ListFiles")); }
    // What the empty part of the list is painted with.
    QColor background() {
        const QImage shot = list()->viewport()->grab().toImage();
        return shot.pixelColor(shot.width() - 4, shot.height() - 4);
    }
    // The colour that stands out most from `behind` within a widget.
    QColor strongest(QWidget* widget, const QColor& behind) {
        const QImage shot =
            window.grab(QRect(widget->mapTo(&window, QPoint()), widget->size())).toImage();
        QColor best = behind;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (contrastRatio(shot.pixelColor(x, y), behind) > contrastRatio(best, behind))
                    best = shot.pixelColor(x, y);
        return best;
    }
    void screenshot(const QString& name) {
        QDir().mkpath(QStringLiteral(VELLUMAR_SCREENSHOT_DIR));
        EXPECT_TRUE(
            window.grab().save(QStringLiteral(VELLUMAR_SCREENSHOT_DIR "/") + name + ".png"));
    }
};

bool clearlyGreen(const QColor& colour) {
    return colour.green() - std::max(colour.red(), colour.blue()) >= 40;
}

TEST_F(Look, TheTargetListReadsWellOnALightAndADarkPalette) {
    vendorPages() = {"https://home.test/", "https://home.test/contact", ""};
    struct Case {
        const char* name;
        QPalette palette;
    } cases[] = {{"light", QApplication::style()->standardPalette()}, {"dark", darkPalette()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setPalette(c.palette);
        const QColor base = c.palette.color(QPalette::Base), text = c.palette.color(QPalette::Text);
        Window shown;
        EXPECT_EQ(shown.background(), base);
        EXPECT_EQ(shown.list()->palette().color(QPalette::Text), text);
        if (c.name == std::string("dark")) shown.screenshot(QStringLiteral("dark-palette"));

        // The green folder: told apart from Base, and the text still stands out.
        shown.model.targetListColor = kGreen;
        shown.window.render();
        const QColor green = shown.background();
        EXPECT_TRUE(clearlyGreen(green)) << green.name().toStdString();
        EXPECT_GE(contrastRatio(green, text), 4.5) << green.name().toStdString();
        if (c.name == std::string("dark")) shown.screenshot(QStringLiteral("dark-palette-green"));

        // The About page's links stand out from the page as well.
        EXPECT_EQ(shown.model.wizard.showAbout(), Refused::none);
        shown.window.render();
        const QColor page = c.palette.color(QPalette::Window);
        for (const char* link : {"Label5", "Label6"}) {
            auto* label = shown.window.findChild<QPushButton*>(QLatin1String(link));
            EXPECT_GE(contrastRatio(shown.strongest(label, page), page), 4.5) << link;
        }
        if (c.name == std::string("dark")) shown.screenshot(QStringLiteral("dark-palette-about"));
    }

    // The desktop switches from a light theme to a dark one: the green follows.
    QApplication::setPalette(QApplication::style()->standardPalette());
    Window switched;
    switched.model.targetListColor = kGreen;
    switched.window.render();
    QApplication::setPalette(darkPalette());
    QCoreApplication::processEvents();  // where the new palette reaches the widgets
    const QColor green = switched.background();
    EXPECT_TRUE(clearlyGreen(green)) << green.name().toStdString();
    EXPECT_GE(contrastRatio(green, darkPalette().color(QPalette::Text)), 4.5)
        << green.name().toStdString();
}

TEST(GreenBase, KeepsTheTextReadableOnAnyBase) {
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    // Base and Text of a palette, a mid-grey one included.
    const std::pair<QColor, QColor> palettes[] = {
        {Qt::white, Qt::black},
        {QColor(0x24, 0x24, 0x24), QColor(0xee, 0xee, 0xee)},
        {QColor(0x80, 0x80, 0x80), Qt::black},
        {QColor(0x80, 0x80, 0x80), Qt::white},
    };
    for (const auto& [base, text] : palettes) {
        const QColor green = greenBase(base, text);
        EXPECT_TRUE(clearlyGreen(green)) << base.name().toStdString();
        EXPECT_GE(contrastRatio(green, text), 4.5) << base.name().toStdString();
    }
}

// Every window's icon is the square application icon, not the tall picture
// of the main window's strip.
TEST_F(Look, EveryWindowShowsTheSquareIcon) {
    qunsetenv("TESSARIN_MESSAGE_LOG");
    Window main;
    QtDesktop desktop;
    desktop.setWindow(&main.window);
    desktop.setModel(&main.model);
    // The icon of the modal window `open` shows, read while it is open.
    auto modalIcon = [](const std::function<void()>& open) {
        auto icon = std::make_shared<QIcon>();
        QTimer::singleShot(0, [icon] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            *icon = modal->windowIcon();
            qobject_cast<QDialog*>(modal)->reject();
        });
        open();
        return *icon;
    };
    const QImage square = QIcon(QStringLiteral(":/artwork/icon.svg")).pixmap(64, 64).toImage();
    ASSERT_EQ(square.size(), QSize(64, 64));
    struct Case {
        const char* window;
        std::function<QIcon()> icon;
    } cases[] = {
        {"main window", [&] { return main.window.windowIcon(); }},
        {"encrypted folders",
         [&] { return EncryptedFoldersDialog(main.model, desktop, &main.window).windowIcon(); }},
        {"find locked items",
         [&] { return FindLockedItemsDialog(desktop, &main.window).windowIcon(); }},
        {"passwords",
         [&] {
             return modalIcon([&] {
                 std::vector<std::string> typed;
                 desktop.askPasswords("Change Password", {"Old"}, typed);
             });
         }},
        {"message", [&] { return modalIcon([&] { desktop.message("Done", Icon::none, "T"); }); }},
        {"open files", [&] { return modalIcon([&] { desktop.pickFiles(); }); }},
    };
    for (const Case& c : cases) {
        const QImage shown = c.icon().pixmap(64, 64).toImage();
        EXPECT_EQ(shown.size(), QSize(64, 64)) << c.window;
        EXPECT_TRUE(shown == square) << c.window;
    }
}

// The two dialogs with a list: dragging their corner gives the list the room.
TEST_F(Look, TheDialogsGrowTheirLists) {
    WindowModel model;
    ScriptedDesktop desktop;
    struct Case {
        const char* list;
        std::function<std::unique_ptr<QDialog>()> make;
    } cases[] = {
        {"lstDecrypt", [&] { return std::make_unique<EncryptedFoldersDialog>(model, desktop); }},
        {"lstFound", [&] { return std::make_unique<FindLockedItemsDialog>(desktop); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::unique_ptr<QDialog> dialog = c.make();
        dialog->show();
        auto* list = dialog->findChild<QTreeWidget*>(QLatin1String(c.list));
        ASSERT_NE(list, nullptr);
        const QSize before = list->size();
        dialog->resize(dialog->size() + QSize(200, 150));
        EXPECT_EQ(list->size(), before + QSize(200, 150));

        // As small as it goes: a few rows of the list and every button whole.
        dialog->resize(1, 1);
        EXPECT_EQ(dialog->size(), dialog->minimumSize());
        EXPECT_GE(dialog->minimumWidth(), 300);
        EXPECT_GE(list->height(), 4 * list->fontMetrics().height());
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            EXPECT_GE(button->width(), button->sizeHint().width())
                << button->objectName().toStdString();
            EXPECT_TRUE(dialog->rect().contains(button->geometry()))
                << button->objectName().toStdString();
        }
    }
}

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
