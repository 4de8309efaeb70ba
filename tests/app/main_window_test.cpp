// The real window, offscreen: one whole walk through the wizard with clicks
// and keys, what the target list shows, the settings store on disk, and the
// single-instance refusal between two processes.

#include "app/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDropEvent>
#include <QEventLoop>
#include <QHeaderView>
#include <QMimeData>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <deque>
#include <future>
#include <functional>

#include "app/instance_channel.h"
#include "app/password.h"
#include "app/path_opener.h"
#include "app/qt_desktop.h"
#include "app/qt_settings_store.h"
#include "app/seal_choice.h"
#include "app/single_instance.h"
#include "app/web_pages.h"
#include "engine/formats/locked_header.h"
#include "engine/platform/platform.h"
#include "engine/sealing/sealed_identity.h"
#include "engine/sealing/sealed_lock.h"
#include "engine/formats/locked_folder_name.h"
#include "engine/formats/locked_kind.h"
#include "engine/formats/text_shift.h"
#include "locking/sealing_keys.h"
#include "app/file_run_handlers.h"
#include "tests/engine/formats/lock_fixture.h"
#include "tests/support/file_attributes.h"
#include "tests/support/temp_folder.h"

// Failures show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vellumar::test {
namespace {

QString qstr(const std::string& text) {
    return QString::fromStdString(text);
}

// The Qt desktop with the open-file and folder dialogs answered from queues.
class AnsweringDesktop : public QtDesktop {
  public:
    std::vector<std::string> pickFiles() override { return next(answers, "open-file"); }
    std::string pickFolder() override { return next(folderAnswers, "folder"); }
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        QtDesktop::progress(done, total, current);
        if (duringRun) duringRun(done, total);
    }
    std::deque<std::vector<std::string>> answers;
    std::deque<std::string> folderAnswers;
    std::function<void(uint64_t done, uint64_t total)> duringRun;

  private:
    template <typename T>
    static T next(std::deque<T>& queue, const char* dialog) {
        if (queue.empty()) {
            ADD_FAILURE() << "unexpected " << dialog << " dialog";
            return {};
        }
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

// The program as main() puts it together.
struct Program {
    WindowModel model;
    AnsweringDesktop desktop;
    QtSettingsStore settings;
    MainWindowHandlers logic{model, desktop, settings};
    MainWindow window{logic};
    PathOpener opener{logic, desktop};

    Program() {
        window.setPathOpener(&opener);
        desktop.setWindow(&window);
        desktop.progressView = [this](uint64_t done, uint64_t total, const std::string& current) {
            window.showProgress(done, total, current);
        };
        desktop.setModel(&model);
        EXPECT_TRUE(logic.Form_Load(false));
        window.render();
        window.show();
    }
    template <typename T>
    T* find(const char* name) {
        T* found = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    void choose(const char* option) {
        QRadioButton* radio = find<QRadioButton>(option);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
    }
    void menu(const char* name) { find<QAction>(name)->trigger(); }
    // Add on "Decrypt a Folder": the encrypted-folders window lists one
    // folder, `folder`, which is checked and decrypted.
    void addTheOneLockedFolder(const std::string& folder) {
        QTimer::singleShot(0, [folder] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            auto* rows = window->findChild<QTreeWidget*>(QStringLiteral("lstDecrypt"));
            ASSERT_EQ(rows->topLevelItemCount(), 1);
            EXPECT_EQ(rows->topLevelItem(0)->text(0), qstr(folder));
            rows->topLevelItem(0)->setCheckState(0, Qt::Checked);
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("cmdDecrypt")),
                              Qt::LeftButton);
        });
        click("cmdAdd");
    }
    void passGate() {
        QTest::keyClicks(find<QLineEdit>("txtPassword"), QStringLiteral("secret"));
        QTest::keyClicks(find<QLineEdit>("txtConfirm"), QStringLiteral("secret"));
        click("cmdPassword");
    }
    // A key typed as a person types it: into the widget that has the focus.
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window, which, modifiers);
    }
    // The window active, and the password set by keyboard alone.
    bool passGateByKeyboard() {
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window)) return false;
        QTest::keyClicks(find<QLineEdit>("txtPassword"), QStringLiteral("secret"));
        QTest::keyClicks(find<QLineEdit>("txtConfirm"), QStringLiteral("secret"));
        key(Qt::Key_Return);
        return true;
    }
    QStringList listed() {
        QStringList rows;
        auto* list = find<QTreeWidget>("ListFiles");
        for (int i = 0; i < list->topLevelItemCount(); ++i) rows << list->topLevelItem(i)->text(0);
        return rows;
    }
    // The page a person sees: whatever lies on top in the middle of the page area.
    QString visiblePage() {
        QWidget* client = window.centralWidget();
        QWidget* hit = client->childAt(client->width() - 30, client->height() / 2);
        while (hit && hit->parentWidget() != client) hit = hit->parentWidget();
        return hit ? hit->objectName() : QString();
    }
    void screenshot(const char* name) {
        QDir().mkpath(QStringLiteral(VELLUMAR_SCREENSHOT_DIR));
        EXPECT_TRUE(window.grab().save(QStringLiteral(VELLUMAR_SCREENSHOT_DIR "/") +
                                       QLatin1String(name) + QStringLiteral(".png")));
    }
};

class Gui : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string config = temp.makeFolder("config");
        std::string runtime = temp.makeFolder("runtime");
        ::chmod(runtime.c_str(), 0700);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qstr(config));
        qputenv("TESSARIN_MESSAGE_LOG", QByteArray::fromStdString(messageLog()));
    }
    std::string messageLog() const { return temp / "messages.log"; }
    std::string messages() const {
        std::string text = readFile(messageLog());
        return text == "<missing>" ? std::string() : text;
    }

    TempFolder temp;
};

