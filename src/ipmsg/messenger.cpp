#include "ipmsg/messenger.h"

#include "common/text_bytes.h"
#include "components/components.h"
#include "platform/message_boxes.h"
#include "platform/udp_endpoint.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

namespace velmar::ipmsg {

namespace keys = settings::keys;

Messenger::Messenger(platform::UdpEndpoint& endpoint, settings::SettingsStore& store,
                     components::Textgauge& textgauge, platform::MessageBoxes& boxes,
                     MessengerHost& host, QObject* parent)
    : QObject(parent), m_endpoint(endpoint), m_store(store), m_textgauge(textgauge), m_boxes(boxes),
      m_host(host), m_deferredBoxes(boxes), m_sender(endpoint, store, textgauge, m_deferredBoxes),
      m_state(m_sender, store, host),
      m_sendJob(m_sender, m_state, textgauge, m_deferredBoxes, host),
      m_receiver(m_sender, m_state, m_sendJob, store, textgauge, m_deferredBoxes, host)
{
    m_receiver.setSealedSentTimes(
        [this](const QString& number) { return m_sendJob.sealedSentTime(number); });
    // The IP Messenger section is "IPM\<port>" of whatever port the endpoint has now.
    m_store.setPortSource([this] { return m_endpoint.localPort(); });
    m_sender.setAbsenceObserver([this](const QString& title) { Q_EMIT absenceChanged(title); });
    connect(&m_endpoint, &platform::UdpEndpoint::datagramArrived, &m_receiver,
            &ReceiveProcessor::handleDatagram);
}

Messenger::~Messenger() = default;

quint16 Messenger::storedPort()
{
    QString portText = m_store.read(keys::Port).trimmed();
    // The number check lets 0 through, which would bind a random port and send every
    // broadcast to port 0.
    return settings::portFromCheck(m_textgauge.NumChk(portText, 3), keys::DefaultPort);
}

bool Messenger::bindEndpoint()
{
    return rebind(storedPort());
}

bool Messenger::bindAtStart()
{
    if (bindEndpoint())
        return true;
    m_boxes.show(QStringLiteral("ポート使用中"),
                 QStringLiteral("ポート %1 を使用できません。ほかのプログラムが使用しています。\r\n"
                                "\"設定\"にて、ポート番号を変更してください")
                     .arg(storedPort()));
    return false;
}

bool Messenger::rebind(quint16 port)
{
    return m_endpoint.bind(port);
}

void Messenger::sendCommand(quint32 command, const QString& destination, qint32 port,
                            const QString& extra)
{
    m_sender.sendCommand(command, destination, port, extra);
}

void Messenger::setAbsence(const QString& title, const QString& text)
{
    m_sender.setAbsence(title, text);
}

void Messenger::sendActiveText(const QString& text, const QString& remoteIp, qint32 remotePort)
{
    m_state.ensureLoaded();
    m_host.skipNextActivation();
    m_state.setTextToSend(text);
    if (m_state.textToSend().size() > MaxPiece - 1)
        m_boxes.show(QStringLiteral("注意"),
                     QStringLiteral("データが大きすぎるので、メッセージが分割されます"));
    m_state.setReplyTarget(remoteIp, remotePort);
    m_state.setDialogVisible(true);
}

void Messenger::close(bool isEndmode)
{
    if (!isEndmode) {
        m_host.skipNextActivation();
        m_state.setFormEnabled(true);
    }
    // The destinations go with the dialog, so a send in progress ends here rather
    // than completing at the next tick and marking its window as sent.
    m_sendJob.stop();
    m_sendJob.clearPacketText();
    m_state.reset();
}

} // namespace velmar::ipmsg
