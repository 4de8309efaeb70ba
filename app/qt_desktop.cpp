#include "app/qt_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "app/encrypted_folders_dialog.h"
#include "app/selection.h"

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

// Yield at most this often while a run is in progress.
constexpr qint64 kYieldIntervalMs = 30;

}  // namespace

QString displayText(const std::string& text) {
    return QFile::decodeName(bytes(text));
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
    QString shown = displayText(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon(icon), displayText(title), shown, QMessageBox::Ok, window_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::vector<std::string> QtDesktop::pickFiles() {
    QStringList chosen = QFileDialog::getOpenFileNames(window_, QString(), QString(),
                                                       QStringLiteral("All files (*)"));
    std::vector<std::string> paths;
    for (const QString& path : chosen) paths.push_back(fromQt(path));
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
    // Paint, but take no click or key: no other handler may start mid-run.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceYield_.restart();
}

}  // namespace vellumar