TEST_F(Gui, WalkThroughTheWizard) {
    Program program;
    MainWindow& window = program.window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vellumar v1.10"));
    EXPECT_EQ(window.centralWidget()->size(), QSize(542, 285));
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraPassword"));
    // First use: the password is set by typing it twice.
    EXPECT_TRUE(program.find<QLineEdit>("txtConfirm")->isVisible());
    // Nothing behind the gate can be reached with Tab or a mnemonic.
    EXPECT_FALSE(program.find<QPushButton>("cmdNext")->isEnabled());
    EXPECT_FALSE(program.find<QPushButton>("cmdEncDec")->isEnabled());
    program.screenshot("1-password");

    auto* password = program.find<QLineEdit>("txtPassword");
    QTest::keyClicks(password, QStringLiteral("secret"));
    QTest::keyClicks(program.find<QLineEdit>("txtConfirm"), QStringLiteral("secret"));
    EXPECT_EQ(password->displayText(), QStringLiteral("******"));
    program.click("cmdPassword");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_EQ(password->text(), QString());
    program.screenshot("2-select");

    program.choose("OptEncFiles");
    EXPECT_TRUE(program.find<QRadioButton>("OptEncFiles")->isChecked());
    program.click("cmdNext");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraResult"));
    EXPECT_EQ(program.find<QLabel>("Label3")->text(),
              QStringLiteral("Add files that are to be encrypted and locked"));
    EXPECT_EQ(program.find<QPushButton>("cmdEncDec")->text(), QStringLiteral("E&ncrypt"));
    // Nothing to run yet.
    EXPECT_FALSE(program.find<QPushButton>("cmdEncDec")->isEnabled());

    std::string data = temp.makeFolder("data");
    program.desktop.answers.push_back({data, "notes.txt", "report.doc"});
    program.click("cmdAdd");
    auto* list = program.find<QTreeWidget>("ListFiles");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), qstr(data + "/report.doc"));
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isEnabled());
    program.screenshot("3-target");

    program.click("cmdBack");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(program.find<QPushButton>("cmdEncDec")->isEnabledTo(window.page(Page::fraResult)));

    program.menu("mnuAbout");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraAbout"));
    program.screenshot("4-about");
    program.click("cmdOK");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));

    // The pages are only ever re-stacked, never hidden or moved.
    for (Page page : {Page::fraResult, Page::fraAbout, Page::fraSelect, Page::fraPassword}) {
        EXPECT_TRUE(window.page(page)->isVisible());
        EXPECT_EQ(window.page(page)->geometry(), QRect(175, 0, 367, 285));
    }
    EXPECT_EQ(messages(), "");

    // The password was kept: the next start asks for it, once.
    Program next;
    EXPECT_FALSE(next.find<QLineEdit>("txtConfirm")->isVisible());
    QTest::keyClicks(next.find<QLineEdit>("txtPassword"), QStringLiteral("Secret"));
    next.click("cmdPassword");
    EXPECT_EQ(next.visiblePage(), QStringLiteral("fraPassword"));
    EXPECT_EQ(messages(), "16\tVellumar\tPlease Enter The Right Password\n");
}

// "Encrypt File(s)" then "Decrypt File(s)" of three files, clicked through.
// While a run lasts the window shows its progress and takes no clicks or keys.
TEST_F(Gui, EncryptAndDecryptThreeFiles) {
    Program program;
    QTest::keyClicks(program.find<QLineEdit>("txtPassword"), QStringLiteral("secret"));
    QTest::keyClicks(program.find<QLineEdit>("txtConfirm"), QStringLiteral("secret"));
    program.click("cmdPassword");

    const std::string data = temp.makeFolder("data");
    const std::vector<std::string> names = {"notes.txt", "photo.jpg", "video.mp4"};
    const std::vector<std::string> contents = {"notes", test::patternBytes(150000, 1),
                                               test::patternBytes(250000, 2)};
    std::vector<std::string> plain, locked;
    for (size_t i = 0; i < names.size(); ++i) {
        plain.push_back(temp.write("data/" + names[i], contents[i]));
        locked.push_back(lockedName(plain[i], i < 2 ? ".VKL" : ".VKW"));
    }
    auto attributes = [](const std::string& path) {
        uint32_t value = 0;
        platformFileSystem().getAttributes(path, value);
        return value;
    };

    int progressCalls = 0;
    program.desktop.duringRun = [&](uint64_t done, uint64_t total) {
        ++progressCalls;
        if (done != 0) return;
        auto* bar = program.find<QProgressBar>("prgRun");
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->text(), QStringLiteral("0 of %1").arg(total));
        program.screenshot("8-run-progress");
        // Neither a click nor a key may start another handler mid-run.
        program.click("cmdBack");
        QTest::keyClick(&program.window, Qt::Key_B, Qt::AltModifier);
        program.menu("mnuAbout");
    };

    program.choose("OptEncFiles");
    program.click("cmdNext");
    program.desktop.answers.push_back({data, names[0], names[1], names[2]});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(messages(), "64\tVellumar\tFile(s) Encrypted Successfully\n");
    EXPECT_FALSE(program.model.wizard.running());
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_FALSE(program.find<QFrame>("fraProgress")->isVisible());
    EXPECT_EQ(progressCalls, 4);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(fileExists(plain[i])) << names[i];
        EXPECT_TRUE(startsWithLockedMarker(locked[i])) << names[i];
        EXPECT_EQ(attributes(locked[i]),
                  test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden));
    }
    // Small locked files are listed for "Decrypt File(s)".
    EXPECT_EQ(readFile(applicationFile("files")), locked[0] + "\r\n" + locked[1] + "\r\n");

    program.choose("OptDecFiles");
    program.click("cmdNext");
    program.desktop.answers.push_back(
        {data, getFileName(locked[0]), getFileName(locked[1]), getFileName(locked[2])});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(messages(),
              "64\tVellumar\tFile(s) Encrypted Successfully\n"
              "64\tVellumar\tFile(s) Decrypted Successfully\n");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(fileExists(locked[i])) << names[i];
        EXPECT_TRUE(readFile(plain[i]) == contents[i]) << names[i];
        EXPECT_EQ(attributes(plain[i]), test::fileAttributesAfterSetting(kAttrNormal));
    }
    EXPECT_EQ(readFile(applicationFile("files")), "");
    EXPECT_EQ(test::listTree(data), "notes.txt\nphoto.jpg\nvideo.mp4\n");
}

TEST_F(Gui, TheTargetListShowsTypeSizeAndTheLockImage) {
    Program program;
    program.passGate();
    program.choose("OptEncFiles");
    program.click("cmdNext");
    std::string folder = temp.makeFolder("box");
    temp.write("box/abgrf.gkt.VKL", "[Secret]" + std::string(2000, 'x'));
    temp.write("box/plain.txt", "plain");
    temp.write("box/desktop.ini", "CLSID={645FF040-5081-101B-9F08-00AA002F954E}");
    program.model.setFileBoxPath(folder);
    program.window.render();

    auto* list = program.find<QTreeWidget>("ListFiles");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    QTreeWidgetItem* locked = list->topLevelItem(0);
    EXPECT_EQ(locked->text(0), QStringLiteral("notes.txt"));
    EXPECT_EQ(locked->text(1), QStringLiteral("TXT file"));
    EXPECT_EQ(locked->text(2), QStringLiteral("1.96 KB"));
    EXPECT_FALSE(locked->icon(0).isNull());
    EXPECT_TRUE(list->topLevelItem(1)->icon(0).isNull());
    const QColor green = list->palette().color(QPalette::Base);
    EXPECT_GT(green.green(), std::max(green.red(), green.blue()) + 40);
    program.screenshot("5-target-rebuilt");

    // Every row is run: no row offers a check box that nothing reads.
    for (QTreeWidgetItem* item : {locked, list->topLevelItem(1)}) {
        EXPECT_FALSE(item->flags() & Qt::ItemIsUserCheckable);
        EXPECT_FALSE(item->data(0, Qt::CheckStateRole).isValid());
    }
}

