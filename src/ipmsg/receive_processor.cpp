#include "ipmsg/receive_processor.h"

#include "components/components.h"
#include "ipmsg/message_log.h"
#include "ipmsg/messenger_host.h"
#include "ipmsg/packet_sender.h"
#include "ipmsg/send_job.h"
#include "ipmsg/user_list_state.h"
#include "platform/message_boxes.h"
#include "platform/udp_endpoint.h"
#include "settings/colour_value.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTimer>

namespace velmar::ipmsg {

namespace keys = settings::keys;

namespace {

// "utf-8" in any case anywhere in the extra (other clients list the encodings they
// read there). Found by its "-8", rare in names, rather than by a case-insensitive
// comparison at every position: this runs for every presence datagram.
bool mentionsUtf8(QStringView extra)
{
    for (qsizetype at = extra.indexOf(u"-8"); at >= 0; at = extra.indexOf(u"-8", at + 1)) {
        if (at >= 3 && extra.sliced(at - 3, 3).compare(u"utf", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

ReceiveProcessor::ReceiveProcessor(PacketSender& sender, UserListState& state, SendJob& sendJob,
                                   settings::SettingsStore& store, components::Textgauge& textgauge,
                                   platform::MessageBoxes& boxes, MessengerHost& host,
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

bool ReceiveProcessor::collectsFrom(const QString& ip)
{
    // Counted per address, not per address and port: a flooding program can change
    // its port at will, its address much less so.
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
        return true;
    }
    state.windowTimes.append(now);
    return false;
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
    const quint32 word = rawCommandWord(datagram.data);
    // Our own peers send Shift_JIS unless the packet says otherwise, as we do to them.
    const bool readsUtf8 = known && known->readsUtf8 && !known->ours;
    const WireEncoding encoding = datagramEncoding(datagram.data, word, readsUtf8);
    auto fields = splitPacket(decodeText(datagram.data, encoding));
    if (!fields)
        return;
    const quint32 mode = word & 0xFF;
    if (mode == cmd::BrEntry || mode == cmd::AnsEntry || mode == 0x4) {
        m_presenceUtf8 = (word & cmd::Utf8Capability) != 0 || encoding == WireEncoding::Utf8 ||
                         mentionsUtf8(fields->extra);
        m_presenceNames = utf8Names(datagram.data);
        if (m_presenceNames) {
            // The Shift_JIS fields end where the UTF-8 ones begin.
            const qsizetype cut = fields->extra.indexOf(QStringLiteral("\0\n"));
            if (cut >= 0)
                fields->extra.truncate(cut);
        }
    } else {
        m_presenceUtf8 = false;
        m_presenceNames.reset();
    }
    dispatch(*fields, ip, datagram.senderPort, portText);
}

void ReceiveProcessor::receive(const Fields& fields, const QString& senderIp, quint16 senderPort)
{
    dispatch(fields, senderIp.trimmed(), senderPort, QString::number(senderPort));
}

void ReceiveProcessor::dispatch(const Fields& fields, const QString& ip, quint16 senderPort,
                                const QString& portText)
{
    const auto command = decodeCommand(fields.command, m_textgauge);
    if (!command)
        return;
    m_state.ensureLoaded();
    const QString& c = command->command;
    if (c == u"00" || c == u"01" || c == u"02" || c == u"03" || c == u"04") {
        presenceUpdate(fields, *command, ip, portText);
    } else if (c == u"21") {
        m_sendJob.acknowledge(addressEntry(portText, ip), fields.extra);
    } else if (c == u"30" || c == u"31") {
        readNotice(fields, *command, ip, senderPort);
    } else if (c == u"40") {
        m_sender.sendCommand(cmd::SendInfo, ip, senderPort, m_host.versionText());
    } else if (c == u"20" || c == u"41") {
        message(fields, *command, ip, senderPort, portText);
    }
}

void ReceiveProcessor::presenceUpdate(const Fields& fields, const Command& command,
                                      const QString& ip, const QString& portText)
{
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
    if (m_presenceNames) {
        if (!m_presenceNames->nickname.isEmpty())
            user = m_presenceNames->nickname;
        if (!m_presenceNames->group.isEmpty())
            host = m_presenceNames->group;
    }
    Peer peer{cleanName(user.left(MaxNameLength)), cleanName(host.left(MaxNameLength)), ip,
              portText, std::nullopt};
    peer.ours = fields.version == u"1";
    peer.readsUtf8 = m_presenceUtf8;
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
    const QString name = peers.cell(row, PeerColumn::Name);
    if (command.command == u"30")
        m_notices.append({QStringLiteral("封書開封通知 From ") + ip + u'-' + name,
                          QStringLiteral("開封されました")});
    else
        m_notices.append({QStringLiteral("封書破棄通知 From ") + ip + u'-' + name,
                          QStringLiteral("封書は見ずに破棄されました")});
    // Shown after the datagram handler returns: a box runs its own event loop, and
    // datagrams (receipts included) must keep being read while it is open.
    if (!m_noticeOpen && m_notices.size() == 1)
        QTimer::singleShot(0, this, &ReceiveProcessor::showNextNotice);
}

void ReceiveProcessor::showNextNotice()
{
    // One box at a time; notices that arrive while it is open follow it.
    if (m_noticeOpen)
        return;
    m_noticeOpen = true;
    while (!m_notices.isEmpty()) {
        const Notice notice = m_notices.takeFirst();
        m_boxes.show(notice.title, notice.text);
    }
    m_noticeOpen = false;
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
    const bool repeated = isDuplicate(fields.packetNo + u':' + ip + u':' + portText);
    if (!repeated) {
        IncomingMessage incoming;
        incoming.text = messageText(fields.extra);
        incoming.caption = QStringLiteral("From Network ") + displayName +
                           QStringLiteral("(IP Messenger Protcol) ") + m_textgauge.DayIs(3);
        incoming.replyAddress = ip;
        incoming.replyPort = port;
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
        const bool collected = collectsFrom(ip);
        if (collected)
            m_host.collectMessage(incoming);
        else
            m_host.openMessageWindow(incoming);
        // Kept before the receipt goes out: what the sender sees acknowledged is kept.
        if (m_log)
            m_log->messageArrived(incoming, sender, fields.packetNo, collected,
                                  command.has(opt::AutoRet));
        if (!collected) {
            m_host.playArrivalSound();
            if (!m_sender.absenceTitle().isEmpty() && !command.has(opt::AutoRet)) {
                const QString reply = lineBreaksForWire(m_sender.absenceText());
                for (qint64 i = 0, n = m_sender.retry(); i < n; ++i)
                    m_sender.sendCommand(cmd::AbsenceReply, ip, port, reply);
                if (m_log)
                    m_log->absenceReplySent(sender, m_sender.absenceText());
            }
        }
    }
    if (!command.has(opt::Broadcast) && !command.has(opt::AutoRet) &&
        !command.has(opt::Multicast) && !command.has(opt::NoAddList))
        m_sender.sendCommand(cmd::RecvMsg, ip, port, fields.packetNo);
    if (!repeated && m_host.inTray())
        m_host.startBlinking();
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
