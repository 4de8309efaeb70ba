#include "app/background_task.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace vellumar {

void runInBackground(QObject* owner, std::function<void()> work, std::function<void()> then) {
    auto* watcher = new QFutureWatcher<void>(owner);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, owner,
                     [watcher, then = std::move(then)] {
                         watcher->deleteLater();
                         then();
                     });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

}  // namespace vellumar
