#include "ipmsg/send_job.h"

#include "common/code_page.h"
#include "common/text_bytes.h"
#include "ipmsg/message_log.h"
#include "ipmsg/messenger_host.h"
#include "ipmsg/packet.h"
#include "ipmsg/packet_sender.h"
#include "ipmsg/user_list_state.h"
#include "platform/message_boxes_deferred.h"
#include "platform/udp_endpoint.h"

#include <QScopeGuard>
#include <QTime>
#include <limits>

namespace velmar::ipmsg {

SendJob::SendJob(PacketSender& sender, UserListState& state, components::Textgauge& textgauge,
                 platform::DeferredMessageBoxes& boxes, MessengerHost& host, QObject* parent)
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
        // The user pressed the button: this box answers at once.
        m_boxes.boxes().show(QStringLiteral("はてな?"), QStringLiteral("誰に送信するんだい?"));
        return;
    }
    if (button == SendButton::Left && !shiftJisPeersAccept())
        return; // the user chose not to send; everything stays as it was
    m_sender.endAbsenceBySending();
    // The reply target has been chosen into the list; activating the dialog again during
    // the send must not add it back once it has acknowledged everything.
    m_state.setReplyTarget(QString(), 0);
    m_state.setProgress(0, static_cast<int>(m_state.destinations().size()));
    if (button != SendButton::Left) {
        finishSend();
        return;
    }
    m_state.setFormEnabled(false);
    m_pending.clear();
    // Peers of one kind get the same pieces under the same numbers.
    QHash<int, QList<Piece>> piecesByKind;
    const QList<Destination> destinations = m_state.destinations();
    for (const Destination& destination : destinations) {
        const auto target = parseAddressEntry(destination.entry, m_textgauge);
        if (!target)
            continue; // never sent to and never acknowledged: the send ends in failure
        const int kind = peerKind(target->address, target->port);
        if (!piecesByKind.contains(kind))
            piecesByKind.insert(kind, buildPieces(kind));
        m_pending.insert(destination.entry, {target->address, target->port, piecesByKind[kind]});
    }
    if (m_state.sealedState() == SealedState::Sealed) {
        const QString now = QTime::currentTime().toString(QStringLiteral("HH:mm"));
        for (const QList<Piece>& pieces : std::as_const(piecesByKind)) {
            for (const Piece& piece : pieces) {
                if (m_sealedSent.contains(piece.number))
                    continue;
                if (m_sealedOrder.size() >= MaxSealedRecords)
                    m_sealedSent.remove(m_sealedOrder.takeFirst());
                m_sealedSent.insert(piece.number, now);
                m_sealedOrder.append(piece.number);
            }
        }
    }
    logStart();
    resendAll();
}

void SendJob::logStart()
{
    m_logId.clear();
    if (!m_log || m_pending.isEmpty())
        return;
    QList<LoggedRecipient> recipients;
    const PeerListModel& peers = *m_state.peers();
    const QList<Destination> destinations = m_state.destinations();
    for (const Destination& destination : destinations) {
        const auto it = m_pending.constFind(destination.entry);
        if (it == m_pending.constEnd())
            continue;
        LoggedRecipient recipient;
        const int row = peers.findRow(it->address, QString::number(it->port));
        recipient.peer.name =
            row >= 0 ? peers.cell(row, PeerColumn::Name) + u'/' + peers.cell(row, PeerColumn::Group)
                     : destination.name;
        recipient.peer.address = it->address;
        recipient.peer.port = it->port;
        for (const Piece& piece : it->pieces)
            recipient.packets << QString::number(piece.number);
        recipients << recipient;
    }
    m_logId = m_log->sendStarted(m_state.textToSend(), m_state.sealedState() == SealedState::Sealed,
                                 recipients);
}

int SendJob::peerKind(const QString& address, quint16 port) const
{
    const PeerListModel& peers = *m_state.peers();
    const int row = peers.findRow(address, QString::number(port));
    const bool ours = row < 0 || peers.peerAt(row).ours;
    // Every peer that announced UTF-8 gets it, ours included; a peer missing from the
    // list may read only Shift_JIS.
    const bool utf8 = row >= 0 && peers.peerAt(row).readsUtf8;
    return (ours ? KindOurs : 0) | (utf8 ? KindUtf8 : 0);
}

