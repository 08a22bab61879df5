#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class DeferredMessageBoxes;
}

namespace velmar::ipmsg {

class MessageLog;
class MessengerHost;
class PacketSender;
class UserListState;

// Mouse buttons that can release the send button.
enum class SendButton { Left, Other };

// One send from the user-list dialog: the text in pieces to every destination, each
// piece with its own packet number. A receipt acknowledges the piece whose number it
// carries; a destination is done when all its pieces are, and leaves the list. The
// timer resends every piece not yet acknowledged until the list is empty (sent) or
// the retries run out (failed).
class SendJob final : public QObject {
    Q_OBJECT
public:
    SendJob(PacketSender& sender, UserListState& state, components::Textgauge& textgauge,
            platform::DeferredMessageBoxes& boxes, MessengerHost& host, QObject* parent = nullptr);

    // "送信" released: the left button sends the text, another button asks each
    // destination for its version instead.
    void start(SendButton button);
    void finishSend();
    // A receipt from `entry` ("port:ip") carrying `extra`.
    void acknowledge(const QString& entry, const QString& extra);
    // The retry step (the timer's tick); tests call it instead of waiting.
    void tick();
    // Ends a send in progress without completing it.
    void stop();
    void setMessageLog(MessageLog* log) { m_log = log; }

    // "HH:mm" when our sealed message with this packet number went out, "" when it is
    // not among the last MaxSealedRecords.
    QString sealedSentTime(const QString& number) const;
    static constexpr qsizetype MaxSealedRecords = 1024;

    QTimer& retryTimer() { return m_retryTimer; }
    const QString& packetText() const { return m_packetText; }
    void clearPacketText() { m_packetText.clear(); }

private:
    struct Piece {
        qint64 number = 0;
        QByteArray datagram;
    };
    struct Pending {
        QString address;
        quint16 port = 0;
        QList<Piece> pieces;
    };
    static constexpr int KindOurs = 1;
    static constexpr int KindUtf8 = 2;
    int peerKind(const QString& address, quint16 port) const;
    // When the text holds characters Shift_JIS lacks and a destination reads only
    // Shift_JIS, a box names them and asks; true when the text may go (with 〓).
    bool shiftJisPeersAccept();
    void logStart();
    QList<Piece> buildPieces(int kind);
    void sendPending(const QString& entry);
    void resendAll();

    PacketSender& m_sender;
    UserListState& m_state;
    components::Textgauge& m_textgauge;
    platform::DeferredMessageBoxes& m_boxes;
    MessengerHost& m_host;
    QTimer m_retryTimer;
    QString m_packetText;
    // Unacknowledged pieces per destination entry ("port:ip").
    QHash<QString, Pending> m_pending;
    // Ticks of the retry timer since the last piece went out.
    int m_ticks = 0;
    bool m_inTick = false;
    QHash<qint64, QString> m_sealedSent; // packet number -> "HH:mm"
    QList<qint64> m_sealedOrder;         // oldest first
    MessageLog* m_log = nullptr;
    QString m_logId; // the send's id in the history
};

} // namespace velmar::ipmsg
