#include "app/window_model.h"

#include <algorithm>

namespace vellumar {

WindowModel::WindowModel()
    : zOrder{Page::fraResult, Page::fraAbout, Page::fraSelect, Page::fraPassword} {}

void WindowModel::bringToFront(Page page) {
    auto it = std::find(zOrder.begin(), zOrder.end(), page);
    if (it != zOrder.end()) std::rotate(it, it + 1, zOrder.end());
}

void WindowModel::sendToBack(Page page) {
    auto it = std::find(zOrder.begin(), zOrder.end(), page);
    if (it != zOrder.end()) std::rotate(zOrder.begin(), it, it + 1);
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
