#include "app/password_dialog.h"
#include "app/qt_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSpacerItem>
#include <QUrl>
#include <algorithm>

#include "app/encrypted_folders_dialog.h"
#include "app/plain_folder_names.h"
#include "app/selection.h"
#include "engine/formats/locked_kind.h"
#include "engine/sealing/sealed_lock.h"

namespace vellumar {
namespace {

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQt(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
        case Icon::critical:
            return QMessageBox::Critical;
        case Icon::exclamation:
            return QMessageBox::Warning;
        case Icon::information:
            return QMessageBox::Information;
        case Icon::none:
            break;
    }
    return QMessageBox::NoIcon;
}

// The width a message box's text takes at least, so that the window
// manager has room for the whole title beside the title bar's buttons.
int titleWidth(const QMessageBox& box, const QString& title) {
    constexpr int kTitleBarButtons = 120;
    return box.fontMetrics().horizontalAdvance(title) + kTitleBarButtons;
}

// The text of a box keeps room for the whole title, and for its widest word
// (a path, the recovery key) as far as a box on this screen can be wide, so
// that such a word is not broken. The room is a spacer in the text's cell:
// a minimum width on the text itself would keep the box from wrapping a long
// text, and cut it off instead.
void keepRoom(QMessageBox& box, const QString& title, const QString& text) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!grid || !label) return;
    int wordWidth = 0;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s")), Qt::SkipEmptyParts))
        wordWidth = std::max(wordWidth, box.fontMetrics().horizontalAdvance(word));
    // Well inside the widest box the toolkit makes on this screen.
    const QScreen* screen = box.screen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 0;
    wordWidth = std::min(wordWidth, std::clamp(screenWidth - 580, 0, 850));
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
    grid->addItem(new QSpacerItem(std::max(titleWidth(box, title), wordWidth), 0), row, column, 1,
                  columns);
}

// Yield at most this often while a run is in progress.
constexpr qint64 kYieldIntervalMs = 30;

}  // namespace

QString displayText(const std::string& text) {
    return QFile::decodeName(bytes(text));
}

QIcon applicationIcon() {
    return QIcon(QStringLiteral(":/artwork/icon.svg"));
}

QtDesktop::QtDesktop() : messageLog_(qEnvironmentVariable("TESSARIN_MESSAGE_LOG")) {}

void QtDesktop::message(const std::string& text, Icon icon, const std::string& title) {
    if (!messageLog_.isEmpty()) {
        QFile log(messageLog_);
        if (log.open(QIODevice::Append)) {
            log.write(QByteArray::number(static_cast<int>(icon)) + '\t' + bytes(title) + '\t' +
                      bytes(text) + '\n');
        }
        return;
    }
    // Lines may be joined by a lone carriage return; a label breaks on line feeds.
    QString shown = displayText(withPlainFolderNames(text));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon(icon), displayText(title), shown, QMessageBox::Ok, window_);
    box.setWindowIcon(applicationIcon());
    box.setTextFormat(Qt::PlainText);
    // Paths and the recovery key can be copied out of it.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    keepRoom(box, displayText(title), shown);
    box.exec();
}

bool QtDesktop::ask(const std::string& text, Icon icon, const std::string& title) {
    if (!messageLog_.isEmpty()) {
        QFile log(messageLog_);
        if (log.open(QIODevice::Append))
            log.write("?" + QByteArray::number(static_cast<int>(icon)) + '\t' + bytes(title) +
                      '\t' + bytes(text) + '\n');
        return qEnvironmentVariable("TESSARIN_ANSWER") == QStringLiteral("yes");
    }
    QString shown = displayText(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon(icon), displayText(title), shown, QMessageBox::Yes | QMessageBox::No,
                    window_);
    box.setWindowIcon(applicationIcon());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    keepRoom(box, displayText(title), shown);
    return box.exec() == QMessageBox::Yes;
}

bool QtDesktop::askPasswords(const std::string& title, const std::vector<std::string>& labels,
                             std::vector<std::string>& typed) {
    QStringList captions, answers;
    for (const std::string& label : labels) captions << displayText(label);
    if (!askPasswordsDialog(window_, displayText(title), captions, answers)) return false;
    typed.clear();
    for (const QString& answer : answers) typed.push_back(answer.toStdString());
    return true;
}

std::vector<std::string> QtDesktop::pickFiles() {
    QFileDialog dialog(window_);
    dialog.setObjectName(QStringLiteral("filePicker"));
    dialog.setWindowIcon(applicationIcon());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList filters{QStringLiteral("All files (*)")};
    if (model_ && model_->operation() == Option::OptDecFiles) {
        // Locked files are hidden (by attribute, and in their folder's
        // .hidden list): this dialog shows hidden files rather than have
        // them unhidden, and offers the locked ones first.
        filters.prepend(QString::fromStdString("Locked files (*" + kSmallExtension + " *" +
                                               kLargeExtension + " *" + kSealedExtension + ")"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    }
    dialog.setNameFilters(filters);
    std::vector<std::string> paths;
    if (dialog.exec() == QDialog::Accepted) {
        for (const QString& path : dialog.selectedFiles()) paths.push_back(fromQt(path));
    }
    return dialogSelection(paths);
}

std::string QtDesktop::pickFolder() {
    QString folder = QFileDialog::getExistingDirectory(window_);
    return folder.isEmpty() ? std::string() : fromQt(folder);
}

void QtDesktop::showEncryptedFolders() {
    if (!model_) return;
    EncryptedFoldersDialog window(*model_, *this, window_);
    // Its messages belong to it while it is open.
    QPointer<QWidget> owner = window_;
    window_ = &window;
    window.exec();
    window_ = owner;
}

void QtDesktop::openAddress(const std::string& address) {
    // Without a browser the click would otherwise do nothing at all.
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(bytes(address))))
        message("No web browser could be started to open " + address, Icon::exclamation,
                kApplicationTitle);
}

void QtDesktop::setBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

void QtDesktop::progress(uint64_t done, uint64_t total, const std::string& current) {
    if (progressView) progressView(done, total, current);
    yield();
}

void QtDesktop::yield() {
    if (sinceYield_.isValid() && sinceYield_.elapsed() < kYieldIntervalMs) return;
    // Paint, but take no click or key: no other handler may start meanwhile.
    // A run takes input too, for its Cancel button: the main window lets
    // nothing else through while one is in progress.
    const bool run = model_ && model_->wizard.running();
    QCoreApplication::processEvents(run ? QEventLoop::AllEvents
                                        : QEventLoop::ExcludeUserInputEvents);
    sinceYield_.restart();
}

bool QtDesktop::cancelRequested() {
    return model_ && model_->cancelRequested;
}

}  // namespace vellumar
