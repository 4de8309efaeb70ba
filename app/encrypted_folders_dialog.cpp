#include "app/encrypted_folders_dialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qt_desktop.h"

namespace vellumar {

EncryptedFoldersDialog::EncryptedFoldersDialog(WindowModel& model, Desktop& desktop, QWidget* parent)
    : QDialog(parent), logic_(model, desktop) {
    setObjectName(QStringLiteral("frmFolderDecrypt"));
    setWindowTitle(QStringLiteral("Select A Folder To Decrypt"));
    setModal(true);
    setWindowIcon(applicationIcon());

    lstDecrypt_ = new QTreeWidget(this);
    lstDecrypt_->setObjectName(QStringLiteral("lstDecrypt"));
    lstDecrypt_->setRootIsDecorated(false);
    lstDecrypt_->setUniformRowHeights(true);
    lstDecrypt_->setTextElideMode(Qt::ElideMiddle);
    lstDecrypt_->setHeaderLabels({QStringLiteral("Folder To Decrypt")});

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdDecrypt"));
    ok->setMinimumWidth(95);

    // The list takes whatever room the window is given; OK stays bottom right.
    auto* column = new QVBoxLayout(this);
    column->addWidget(lstDecrypt_, 1);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(ok);
    column->addLayout(foot);
    setMinimumSize(QSize(300, 200).expandedTo(minimumSizeHint()));
    resize(420, 260);
    connect(ok, &QPushButton::clicked, this, [this] { cmdDecrypt_Click(); });

    logic_.Form_Load();
    for (const ListRow& row : logic_.lstDecrypt) {
        auto* item = new QTreeWidgetItem({displayText(row.text)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setToolTip(0, displayText(row.text));
        lstDecrypt_->addTopLevelItem(item);
    }
    connect(lstDecrypt_, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { rowChecked(item); });
    // Only a row the person selected counts, not the one that takes the focus.
    connect(lstDecrypt_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = lstDecrypt_->selectedItems();
        logic_.selectedRow =
            selected.isEmpty() ? -1 : lstDecrypt_->indexOfTopLevelItem(selected.first());
    });
}

void EncryptedFoldersDialog::rowChecked(QTreeWidgetItem* item) {
    if (showingTicks_) return;
    int index = lstDecrypt_->indexOfTopLevelItem(item);
    if (index < 0) return;
    logic_.tickRow(static_cast<size_t>(index), item->checkState(0) == Qt::Checked);
    showTicks();
}

void EncryptedFoldersDialog::showTicks() {
    showingTicks_ = true;
    for (int i = 0;
         i < lstDecrypt_->topLevelItemCount() && i < static_cast<int>(logic_.lstDecrypt.size());
         ++i) {
        const bool ticked = logic_.lstDecrypt[static_cast<size_t>(i)].checked;
        lstDecrypt_->topLevelItem(i)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }
    showingTicks_ = false;
}

void EncryptedFoldersDialog::cmdDecrypt_Click() {
    logic_.cmdDecrypt_Click();
    showTicks();
    if (logic_.unloaded) accept();
}

}  // namespace vellumar