TEST_F(Gui, AddPreparesAFolderToEncryptAndOneToDecrypt) {
    Program program;
    program.passGate();
    program.choose("OptEncFolder");
    program.click("cmdNext");
    temp.write("Work/Reports/a.txt", "a");
    temp.write("Work/Reports/sub/b.txt", "b");
    program.desktop.folderAnswers.push_back(temp / "Work/Reports");
    program.click("cmdAdd");
    // The folder first, with the number of its files.
    EXPECT_EQ(program.listed(),
              (QStringList{qstr(temp / "Work/Reports"), qstr(temp / "Work/Reports/a.txt"),
                           qstr(temp / "Work/Reports/sub/b.txt")}));
    EXPECT_EQ(program.find<QTreeWidget>("ListFiles")->topLevelItem(0)->text(2),
              QStringLiteral("2 files"));
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isEnabled());
    program.screenshot("6-folder-to-encrypt");

    // Two recorded folders, of which only D/Vault stands under its locked name.
    const std::string vault = temp / "D/Vault";
    const std::string locked = temp / ("D/" + encodeText("Vault"));
    temp.write("D/" + encodeText("Vault") + "/inner/w.txt", "w");
    temp.write("D/" + encodeText("Vault") + "/v.txt", "v");
    temp.write("home/folders", temp / "D/Other" + "\r\n" + vault + "\r\n");
    program.click("cmdBack");
    program.choose("OptDecFolder");
    program.click("cmdNext");
    int shown = 0;
    // The window is modal: it is worked while Add waits for it.
    std::function<void()> work = [&] {
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("frmFolderDecrypt"));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Select A Folder To Decrypt"));
        auto* rows = window->findChild<QTreeWidget*>(QStringLiteral("lstDecrypt"));
        ASSERT_EQ(rows->columnCount(), 1);
        EXPECT_EQ(rows->headerItem()->text(0), QStringLiteral("Folder To Decrypt"));
        ASSERT_EQ(rows->topLevelItemCount(), 2);
        auto* ok = window->findChild<QPushButton*>(QStringLiteral("cmdDecrypt"));
        ++shown;
        // One row is ticked at a time: a tick unticks the other.
        rows->topLevelItem(0)->setCheckState(0, Qt::Checked);
        rows->topLevelItem(1)->setCheckState(0, Qt::Checked);
        EXPECT_EQ(rows->topLevelItem(0)->checkState(0), Qt::Unchecked);
        EXPECT_TRUE(window->grab().save(
            QStringLiteral(VELLUMAR_SCREENSHOT_DIR "/7-folders-to-decrypt.png")));
        // A selected row and OK do what a tick does.
        rows->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                          rows->visualItemRect(rows->topLevelItem(1)).center());
        QTest::mouseClick(ok, Qt::LeftButton);
    };
    QTimer::singleShot(0, work);
    program.click("cmdAdd");
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(program.model.PlainFolderPath, vault);
    // The files are found under the folder's locked name, and listed under its
    // plain one, after the folder itself.
    EXPECT_EQ(program.listed(), (QStringList{qstr(vault + " (locked)"),
                                             qstr(vault + " (locked)/inner/w.txt"),
                                             qstr(vault + " (locked)/v.txt")}));
    auto* list = program.find<QTreeWidget>("ListFiles");
    EXPECT_EQ(list->topLevelItem(2)->toolTip(0), qstr(vault + " (locked)/v.txt"));
    EXPECT_EQ(program.model.targetList[1].path, locked + "/v.txt");
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isEnabled());
}

// Before the run, a folder whose files all lie in subfolders shows itself
// and their number (its own level has no file to list).
TEST_F(Gui, AFolderShowsHowManyFilesTheRunTakes) {
    Program program;
    program.passGate();
    program.choose("OptEncFolder");
    program.click("cmdNext");
    for (int n = 1; n <= 3; ++n) temp.write("Work/Deep/sub/f" + std::to_string(n), "f");
    program.desktop.folderAnswers.push_back(temp / "Work/Deep");
    program.click("cmdAdd");
    auto* list = program.find<QTreeWidget>("ListFiles");
    ASSERT_GE(list->topLevelItemCount(), 1);
    QTreeWidgetItem* folder = list->topLevelItem(0);
    EXPECT_EQ(folder->text(0), qstr(temp / "Work/Deep"));
    EXPECT_EQ(folder->text(1), QStringLiteral("File folder"));
    EXPECT_EQ(folder->text(2), QStringLiteral("3 files"));
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isEnabled());
    program.click("cmdClear");
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

// "Encrypt a Folder" then "Decrypt a Folder", clicked through to the run
// button; the encrypted-folders window is worked while Add waits for it.
TEST_F(Gui, EncryptAndDecryptAFolder) {
    Program program;
    program.passGate();
    const std::string folder = temp / "Work/Reports";
    const std::string locked = temp / ("Work/" + lockedFolderName("Reports"));
    temp.write("Work/Reports/a.txt", "a");
    const std::string big = test::patternBytes(250000, 5);
    temp.write("Work/Reports/sub/b.bin", big);
    auto attributes = [](const std::string& path) {
        uint32_t value = 0;
        platformFileSystem().getAttributes(path, value);
        return value & ~kAttrArchive;
    };

    program.choose("OptEncFolder");
    program.click("cmdNext");
    program.desktop.folderAnswers.push_back(folder);
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(messages(), "64\tVellumar\tEncryption Completed Successfully\n");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_FALSE(fileExists(folder));
    EXPECT_EQ(attributes(locked), kAttrDirectory | kAttrHidden);
    EXPECT_TRUE(startsWithLockedMarker(lockedName(locked + "/a.txt", ".VKL")));
    EXPECT_TRUE(startsWithLockedMarker(lockedName(locked + "/sub/b.bin", ".VKW")));
    EXPECT_EQ(readFile(applicationFile("folders")), folder + "\r\n");

    program.choose("OptDecFolder");
    program.click("cmdNext");
    program.addTheOneLockedFolder(folder);
    EXPECT_EQ(program.listed().size(), 3);  // the folder and its two files
    program.click("cmdEncDec");
    EXPECT_EQ(messages(),
              "64\tVellumar\tEncryption Completed Successfully\n"
              "64\tVellumar\tDecryption Completed Successfully\n");
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_FALSE(fileExists(locked));
    EXPECT_EQ(attributes(folder), kAttrDirectory);
    EXPECT_EQ(test::listTree(folder), "a.txt\nsub\nsub/b.bin\n");
    EXPECT_EQ(readFile(folder + "/a.txt"), "a");
    EXPECT_TRUE(readFile(folder + "/sub/b.bin") == big);
    EXPECT_EQ(readFile(applicationFile("folders")), "");
}

