#pragma once
// frmFolderDecrypt on Qt Widgets: the encrypted folders, one checkable row
// each, and OK. Shown modally over the main window; it renders the window's
// logic and forwards the ticks and the click.

#include <QDialog>

#include "app/encrypted_folders.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace vellumar {

class EncryptedFoldersDialog : public QDialog {
    Q_OBJECT

  public:
    EncryptedFoldersDialog(WindowModel& model, Desktop& desktop, QWidget* parent = nullptr);

  private:
    void rowChecked(QTreeWidgetItem* item);
    void cmdDecrypt_Click();
    // Shows the logic's ticks on the rows.
    void showTicks();

    EncryptedFolders logic_;
    QTreeWidget* lstDecrypt_ = nullptr;
    bool showingTicks_ = false;
};

}  // namespace vellumar
