// "Find Locked Items..." offscreen: the File menu opens it; it finds what a
// lost list no longer names, shows each item once, restores the lists and
// unlocks everything, with a picture of what it shows.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/find_locked_items_dialog.h"
#include "app/main_window.h"
#include "app/qt_desktop.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/platform/paths.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_lock.h"
#include "folders/folder_lists.h"
#include "folders/folder_operations.h"
#include "locking/file_operations.h"
#include "locking/sealing_keys.h"
#include "tests/app/memory_settings.h"
#include "tests/support/scripted_desktop.h"
#include "tests/support/temp_folder.h"

namespace vellumar::test {
namespace {

// Its Unlock all changes files and records: it opens only past the gate.
TEST(FindLockedItems, TheFileMenuOpensItOnceThePasswordIsGiven) {
    TempFolder temp;
    WindowModel model;
    QtDesktop desktop;
    MemorySettings settings;
    MainWindowHandlers logic{model, desktop, settings};
    MainWindow window{logic};
    window.show();
    auto* action = window.findChild<QAction*>(QStringLiteral("mnuFindLocked"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("&Find Locked Items..."));
    for (const bool gatePassed : {false, true}) {
        SCOPED_TRACE(gatePassed ? "past the gate" : "before the gate");
        if (gatePassed) {
            model.txtPassword = model.txtConfirm = "secret";
            logic.cmdPassword_Click();
            ASSERT_TRUE(model.wizard.gatePassed());
        }
        QString opened;
        QTimer::singleShot(0, [&opened] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = dialog->objectName() + QStringLiteral(" ") + dialog->windowTitle();
                dialog->reject();
            }
        });
        action->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(opened,
                  gatePassed ? QStringLiteral("frmFindLocked Find Locked Items") : QString());
    }
}

TEST(FindLockedItems, FindsRelistsAndUnlocksWhatTheListsLost) {
    TempFolder temp;
    ScriptedDesktop desktop;
    temp.write("W/T/a.txt", "alpha");
    temp.write("W/T/sub/b.txt", "beta");
    temp.write("W/x.txt", "x-ray");
    const std::string w = temp / "W";
    ASSERT_TRUE(lockFolder(temp / "W/T", LockFolderOptions{}, desktop).folderDone);
    ASSERT_TRUE(lockFiles({temp / "W/x.txt"}, LockOptions{}, nullptr, desktop).complete());
    shellDelete(applicationFile(kFoldersList));

    FindLockedItemsDialog dialog(desktop);
    dialog.show();
    auto click = [&dialog](const char* name) {
        auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isEnabled()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    };
    auto rows = [&dialog] {
        QStringList all;
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("lstFound"));
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < 4; ++c) cells << list->topLevelItem(i)->text(c);
            all << cells.join(QStringLiteral(" | "));
        }
        return all;
    };
    const QString where = QString::fromStdString(w + "/");
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("cmdUnlockAll"))->isEnabled());

    desktop.folderAnswers = {w};
    click("cmdChoose");
    EXPECT_EQ(rows(), (QStringList{"T | Locked folder, 2 locked files | " + where + " | No",
                                   "x.txt | Locked file | " + where + " | "}));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblProgress"))->text(),
              QStringLiteral("1 locked folders and 3 locked files found."));
    QDir().mkpath(QStringLiteral(VELLUMAR_SCREENSHOT_DIR));
    EXPECT_TRUE(
        dialog.grab().save(QStringLiteral(VELLUMAR_SCREENSHOT_DIR "/find_locked_items.png")));

    click("cmdRelist");
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"1 folders were added to the list of encrypted folders and 1 files to the "
                     "list of locked files.",
                     Icon::information, kApplicationTitle}));
    EXPECT_EQ(rows().first(), "T | Locked folder, 2 locked files | " + where + " | Yes");

    click("cmdUnlockAll");
    EXPECT_EQ(desktop.messages.back(),
              (Shown{"1 of 1 folders and 1 of 1 loose files were unlocked.", Icon::information,
                     kApplicationTitle}));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(readFile(temp / "W/T/sub/b.txt"), "beta");
    EXPECT_EQ(readFile(temp / "W/x.txt"), "x-ray");
    std::vector<std::string> records;
    EXPECT_EQ(readFolderRecords(records), IoError::ok);
    EXPECT_TRUE(records.empty());
}

// Unlock all opens a sealed file with the keys the window holds; without
// them it stays sealed and is listed again.
TEST(FindLockedItems, UnlockAllOpensASealedFileWithTheWindowsKeys) {
    SealingKeys keys;
    keys.add(AgeIdentity::generate());
    struct Case {
        const SealingKeys* keys;
        const char* said;
        bool opened;
    };
    for (const Case& c :
         {Case{nullptr,
               "0 of 0 folders and 0 of 1 loose files were unlocked.\nWhat is "
               "left is listed again; tessarin-cli rescue names each cause.",
               false},
          Case{&keys, "0 of 0 folders and 1 of 1 loose files were unlocked.", true}}) {
        SCOPED_TRACE(c.said);
        TempFolder temp;
        ScriptedDesktop desktop;
        const std::string plain = temp.write("W/notes.txt", "dear diary");
        ASSERT_TRUE(lockSealedFile(plain, keys.recipient(), desktop).done());
        FindLockedItemsDialog dialog(desktop, nullptr, c.keys);
        dialog.show();
        desktop.folderAnswers = {temp / "W"};
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdChoose")),
                          Qt::LeftButton);
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("lstFound"));
        ASSERT_EQ(list->topLevelItemCount(), 1);
        EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Sealed file"));

        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdUnlockAll")),
                          Qt::LeftButton);
        EXPECT_EQ(
            desktop.messages.back(),
            (Shown{c.said, c.opened ? Icon::information : Icon::exclamation, kApplicationTitle}));
        EXPECT_EQ(fileExists(plain), c.opened);
        if (c.opened) {
            EXPECT_EQ(readFile(plain), "dear diary");
        }
        EXPECT_EQ(list->topLevelItemCount(), c.opened ? 0 : 1);
    }
}

// Cancel is the one button a scan leaves enabled; the walk stops at the
// next folder and says so.
TEST(FindLockedItems, CancelStopsTheScan) {
    TempFolder temp;
    ScriptedDesktop desktop;
    for (const char* file : {"W/a/1.txt", "W/b/2.txt", "W/c/3.txt"}) temp.write(file, "x");
    FindLockedItemsDialog dialog(desktop);
    dialog.show();
    bool cancelEnabled = false;
    QTimer::singleShot(0, [&] {
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"));
        cancelEnabled = cancel->isEnabled() &&
                        !dialog.findChild<QPushButton*>(QStringLiteral("cmdClose"))->isEnabled();
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    desktop.folderAnswers = {temp / "W"};
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdChoose")), Qt::LeftButton);
    EXPECT_TRUE(cancelEnabled);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblProgress"))->text(),
              QStringLiteral("Cancelled. 0 locked folders and 0 locked files found."));
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->isEnabled());
}

}  // namespace
}  // namespace vellumar::test
