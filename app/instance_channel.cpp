#include "app/instance_channel.h"

#include <QLocalSocket>
#include <memory>

#include "app/single_instance.h"

namespace vellumar {
namespace {

const QByteArray kTaken = QByteArrayLiteral("taken\n");
// More than any command line can hold; a peer sending more is cut off.
constexpr qsizetype kLargestRequest = 64 * 1024 * 1024;

}  // namespace

QString InstanceChannel::serverName(const QString& name) {
#ifdef _WIN32
    // A pipe name: one per user.
    return name + QLatin1Char('-') + qEnvironmentVariable("USERNAME");
#else
    // Beside the lock, in the user's own private folder.
    QString path = SingleInstance::lockPath(name);
    if (path.isEmpty()) return {};
    path.chop(5);  // ".lock"
    return path + QStringLiteral(".socket");
#endif
}

InstanceChannel::InstanceChannel(const QString& name) : name_(name) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { accept(); });
}

InstanceChannel::~InstanceChannel() {
    server_.close();
}

bool InstanceChannel::listen() {
    const QString name = serverName(name_);
    if (name.isEmpty()) return false;
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

void InstanceChannel::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<std::string>();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
            const QByteArray bytes = socket->readAll();
            buffer->append(bytes.constData(), static_cast<size_t>(bytes.size()));
            if (buffer->size() > static_cast<size_t>(kLargestRequest)) {
                socket->abort();
                return;
            }
            OpenRequest request;
            if (!decodeOpenRequest(*buffer, request)) return;
            buffer->clear();
            socket->write(kTaken);
            socket->flush();
            socket->disconnectFromServer();
            if (onRequest) onRequest(request);
        });
    }
}

bool InstanceChannel::send(const OpenRequest& request, const QString& name, int timeoutMs) {
    const QString server = serverName(name);
    if (server.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(server);
    if (!socket.waitForConnected(timeoutMs)) return false;
    const std::string bytes = encodeOpenRequest(request);
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    QByteArray answer;
    while (answer.size() < kTaken.size()) {
        if (!socket.waitForReadyRead(timeoutMs)) break;
        answer += socket.readAll();
    }
    return answer == kTaken;
}

}  // namespace vellumar