// After a folder run, a file run acts on the files it was given and on
// nothing else: the folder stays locked and is recorded once.
TEST_F(Gui, AFileRunAfterAFolderRunActsOnlyOnTheChosenFiles) {
    Program program;
    program.passGate();
    const std::string folder = temp / "Work/Reports";
    const std::string locked = temp / ("Work/" + lockedFolderName("Reports"));
    temp.write("Work/Reports/a.txt", "a");
    const std::string chosen = temp.write("data/x.txt", "x");
    const std::string other = temp.write("data/y.txt", "y");
    program.choose("OptEncFolder");
    program.click("cmdNext");
    program.desktop.folderAnswers.push_back(folder);
    program.click("cmdAdd");
    program.click("cmdEncDec");
    const std::string lockedA = lockedName(locked + "/a.txt", ".VKL");
    const std::string lockedFolder = test::listTree(locked);

    program.choose("OptEncFiles");
    program.click("cmdNext");
    program.desktop.answers.push_back({chosen});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_TRUE(startsWithLockedMarker(lockedName(chosen, ".VKL")));
    EXPECT_EQ(readFile(other), "y");

    program.choose("OptDecFiles");
    program.click("cmdNext");
    program.desktop.answers.push_back({lockedName(chosen, ".VKL")});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(readFile(chosen), "x");

    EXPECT_EQ(messages(),
              "64\tVellumar\tEncryption Completed Successfully\n"
              "64\tVellumar\tFile(s) Encrypted Successfully\n"
              "64\tVellumar\tFile(s) Decrypted Successfully\n");
    EXPECT_FALSE(fileExists(folder));
    EXPECT_EQ(test::listTree(locked), lockedFolder);
    EXPECT_TRUE(startsWithLockedMarker(lockedA));
    EXPECT_EQ(readFile(applicationFile("folders")), folder + "\r\n");
    EXPECT_EQ(test::listTree(temp / "data"), "x.txt\ny.txt\n");
}

// A file the run refuses ends the run in its count, not in success.
TEST_F(Gui, ARunWithARefusedFileEndsWithoutSuccess) {
    Program program;
    program.passGate();
    const std::string plain = temp.write("data/plain.txt", "plain");
    const std::string link = temp / "data/link.txt";
    ASSERT_EQ(::symlink(plain.c_str(), link.c_str()), 0);
    program.choose("OptEncFiles");
    program.click("cmdNext");
    program.desktop.answers.push_back({temp / "data", "link.txt", "plain.txt"});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(messages(), "64\tVellumar\t" + link +
                              " is a link and can not be locked.\n"
                              "48\tVellumar\t1 of 2 files were locked.\n");
    EXPECT_TRUE(startsWithLockedMarker(lockedName(plain, ".VKL")));
}

// A message box is wide enough for its whole title.
TEST_F(Gui, AMessageBoxLeavesRoomForItsWholeTitle) {
    qunsetenv("TESSARIN_MESSAGE_LOG");
    QtDesktop desktop;
    const QString title = QStringLiteral("Path/File access error");
    int labelWidth = 0, titleWidth = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), title);
        labelWidth = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->width();
        titleWidth = box->fontMetrics().horizontalAdvance(title);
        box->accept();
    });
    desktop.message("Path/File access error\r\n/a", Icon::critical, "Path/File access error");
    EXPECT_GT(labelWidth, titleWidth + 100);
}

// The recovery key can be selected and copied out of its box; the question
// that turns sealing on, which cannot be undone, takes No on a stray Enter.
TEST_F(Gui, TheRecoveryKeyCanBeCopiedAndTheSealingQuestionDefaultsToNo) {
    qunsetenv("TESSARIN_MESSAGE_LOG");
    QtDesktop desktop;
    const std::string key = identityText(AgeIdentity::generate());
    Qt::TextInteractionFlags flags;
    QString shown;
    bool wholeTextShown = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        flags = label->textInteractionFlags();
        shown = label->text();
        wholeTextShown =
            label->wordWrap() && label->height() >= label->heightForWidth(label->width());
        QDir().mkpath(QStringLiteral(VELLUMAR_SCREENSHOT_DIR));
        EXPECT_TRUE(
            box->grab().save(QStringLiteral(VELLUMAR_SCREENSHOT_DIR "/12-recovery-key.png")));
        box->accept();
    });
    desktop.message(recoveryKeyText(key), Icon::information, kRecoveryKeyTitle);
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByMouse));
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByKeyboard));
    EXPECT_TRUE(shown.contains(qstr(key)));
    EXPECT_TRUE(wholeTextShown);

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), qstr(kSealingTitle));
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(desktop.ask(kTurnOnSealingText, Icon::exclamation, kSealingTitle));
}

// Decrypt File(s) leaves the locked files hidden and read-only, however the
// page is left; its open-file dialog shows hidden files, locked ones first.
TEST_F(Gui, DecryptFilesLeavesLockedFilesHiddenAndOffersThemFirst) {
    const std::string plain = temp.write("data/notes.txt", "notes");
    const std::string locked = lockedName(plain, ".VKL");
    const uint32_t lockedAttributes = test::fileAttributesAfterSetting(kAttrReadOnly | kAttrHidden);
    auto attributes = [&] {
        uint32_t value = 0;
        platformFileSystem().getAttributes(locked, value);
        return value;
    };
    {
        Program program;
        program.passGate();
        program.choose("OptEncFiles");
        program.click("cmdNext");
        program.desktop.answers.push_back({plain});
        program.click("cmdAdd");
        program.click("cmdEncDec");
        ASSERT_EQ(attributes(), lockedAttributes);

        program.choose("OptDecFiles");
        program.click("cmdNext");
        EXPECT_EQ(attributes(), lockedAttributes);
        QStringList filters;
        bool hiddenShown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            filters = dialog->nameFilters();
            hiddenShown = dialog->filter().testFlag(QDir::Hidden);
            dialog->reject();
        });
        EXPECT_TRUE(program.desktop.QtDesktop::pickFiles().empty());
        EXPECT_EQ(filters.value(0), QStringLiteral("Locked files (*.VKL *.VKW *.VKS)"));
        EXPECT_TRUE(hiddenShown);

        // Added, it shows its plain name, type, size and the lock.
        program.desktop.answers.push_back({locked});
        program.click("cmdAdd");
        auto* row = program.find<QTreeWidget>("ListFiles")->topLevelItem(0);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->text(0), qstr(plain));
        EXPECT_EQ(row->text(1), QStringLiteral("TXT file"));
        EXPECT_FALSE(row->text(2).isEmpty());
        EXPECT_FALSE(row->icon(0).isNull());
        EXPECT_EQ(row->toolTip(0), qstr(locked));
        program.click("cmdBack");
        EXPECT_EQ(attributes(), lockedAttributes);
        program.choose("OptDecFiles");
        program.click("cmdNext");
        program.window.close();
    }
    EXPECT_EQ(attributes(), lockedAttributes);
    EXPECT_EQ(messages(), "64\tVellumar\tFile(s) Encrypted Successfully\n");
}

