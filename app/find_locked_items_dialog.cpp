#include "app/find_locked_items_dialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qt_desktop.h"
#include "engine/platform/paths.h"
#include "folders/locked_item_rescue.h"

namespace vellumar {

// The port the scan and the unlocks run through: progress on the dialog's
// own line, and a yield that takes clicks too, so that Cancel can be
// pressed (every other button is disabled while a run is on).
class FindLockedItemsDialog::ScanDesktop final : public Desktop {
  public:
    explicit ScanDesktop(FindLockedItemsDialog& dialog) : dialog_(dialog) {}

    using Desktop::message;
    void message(const std::string& text, Icon icon, const std::string& title) override {
        dialog_.desktop_.message(text, icon, title);
    }
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        const QString count = total > 0 ? QStringLiteral("%1 of %2").arg(done).arg(total)
                                        : QStringLiteral("%1 folders").arg(done);
        dialog_.lblProgress_->setText(count + QStringLiteral(": ") + displayText(current));
        yield();
    }
    void yield() override {
        if (sinceYield_.isValid() && sinceYield_.elapsed() < 30) return;
        QCoreApplication::processEvents();
        sinceYield_.restart();
    }
    bool cancelRequested() override { return dialog_.cancel_; }

  private:
    FindLockedItemsDialog& dialog_;
    QElapsedTimer sinceYield_;
};

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int width) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumWidth(width);
    return b;
}

// A label that shows a path: a long one is cut off rather than widen the window.
QLabel* pathLabel(QWidget* parent, const char* name, const QString& text = QString()) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

}  // namespace

FindLockedItemsDialog::FindLockedItemsDialog(Desktop& desktop, QWidget* parent,
                                             const SealingKeys* keys)
    : QDialog(parent), desktop_(desktop), keys_(keys) {
    setObjectName(QStringLiteral("frmFindLocked"));
    setWindowTitle(QStringLiteral("Find Locked Items"));
    setModal(true);
    setWindowIcon(applicationIcon());

    lblFolder_ = pathLabel(this, "lblFolder",
                           QStringLiteral("Choose a folder to look for locked items in."));
    cmdChoose_ = button(this, "cmdChoose", QStringLiteral("&Choose Folder..."), 116);

    lstFound_ = new QTreeWidget(this);
    lstFound_->setObjectName(QStringLiteral("lstFound"));
    lstFound_->setRootIsDecorated(false);
    lstFound_->setUniformRowHeights(true);
    lstFound_->setTextElideMode(Qt::ElideMiddle);
    lstFound_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Kind"),
                                QStringLiteral("Where"), QStringLiteral("Listed")});
    const int widths[] = {110, 180, 170};
    for (int column = 0; column < 3; ++column) lstFound_->setColumnWidth(column, widths[column]);

    lblProgress_ = pathLabel(this, "lblProgress");

    cmdRelist_ = button(this, "cmdRelist", QStringLiteral("&Add to my lists"), 130);
    cmdUnlockAll_ = button(this, "cmdUnlockAll", QStringLiteral("&Unlock all"), 110);
    cmdCancel_ = button(this, "cmdCancel", QStringLiteral("Cancel"), 95);
    cmdClose_ = button(this, "cmdClose", QStringLiteral("Close"), 95);

    // The list takes whatever room the window is given.
    auto* column = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    head->addWidget(lblFolder_, 1);
    head->addWidget(cmdChoose_);
    column->addLayout(head);
    column->addWidget(lstFound_, 1);
    column->addWidget(lblProgress_);
    auto* foot = new QHBoxLayout;
    for (QPushButton* left : {cmdRelist_, cmdUnlockAll_}) foot->addWidget(left);
    foot->addStretch(1);
    for (QPushButton* right : {cmdCancel_, cmdClose_}) foot->addWidget(right);
    column->addLayout(foot);
    setMinimumSize(QSize(480, 260).expandedTo(minimumSizeHint()));
    resize(560, 340);

    connect(cmdChoose_, &QPushButton::clicked, this, [this] { cmdChoose_Click(); });
    connect(cmdRelist_, &QPushButton::clicked, this, [this] { cmdRelist_Click(); });
    connect(cmdUnlockAll_, &QPushButton::clicked, this, [this] { cmdUnlockAll_Click(); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { cancel_ = true; });
    connect(cmdClose_, &QPushButton::clicked, this, [this] { reject(); });
    setRunning(false);
}

