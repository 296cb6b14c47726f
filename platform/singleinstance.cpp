#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <optional>

#include <unistd.h>

namespace quenor {
namespace {

// The longest path handed over, in bytes: far more than Linux opens.
constexpr qsizetype kMaxPathBytes = 65536;

// "SHOW\n", or "OPEN <length>\n" and the absolute path's bytes: a path may
// hold any byte but NUL, a newline or a tab included.
QByteArray Request(const QByteArray& path)
{
    if (path.isEmpty())
        return QByteArrayLiteral("SHOW\n");
    return QByteArrayLiteral("OPEN ") + QByteArray::number(path.size()) + '\n' + path;
}

// The path's bytes, or none when the name cannot stand for them (a name
// decoded from bytes that are not UTF-8 names another file).
std::optional<QByteArray> PathBytes(const QString& path)
{
    QByteArray bytes = QFile::encodeName(path);
    if (bytes.contains('\0') || QFile::decodeName(bytes) != path)
        return std::nullopt;
    return bytes;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? DefaultName() : name)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::DefaultName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/quenor-%1.socket").arg(::getuid());
}

bool SingleInstance::Claim()
{
    // Two starts at the same moment must not both decide they are first.
    QLockFile lock(name_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    lock.tryLock(5000);

    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            probe.disconnectFromServer();
            return false;
        }
    }
    // Nobody answers: a socket file left by a crashed instance is removed.
    QLocalServer::removeServer(name_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        server_.reset();
        // Without the socket we still run; a second start then runs too.
        return true;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    return true;
}

bool SingleInstance::SendToPrimary(const QString& fileName, int timeoutMs, QString* why) const
{
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    QByteArray path;
    if (!fileName.isEmpty()) {
        // The running instance has another working folder.
        const std::optional<QByteArray> bytes = PathBytes(QFileInfo(fileName).absoluteFilePath());
        if (!bytes)
            return refuse(QStringLiteral("the file name cannot be handed over as it stands"));
        if (bytes->size() > kMaxPathBytes)
            return refuse(QStringLiteral("the file name is longer than %1 bytes").arg(kMaxPathBytes));
        path = *bytes;
    }
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return refuse(QStringLiteral("the running Quenor does not answer (%1)").arg(socket.errorString()));
    socket.write(Request(path));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs))
            return refuse(QStringLiteral("the running Quenor did not take the request (%1)").arg(socket.errorString()));
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto handle = [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype eol = buffer->indexOf('\n');
            if (eol < 0) {
                if (buffer->size() > 32)  // no request begins with a longer line
                    socket->abort();
                return;
            }
            const QByteArray head = buffer->left(eol);
            if (head == "SHOW") {
                buffer->clear();
                socket->disconnectFromServer();
                emit Activated(QString());
                return;
            }
            // "OPEN <length>": the path follows, that many bytes of it.
            bool number = false;
            const qsizetype length = head.startsWith("OPEN ") ? head.mid(5).toLongLong(&number) : -1;
            if (!number || length < 1 || length > kMaxPathBytes || head.mid(5) != QByteArray::number(length)) {
                socket->abort();
                return;
            }
            if (buffer->size() - eol - 1 < length)
                return;  // the rest is on its way
            const QByteArray bytes = buffer->mid(eol + 1, length);
            buffer->clear();
            socket->disconnectFromServer();
            const QString path = QFile::decodeName(bytes);
            // Only a path that names the very file sent is opened.
            if (PathBytes(path) == bytes && QFileInfo(path).isAbsolute())
                emit Activated(path);
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            handle();
    }
}

}  // namespace quenor