// Three files to lock, for the runs that are cut short.
struct ThreeFiles {
    explicit ThreeFiles(const TempFolder& temp) : folder(temp / "data") {
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            paths.push_back(temp.write(std::string("data/") + name, name));
    }
    // As the open-file dialog gives them: the folder, then the names.
    std::vector<std::string> picked() const { return {folder, "a.txt", "b.txt", "c.txt"}; }
    // Which of them are locked, in order ("LPP": the first only).
    std::string state() const {
        std::string result;
        for (const std::string& path : paths) {
            const bool locked = startsWithLockedMarker(lockedName(path, ".VKL"));
            result += locked && !fileExists(path) ? 'L' : (!locked && fileExists(path) ? 'P' : '?');
        }
        return result;
    }
    std::string folder;
    std::vector<std::string> paths;
};

const char* const kCancelledAfterOne =
    "48\tVellumar\tThe run was cancelled.\r\n1 of 3 files were locked. The others are as they "
    "were.\n";

// Cancel, beside the progress line, stops the run before its next file;
// Escape presses it.
TEST_F(Gui, CancelStopsTheRunBetweenTwoFiles) {
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "escape" : "click");
        TempFolder here;
        ThreeFiles files(here);
        Program program;
        program.passGate();
        program.desktop.duringRun = [&](uint64_t done, uint64_t) {
            if (done != 0) return;
            auto* cancel = program.find<QPushButton>("cmdCancel");
            EXPECT_TRUE(cancel->isVisible());
            EXPECT_TRUE(cancel->isEnabled());
            program.screenshot("9-run-cancel");
            if (escape)
                QTest::keyClick(program.find<QTreeWidget>("ListFiles"), Qt::Key_Escape);
            else
                program.click("cmdCancel");
            EXPECT_FALSE(cancel->isEnabled());
        };
        program.choose("OptEncFiles");
        program.click("cmdNext");
        program.desktop.answers.push_back(files.picked());
        program.click("cmdAdd");
        program.click("cmdEncDec");
        EXPECT_EQ(messages(), kCancelledAfterOne);
        EXPECT_EQ(files.state(), "LPP");
        EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
        EXPECT_FALSE(program.find<QFrame>("fraProgress")->isVisible());
        QFile::remove(qstr(messageLog()));
        if (escape) continue;

        // The next run is not cancelled by the request of the last one.
        program.desktop.duringRun = nullptr;
        program.choose("OptEncFiles");
        program.click("cmdNext");
        program.desktop.answers.push_back({files.folder, "b.txt", "c.txt"});
        program.click("cmdAdd");
        program.click("cmdEncDec");
        EXPECT_EQ(files.state(), "LLL");
        QFile::remove(qstr(messageLog()));
    }
}

// Closing the window during a run asks whether to cancel it: Yes stops the
// run between two files and closes the window; No lets the run finish.
TEST_F(Gui, ClosingTheWindowDuringARunAsksWhetherToCancel) {
    struct Case {
        QMessageBox::StandardButton answer;
        std::string state;
        std::string said;
        bool open;
    } cases[] = {
        {QMessageBox::Yes, "LPP", kCancelledAfterOne, false},
        {QMessageBox::No, "LLL", "64\tVellumar\tFile(s) Encrypted Successfully\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.open ? "no" : "yes");
        TempFolder here;
        ThreeFiles files(here);
        Program program;
        program.passGate();
        int asked = 0;
        program.desktop.duringRun = [&](uint64_t done, uint64_t) {
            if (done != 0) return;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->objectName(), QStringLiteral("cancelRunQuestion"));
                ++asked;
                // Closed again meanwhile: no second question.
                QTimer::singleShot(0, [&, box] {
                    QWidget* modal = QApplication::activeModalWidget();
                    if (modal && modal != box) {
                        ++asked;
                        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
                    }
                });
                program.window.close();
                box->button(c.answer)->click();
            });
            program.window.close();
            EXPECT_TRUE(program.window.isVisible());  // not before the run has stopped
        };
        program.choose("OptEncFiles");
        program.click("cmdNext");
        program.desktop.answers.push_back(files.picked());
        program.click("cmdAdd");
        program.click("cmdEncDec");
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(files.state(), c.state);
        EXPECT_EQ(messages(), c.said);
        EXPECT_EQ(program.window.isVisible(), c.open);
        QFile::remove(qstr(messageLog()));
    }
}

TEST_F(Gui, SettingsKeepEveryByteOfKeyAndValue) {
    std::string value;
    for (int c = 1; c <= 255; ++c) value += static_cast<char>(c);
    const std::string key = encodeText("Password");
    {
        QtSettingsStore store;
        ASSERT_TRUE(store.saveSetting("Tessarin", "Settings", key, value));
    }
    QtSettingsStore store;
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", key), value);
    EXPECT_EQ(store.getSetting("Tessarin", "Settings", "absent"), "");

    // One file under the user's configuration, without the plain key.
    QStringList files;
    for (QDirIterator it(qstr(temp / "config"), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next();
    ASSERT_EQ(files.size(), 1) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("/Tessarin.conf"))) << files[0].toStdString();
    EXPECT_FALSE(readFile(files[0].toStdString()).find("Password") != std::string::npos);
}

TEST_F(Gui, ASecondStartIsRefusedWhileTheFirstRuns) {
    SingleInstance first;  // this process plays the running program
    ASSERT_TRUE(first.acquired());

    QProcess second;
    second.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    second.start(QStringLiteral(TESSARIN_BINARY), {});
    bool ended = second.waitForFinished(60000);
    if (!ended) second.kill();
    ASSERT_TRUE(ended) << "the second start did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(messages(), "16\tVellumar\tVellumar Is Already Running\n");
}

