#include "app/path_opener.h"

#include <algorithm>

#include "app/encrypted_folders.h"
#include "app/folder_chooser.h"
#include "engine/platform/file_system.h"
#include "engine/platform/paths.h"
#include "locking/file_operations.h"

namespace vellumar {
namespace {

// The desktop, with the folder dialog answered by the folder given.
class GivenFolderDesktop : public Desktop {
  public:
    GivenFolderDesktop(Desktop& desktop, std::string folder)
        : desktop_(desktop), folder_(std::move(folder)) {}
    using Desktop::message;
    void message(const std::string& text, Icon icon, const std::string& title) override {
        desktop_.message(text, icon, title);
    }
    std::vector<std::string> pickFiles() override { return desktop_.pickFiles(); }
    std::string pickFolder() override { return folder_; }
    void showEncryptedFolders() override { desktop_.showEncryptedFolders(); }
    void openAddress(const std::string& address) override { desktop_.openAddress(address); }
    void setBusy(bool busy) override { desktop_.setBusy(busy); }
    void progress(uint64_t done, uint64_t total, const std::string& current) override {
        desktop_.progress(done, total, current);
    }
    void yield() override { desktop_.yield(); }
    bool cancelRequested() override { return desktop_.cancelRequested(); }

  private:
    Desktop& desktop_;
    std::string folder_;
};

OpenIntent intentOf(Option option) {
    return option == Option::OptDecFiles || option == Option::OptDecFolder ? OpenIntent::unlock
                                                                           : OpenIntent::lock;
}

}  // namespace

bool passwordGatePassed(const WindowModel& model) {
    return model.wizard.gatePassed();
}

void PathOpener::receive(const OpenRequest& request) {
    if (request.raiseOnly()) return;
    pending_ = request;
}

bool PathOpener::openWhenReady() {
    WindowModel& model = form_.model();
    if (!pending_ || model.wizard.mayChangeFiles() != Refused::none) return false;
    const OpenRequest request = *pending_;
    pending_.reset();
    open(planOpenedPaths(request.paths, request.intent));
    return true;
}

bool PathOpener::drop(const std::vector<std::string>& paths) {
    WindowModel& model = form_.model();
    if (model.wizard.mayEditTargets() != Refused::none) return false;
    const Option option = model.operation();
    OpenPlan plan = planOpenedPaths(paths, intentOf(option), option);
    if (plan.option == option) {
        if (plan.folder.empty()) {
            addFiles(plan.files);
        } else {
            form_.cmdClear_Click();
            prepareFolder(plan);
        }
    }
    tellRefused(plan);
    model.changed();
    return true;
}

void PathOpener::open(const OpenPlan& plan) {
    if (plan.option != Option::none) {
        form_.openTargetPage(plan.option);
        if (plan.folder.empty())
            addFiles(plan.files);
        else
            prepareFolder(plan);
    }
    tellRefused(plan);
    form_.model().changed();
}

void PathOpener::addFiles(const std::vector<std::string>& files) {
    WindowModel& model = form_.model();
    for (const std::string& file : files) {
        const bool listed = std::any_of(model.targetList.begin(), model.targetList.end(),
                                        [&](const ListRow& row) { return row.path == file; });
        if (!listed) model.targetList.push_back(targetRow(file));
    }
    model.runButtonEnabled = !model.targetList.empty();
}

void PathOpener::prepareFolder(const OpenPlan& plan) {
    WindowModel& model = form_.model();
    if (plan.option == Option::OptEncFolder) {
        GivenFolderDesktop given(desktop_, plan.folder);
        Folder_Encrypt(model, given);
        return;
    }
    // Decrypt a Folder: its record ticked in the encrypted-folders window.
    EncryptedFolders folders(model, desktop_);
    folders.Form_Load();
    bool ticked = false;
    for (ListRow& row : folders.lstDecrypt) {
        if (row.path != plan.folder) continue;
        row.checked = ticked = true;
        break;
    }
    if (!ticked) {
        desktop_.message("The folder " + plan.folder + " is no longer listed as locked.",
                         Icon::critical);
        return;
    }
    folders.cmdDecrypt_Click();
}

void PathOpener::tellRefused(const OpenPlan& plan) {
    if (!plan.refused.empty()) desktop_.message(refusedPathsText(plan.refused), Icon::exclamation);
}

}  // namespace vellumar