bool SendJob::shiftJisPeersAccept()
{
    QStringList names;
    for (const Destination& destination : m_state.destinations()) {
        const auto target = parseAddressEntry(destination.entry, m_textgauge);
        if (target && (peerKind(target->address, target->port) & KindUtf8) == 0)
            names << destination.name;
    }
    if (names.isEmpty())
        return true;
    const QStringList unfit = charactersCodePage932Lacks(m_state.textToSend());
    if (unfit.isEmpty())
        return true;
    QStringList described;
    for (const QString& character : unfit)
        described << describeCharacter(character);
    return m_boxes.boxes().ask(
        QStringLiteral("確認"),
        QStringLiteral("次の宛先は Shift_JIS しか読めないため、送れない文字があります。\r\n"
                       "宛先: %1\r\n送れない文字: %2\r\n\r\n"
                       "これらの文字を 〓 に置き換えて送信しますか？")
            .arg(names.join(QStringLiteral("、")), described.join(QStringLiteral("、"))),
        QStringLiteral("〓 に置き換えて送信"), QStringLiteral("キャンセル"));
}

QList<SendJob::Piece> SendJob::buildPieces(int kind)
{
    const bool ours = (kind & KindOurs) != 0;
    const bool utf8 = (kind & KindUtf8) != 0;
    const WireEncoding encoding = utf8 ? WireEncoding::Utf8 : WireEncoding::ShiftJis;

    quint32 word = cmd::SendMsg;
    if (m_state.sealedState() == SealedState::Sealed) {
        word += cmd::SecretOpts;
        if (m_state.lockState() == LockState::Locked)
            word += cmd::PasswordOpt;
    }
    if (utf8)
        word |= cmd::Utf8Option;

    // The header's size with the longest number we make (ten digits).
    const qsizetype header =
        encodeText(m_sender.packetHeader(QStringLiteral("0000000000")), encoding).size() +
        QByteArray::number(word).size() + 1;
    QStringList texts;
    if (ours && utf8) {
        // Pieces of at most MaxPiece characters, as our peers have always had them, and
        // in UTF-8 (where one of kana and kanji would pass the largest datagram) also of
        // at most a datagram's bytes.
        texts =
            splitPiecesByBytes(m_state.textToSend(), MaxDatagramBytes - header, encoding, MaxPiece);
    } else if (ours) {
        // In Shift_JIS a piece of MaxPiece characters fits any datagram.
        texts = splitPieces(m_state.textToSend());
    } else {
        texts = splitPiecesByBytes(lineBreaksForWire(m_state.textToSend()), MaxPieceBytes - header,
                                   encoding);
    }
    QList<Piece> pieces;
    for (const QString& text : texts) {
        const QString number = m_sender.newMessageNumber(); // leading zeros kept
        m_packetText =
            m_sender.packetHeader(number) + QString::number(word) + u':' + lineBreaksForWire(text);
        // The user agreed to 〓 for what Shift_JIS lacks (shiftJisPeersAccept).
        pieces.append({number.toLongLong(),
                       utf8 ? m_packetText.toUtf8() : codePage932WithGeta(m_packetText)});
    }
    return pieces;
}

void SendJob::sendPending(const QString& entry)
{
    const auto it = m_pending.constFind(entry);
    if (it == m_pending.constEnd())
        return;
    const Pending pending = *it; // a copy: a box's event loop may acknowledge pieces
    for (const Piece& piece : pending.pieces) {
        m_sender.sendBytes(pending.address, pending.port, piece.datagram, SendMode::Direct);
        if (!m_retryTimer.isActive()) {
            m_ticks = 0;
            m_retryTimer.start();
        }
    }
}

void SendJob::resendAll()
{
    // In the order of the list; a copy, as a send-error box runs an event loop in
    // which receipts arrive.
    const QList<Destination> destinations = m_state.destinations();
    for (const Destination& destination : destinations)
        sendPending(destination.entry);
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
    const auto it = m_pending.find(entry);
    if (it == m_pending.end())
        return; // not a destination of this send
    bool ok = false;
    const qint64 number = extra.trimmed().remove(QChar(0)).toLongLong(&ok);
    if (!ok)
        return;
    const qsizetype removed =
        it->pieces.removeIf([number](const Piece& piece) { return piece.number == number; });
    if (removed == 0 || !it->pieces.isEmpty())
        return; // a receipt of another send, or pieces still missing
    if (m_log && !m_logId.isEmpty())
        m_log->recipientDone(m_logId, it->address, it->port, true);
    m_pending.erase(it);
    const int index = m_state.findDestination(entry);
    if (index >= 0)
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
            resendAll();
        } else {
            m_retryTimer.stop();
            if (m_log && !m_logId.isEmpty()) {
                for (const Pending& pending : std::as_const(m_pending))
                    m_log->recipientDone(m_logId, pending.address, pending.port, false);
            }
            m_boxes.post(QStringLiteral("送信失敗"),
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

QString SendJob::sealedSentTime(const QString& number) const
{
    bool ok = false;
    const qint64 value = number.trimmed().toLongLong(&ok);
    return ok ? m_sealedSent.value(value) : QString();
}

void SendJob::stop()
{
    m_retryTimer.stop();
    m_pending.clear();
}

} // namespace velmar::ipmsg
