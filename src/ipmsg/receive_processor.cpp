#include "ipmsg/receive_processor.h"

#include "components/components.h"
#include "ipmsg/message_log.h"
#include "ipmsg/messenger_host.h"
#include "ipmsg/packet_sender.h"
#include "ipmsg/send_job.h"
#include "ipmsg/user_list_state.h"
#include "platform/udp_endpoint.h"
#include "settings/colour_value.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkInterface>

namespace velmar::ipmsg {

namespace keys = settings::keys;

ReceiveProcessor::ReceiveProcessor(PacketSender& sender, UserListState& state, SendJob& sendJob,
                                   settings::SettingsStore& store, components::Textgauge& textgauge,
                                   platform::DeferredMessageBoxes& boxes, MessengerHost& host,
                                   QObject* parent)
    : QObject(parent), m_sender(sender), m_state(state), m_sendJob(sendJob), m_store(store),
      m_textgauge(textgauge), m_boxes(boxes), m_host(host),
      m_clock([] { return QDeadlineTimer::current().deadline(); })
{
    setOwnAddresses([] {
        QStringList out;
        const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
        for (const QHostAddress& address : addresses) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                out << address.toString();
        }
        return out;
    });
}

void ReceiveProcessor::setOwnAddresses(std::function<QStringList()> addresses)
{
    m_ownAddressSource = std::move(addresses);
    m_ownAddressesAt = -1;
}

bool ReceiveProcessor::isOwnAddress(const QString& ip)
{
    // Interfaces come and go (a VPN, a new lease); the list is asked again every few
    // seconds rather than on every datagram.
    const qint64 now = m_clock();
    if (m_ownAddressesAt < 0 || now - m_ownAddressesAt > 5000) {
        m_ownAddressesAt = now;
        const QStringList list = m_ownAddressSource ? m_ownAddressSource() : QStringList();
        m_ownAddresses = QSet<QString>(list.begin(), list.end());
        m_ownAddresses.insert(m_sender.endpoint().localIp());
        m_ownAddresses.remove(QString());
    }
    return m_ownAddresses.contains(ip);
}

std::optional<quint32> ReceiveProcessor::rowColour(bool absent)
{
    return settings::parseColorValue(
        m_store.read(absent ? keys::AbsentBackgroundColour : keys::PresentBackgroundColour));
}

bool ReceiveProcessor::mayAnswer(QHash<QString, qint64>& last, const QString& key)
{
    const qint64 now = m_clock();
    const auto it = last.constFind(key);
    if (it != last.constEnd() && now - *it < AnswerIntervalMs)
        return false;
    if (last.size() > MaxPeers * 2) // bounded under a flood of new senders
        last.clear();
    last.insert(key, now);
    return true;
}

bool ReceiveProcessor::collectsFrom(const QString& ip, bool* opens)
{
    // Counted per address, not per address and port: a flooding program can change
    // its port at will, its address much less so.
    *opens = false;
    const qint64 now = m_clock();
    if (m_flood.size() >= MaxPeers * 2) {
        // Bounded under messages from ever new addresses: who has been quiet for the
        // interval is in no flood any more and needs no state. One pass per MaxPeers
        // new addresses at most; when most are still active, all is forgotten.
        m_flood.removeIf([now](const QHash<QString, FloodState>::iterator& it) {
            return now - it.value().lastArrival >= FloodIntervalMs;
        });
        if (m_flood.size() > MaxPeers)
            m_flood.clear();
    }
    FloodState& state = m_flood[ip];
    const bool quietSince = now - state.lastArrival >= FloodIntervalMs;
    state.lastArrival = now;
    // Collecting goes on while the messages keep coming; windows that opened before
    // the flood began do not count once they are older than the interval.
    if (state.collecting && !quietSince)
        return true;
    state.collecting = false;
    while (!state.windowTimes.isEmpty() && now - state.windowTimes.first() >= FloodIntervalMs)
        state.windowTimes.removeFirst();
    if (state.windowTimes.size() >= FloodWindows) {
        state.collecting = true;
        state.windowTimes.clear();
        *opens = true;
        return true;
    }
    state.windowTimes.append(now);
    *opens = true;
    return false;
}

