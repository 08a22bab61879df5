#pragma once

#include <QString>
#include <optional>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class MessageBoxes;
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
                 components::Textgauge& textgauge, platform::MessageBoxes& boxes);

    QString packetHeader(const QString& packetNumber) const;
    // A new packet number for a message (leading zeros kept) and for any other
    // packet (leading zeros dropped).
    QString newMessageNumber();
    QString newEntryNumber();

    // One packet with a new number to `destination` (port 0 = the local port), or to
    // 255.255.255.255 and the broadcast list when `destination` is "BroadCast".
    void sendCommand(quint32 command, const QString& destination, qint32 port, const QString& extra,
                     const QByteArray& tail = {});
    // The absence reply to `destination`, Retry times: in UTF-8 to a peer that reads it;
    // to one that reads only Shift_JIS, an absence text with characters it lacks goes
    // (with 〓) only when the user agrees in a box, asked once per absence text.
    void sendAbsenceReply(const QString& destination, qint32 port, bool readsUtf8);
    // Our entry (or entry answer) to `destination`: the capability bit and our names
    // in UTF-8 after the Shift_JIS ones.
    void sendPresence(quint32 command, const QString& destination, qint32 port, bool absentForm);
    bool sendBytes(const QString& remote, qint32 port, const QByteArray& bytes, SendMode mode);
    // Sends one datagram; false on failure (with the send-error box once per error
    // state for a direct send; none for a host name still being looked up).
    bool sendDatagram(const QString& remote, qint32 port, const QString& data, SendMode mode);

    // Own extra: UserName (plus "[" absenceTitle "]" in the absent form while absent),
    // NUL, GroupName.
    QString ownExtra(bool absentForm) const;
    // How many times each announcement and answer goes out and how many ticks a send
    // waits: the Retry setting read as 0..20.
    qint64 retry() const;
    static constexpr qint64 MaxRetry = 20;
    // Stores the last packet number used (at shutdown).
    void saveLastPacketNumber();
    void entryBroadcast(bool absentForm);
    void exitBroadcast();

    const QString& absenceTitle() const { return m_absenceTitle; }
    const QString& absenceText() const { return m_absenceText; }
    void setAbsence(const QString& title, const QString& text);
    void clearAbsenceTitle() { m_absenceTitle.clear(); }

    // The send-error box is shown once; applying the settings (a new port, say) re-arms it.
    bool sendErrorShown() const { return m_sendErrorShown; }
    void setSendErrorShown(bool shown) { m_sendErrorShown = shown; }
    int protocolVersion() const { return m_protocolVersion; }

    platform::UdpEndpoint& endpoint() { return m_endpoint; }
    const platform::UdpEndpoint& endpoint() const { return m_endpoint; }

private:
    platform::UdpEndpoint& m_endpoint;
    settings::SettingsStore& m_store;
    components::Textgauge& m_textgauge;
    platform::MessageBoxes& m_boxes;
    QString m_absenceTitle;
    QString m_absenceText;
    bool m_sendErrorShown = false;
    // The user's answer about 〓 in the absence reply to Shift_JIS peers.
    std::optional<bool> m_absenceGetaAccepted;
    int m_protocolVersion = 1;
    // Numbers handed out are never below this one.
    qint64 m_lastNumber = 0;
};

// The pseudo destination of sendCommand that means everybody.
inline const QString BroadcastDestination = QStringLiteral("BroadCast");

} // namespace velmar::ipmsg
