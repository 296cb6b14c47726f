#include "platform/singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

namespace quenor {
namespace {

// One line: "OPEN\t<absolute path>\n", or "SHOW\n".
QByteArray Request(const QString& fileName)
{
    if (fileName.isEmpty())
        return QByteArrayLiteral("SHOW\n");
    return QByteArrayLiteral("OPEN\t") + fileName.toUtf8() + '\n';
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

bool SingleInstance::SendToPrimary(const QString& fileName, int timeoutMs) const
{
    QString path;
    if (!fileName.isEmpty())
        path = QFileInfo(fileName).absoluteFilePath();  // the running instance has another working folder
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(Request(path));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
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
                if (buffer->size() > 65536)  // nobody sends a path that long
                    socket->abort();
                return;
            }
            const QByteArray line = buffer->left(eol);
            buffer->clear();
            socket->disconnectFromServer();
            if (line == "SHOW")
                emit Activated(QString());
            else if (line.startsWith("OPEN\t"))
                emit Activated(QString::fromUtf8(line.mid(5)));
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            handle();
    }
}

}  // namespace quenor
