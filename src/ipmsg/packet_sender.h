#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class DeferredMessageBoxes;
class UdpEndpoint;
} // namespace velmar::platform
namespace velmar::settings {
class SettingsStore;
}

namespace velmar::ipmsg {

// Whether a failed send reports itself: direct sends show the send-error box once
// per error state, broadcasts stay silent.
enum class SendMode { Direct, Broadcast };

// Builds and sends packets: headers with new packet numbers, single commands, the
// broadcast to everybody and our own presence (name, group, absence).
class PacketSender {
public:
    PacketSender(platform::UdpEndpoint& endpoint, settings::SettingsStore& store,
                 components::Textgauge& textgauge, platform::DeferredMessageBoxes& boxes);

    QString packetHeader(const QString& packetNumber) const;
    // A new packet number for a message (leading zeros kept) and for any other
    // packet (leading zeros dropped).
    QString newMessageNumber();
    QString newEntryNumber();

    // One packet with a new number to `destination` (port 0 = the local port), or to
    // 255.255.255.255 and the broadcast list when `destination` is "BroadCast".
    void sendCommand(quint32 command, const QString& destination, qint32 port, const QString& extra,
                     const QByteArray& tail = {});
    // The same packet, under one new number, `times` times to `destination` (a direct
    // destination): a repeated answer that the peer can recognise as one. In UTF-8 when
    // `command` carries the UTF-8 option, else in Shift_JIS with 〓 for what it lacks.
    void sendRepeated(quint32 command, const QString& destination, qint32 port,
                      const QString& extra, qint64 times);
    // The absence reply to `destination`, Retry times under one number: in UTF-8 to a
    // peer that reads it; to one that reads only Shift_JIS, an absence text with
    // characters it lacks goes (with 〓) only when the user agrees in a box, asked once
    // per absence text and after the datagram's handler has returned.
    void sendAbsenceReply(const QString& destination, qint32 port, bool readsUtf8);
    // Our entry (or entry answer) to `destination`: the capability bit and our names
    // in UTF-8 after the Shift_JIS ones.
    void sendPresence(quint32 command, const QString& destination, qint32 port, bool absentForm);
    bool sendBytes(const QString& remote, qint32 port, const QByteArray& bytes, SendMode mode);
    // Sends one datagram; false on failure (with the send-error box once per error
    // state for a direct send; none for a host name still being looked up). The box
    // is shown after the handler that sent has returned (see DeferredMessageBoxes).
    bool sendDatagram(const QString& remote, qint32 port, const QString& data, SendMode mode);

    // Own extra: UserName (plus "[" absenceTitle "]" in the absent form while absent),
    // NUL, GroupName.
    QString ownExtra(bool absentForm) const;
    // How many times each announcement and answer goes out and how many ticks a send
    // waits: the Retry setting read as 1..20.
    qint64 retry() const;
    // Stores the last packet number used (at shutdown).
    void saveLastPacketNumber();
    void entryBroadcast(bool absentForm);
    void exitBroadcast();

    const QString& absenceTitle() const { return m_absenceTitle; }
    const QString& absenceText() const { return m_absenceText; }
    void setAbsence(const QString& title, const QString& text);
    // Sending a message ends the absence (the text is kept for the next time): peers
    // are told at once, or they would keep showing the title.
    void endAbsenceBySending();
    // Called with the new title whenever the title changes.
    void setAbsenceObserver(std::function<void(const QString& title)> observer);

    // The send-error box is shown once; applying the settings (a new port, say) re-arms it.
    bool sendErrorShown() const { return m_sendErrorShown; }
    void setSendErrorShown(bool shown) { m_sendErrorShown = shown; }
    int protocolVersion() const { return m_protocolVersion; }

    platform::UdpEndpoint& endpoint() { return m_endpoint; }
    const platform::UdpEndpoint& endpoint() const { return m_endpoint; }

private:
    void askAboutAbsenceGeta(const QString& destination, qint32 port);

    platform::UdpEndpoint& m_endpoint;
    settings::SettingsStore& m_store;
    components::Textgauge& m_textgauge;
    platform::DeferredMessageBoxes& m_boxes;
    QString m_absenceTitle;
    QString m_absenceText;
    std::function<void(const QString&)> m_absenceObserver;
    bool m_sendErrorShown = false;
    // The user's answer about 〓 in the absence reply to Shift_JIS peers.
    std::optional<bool> m_absenceGetaAccepted;
    // Absence replies to Shift_JIS peers that wait for that answer.
    struct AbsenceReplyTarget {
        QString destination;
        qint32 port = 0;
    };
    static constexpr qsizetype MaxAbsenceRepliesWaiting = 64;
    QList<AbsenceReplyTarget> m_absenceRepliesWaiting;
    bool m_absenceQuestionPending = false;
    // Ends a question still waiting to be asked when the sender goes.
    QObject m_context;
    int m_protocolVersion = 1;
    // Numbers handed out are never below this one.
    qint64 m_lastNumber = 0;
};

// The pseudo destination of sendCommand that means everybody.
inline const QString BroadcastDestination = QStringLiteral("BroadCast");

} // namespace velmar::ipmsg
