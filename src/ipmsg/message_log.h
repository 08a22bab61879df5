#pragma once

// An observer of the messages going in and out, for keeping a history. The engine
// calls it when it has one (Messenger::setMessageLog); every call is made on the
// program's thread and must return quickly.

#include <QString>
#include <QStringList>

namespace velmar::ipmsg {

struct IncomingMessage;

struct LoggedPeer {
    QString name; // "nickname/group", or "user/host" for a sender missing from the list
    QString user;
    QString host;
    QString address;
    quint16 port = 0;
};

struct LoggedRecipient {
    LoggedPeer peer;
    QStringList packets; // the packet numbers of the pieces it is sent
};

class MessageLog {
public:
    virtual ~MessageLog() = default;

    // An id for a message about to be shown (IncomingMessage::historyId).
    virtual QString newId() = 0;
    // A message was shown (or collected) and its receipt is about to go out.
    // `automatic`: an automatic answer such as an absence reply.
    virtual void messageArrived(const IncomingMessage& message, const LoggedPeer& sender,
                                const QString& packetNo, bool collected, bool automatic) = 0;
    // A send began; the id names it in recipientDone.
    virtual QString sendStarted(const QString& text, bool sealed,
                                const QList<LoggedRecipient>& recipients) = 0;
    // A recipient sent the receipts of all its pieces, or the send gave up on it.
    virtual void recipientDone(const QString& sendId, const QString& address, quint16 port,
                               bool delivered) = 0;
    // Our absence reply went out to `to`.
    virtual void absenceReplySent(const LoggedPeer& to, const QString& text) = 0;
    // A peer opened (or discarded unopened) our sealed message `packetNo`.
    virtual void noticeArrived(const QString& address, quint16 port, const QString& packetNo,
                               bool opened) = 0;
};

} // namespace velmar::ipmsg
