#pragma once
// Work that would freeze the window (opening the key file: seconds of
// scrypt) runs on Qt's thread pool; what follows runs on the window's
// thread once it is done, and not at all when the window is gone.

#include <QObject>
#include <functional>

namespace vellumar {

void runInBackground(QObject* owner, std::function<void()> work, std::function<void()> then);

}  // namespace vellumar