// The process plays the running program, window and door open; the real
// program is started again beside it.
class LaterStart : public Gui {
  protected:
    // Runs the program until it ends, with `arguments` as a shell spells
    // them ($1... are `values`), so that they can hold any bytes; its exit code.
    int start(const QString& arguments = {}, const QStringList& values = {}) {
        QProcess later;
        later.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        QEventLoop loop;
        QObject::connect(&later, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&later, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        later.start(QStringLiteral("/bin/sh"),
                    QStringList{QStringLiteral("-c"), QStringLiteral("exec \"$0\" ") + arguments,
                                QStringLiteral(TESSARIN_BINARY)} +
                        values);
        // This copy answers while the later one waits for it.
        loop.exec();
        EXPECT_EQ(later.state(), QProcess::NotRunning) << "the later start did not end";
        if (later.state() != QProcess::NotRunning) later.kill();
        later.waitForFinished();
        EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
        return later.exitCode();
    }
};

TEST_F(LaterStart, HandsItsPathsToTheRunningWindowOrIsRefused) {
    // Both after SetUp: in this test's own runtime folder.
    SingleInstance instance;
    ASSERT_TRUE(instance.acquired());
    InstanceChannel channel;
    std::vector<OpenRequest> requests;
    Program program;
    channel.onRequest = [&](const OpenRequest& request) {
        requests.push_back(request);
        program.window.receiveOpenRequest(request);
    };
    ASSERT_TRUE(channel.listen());

    // Without paths: the refusal, and the running window comes to the front.
    EXPECT_EQ(start({}), 1);
    EXPECT_EQ(messages(), "16\tVellumar\tVellumar Is Already Running\n");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].raiseOnly());

    // With paths (a name in bytes that are no UTF-8 among them): no refusal;
    // they wait for the password, then fill the list.
    const std::string a = temp.write("data/a.txt", "a");
    const std::string odd = temp.write("data/\xff\xfe.txt", "b");
    EXPECT_EQ(start(QStringLiteral("--lock \"$1\" \"$2/$(printf '\\377\\376').txt\""),
                    {qstr(a), qstr(temp / "data")}),
              0);
    EXPECT_EQ(messages(), "16\tVellumar\tVellumar Is Already Running\n");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], (OpenRequest{OpenIntent::lock, {a, odd}}));
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraPassword"));
    program.passGate();
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraResult"));
    EXPECT_EQ(program.listed(), (QStringList{qstr(a), QFile::decodeName(odd.c_str())}));
    EXPECT_EQ(program.model.targetList[1].path, odd);
    EXPECT_TRUE(program.find<QRadioButton>("OptEncFiles")->isChecked());
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isEnabled());

    // A bad option is refused before anything else happens.
    EXPECT_EQ(start(QStringLiteral("--shred \"$1\""), {qstr(a)}), 2);
    EXPECT_EQ(requests.size(), 2u);
}

TEST_F(Gui, StartedWithPathsTheListIsFilledOnceThePasswordIsGiven) {
    const std::string locked = temp.write("data/abgrf.gkt.VKL", "[Secret]" + std::string(600, 'x'));
    const std::string folder = temp.makeFolder("data/Reports");
    Program program;
    program.opener.receive({OpenIntent::open, {locked, folder}});
    program.window.render();
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraPassword"));
    program.passGate();
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraResult"));
    EXPECT_TRUE(program.find<QRadioButton>("OptDecFiles")->isChecked());
    auto* list = program.find<QTreeWidget>("ListFiles");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), qstr(temp / "data/notes.txt"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("TXT file"));
    EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
    EXPECT_EQ(messages(), "48\tVellumar\tThis item was not added:\r" + folder +
                              ": it calls for Encrypt a Folder, and Decrypt File(s) was chosen\n");
}

TEST_F(Gui, TheWindowGrowsAndTheListShowsEveryRowInFull) {
    Program program;
    program.passGate();
    program.choose("OptEncFiles");
    program.click("cmdNext");
    const std::string data = temp.makeFolder("data");
    for (const char* name : {"notes 10.txt", "notes 2.txt", "Notes 1.txt"})
        temp.write(std::string("data/") + name, "12345");
    program.desktop.answers.push_back({data, "notes 10.txt", "notes 2.txt", "Notes 1.txt"});
    program.click("cmdAdd");
    // Numbers in names sort by their value.
    EXPECT_EQ(program.listed(), (QStringList{qstr(data + "/Notes 1.txt"), qstr(data + "/notes 2.txt"),
                                             qstr(data + "/notes 10.txt")}));
    auto* list = program.find<QTreeWidget>("ListFiles");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        EXPECT_EQ(list->topLevelItem(i)->text(1), QStringLiteral("TXT file"));
        EXPECT_EQ(list->topLevelItem(i)->text(2), QStringLiteral("5 bytes"));
    }

    MainWindow& window = program.window;
    const int files = list->header()->sectionSize(0);
    window.resize(window.size() + QSize(300, 200));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.centralWidget()->size(), QSize(842, 485));
    EXPECT_EQ(window.page(Page::fraResult)->geometry(), QRect(175, 0, 667, 485));
    EXPECT_EQ(list->geometry(), QRect(10, 30, 647, 376));
    // The Files column takes the width gained; the buttons keep to the corner.
    EXPECT_EQ(list->header()->sectionSize(0), files + 300);
    EXPECT_EQ(program.find<QPushButton>("cmdEx")->geometry(), QRect(592, 442, 65, 28));
    EXPECT_EQ(program.find<QPushButton>("cmdAdd")->geometry(), QRect(10, 442, 62, 28));
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraResult"));
    program.screenshot("10-target-enlarged");

    // Never smaller than it was drawn.
    window.resize(200, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.centralWidget()->size(), QSize(542, 285));
    EXPECT_EQ(list->geometry(), QRect(10, 30, 347, 176));
}

TEST_F(Gui, TheKeyboardReachesEveryButton) {
    Program program;
    MainWindow& window = program.window;
    ASSERT_TRUE(program.passGateByKeyboard());
    ASSERT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_TRUE(window.page(Page::fraSelect)->isAncestorOf(QApplication::focusWidget()));

    // Every option has its Alt letter.
    const struct {
        Qt::Key letter;
        const char* option;
    } letters[] = {{Qt::Key_O, "OptEncFolder"},
                   {Qt::Key_L, "OptDecFolder"},
                   {Qt::Key_D, "OptDecFiles"},
                   {Qt::Key_C, "OptEncFiles"}};
    for (const auto& letter : letters) {
        auto* option = program.find<QRadioButton>(letter.option);
        program.key(letter.letter, Qt::AltModifier);
        // A letter chooses at once: a key typed right behind it acts on this choice.
        EXPECT_TRUE(option->isChecked()) << letter.option;
        EXPECT_TRUE(option->hasFocus()) << letter.option;
    }
    EXPECT_EQ(program.model.wizard.choice(), Option::OptEncFiles);
    // Enter on the choice page is Next.
    program.key(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(program.visiblePage(), QStringLiteral("fraResult"));
    EXPECT_EQ(QApplication::focusWidget(), program.find<QPushButton>("cmdAdd"));

    // Enter presses the focused button: Add, then the run button by its letter.
    const std::string plain = temp.write("data/a.txt", "a");
    program.desktop.answers.push_back({plain});
    program.key(Qt::Key_Return);
    EXPECT_EQ(program.listed(), QStringList{qstr(plain)});
    program.key(Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isDown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !messages().empty(); }));
    EXPECT_EQ(messages(), "64\tVellumar\tFile(s) Encrypted Successfully\n");
    EXPECT_FALSE(fileExists(plain));
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));

    // After About, OK gives the focus back to the page.
    program.menu("mnuAbout");
    EXPECT_EQ(QApplication::focusWidget(), program.find<QPushButton>("cmdOK"));
    program.key(Qt::Key_Return);
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraSelect"));
    EXPECT_TRUE(window.page(Page::fraSelect)->isAncestorOf(QApplication::focusWidget()));
}

