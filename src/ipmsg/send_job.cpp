#include "ipmsg/send_job.h"

#include "ipmsg/messenger_host.h"
#include "ipmsg/packet.h"
#include "ipmsg/packet_sender.h"
#include "ipmsg/user_list_state.h"
#include "platform/message_boxes.h"
#include "platform/udp_endpoint.h"

#include <QScopeGuard>
#include <limits>

namespace velmar::ipmsg {

SendJob::SendJob(PacketSender& sender, UserListState& state, components::Textgauge& textgauge,
                 platform::MessageBoxes& boxes, MessengerHost& host, QObject* parent)
    : QObject(parent), m_sender(sender), m_state(state), m_textgauge(textgauge), m_boxes(boxes),
      m_host(host)
{
    m_retryTimer.setInterval(1000);
    connect(&m_retryTimer, &QTimer::timeout, this, &SendJob::tick);
}

void SendJob::start(SendButton button)
{
    const platform::UdpEndpoint& endpoint = m_sender.endpoint();
    const QString own =
        addressEntry(QString::number(endpoint.localPort()), endpoint.localIp().trimmed());
    for (int i = m_state.findDestination(own); i >= 0; i = m_state.findDestination(own))
        m_state.removeDestinationAt(i);
    if (m_state.destinations().isEmpty()) {
        m_boxes.show(QStringLiteral("はてな?"), QStringLiteral("誰に送信するんだい?"));
        return;
    }
    m_sender.clearAbsenceTitle(); // sending ends the absence
    m_state.setProgress(0, static_cast<int>(m_state.destinations().size()));
    if (button == SendButton::Left) {
        m_state.setFormEnabled(false);
        const QStringList pieces = splitPieces(m_state.textToSend());
        for (const QString& piece : pieces)
            sendPiece(piece);
    } else {
        finishSend();
    }
}

void SendJob::sendPiece(const QString& piece)
{
    const QString packetNumber = m_sender.newMessageNumber(); // leading zeros kept
    quint32 word = cmd::SendMsg;
    if (m_state.sealedState() == SealedState::Sealed) {
        word += cmd::SecretOpts;
        if (m_state.lockState() == LockState::Locked)
            word += cmd::PasswordOpt;
    }
    m_packetText = m_sender.packetHeader(packetNumber) + QString::number(word) + u':' +
                   lineBreaksForWire(piece);
    sendPacket(m_packetText);
}

void SendJob::sendPacket(const QString& packet)
{
    // A copy: a send-error box runs an event loop in which receipts change the list.
    const QList<Destination> destinations = m_state.destinations();
    for (const Destination& destination : destinations) {
        const auto target = parseAddressEntry(destination.entry, m_textgauge);
        if (!target)
            continue; // never sent to and never removed: the send ends in failure
        m_sender.sendDatagram(target->address, target->port, packet, SendMode::Direct);
        if (!m_retryTimer.isActive()) {
            m_ticks = 0;
            m_retryTimer.start();
        }
    }
}

void SendJob::finishSend()
{
    const QList<Destination> destinations = m_state.destinations();
    for (const Destination& destination : destinations) {
        if (const auto target = parseAddressEntry(destination.entry, m_textgauge))
            m_sender.sendCommand(cmd::GetInfo, target->address, target->port, QString());
        m_state.stepProgress();
    }
    m_state.setProgressShown(false);
    m_state.setDialogVisible(false);
}

void SendJob::acknowledge(const QString& entry, const QString& extra)
{
    Q_UNUSED(extra);
    const int index = m_state.findDestination(entry);
    if (index < 0)
        return;
    m_state.removeDestinationAt(index);
    m_state.stepProgress();
}

void SendJob::tick()
{
    // A send-error box inside sendPacket runs an event loop in which the timer keeps
    // firing; those ticks are dropped rather than run inside this one.
    if (m_inTick)
        return;
    m_inTick = true;
    const auto leave = qScopeGuard([this] { m_inTick = false; });
    if (m_ticks < std::numeric_limits<int>::max())
        ++m_ticks;
    if (!m_state.destinations().isEmpty()) {
        if (m_sender.retry() >= m_ticks) {
            sendPacket(m_packetText);
        } else {
            m_retryTimer.stop(); // before the box: its event loop would tick again
            m_boxes.show(QStringLiteral("送信失敗"),
                         QStringLiteral("未だ選択されているリストの方へ送信できませんでした"));
            m_state.setFormEnabled(true);
        }
        return;
    }
    m_state.setProgress(m_state.progressMaximum(), m_state.progressMaximum());
    m_host.skipNextActivation();
    m_state.setProgressShown(false);
    m_state.clearDestinations();
    m_state.setDialogVisible(false);
    m_retryTimer.stop();
    m_state.setFormEnabled(true);
    m_host.markSent();
}

void SendJob::stop()
{
    m_retryTimer.stop();
}

} // namespace velmar::ipmsg
