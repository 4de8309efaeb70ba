#pragma once
// The running copy's door for later starts: a local socket beside the
// single-instance lock, in the same folder of the user's alone. A later start hands over the paths it
// was given (or only asks for the window to come to the front) and ends.

#include <QLocalServer>
#include <QString>
#include <functional>

#include "app/open_paths.h"

namespace vellumar {

class InstanceChannel {
  public:
    explicit InstanceChannel(const QString& name = QStringLiteral("Tessarin"));
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    // Opens the door; only the holder of the single-instance lock may (so a
    // socket left by a crashed copy can be removed first). False when it
    // could not be opened: the program runs on without it.
    bool listen();
    // Called with each whole request received.
    std::function<void(const OpenRequest&)> onRequest;

    // Hands a request to the running copy; true once that copy took it.
    static bool send(const OpenRequest& request, const QString& name = QStringLiteral("Tessarin"),
                     int timeoutMs = 5000);
    // The socket's full path (empty without a private folder), never a bare
    // name that Qt would place in the shared temporary folder.
    static QString serverName(const QString& name);

  private:
    void accept();

    QString name_;
    QLocalServer server_;
};

}  // namespace vellumar
