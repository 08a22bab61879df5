#pragma once

#include <QDataStream>
#include <QList>
#include <QString>

namespace velmar::history {

// What became of a message. Received: Plain, Sealed (not yet opened), Opened,
// Discarded (closed unopened). Sent, per recipient and summed up for the message:
// Sending, Delivered (receipt came), Failed, ReadByPeer, DiscardedByPeer.
enum class MessageState : qint32 {
    Plain = 0,
    Sealed = 1,
    Opened = 2,
    Discarded = 3,
    Sending = 4,
    Delivered = 5,
    Failed = 6,
    ReadByPeer = 7,
    DiscardedByPeer = 8,
};

enum class Direction : qint32 { Received = 0, Sent = 1 };

// How the message came about: an ordinary one, an automatic absence reply, or one
// gathered into a sender's collecting window during a flood.
enum class MessageKind : qint32 { Normal = 0, AbsenceReply = 1, Collected = 2 };

// The text a state is shown with.
QString stateText(MessageState state);

struct PeerIdentity {
    QString name; // nickname/group as the caption shows it
    QString user;
    QString host;
    QString address;
    quint16 port = 0;
};

struct Recipient {
    PeerIdentity peer;
    // The packet numbers of the pieces sent to it, for matching its notices.
    QStringList packets;
};

// One thing to store. Every event names its message by `uid`, made when the message
// arrived or went out, so that storing an event twice (the journal replayed after a
// crash) changes nothing.
struct HistoryEvent {
    enum class Type : qint32 {
        Received,       // a new received message
        Sent,           // a new sent message with its recipients
        RecipientState, // a recipient of a sent message: `state` (peer = the recipient)
        Opened,         // a sealed received message was opened: its text arrives now
        Discarded,      // a sealed received message was closed unopened
        PeerNotice,     // a peer opened or discarded our sealed message `packetNo`
    };
    Type type = Type::Received;
    QString uid;
    qint64 at = 0; // milliseconds since the epoch
    PeerIdentity peer;
    QString packetNo;
    QString text;
    bool sealed = false;
    MessageKind kind = MessageKind::Normal;
    MessageState state = MessageState::Plain;
    QList<Recipient> recipients;
};

QDataStream& operator<<(QDataStream& out, const HistoryEvent& event);
QDataStream& operator>>(QDataStream& in, HistoryEvent& event);

} // namespace velmar::history
