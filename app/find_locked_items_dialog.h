#pragma once
// "Find Locked Items...": scans a chosen folder for locked files and folders
// from the disk alone, lists them (plain name, kind, where, listed or not)
// with progress and Cancel, and offers to add them to the program's lists or
// to unlock them all. The work is the folder layer's; this only shows it.

#include <QDialog>
#include <string>

#include "engine/runs/desktop.h"
#include "folders/locked_item_scan.h"
#include "locking/sealing_keys.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vellumar {

class FindLockedItemsDialog : public QDialog {
    Q_OBJECT

  public:
    // `keys`: what Unlock all opens sealed files with (null: they stay sealed).
    FindLockedItemsDialog(Desktop& desktop, QWidget* parent = nullptr,
                          const SealingKeys* keys = nullptr);

    // The folder last scanned, as bytes.
    const std::string& folder() const { return root_; }

  private:
    class ScanDesktop;

    void cmdChoose_Click();
    void cmdRelist_Click();
    void cmdUnlockAll_Click();
    // Scans root_ again and shows what it found.
    void scan();
    void setRunning(bool running);

    Desktop& desktop_;
    const SealingKeys* keys_;
    std::string root_;
    ScanResult found_;
    bool cancel_ = false;
    QLabel* lblFolder_ = nullptr;
    QLabel* lblProgress_ = nullptr;
    QTreeWidget* lstFound_ = nullptr;
    QPushButton* cmdChoose_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QPushButton* cmdRelist_ = nullptr;
    QPushButton* cmdUnlockAll_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
};

}  // namespace vellumar
