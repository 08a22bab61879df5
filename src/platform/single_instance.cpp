#include "platform/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>
#include <memory>

namespace velmar::platform {

namespace {

constexpr char tag[] = {'V', 'L', 'M', '1'};
constexpr qsizetype headerSize = 8;
constexpr char accepted = 'A';
// A client that does not finish its message in this time is dropped, so a stuck
// peer cannot hold the running copy's resources.
constexpr int clientDeadlineMs = 5000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime + QStringLiteral("/velmar/instance");
}

QByteArray SingleInstance::encode(const QStringList& files)
{
    QByteArray payload;
    for (const QString& file : files) {
        payload += file.toUtf8();
        payload += '\0';
    }
    QByteArray message(tag, sizeof tag);
    char length[4];
    qToBigEndian(static_cast<quint32>(payload.size()), length);
    message.append(length, sizeof length);
    return message + payload;
}

SingleInstance::Decoded SingleInstance::decode(const QByteArray& bytes, QStringList* files)
{
    const qsizetype tagBytes = std::min<qsizetype>(bytes.size(), sizeof tag);
    if (bytes.left(tagBytes) != QByteArray(tag, tagBytes))
        return Decoded::Invalid;
    if (bytes.size() < headerSize)
        return Decoded::Incomplete;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + sizeof tag);
    if (length > maxMessageSize - headerSize)
        return Decoded::Invalid;
    if (bytes.size() < headerSize + qsizetype(length))
        return Decoded::Incomplete;
    if (bytes.size() > headerSize + qsizetype(length))
        return Decoded::Invalid;
    const QByteArray payload = bytes.mid(headerSize);
    if (!payload.isEmpty() && !payload.endsWith('\0'))
        return Decoded::Invalid;
    files->clear();
    qsizetype from = 0;
    while (from < payload.size()) {
        const qsizetype end = payload.indexOf('\0', from);
        if (end == from)
            return Decoded::Invalid; // an empty name
        files->append(QString::fromUtf8(payload.constData() + from, end - from));
        from = end + 1;
    }
    return Decoded::Complete;
}

SingleInstance::Role SingleInstance::start(const QStringList& files,
                                           std::chrono::milliseconds timeout)
{
    const QFileInfo socketInfo(m_socketPath);
    const QString folder = socketInfo.absolutePath();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create %1").arg(folder);
        return Role::Failed;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Probing for a running copy and starting to listen happen under one lock, so
    // two copies started at the same moment cannot both decide to be the first.
    // QLockFile takes over a lock whose owner died.
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(int(timeout.count()))) {
        m_error = QStringLiteral("cannot lock %1.lock").arg(m_socketPath);
        return Role::Failed;
    }

    QStringList absolute;
    absolute.reserve(files.size());
    for (const QString& file : files) {
        if (!file.isEmpty())
            absolute.append(QFileInfo(file).absoluteFilePath());
    }

    if (handOver(absolute, timeout))
        return Role::Secondary;
    if (!m_error.isEmpty())
        return Role::Failed;
    return listen() ? Role::Primary : Role::Failed;
}

bool SingleInstance::handOver(const QStringList& files, std::chrono::milliseconds timeout)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(timeout.count()))) {
        // No socket, or one that nobody listens on any more: there is no running copy.
        switch (socket.error()) {
        case QLocalSocket::ServerNotFoundError:
        case QLocalSocket::ConnectionRefusedError:
            return false;
        default:
            m_error = QStringLiteral("cannot reach the running copy at %1: %2")
                          .arg(m_socketPath, socket.errorString());
            return false;
        }
    }
    socket.write(encode(files));
    const QDeadlineTimer deadline(timeout);
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
        socket.waitForBytesWritten(int(deadline.remainingTime()));
    while (socket.bytesAvailable() == 0 && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    if (socket.read(1) == QByteArray(1, accepted))
        return true;
    m_error = QStringLiteral("the running copy did not accept the files");
    return false;
}

bool SingleInstance::listen()
{
    // Under the lock, a socket file that refused the connection is stale.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        m_error =
            QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, this,
                    [this, socket, buffer] { readFrom(socket, *buffer); });
            QTimer::singleShot(clientDeadlineMs, socket, [socket] { socket->abort(); });
            readFrom(socket, *buffer);
        }
    });
    return true;
}

void SingleInstance::readFrom(QLocalSocket* socket, QByteArray& buffer)
{
    buffer += socket->readAll();
    QStringList files;
    switch (decode(buffer, &files)) {
    case Decoded::Incomplete:
        return;
    case Decoded::Invalid:
        socket->abort();
        return;
    case Decoded::Complete:
        buffer.clear();
        socket->write(QByteArray(1, accepted));
        socket->disconnectFromServer();
        Q_EMIT filesReceived(files);
        return;
    }
}

} // namespace velmar::platform
