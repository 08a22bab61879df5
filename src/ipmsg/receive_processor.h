#pragma once

#include "ipmsg/packet.h"
#include "platform/message_boxes_deferred.h"
#include "platform/udp_endpoint.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class DeferredMessageBoxes;
struct Datagram;
} // namespace velmar::platform
namespace velmar::settings {
class SettingsStore;
}

namespace velmar::ipmsg {

class MessageLog;
class MessengerHost;
class PacketSender;
class SendJob;
class UserListState;

// Handles every datagram that arrives: presence (entries, answers, exits) into the
// peer list, messages into text windows with their receipts, read and discard
// notices, version queries, and receipts for the send job.
class ReceiveProcessor final : public QObject {
    Q_OBJECT
public:
    ReceiveProcessor(PacketSender& sender, UserListState& state, SendJob& sendJob,
                     settings::SettingsStore& store, components::Textgauge& textgauge,
                     platform::DeferredMessageBoxes& boxes, MessengerHost& host,
                     QObject* parent = nullptr);

    void handleDatagram(const platform::Datagram& datagram);
    // While held, arriving datagrams wait unanswered (a first start: nothing may go
    // out before the user has chosen a name); releasing handles them in order.
    void holdArrivals(bool hold);
    void receive(const Fields& fields, const QString& senderIp, quint16 senderPort);
    // True when `key` ("number:ip:port") arrived within the last minute, among the
    // last DuplicateHistory messages; otherwise it is remembered. A sender repeats a
    // piece whose receipt it missed while its other pieces keep arriving, so the
    // history must hold far more than one text's pieces.
    bool isDuplicate(const QString& key);
    static constexpr qsizetype DuplicateHistory = 4096;
    static constexpr qint64 DuplicateWindowMs = 60000;

    // Limits against a flooding peer.
    static constexpr int MaxPeers = 10000;
    static constexpr qsizetype MaxNameLength = 256;
    static constexpr qint64 AnswerIntervalMs = 1000;
    // Past FloodWindows new windows from one sender address within FloodIntervalMs,
    // its further messages are collected into one window, until it has been quiet
    // for FloodIntervalMs.
    static constexpr int FloodWindows = 10;
    static constexpr qint64 FloodIntervalMs = 10000;
    // Past StormWindows new windows within FloodIntervalMs from all senders together,
    // further messages from any sender go into one collecting window, until no message
    // has arrived for FloodIntervalMs.
    static constexpr int StormWindows = 30;
    // An absence reply with the same text from the same sender within this time is
    // shown once (other clients send each copy under a new packet number).
    static constexpr qint64 AbsenceReplyWindowMs = 60000;
    // Read and discard notices gathered for one box; past it they are only counted.
    static constexpr qsizetype MaxNoticeLines = 50;

    // Seams for tests: a monotonic clock in milliseconds, and the machine's own
    // addresses (every interface), asked again when older than a few seconds.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    void setOwnAddresses(std::function<QStringList()> addresses);
    // Read and discard notices wait here until the box before them is closed.
    qsizetype queuedNotices() const { return m_notices.size() + m_noticesOverflow; }
    // When our sealed message with this packet number went out (the notices name it
    // by that time); set by the send job.
    void setSealedSentTimes(std::function<QString(const QString&)> sentTime)
    {
        m_sealedSentTime = std::move(sentTime);
    }
    void setMessageLog(MessageLog* log) { m_log = log; }

private:
    struct Notice {
        QString ip;
        QString name;
        bool read = true; // opened, else discarded unopened
        QString packetNo; // the packet number of our sealed message
    };
    enum class Route { OwnWindow, SenderWindow, StormWindow };
    // Where a new message from `ip` goes.
    Route route(const QString& ip);
    // Whether a new message from `ip` goes to its collecting window; otherwise it is
    // counted as a new window. `opens` tells whether collecting begins with it.
    bool collectsFrom(const QString& ip, bool* opens);
    platform::DeferredMessageBoxes::Box composeNotices();
    bool isRepeatedAbsenceReply(const QString& key, const QString& text);
    bool isOwnAddress(const QString& ip);
    std::optional<quint32> rowColour(bool absent);
    bool mayAnswer(QHash<QString, qint64>& last, const QString& key);
    // `ip` trimmed, `portText` the port in decimal.
    void dispatch(const ReceivedPacket& packet, const QString& ip, quint16 senderPort,
                  const QString& portText);
    void presenceUpdate(const ReceivedPacket& packet, const QString& ip, const QString& portText);
    void readNotice(const Fields& fields, const Command& command, const QString& ip, quint16 port);
    void message(const Fields& fields, const Command& command, const QString& ip, quint16 port,
                 const QString& portText);

    PacketSender& m_sender;
    UserListState& m_state;
    SendJob& m_sendJob;
    settings::SettingsStore& m_store;
    components::Textgauge& m_textgauge;
    platform::DeferredMessageBoxes& m_boxes;
    MessengerHost& m_host;
    struct Seen {
        QString key;
        qint64 at = 0;
    };
    QQueue<Seen> m_seenMessages; // oldest first
    QSet<QString> m_seenKeys;

    std::function<qint64()> m_clock;
    std::function<QStringList()> m_ownAddressSource;
    QSet<QString> m_ownAddresses;
    qint64 m_ownAddressesAt = -1;
    QHash<QString, qint64> m_lastEntryAnswer;   // "port:ip" -> time
    QHash<QString, qint64> m_lastStrangerEntry; // "" -> time (one for all strangers)
    struct FloodState {
        QList<qint64> windowTimes; // new windows within the interval, oldest first
        qint64 lastArrival = 0;
        bool collecting = false;
    };
    QHash<QString, FloodState> m_flood; // by sender IP
    QList<qint64> m_stormWindowTimes;   // new windows of all senders, oldest first
    qint64 m_lastMessageAt = 0;
    bool m_storm = false;
    struct AbsenceReply {
        size_t textHash = 0;
        qint64 at = 0;
    };
    QHash<QString, AbsenceReply> m_absenceReplies; // by "port:ip"
    QList<Notice> m_notices;                       // waiting for the next box
    qsizetype m_noticesOverflow = 0;               // counted past MaxNoticeLines
    bool m_noticeBoxPosted = false;
    QSet<QString> m_noticesSeen; // sender and packet number of every notice shown
    std::function<QString(const QString&)> m_sealedSentTime;
    MessageLog* m_log = nullptr;
    bool m_holdArrivals = false;
    QList<platform::Datagram> m_heldArrivals;
};

} // namespace velmar::ipmsg
