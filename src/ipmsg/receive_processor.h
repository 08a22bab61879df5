#pragma once

#include "ipmsg/packet.h"
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
class MessageBoxes;
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
                     platform::MessageBoxes& boxes, MessengerHost& host, QObject* parent = nullptr);

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

    // Seams for tests: a monotonic clock in milliseconds, and the machine's own
    // addresses (every interface), asked again when older than a few seconds.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    void setOwnAddresses(std::function<QStringList()> addresses);
    // Read and discard notices wait here until the box before them is closed.
    qsizetype queuedNotices() const { return m_notices.size(); }
    void showNextNotice();
    void setMessageLog(MessageLog* log) { m_log = log; }

private:
    struct Notice {
        QString title;
        QString text;
    };
    bool isOwnAddress(const QString& ip);
    std::optional<quint32> rowColour(bool absent);
    bool mayAnswer(QHash<QString, qint64>& last, const QString& key);
    // `ip` trimmed, `portText` the port in decimal.
    void dispatch(const Fields& fields, const QString& ip, quint16 senderPort,
                  const QString& portText);
    // Whether a new message from `ip` goes to its collecting window; otherwise it is
    // counted as a new window.
    bool collectsFrom(const QString& ip);
    void presenceUpdate(const Fields& fields, const Command& command, const QString& ip,
                        const QString& portText);
    void readNotice(const Fields& fields, const Command& command, const QString& ip, quint16 port);
    void message(const Fields& fields, const Command& command, const QString& ip, quint16 port,
                 const QString& portText);

    PacketSender& m_sender;
    UserListState& m_state;
    SendJob& m_sendJob;
    settings::SettingsStore& m_store;
    components::Textgauge& m_textgauge;
    platform::MessageBoxes& m_boxes;
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
    QList<Notice> m_notices;
    QSet<QString> m_noticesSeen; // sender and packet number of every notice shown
    bool m_noticeOpen = false;
    // What the datagram being handled says about its sender's UTF-8.
    bool m_presenceUtf8 = false;
    std::optional<Utf8Names> m_presenceNames;
    MessageLog* m_log = nullptr;
    bool m_holdArrivals = false;
    QList<platform::Datagram> m_heldArrivals;
};

} // namespace velmar::ipmsg
