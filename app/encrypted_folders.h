#pragma once
// The encrypted-folders window frmFolderDecrypt without Qt: it lists the
// locked folders, lets the user tick one, and prepares the main window to
// unlock it.

#include <string>
#include <vector>

#include "engine/runs/desktop.h"
#include "app/window_model.h"

namespace vellumar {

class EncryptedFolders {
  public:
    EncryptedFolders(WindowModel& model, Desktop& desktop) : model_(model), desktop_(desktop) {}

    // Lists the records of "folders" up to its first empty line; creates the
    // list empty when it is missing. False when the list could not be read
    // (nothing is listed then).
    bool Form_Load();
    // OK: prepares the ticked folder (the folder state, one row in the
    // target list, its files found under its locked name, the run button),
    // or says why it cannot.
    void cmdDecrypt_Click();
    // Ticks or unticks one row; a tick unticks every other row, as one
    // folder is unlocked at a time.
    void tickRow(size_t index, bool ticked);

    // The row the person selected (-1: none). OK with no row ticked takes
    // the selected one.
    int selectedRow = -1;

    // One row per record, all unticked at first; the window ticks them.
    std::vector<ListRow> lstDecrypt;
    // Set when the window is done and closes itself.
    bool unloaded = false;

  private:
    std::vector<const ListRow*> tickedRows();
    // The ticked record: the folder state, its files found, the run button.
    void prepare(const std::string& record);

    WindowModel& model_;
    Desktop& desktop_;
};

}  // namespace vellumar