// Alt+L typed with Decrypt File(s) chosen and Enter right behind it: the
// page that opens, what Add offers and what the run does are all Decrypt a
// Folder. A folder locked earlier in the session is the one restored.
TEST_F(Gui, AnAltLetterAndEnterTypedAtOnceOpenTheOperationThatRuns) {
    Program program;
    ASSERT_TRUE(program.passGateByKeyboard());
    ASSERT_TRUE(program.model.wizard.gatePassed());

    const std::string folder = temp / "Work/Reports";
    const std::string locked = temp / ("Work/" + lockedFolderName("Reports"));
    temp.write("Work/Reports/a.txt", "a");
    temp.write("Work/Reports/sub/b.txt", "b");
    program.choose("OptEncFolder");
    program.click("cmdNext");
    program.desktop.folderAnswers.push_back(folder);
    program.click("cmdAdd");
    program.click("cmdEncDec");
    ASSERT_TRUE(fileExists(locked));

    program.choose("OptDecFiles");
    program.key(Qt::Key_L, Qt::AltModifier);
    program.key(Qt::Key_Return);
    // A person's pace: whatever the letter set off has landed by now.
    QTest::qWait(300);
    EXPECT_EQ(program.model.topPage(), Page::fraResult);
    EXPECT_EQ(program.model.operation(), Option::OptDecFolder);
    EXPECT_EQ(program.find<QLabel>("Label3")->text(),
              QStringLiteral("Add folder to be decrypted and unlocked"));
    EXPECT_TRUE(program.find<QRadioButton>("OptDecFolder")->isChecked());
    // Nothing of the folder locked earlier is in hand.
    EXPECT_TRUE(program.model.foundFiles.empty());
    EXPECT_FALSE(program.find<QPushButton>("cmdEncDec")->isEnabled());

    program.addTheOneLockedFolder(folder);
    EXPECT_EQ(program.model.operation(), Option::OptDecFolder);
    program.click("cmdEncDec");
    EXPECT_EQ(messages(),
              "64\tVellumar\tEncryption Completed Successfully\n"
              "64\tVellumar\tDecryption Completed Successfully\n");
    EXPECT_FALSE(fileExists(locked));
    EXPECT_EQ(test::listTree(folder), "a.txt\nsub\nsub/b.txt\n");
    EXPECT_EQ(readFile(folder + "/a.txt"), "a");
    uint32_t attributes = 0;
    platformFileSystem().getAttributes(folder, attributes);
    EXPECT_EQ(attributes & kAttrHidden, 0u);
    EXPECT_EQ(readFile(applicationFile("folders")), "");
    EXPECT_EQ(program.model.topPage(), Page::fraSelect);
}

TEST_F(Gui, OneVersionTheIconAndAWordWhenNoBrowserStarts) {
    const VendorPages built = vendorPages();
    vendorPages().home = "https://home.test/";
    Program program;
    EXPECT_FALSE(program.window.windowIcon().isNull());
    EXPECT_EQ(program.find<QLabel>("lblVersion")->text(), program.window.windowTitle());

    // No browser to be found anywhere.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(temp.makeFolder("no-programs")));
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");
    program.menu("mnuVisit");
    qputenv("PATH", path);
    vendorPages() = built;
    EXPECT_EQ(messages(),
              "48\tVellumar\tNo web browser could be started to open https://home.test/\n");
}

// A drag of files from a file manager onto the target page.
bool dropPaths(QWidget* target, const std::string& uriList) {
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), QByteArray::fromStdString(uriList));
    const QPointF at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

TEST_F(Gui, DroppedFilesFillTheTargetListExceptDuringARun) {
    Program program;
    const std::string a = temp.write("data/a 1.txt", "a");
    const std::string b = temp.write("data/\xe9t\xe9.txt", "b");
    const std::string uris = fileAddress(a) + "\r\n" + fileAddress(b) + "\r\n";
    auto* list = program.find<QTreeWidget>("ListFiles");
    EXPECT_FALSE(dropPaths(list->viewport(), uris));  // behind the password page
    program.passGate();
    program.choose("OptEncFiles");
    program.click("cmdNext");
    EXPECT_TRUE(dropPaths(list->viewport(), uris));
    ASSERT_EQ(program.model.targetList.size(), 2u);
    EXPECT_EQ(program.model.targetList[0].path, a);
    EXPECT_EQ(program.model.targetList[1].path, b);
    EXPECT_TRUE(program.find<QPushButton>("cmdEncDec")->isEnabled());

    const std::string c = temp.write("data/c.txt", "c");
    bool refused = false;
    program.desktop.duringRun = [&](uint64_t done, uint64_t) {
        if (done == 0) refused = !dropPaths(list->viewport(), fileAddress(c));
    };
    program.click("cmdEncDec");
    EXPECT_TRUE(refused);
    EXPECT_TRUE(fileExists(c));
    EXPECT_FALSE(fileExists(a));
    EXPECT_EQ(messages(), "64\tVellumar\tFile(s) Encrypted Successfully\n");
}

// --help, --version and a misspelt long option are answered with no display
// at all; an option Qt leaves over once it has taken its own, with one.
TEST(Help, TheProgramAnswersItsOptionsBeforeItNeedsADisplay) {
    const std::string help =
        "Usage: Tessarin [--lock | --unlock] [PATH...]\n"
        "\n"
        "Opens the Vellumar window, which locks files and folders in place and\n"
        "unlocks them. Paths given fill its list once the password is typed: locked\n"
        "files for unlocking, other files for locking, a folder for locking, a listed\n"
        "locked folder for unlocking. When the program runs already, the paths go to\n"
        "its window.\n"
        "\n"
        "Options:\n"
        "  --lock        open with the files given listed for locking\n"
        "  --unlock      open with the locked files given listed for unlocking\n"
        "  -h, --help    show this help\n"
        "  --version     show the program's name and version\n"
        "  --            end of options: every later argument is a path\n"
        "\n"
        "From a terminal, without a window: tessarin-cli (see tessarin-cli --help).\n";
    struct Case {
        QStringList arguments;
        const char* platform;  // none: no display of any kind
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{QStringLiteral("--help")}, nullptr, 0, help, ""},
        {{QStringLiteral("-h")}, nullptr, 0, help, ""},
        {{QStringLiteral("--version")}, nullptr, 0, "Tessarin " VELLUMAR_VERSION "\n", ""},
        {{QStringLiteral("--verison")},
         nullptr,
         2,
         "",
         "Tessarin: unknown option '--verison'\nTry 'Tessarin --help'.\n"},
        {{QStringLiteral("-x")},
         "offscreen",
         2,
         "",
         "Tessarin: unknown option '-x'\nTry 'Tessarin --help'.\n"},
    };
    // A runtime folder of the user's own, or Qt says it lacks one.
    TempFolder temp;
    const std::string runtime = temp.makeFolder("runtime");
    ASSERT_EQ(::chmod(runtime.c_str(), 0700), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), qstr(runtime));
        if (c.platform)
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(c.platform));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TESSARIN_BINARY), c.arguments);
        const bool ended = program.waitForFinished(60000);
        if (!ended) program.kill();
        ASSERT_TRUE(ended);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status);
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), c.out);
        EXPECT_EQ(program.readAllStandardError().toStdString(), c.err);
    }
}