ReceiveProcessor::Route ReceiveProcessor::route(const QString& ip)
{
    // Many senders at once (a script on many machines, a reflected flood) bury the
    // screen as surely as one: all their windows together are counted too.
    const qint64 now = m_clock();
    const bool quiet = now - m_lastMessageAt >= FloodIntervalMs;
    m_lastMessageAt = now;
    if (m_storm && !quiet)
        return Route::StormWindow;
    m_storm = false;
    bool opens = false;
    const Route route = collectsFrom(ip, &opens) ? Route::SenderWindow : Route::OwnWindow;
    if (!opens)
        return route; // into a collecting window that is open already
    while (!m_stormWindowTimes.isEmpty() && now - m_stormWindowTimes.first() >= FloodIntervalMs)
        m_stormWindowTimes.removeFirst();
    if (m_stormWindowTimes.size() >= StormWindows) {
        m_storm = true;
        m_stormWindowTimes.clear();
        return Route::StormWindow;
    }
    m_stormWindowTimes.append(now);
    return route;
}

void ReceiveProcessor::holdArrivals(bool hold)
{
    m_holdArrivals = hold;
    while (!m_holdArrivals && !m_heldArrivals.isEmpty())
        handleDatagram(m_heldArrivals.takeFirst());
}

void ReceiveProcessor::handleDatagram(const platform::Datagram& datagram)
{
    if (m_holdArrivals) {
        // A bound on what waits: a busy network must not fill the memory meanwhile.
        constexpr qsizetype maxHeld = 4096;
        if (m_heldArrivals.size() < maxHeld)
            m_heldArrivals.append(datagram);
        return;
    }
    // Our own broadcasts come back, and so does everything from this machine.
    if (isOwnAddress(datagram.senderIp))
        return;
    const QString ip = datagram.senderIp.trimmed();
    const QString portText = QString::number(datagram.senderPort);
    const Peer* known = m_state.peers()->findPeer(ip, portText);
    // Our own peers send Shift_JIS unless the packet says otherwise, as we do to them.
    const bool readsUtf8 = known && known->readsUtf8 && !known->ours;
    const auto packet = parseDatagram(datagram.data, readsUtf8, m_textgauge);
    if (packet)
        dispatch(*packet, ip, datagram.senderPort, portText);
}

void ReceiveProcessor::receive(const Fields& fields, const QString& senderIp, quint16 senderPort)
{
    auto command = decodeCommand(fields.command, m_textgauge);
    if (!command)
        return;
    ReceivedPacket packet;
    packet.fields = fields;
    packet.command = std::move(*command);
    dispatch(packet, senderIp.trimmed(), senderPort, QString::number(senderPort));
}

void ReceiveProcessor::dispatch(const ReceivedPacket& packet, const QString& ip, quint16 senderPort,
                                const QString& portText)
{
    const Fields& fields = packet.fields;
    const Command& command = packet.command;
    m_state.ensureLoaded();
    const QString& c = command.command;
    if (command.isPresence()) {
        presenceUpdate(packet, ip, portText);
    } else if (c == u"21") {
        m_sendJob.acknowledge(addressEntry(portText, ip), fields.extra);
    } else if (c == u"30" || c == u"31") {
        readNotice(fields, command, ip, senderPort);
    } else if (c == u"40") {
        m_sender.sendCommand(cmd::SendInfo, ip, senderPort, m_host.versionText());
    } else if (c == u"20" || c == u"41") {
        message(fields, command, ip, senderPort, portText);
    }
}

void ReceiveProcessor::presenceUpdate(const ReceivedPacket& packet, const QString& ip,
                                      const QString& portText)
{
    const Fields& fields = packet.fields;
    const Command& command = packet.command;
    PeerListModel& peers = *m_state.peers();
    const bool exit = command.command == u"02";
    const bool listed = peers.findPeer(ip, portText) != nullptr;
    if (!listed && !exit && peers.count() >= MaxPeers)
        return; // the list is full: no new rows
    // With at most one peer the list is emptied. Otherwise an exit removes the row,
    // and anything else moves it to the bottom (appendPeer removes the old row).
    if (listed && peers.count() < 2)
        peers.clear();
    else if (listed && exit)
        peers.removePeerRow(peers.findRow(ip, portText));
    if (exit)
        return;
    // The extra is nickname NUL group (NUL …); an empty piece keeps the header's field.
    QString user = fields.user;
    QString host = fields.host;
    const QStringView extra(fields.extra);
    const qsizetype nicknameEnd = extra.indexOf(QChar(0));
    const QStringView nickname = nicknameEnd < 0 ? extra : extra.first(nicknameEnd);
    if (!nickname.isEmpty())
        user = nickname.toString();
    if (nicknameEnd >= 0) {
        const QStringView rest = extra.sliced(nicknameEnd + 1);
        const qsizetype groupEnd = rest.indexOf(QChar(0));
        const QStringView group = groupEnd < 0 ? rest : rest.first(groupEnd);
        if (!group.isEmpty())
            host = group.toString();
    }
    if (packet.names) {
        if (!packet.names->nickname.isEmpty())
            user = packet.names->nickname;
        if (!packet.names->group.isEmpty())
            host = packet.names->group;
    }
    Peer peer{cleanName(user.left(MaxNameLength)), cleanName(host.left(MaxNameLength)), ip,
              portText, std::nullopt};
    peer.ours = fields.version == u"1";
    peer.readsUtf8 = packet.readsUtf8;
    const int row = peers.appendPeer(std::move(peer));
    if (const auto number = rowColour(command.has(opt::Absence)))
        peers.setRowColour(row, number);
    if (command.command == u"01" && mayAnswer(m_lastEntryAnswer, addressEntry(portText, ip))) {
        const quint16 port = static_cast<quint16>(portText.toUInt());
        for (qint64 i = 0, n = m_sender.retry(); i < n; ++i)
            m_sender.sendPresence(cmd::AnsEntry, ip, port, true);
    }
}

