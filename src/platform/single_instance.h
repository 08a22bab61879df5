#pragma once

// One running copy per user. The first start listens on a local socket in the
// user's runtime folder; a later start connects, hands over its file names and
// ends. A socket file left by a copy that crashed answers nobody and is replaced.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>

class QLocalServer;
class QLocalSocket;

namespace velmar::platform {

class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,   // this copy listens now: it is the program
        Secondary, // a running copy took the file names: end this one
        Failed,    // neither (error() says why); the caller should not start
    };

    // `socketPath` is the socket's full path; its folder is created (mode 0700)
    // when missing.
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/velmar/instance (Qt's runtime location when unset).
    static QString defaultSocketPath();

    // Hands `files` to a running copy, or becomes the listening copy. Waits at most
    // `timeout` for a running copy to confirm. Relative names are made absolute
    // first, since the running copy has a working folder of its own.
    Role start(const QStringList& files,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

    QString error() const { return m_error; }

    // The wire form of a hand-over and its reader, exposed for tests: a 4-byte tag,
    // a 4-byte big-endian length, then the names in UTF-8, each ended by a NUL.
    static QByteArray encode(const QStringList& files);
    enum class Decoded { Incomplete, Complete, Invalid };
    static Decoded decode(const QByteArray& bytes, QStringList* files);
    static constexpr qsizetype maxMessageSize = 4 * 1024 * 1024;

Q_SIGNALS:
    // A later start handed over these absolute file names (possibly none): open them
    // and come to the front.
    void filesReceived(const QStringList& files);

private:
    bool handOver(const QStringList& files, std::chrono::milliseconds timeout);
    bool listen();
    void readFrom(QLocalSocket* socket, QByteArray& buffer);

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
    QString m_error;
};

} // namespace velmar::platform
