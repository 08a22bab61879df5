#pragma once

#include "ipmsg/packet.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

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
    void receive(const Fields& fields, const QString& senderIp, quint16 senderPort);
    // True when `key` is among the last four messages; otherwise it is remembered.
    bool isDuplicate(const QString& key);
    const std::array<QString, 4>& remotePacketNumbers() const { return m_remotePacketNumbers; }

private:
    void presenceUpdate(const Fields& fields, const Command& command,
                        const QStringList& extraPieces, const QString& ip, const QString& portText);
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
    std::array<QString, 4> m_remotePacketNumbers;
};

} // namespace velmar::ipmsg