void ReceiveProcessor::readNotice(const Fields& fields, const Command& command, const QString& ip,
                                  quint16 port)
{
    const PeerListModel& peers = *m_state.peers();
    const int row = peers.findRow(ip, QString::number(port));
    if (row < 0)
        return;
    // The answer goes first: the box waits for the user, the sender does not.
    if (!command.has(opt::AutoRet))
        m_sender.sendCommand(cmd::AnsReadMsg, ip, port, fields.packetNo);
    // Senders repeat a notice until it is answered; each is shown once.
    const QString key = addressEntry(QString::number(port), ip) + u'/' + fields.packetNo;
    if (m_noticesSeen.contains(key))
        return;
    if (m_noticesSeen.size() > MaxPeers)
        m_noticesSeen.clear();
    m_noticesSeen.insert(key);
    if (m_log)
        m_log->noticeArrived(ip, port, QString(fields.extra).remove(QChar(0)).trimmed(),
                             command.command == u"30");
    // Gathered: one box at a time lists what arrived while the one before was open.
    if (m_notices.size() < MaxNoticeLines)
        m_notices.append({ip, peers.cell(row, PeerColumn::Name), command.command == u"30",
                          fields.extra.trimmed().remove(QChar(0))});
    else
        ++m_noticesOverflow;
    // While other boxes fill the queue, the notices wait for the next one that arrives.
    if (!m_noticeBoxPosted)
        m_noticeBoxPosted = m_boxes.post([this] { return composeNotices(); });
}

platform::DeferredMessageBoxes::Box ReceiveProcessor::composeNotices()
{
    m_noticeBoxPosted = false;
    const QList<Notice> notices = std::exchange(m_notices, {});
    const qsizetype overflow = std::exchange(m_noticesOverflow, 0);
    if (notices.isEmpty())
        return {};
    if (notices.size() == 1) {
        const Notice& notice = notices.first();
        if (notice.read)
            return {QStringLiteral("封書開封通知 From ") + notice.ip + u'-' + notice.name,
                    QStringLiteral("開封されました")};
        return {QStringLiteral("封書破棄通知 From ") + notice.ip + u'-' + notice.name,
                QStringLiteral("封書は見ずに破棄されました")};
    }
    QStringList lines;
    for (const Notice& notice : notices) {
        const QString sent = m_sealedSentTime ? m_sealedSentTime(notice.packetNo) : QString();
        const QString letter = sent.isEmpty()
                                   ? QStringLiteral("番号 %1 の封書").arg(notice.packetNo.left(20))
                                   : sent + QStringLiteral(" の封書");
        lines << notice.name +
                     (notice.read ? QStringLiteral("さんが開封しました: ")
                                  : QStringLiteral("さんが見ずに破棄しました: ")) +
                     letter;
    }
    if (overflow > 0)
        lines << QStringLiteral("ほか %1 件").arg(overflow);
    return {QStringLiteral("封書通知 (%1 件)").arg(notices.size() + overflow),
            lines.join(QStringLiteral("\r\n"))};
}

