#include "ipmsg/packet_sender.h"

#include "common/code_page.h"
#include "common/text_bytes.h"
#include "components/components.h"
#include "ipmsg/packet.h"
#include "platform/message_boxes_deferred.h"
#include "platform/udp_endpoint.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QTimer>
#include <algorithm>
#include <limits>
#include <utility>

namespace velmar::ipmsg {

namespace keys = settings::keys;

namespace {

const QString kBroadcastAddress = QStringLiteral("255.255.255.255");

} // namespace

PacketSender::PacketSender(platform::UdpEndpoint& endpoint, settings::SettingsStore& store,
                           components::Textgauge& textgauge, platform::DeferredMessageBoxes& boxes)
    : m_endpoint(endpoint), m_store(store), m_textgauge(textgauge), m_boxes(boxes),
      m_lastNumber(std::max<qint64>(0, wholeNumber(store.read(keys::LastPacketNumber))))
{
}

QString PacketSender::packetHeader(const QString& packetNumber) const
{
    return ipmsg::packetHeader(m_protocolVersion, packetNumber, m_endpoint.hostName());
}

QString PacketSender::newMessageNumber()
{
    const QString generated = m_textgauge.PasGene(9, 9, 1, 0, 0, 0, 1);
    const qint64 value = generated.toLongLong();
    if (value > m_lastNumber && value <= std::numeric_limits<qint32>::max()) {
        m_lastNumber = value;
        return generated;
    }
    // Past the last number used (before a restart, too); start over past 2^31 - 1.
    m_lastNumber = m_lastNumber >= std::numeric_limits<qint32>::max() ? 1 : m_lastNumber + 1;
    return QString::number(m_lastNumber);
}

void PacketSender::saveLastPacketNumber()
{
    m_store.write(keys::LastPacketNumber, QString::number(m_lastNumber));
}

QString PacketSender::newEntryNumber()
{
    return QString::number(newMessageNumber().toInt());
}

void PacketSender::sendCommand(quint32 command, const QString& destination, qint32 port,
                               const QString& extra, const QByteArray& tail)
{
    const QByteArray packet =
        toWire(packetHeader(newEntryNumber()) + QString::number(command) + u':' + extra) + tail;
    if (destination != BroadcastDestination) {
        sendBytes(destination, port, packet, SendMode::Direct);
        return;
    }
    if (!sendBytes(kBroadcastAddress, 0, packet, SendMode::Broadcast))
        return;
    const QString list = m_store.read(keys::BroadcastList);
    if (list.toUpper() == u"NULL")
        return;
    const QStringList entries = list.split(u',');
    for (const QString& entry : entries) {
        if (const auto target = parseAddressEntry(entry, m_textgauge))
            sendBytes(target->address, target->port, packet, SendMode::Broadcast);
    }
}

void PacketSender::sendRepeated(quint32 command, const QString& destination, qint32 port,
                                const QString& extra, qint64 times)
{
    if (times <= 0)
        return;
    const QString text = packetHeader(newEntryNumber()) + QString::number(command) + u':' + extra;
    // Shift_JIS text reaches this point only once it may lose characters: they go as 〓.
    const QByteArray packet =
        (command & cmd::Utf8Option) != 0 ? text.toUtf8() : codePage932WithGeta(text);
    for (qint64 i = 0; i < times; ++i)
        sendBytes(destination, port, packet, SendMode::Direct);
}

void PacketSender::sendAbsenceReply(const QString& destination, qint32 port, bool readsUtf8)
{
    const QString reply = lineBreaksForWire(m_absenceText);
    if (readsUtf8) {
        sendRepeated(cmd::AbsenceReply | cmd::Utf8Option, destination, port, reply, retry());
        return;
    }
    if (!charactersCodePage932Lacks(reply).isEmpty()) {
        if (!m_absenceGetaAccepted) {
            askAboutAbsenceGeta(destination, port);
            return;
        }
        if (!*m_absenceGetaAccepted)
            return;
    }
    sendRepeated(cmd::AbsenceReply, destination, port, reply, retry());
}

void PacketSender::askAboutAbsenceGeta(const QString& destination, qint32 port)
{
    if (m_absenceRepliesWaiting.size() < MaxAbsenceRepliesWaiting)
        m_absenceRepliesWaiting.append({destination, port});
    if (m_absenceQuestionPending)
        return;
    m_absenceQuestionPending = true;
    // A modal box inside the datagram's handler would hold up receiving: ask once the
    // handler has returned. Replies due meanwhile wait for the answer.
    QTimer::singleShot(0, &m_context, [this] {
        const QString asked = m_absenceText;
        QStringList described;
        for (const QString& character : charactersCodePage932Lacks(lineBreaksForWire(asked)))
            described << describeCharacter(character);
        const bool accepted = m_boxes.boxes().ask(
            QStringLiteral("確認"),
            QStringLiteral("不在の返事を Shift_JIS しか読めない相手に送ります。\r\n"
                           "送れない文字: %1\r\n\r\n"
                           "これらの文字を 〓 に置き換えて送信しますか？")
                .arg(described.join(QStringLiteral("、"))),
            QStringLiteral("〓 に置き換えて送信"), QStringLiteral("送信しない"));
        m_absenceQuestionPending = false;
        const QList<AbsenceReplyTarget> waiting = std::exchange(m_absenceRepliesWaiting, {});
        // The absence may have ended or changed its text while the box was open.
        if (m_absenceTitle.isEmpty() || m_absenceText != asked)
            return;
        m_absenceGetaAccepted = accepted;
        for (const AbsenceReplyTarget& target : waiting)
            sendAbsenceReply(target.destination, target.port, false);
    });
}

void PacketSender::sendPresence(quint32 command, const QString& destination, qint32 port,
                                bool absentForm)
{
    QString nickname = m_store.read(keys::UserName);
    // Peers colour absent users by the absence option; the title alone would not show
    // them as absent.
    quint32 options = cmd::Utf8Capability;
    if (absentForm && !m_absenceTitle.isEmpty()) {
        nickname += u'[' + m_absenceTitle + u']';
        options |= cmd::AbsenceOpt;
    }
    const Utf8Names names{nickname, m_endpoint.hostName(), nickname, m_store.read(keys::GroupName)};
    sendCommand(command | options, destination, port, ownExtra(absentForm), utf8NamesTail(names));
}

bool PacketSender::sendDatagram(const QString& remote, qint32 port, const QString& data,
                                SendMode mode)
{
    return sendBytes(remote, port, toWire(data), mode);
}

bool PacketSender::sendBytes(const QString& remote, qint32 port, const QByteArray& bytes,
                             SendMode mode)
{
    const qint32 remotePort = port != 0 ? port : m_endpoint.localPort();
    platform::SendResult result;
    if (remotePort < 1 || remotePort > 0xFFFF)
        result = {false, 380, QStringLiteral("無効なポート番号です (%1)").arg(remotePort)};
    else
        result = m_endpoint.send(remote, static_cast<quint16>(remotePort), bytes);
    // A host name still being looked up is not an error: the caller's retry (or the
    // next broadcast) finds its address.
    if (result.ok || result.hostPending)
        return result.ok;
    if (mode == SendMode::Direct && !m_sendErrorShown) {
        m_sendErrorShown = true;
        m_boxes.post(QStringLiteral("送信･ｴﾗｰ"),
                     QStringLiteral("ｴﾗｰ番号=") + QString::number(result.errorCode) +
                         QStringLiteral("\r\nｴﾗｰ情報=") + result.errorText +
                         QStringLiteral("\r\n\r\n\"設定\"にて、ポート番号を変更してください"));
    }
    return false;
}

QString PacketSender::ownExtra(bool absentForm) const
{
    QString nickname = m_store.read(keys::UserName);
    if (absentForm && !m_absenceTitle.isEmpty())
        nickname += u'[' + m_absenceTitle + u']';
    return presenceExtra(nickname, m_store.read(keys::GroupName));
}

qint64 PacketSender::retry() const
{
    return settings::read(m_store, keys::RetryCount);
}

void PacketSender::entryBroadcast(bool absentForm)
{
    for (qint64 i = 0, n = retry(); i < n; ++i)
        sendPresence(cmd::BrEntry, BroadcastDestination, 0, absentForm);
}

void PacketSender::exitBroadcast()
{
    for (qint64 i = 0, n = retry(); i < n; ++i)
        sendCommand(cmd::BrExit, BroadcastDestination, 0, ownExtra(false));
    saveLastPacketNumber();
}

void PacketSender::setAbsence(const QString& title, const QString& text)
{
    const bool changed = title != m_absenceTitle;
    m_absenceTitle = title;
    if (text != m_absenceText)
        m_absenceGetaAccepted.reset();
    m_absenceText = text;
    if (changed && m_absenceObserver)
        m_absenceObserver(m_absenceTitle);
}

void PacketSender::endAbsenceBySending()
{
    if (m_absenceTitle.isEmpty())
        return;
    setAbsence({}, m_absenceText);
    entryBroadcast(false);
}

void PacketSender::setAbsenceObserver(std::function<void(const QString& title)> observer)
{
    m_absenceObserver = std::move(observer);
}

} // namespace velmar::ipmsg