TEST(Help, ThePageShipsBesideTheProgram) {
    QString folder = QFileInfo(QStringLiteral(TESSARIN_BINARY)).absolutePath();
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/tessarin-help.html")));
}

TEST_F(Gui, ALockLeftByACrashedInstanceIsTakenOver) {
    pid_t child = ::fork();
    if (child == 0) {
        SingleInstance crashed;
        ::_exit(crashed.acquired() ? 0 : 1);  // ends without releasing the lock
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFile::exists(SingleInstance::lockPath(QStringLiteral("Tessarin"))));

    SingleInstance next;
    EXPECT_TRUE(next.acquired());
    SingleInstance another;  // while it runs, nobody else gets in
    EXPECT_FALSE(another.acquired());
}

// Sealing through the real window: the box turns sealing on (the question
// answered Yes), files and then a folder are sealed and come back.
TEST_F(Gui, SealedFilesAndAFolderComeBackThroughTheWindow) {
    setIdentityWorkFactor(10);
    qputenv("TESSARIN_ANSWER", "yes");
    Program program;
    program.passGate();
    program.choose("OptEncFiles");
    program.click("cmdNext");
    auto* seal = program.find<QCheckBox>("chkSeal");
    ASSERT_TRUE(seal->isVisible());
    EXPECT_EQ(seal->text(), qstr(kSealCaption));
    EXPECT_FALSE(seal->isChecked());
    QTest::mouseClick(seal, Qt::LeftButton, {}, QPoint(8, seal->height() / 2));
    EXPECT_TRUE(seal->isChecked());
    ASSERT_TRUE(program.model.sessionKeys.canUnseal());
    const std::string key = identityText(program.model.sessionKeys.identities[0]);
    EXPECT_EQ(messages(), "?48\t" + kSealingTitle + "\t" + kTurnOnSealingText + "\n64\t" +
                              kRecoveryKeyTitle + "\t" + recoveryKeyText(key) + "\n");
    program.screenshot("11-seal-choice");
    QFile::remove(qstr(messageLog()));

    const std::string notes = temp.write("data/notes.txt", "notes");
    const std::string film = temp.write("data/film.bin", test::patternBytes(250000, 6));
    program.desktop.answers.push_back({temp / "data", "notes.txt", "film.bin"});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(messages(), "64\tVellumar\tFile(s) Encrypted Successfully\n");
    std::vector<std::string> sealedNames;
    for (const std::string& name : test::namesIn(temp / "data")) {
        EXPECT_TRUE(hasSealedExtension(name)) << name;
        sealedNames.push_back(name);
    }
    ASSERT_EQ(sealedNames.size(), 2u);

    program.choose("OptDecFiles");
    program.click("cmdNext");
    EXPECT_FALSE(seal->isVisible());
    program.desktop.answers.push_back({temp / "data", sealedNames[0], sealedNames[1]});
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_EQ(readFile(notes), "notes");
    EXPECT_TRUE(readFile(film) == test::patternBytes(250000, 6));

    // The box is remembered: the folder is sealed too.
    temp.write("Work/Reports/a.txt", "a");
    const std::string folder = temp / "Work/Reports";
    const std::string locked = temp / ("Work/" + lockedFolderName("Reports"));
    program.choose("OptEncFolder");
    program.click("cmdNext");
    EXPECT_TRUE(seal->isChecked());
    program.desktop.folderAnswers.push_back(folder);
    program.click("cmdAdd");
    program.click("cmdEncDec");
    EXPECT_TRUE(fileExists(locked + "/" + kFolderIdentityName));
    ASSERT_EQ(test::namesIn(locked).size(), 2u);  // the key's copy and one sealed file

    program.choose("OptDecFolder");
    program.click("cmdNext");
    program.addTheOneLockedFolder(folder);
    program.click("cmdEncDec");
    EXPECT_EQ(test::listTree(folder), "a.txt\n");
    EXPECT_EQ(readFile(folder + "/a.txt"), "a");
    qunsetenv("TESSARIN_ANSWER");
}

// The key opens off the window's thread: OK is disabled and the pointer busy
// while it does, a second click starts nothing, and the answer lands on the
// window. The check is held open by the test, not by time.
TEST_F(Gui, TheGateOpensTheKeyWithoutFreezingTheWindow) {
    setIdentityWorkFactor(10);
    Program program;
    SealingKeys keys;
    ASSERT_EQ(startSealing(program.settings, "secret", keys).start, SealingStart::started);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    struct Releaser {
        std::promise<void>& promise;
        bool done = false;
        void now() {
            if (!done) promise.set_value();
            done = true;
        }
        ~Releaser() { now(); }
    } releaser{release};
    std::atomic<int> opened{0};
    program.logic.hooks.openKeyFile = [&opened, released](const std::string& password,
                                                          SealingKeys& into) {
        ++opened;
        released.wait();
        return openKeyFile(password, into);
    };
    QTest::keyClicks(program.find<QLineEdit>("txtPassword"), QStringLiteral("secret"));
    program.click("cmdPassword");
    QCoreApplication::processEvents();
    auto* ok = program.find<QPushButton>("cmdPassword");
    EXPECT_FALSE(ok->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(program.visiblePage(), QStringLiteral("fraPassword"));
    program.logic.cmdPassword_Click();  // what a second click would reach: nothing starts

    releaser.now();
    ASSERT_TRUE(QTest::qWaitFor(
        [&program] { return program.model.topPage() == Page::fraSelect; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 1);
    // Its page lies behind now, and is disabled as a whole.
    EXPECT_TRUE(ok->isEnabledTo(ok->parentWidget()));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(program.model.sessionKeys.canUnseal());
    EXPECT_EQ(messages(), "");
}

// File > Change Password... asks in a small dialog of password fields.
TEST_F(Gui, ChangePasswordAsksInADialog) {
    Program program;
    program.passGate();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Change Password"));
        const QStringList typed{QStringLiteral("secret"), QStringLiteral("other"),
                                QStringLiteral("other")};
        for (int i = 0; i < 3; ++i) {
            auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword%1").arg(i));
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->echoMode(), QLineEdit::Password);
            QTest::keyClicks(field, typed[i]);
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdPasswordsOK")),
                          Qt::LeftButton);
    });
    program.menu("mnuChangePassword");
    EXPECT_EQ(messages(), "64\tVellumar\tThe Password Has Been Changed.\n");
    EXPECT_EQ(storedPassword(program.settings), "other");
}

}  // namespace
}  // namespace vellumar::test