void ReceiveProcessor::message(const Fields& fields, const Command& command, const QString& ip,
                               quint16 port, const QString& portText)
{
    const PeerListModel& peers = *m_state.peers();
    QString displayName;
    const int row = peers.findRow(ip, portText);
    if (row < 0) {
        // A stranger: ask it to introduce itself; its answer fills the row. At most
        // one such question a second, whoever sends.
        if (mayAnswer(m_lastStrangerEntry, QString()))
            m_sender.sendPresence(cmd::BrEntry, ip, port, false);
        displayName = fields.user + u'/' + fields.host;
    } else {
        displayName = peers.cell(row, PeerColumn::Name) + u'/' + peers.cell(row, PeerColumn::Group);
    }

    // A repeat means the sender missed our receipt: it gets the receipt again, but
    // no second window and no second absence reply.
    bool repeated = isDuplicate(fields.packetNo + u':' + ip + u':' + portText);
    // Another client's absence reply: its copies come under new packet numbers.
    const bool absenceReply = command.command == u"20" && command.has(opt::AutoRet);
    const bool shownBefore = !repeated && absenceReply &&
                             isRepeatedAbsenceReply(addressEntry(portText, ip), fields.extra);
    if (!repeated && !shownBefore) {
        IncomingMessage incoming;
        incoming.text = messageText(fields.extra);
        incoming.caption = QStringLiteral("From Network ") + displayName +
                           QStringLiteral("(IP Messenger Protcol) ") + m_textgauge.DayIs(3);
        incoming.replyAddress = ip;
        incoming.replyPort = port;
        incoming.senderName = displayName;
        incoming.statusText = QStringLiteral("IPM(未返信)") + addressEntry(portText, ip);
        incoming.background =
            settings::parseColorValue(m_store.read(keys::MessageBackgroundColour));
        if (command.has(opt::Secret)) {
            incoming.sealed = true;
            incoming.packetNumber = fields.packetNo;
            incoming.noticeOwed = command.has(opt::ReadCheck);
            incoming.passwordBox =
                command.has(opt::Password) && !m_store.read(keys::Password).isEmpty();
        }
        if (m_log)
            incoming.historyId = m_log->newId();
        const LoggedPeer sender{displayName, fields.user, fields.host, ip, port};
        // Past the flood limit the message is still shown whole, in the sender's
        // collecting window, and still answered with a receipt; the arrival sound and
        // the absence reply (Retry packets per message) went out for the messages that
        // began the flood and are not repeated for each of the rest.
        const Route where = route(ip);
        const bool collected = where != Route::OwnWindow;
        if (collected) {
            incoming.storm = where == Route::StormWindow;
            m_host.collectMessage(incoming);
        } else {
            m_host.openMessageWindow(incoming);
        }
        // Kept before the receipt goes out: what the sender sees acknowledged is kept.
        if (m_log)
            m_log->messageArrived(incoming, sender, fields.packetNo, collected,
                                  command.has(opt::AutoRet));
        if (!collected) {
            m_host.playArrivalSound();
            if (!m_sender.absenceTitle().isEmpty() && !command.has(opt::AutoRet)) {
                const Peer* peer = m_state.peers()->findPeer(ip, portText);
                m_sender.sendAbsenceReply(ip, port, peer && peer->readsUtf8);
                if (m_log)
                    m_log->absenceReplySent(sender, m_sender.absenceText());
            }
        }
    }
    repeated = repeated || shownBefore;
    if (!command.has(opt::Broadcast) && !command.has(opt::AutoRet) &&
        !command.has(opt::Multicast) && !command.has(opt::NoAddList))
        m_sender.sendCommand(cmd::RecvMsg, ip, port, fields.packetNo);
    if (!repeated && m_host.inTray())
        m_host.startBlinking();
}

bool ReceiveProcessor::isRepeatedAbsenceReply(const QString& key, const QString& text)
{
    const qint64 now = m_clock();
    const size_t textHash = qHash(text);
    const auto it = m_absenceReplies.find(key);
    if (it != m_absenceReplies.end() && it->textHash == textHash &&
        now - it->at < AbsenceReplyWindowMs) {
        it->at = now; // a peer that keeps answering stays quiet
        return true;
    }
    if (it == m_absenceReplies.end() && m_absenceReplies.size() >= MaxPeers) // bounded
        m_absenceReplies.removeIf([now](const QHash<QString, AbsenceReply>::iterator& e) {
            return now - e->at >= AbsenceReplyWindowMs;
        });
    if (m_absenceReplies.size() >= MaxPeers)
        m_absenceReplies.clear();
    m_absenceReplies.insert(key, {textHash, now});
    return false;
}

bool ReceiveProcessor::isDuplicate(const QString& key)
{
    const qint64 now = m_clock();
    while (!m_seenMessages.isEmpty() && (m_seenMessages.size() >= DuplicateHistory ||
                                         now - m_seenMessages.head().at > DuplicateWindowMs))
        m_seenKeys.remove(m_seenMessages.dequeue().key);
    if (m_seenKeys.contains(key))
        return true;
    m_seenKeys.insert(key);
    m_seenMessages.enqueue({key, now});
    return false;
}

} // namespace velmar::ipmsg