void FindLockedItemsDialog::setRunning(bool running) {
    const bool found = !found_.folders.empty() || !found_.files.empty();
    cmdChoose_->setEnabled(!running);
    cmdClose_->setEnabled(!running);
    cmdRelist_->setEnabled(!running && found);
    cmdUnlockAll_->setEnabled(!running && found);
    cmdCancel_->setEnabled(running);
    if (running) cancel_ = false;
}

void FindLockedItemsDialog::cmdChoose_Click() {
    const std::string folder = desktop_.pickFolder();
    if (folder.empty()) return;
    root_ = stripBackslash(folder).empty() ? folder : stripBackslash(folder);
    lblFolder_->setText(displayText(root_));
    scan();
}

void FindLockedItemsDialog::scan() {
    found_ = ScanResult();
    lstFound_->clear();
    setRunning(true);
    ScanDesktop port(*this);
    found_ = scanLockedItems(root_, ScanOptions{}, port);
    for (const ScannedFolder& folder : found_.folders) {
        auto* item = new QTreeWidgetItem(
            {displayText(getFileName(folder.plainPath)),
             QStringLiteral("Locked folder, %1 locked files").arg(folder.lockedFiles),
             displayText(getFolderPart(folder.path)),
             folder.listed ? QStringLiteral("Yes") : QStringLiteral("No")});
        lstFound_->addTopLevelItem(item);
    }
    for (const ScannedFile& file : found_.files) {
        if (file.inLockedFolder) continue;
        // A sealed file's plain name is sealed with it: it shows its own.
        const bool sealed = file.format == LockedFileFormat::sealed;
        lstFound_->addTopLevelItem(new QTreeWidgetItem(
            {displayText(sealed ? getFileName(file.path) : file.plainName),
             file.damaged()
                 ? QStringLiteral("Damaged locked file")
                 : (sealed ? QStringLiteral("Sealed file") : QStringLiteral("Locked file")),
             displayText(getFolderPart(file.path)), QString()}));
    }
    QString status = QStringLiteral("%1 locked folders and %2 locked files found.")
                         .arg(found_.folders.size())
                         .arg(found_.files.size());
    if (found_.startMissing) status = QStringLiteral("There is no folder there.");
    if (!found_.unsearched.empty())
        status +=
            QStringLiteral(" %1 folders could not be searched.").arg(found_.unsearched.size());
    if (found_.cancelled) status = QStringLiteral("Cancelled. ") + status;
    lblProgress_->setText(status);
    setRunning(false);
}

void FindLockedItemsDialog::cmdRelist_Click() {
    const RelistResult relist = relistScannedItems(found_);
    std::string failures;
    for (const std::string& line : relist.failureLines()) failures += "\r\n" + line;
    if (!failures.empty()) {
        desktop_.message("Not everything found could be added to the lists:" + failures,
                         Icon::critical);
    } else {
        desktop_.message(std::to_string(relist.foldersAdded) +
                             " folders were added to the list of encrypted folders and " +
                             std::to_string(relist.filesAdded) +
                             " files to the list of locked files.",
                         Icon::information);
    }
    scan();
}

void FindLockedItemsDialog::cmdUnlockAll_Click() {
    setRunning(true);
    RescueResult rescue;
    {
        ScanDesktop port(*this);
        rescue = rescueLockedItems(root_, found_, port, keys_);
    }
    size_t foldersDone = 0;
    for (const FolderRunResult& folder : rescue.folders) foldersDone += folder.folderDone ? 1 : 0;
    const std::string text =
        std::to_string(foldersDone) + " of " + std::to_string(rescue.folders.size()) +
        " folders and " + std::to_string(rescue.files.count(ItemStatus::done)) + " of " +
        std::to_string(rescue.files.items.size() + rescue.damaged.size()) +
        " loose files were unlocked." +
        (rescue.complete()
             ? ""
             : "\nWhat is left is listed again; tessarin-cli rescue names each cause.");
    desktop_.message(text, rescue.complete() ? Icon::information : Icon::exclamation);
    scan();
}

}  // namespace vellumar
