#include "app/window_model.h"

namespace vellumar {

std::string targetPrompt(Option operation) {
    switch (operation) {
        case Option::OptEncFiles:
            return "Add files that are to be encrypted and locked";
        case Option::OptDecFiles:
            return "Add files that are to be decrypted and unlocked";
        case Option::OptEncFolder:
            return "Add folder to be encrypted and locked";
        case Option::OptDecFolder:
            return "Add folder to be decrypted and unlocked";
        case Option::none:
            break;
    }
    return {};
}

std::string runButtonCaption(Option operation) {
    switch (operation) {
        case Option::OptEncFiles:
        case Option::OptEncFolder:
            return "Encrypt";
        case Option::OptDecFiles:
        case Option::OptDecFolder:
            return "Decrypt";
        case Option::none:
            break;
    }
    return {};
}

bool WindowModel::readyToRun() const {
    const Option operation = wizard.operation();
    if (operation == Option::OptEncFolder || operation == Option::OptDecFolder)
        return runButtonEnabled && !FolderName.empty();
    return !targetList.empty();
}

void WindowModel::setFocus(Field field) {
    focus = field;
    ++focusRequests;
}

void WindowModel::setFileBoxPath(const std::string& path) {
    if (path == filFilesPath) return;
    filFilesPath = path;
    if (fileBoxPathChanged) fileBoxPathChanged();
}

void WindowModel::changed() {
    ++revision;
    if (onChanged) onChanged();
}

}  // namespace vellumar
