#include "ipmsg/messenger.h"

#include "common/list_helpers.h"
#include "components/components.h"
#include "platform/message_boxes.h"
#include "platform/udp_endpoint.h"
#include "settings/colour_value.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QScopeGuard>
#include <cmath>
#include <limits>

namespace velmar::ipmsg {

namespace keys = settings::keys;

namespace {

const QString kBroadCast = QStringLiteral("BroadCast");
const QString kBroadcastAddress = QStringLiteral("255.255.255.255");

// Packet number arguments of the password generator.
QString pasGene(components::Textgauge& textgauge)
{
    return textgauge.PasGene(9, 9, 1, 0, 0, 0, 1);
}

} // namespace

Messenger::Messenger(platform::UdpEndpoint& endpoint, settings::SettingsStore& store,
                     components::Textgauge& textgauge, platform::MessageBoxes& boxes,
                     MessengerHost& host, QObject* parent)
    : QObject(parent), m_endpoint(endpoint), m_store(store), m_textgauge(textgauge), m_boxes(boxes),
      m_host(host)
{
    // The IP Messenger section is "IPM\<port>" of whatever port the endpoint has now.
    m_store.setPortSource([this] { return m_endpoint.localPort(); });
    m_retryTimer.setInterval(1000);
    connect(&m_retryTimer, &QTimer::timeout, this, &Messenger::tick);
    connect(&m_endpoint, &platform::UdpEndpoint::datagramArrived, this, &Messenger::handleDatagram);
}

Messenger::~Messenger() = default;

bool Messenger::bindEndpoint()
{
    QString portText = m_store.read(keys::Port).trimmed();
    const QString checked = m_textgauge.NumChk(portText, 3);
    return rebind(settings::portFromCheck(checked, keys::DefaultPort));
}

bool Messenger::rebind(quint16 port)
{
    return m_endpoint.bind(port);
}

QString Messenger::packetHeader(const QString& packetNo) const
{
    return ipmsg::packetHeader(m_protocolVersion, packetNo, m_endpoint.hostName());
}

QString Messenger::newEntryNumber()
{
    // Every packet but a message drops the leading zeros of the generated number.
    return QString::number(pasGene(m_textgauge).toInt());
}

void Messenger::sendCommand(quint32 command, const QString& destination, qint32 port,
                            const QString& extra)
{
    const QString packet = packetHeader(newEntryNumber()) + QString::number(command) + u':' + extra;
    if (destination != kBroadCast) {
        sendDatagram(destination, port, packet, QString());
        return;
    }
    if (sendDatagram(kBroadcastAddress, 0, packet, kBroadCast) != 0)
        return;
    const QString list = m_store.read(keys::BroadcastList);
    if (list.toUpper() == u"NULL")
        return;
    const QStringList entries = list.split(u',');
    for (const QString& entry : entries) {
        if (const auto target = parseAddressEntry(entry, m_textgauge))
            sendDatagram(target->address, target->port, packet, kBroadCast);
    }
}

qint16 Messenger::sendDatagram(const QString& remote, qint32 port, const QString& data,
                               const QString& mode)
{
    const qint32 remotePort = port != 0 ? port : m_endpoint.localPort();
    platform::SendResult result;
    if (remotePort < 1 || remotePort > 0xFFFF)
        result = {false, 380, QStringLiteral("無効なポート番号です (%1)").arg(remotePort)};
    else
        result = m_endpoint.send(remote, static_cast<quint16>(remotePort), toWire(data));
    if (result.ok)
        return 0;
    if (mode != kBroadCast && m_sendErrorState == 0) {
        // Set before the box: its event loop may deliver another failing send.
        m_sendErrorState = 1;
        m_boxes.show(QStringLiteral("送信･ｴﾗｰ"),
                     QStringLiteral("ｴﾗｰ番号=") + QString::number(result.errorCode) +
                         QStringLiteral("\r\nｴﾗｰ情報=") + result.errorText +
                         QStringLiteral("\r\n\r\n\"設定\"にて、ポート番号を変更してください"));
    }
    return 1;
}

QString Messenger::ownExtra(bool absentForm) const
{
    QString nickname = m_store.read(keys::UserName);
    if (absentForm && !m_absenceTitle.isEmpty())
        nickname += u'[' + m_absenceTitle + u']';
    return presenceExtra(nickname, m_store.read(keys::GroupName));
}

qint64 Messenger::retry() const
{
    return settings::read(m_store, keys::RetryCount);
}

quint32 Messenger::absenceOption(bool absentForm) const
{
    // Peers colour absent users by this option; the title in the name alone would
    // not show them as absent.
    return absentForm && !m_absenceTitle.isEmpty() ? cmd::AbsenceOpt : 0;
}

void Messenger::entryBroadcast(bool absentForm)
{
    for (qint64 i = 0, n = retry(); i < n; ++i)
        sendCommand(cmd::BrEntry | absenceOption(absentForm), kBroadCast, 0, ownExtra(absentForm));
}

void Messenger::exitBroadcast()
{
    for (qint64 i = 0, n = retry(); i < n; ++i)
        sendCommand(cmd::BrExit, kBroadCast, 0, ownExtra(false));
}

int Messenger::findPeerRow(const QString& ip, const QString& port)
{
    ensureLoaded();
    return m_peers.findRow(ip, port) + 1;
}

void Messenger::deletePeerRow(int myIndex)
{
    if (m_peers.count() < 2)
        m_peers.clear();
    else
        m_peers.removePeerRow(myIndex - 1);
}

void Messenger::setAbsence(const QString& title, const QString& text)
{
    m_absenceTitle = title;
    m_absenceText = text;
}

void Messenger::handleDatagram(const platform::Datagram& datagram)
{
    if (m_holdArrivals) {
        // A bound on what waits: a busy network must not fill the memory meanwhile.
        constexpr qsizetype maxHeld = 4096;
        if (m_heldArrivals.size() < maxHeld)
            m_heldArrivals.append(datagram);
        return;
    }
    // Our own broadcasts come back, and so does everything from this machine.
    if (datagram.senderIp == m_endpoint.localIp())
        return;
    const auto fields = splitPacket(fromWire(datagram.data));
    if (!fields)
        return;
    receive(*fields, datagram.senderIp, datagram.senderPort);
}

void Messenger::holdArrivals(bool hold)
{
    m_holdArrivals = hold;
    while (!m_holdArrivals && !m_heldArrivals.isEmpty())
        handleDatagram(m_heldArrivals.takeFirst());
}

void Messenger::receive(const Fields& fields, const QString& senderIp, quint16 senderPort)
{
    const QString ip = senderIp.trimmed();
    const QString portText = QString::number(senderPort);
    const QStringList extraPieces =
        fields.extra.isEmpty() ? QStringList() : fields.extra.split(QChar(0));
    const auto command = decodeCommand(fields.command, m_textgauge);
    if (!command)
        return;
    ensureLoaded();
    const QString& c = command->command;
    if (c == u"00" || c == u"01" || c == u"02" || c == u"03" || c == u"04") {
        presenceUpdate(fields, *command, extraPieces, ip, portText);
    } else if (c == u"21") {
        const int index = findListItem(m_destinationEntries, addressEntry(portText, ip), true);
        if (index >= 0) {
            removeDestinationAt(index);
            if (m_progressValue < m_progressMaximum)
                setProgress(m_progressValue + 1, m_progressMaximum);
        }
    } else if (c == u"30" || c == u"31") {
        readNotice(fields, *command, ip, senderPort);
    } else if (c == u"40") {
        sendCommand(cmd::SendInfo, ip, senderPort, m_host.versionText());
    } else if (c == u"20" || c == u"41") {
        message(fields, *command, ip, senderPort, portText);
    }
}

void Messenger::presenceUpdate(const Fields& fields, const Command& command,
                               const QStringList& extraPieces, const QString& ip,
                               const QString& portText)
{
    const int oldRow = m_peers.findRow(ip, portText);
    if (oldRow >= 0)
        deletePeerRow(oldRow + 1);
    if (command.command == u"02")
        return;
    QString user = fields.user;
    QString host = fields.host;
    if (!extraPieces.isEmpty() && !extraPieces.at(0).isEmpty())
        user = extraPieces.at(0);
    if (extraPieces.size() > 1 && !extraPieces.at(1).isEmpty())
        host = extraPieces.at(1);
    const int row =
        m_peers.appendPeer(Peer{cleanName(user), cleanName(host), ip, portText, std::nullopt});
    const QString colour = m_store.read(command.has(opt::Absence) ? keys::AbsentBackgroundColour
                                                                  : keys::PresentBackgroundColour);
    if (const auto number = settings::parseColorValue(colour))
        m_peers.setRowColour(row, number);
    if (command.command == u"01") {
        const quint16 port = static_cast<quint16>(portText.toUInt());
        for (qint64 i = 0, n = retry(); i < n; ++i)
            sendCommand(cmd::AnsEntry | absenceOption(true), ip, port, ownExtra(true));
    }
}

void Messenger::readNotice(const Fields& fields, const Command& command, const QString& ip,
                           quint16 port)
{
    const int row = m_peers.findRow(ip, QString::number(port));
    if (row < 0)
        return;
    const QString name = m_peers.cell(row, 0);
    if (command.command == u"30")
        m_boxes.show(QStringLiteral("封書開封通知 From ") + ip + u'-' + name,
                     QStringLiteral("開封されました"));
    else
        m_boxes.show(QStringLiteral("封書破棄通知 From ") + ip + u'-' + name,
                     QStringLiteral("封書は見ずに破棄されました"));
    if (!command.has(opt::AutoRet))
        sendCommand(cmd::AnsReadMsg, ip, port, fields.packetNo);
}

void Messenger::message(const Fields& fields, const Command& command, const QString& ip,
                        quint16 port, const QString& portText)
{
    QString displayName;
    const int row = m_peers.findRow(ip, portText);
    if (row < 0) {
        // A stranger: ask it to introduce itself; its answer fills the row.
        sendCommand(cmd::BrEntry, ip, port, ownExtra(false));
        displayName = fields.user + u'/' + fields.host;
    } else {
        displayName = m_peers.cell(row, 0) + u'/' + m_peers.cell(row, 1);
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
        m_host.openMessageWindow(incoming);
        m_host.playArrivalSound();
        if (!m_absenceTitle.isEmpty() && !command.has(opt::AutoRet)) {
            const QString reply = ret_chg1(m_absenceText);
            for (qint64 i = 0, n = retry(); i < n; ++i)
                sendCommand(cmd::AbsenceReply, ip, port, reply);
        }
    }
    if (!command.has(opt::Broadcast) && !command.has(opt::AutoRet) &&
        !command.has(opt::Multicast) && !command.has(opt::NoAddList))
        sendCommand(cmd::RecvMsg, ip, port, fields.packetNo);
    if (!repeated && m_host.inTray())
        m_host.startBlinking();
}

bool Messenger::isDuplicate(const QString& key)
{
    for (const QString& seen : m_remotePacketNo) {
        if (seen == key)
            return true;
    }
    for (std::size_t i = m_remotePacketNo.size() - 1; i > 0; --i)
        m_remotePacketNo[i] = m_remotePacketNo[i - 1];
    m_remotePacketNo[0] = key;
    return false;
}

void Messenger::sendActiveText(const QString& text, const QString& remoteIp, qint32 remotePort)
{
    ensureLoaded();
    m_host.skipNextActivation();
    setTextToSend(text);
    if (m_textToSend.size() > MaxPiece - 1)
        m_boxes.show(QStringLiteral("注意"),
                     QStringLiteral("データが大きすぎるので、メッセージが分割されます"));
    setReplyTarget(remoteIp, remotePort);
    setDialogVisible(true);
}

void Messenger::sendPiece(const QString& piece)
{
    const QString packetNo = pasGene(m_textgauge); // messages keep the leading zeros
    quint32 word = cmd::SendMsg;
    if (m_sealedCheck == 1) {
        word += cmd::SecretOpts;
        if (m_lockCheck == 1)
            word += cmd::PasswordOpt;
    }
    m_packetText = packetHeader(packetNo) + QString::number(word) + u':' + ret_chg1(piece);
    sendPacket(m_packetText);
}

void Messenger::sendPacket(const QString& packet)
{
    // A copy: a send-error box runs an event loop in which receipts change destinationEntries.
    const QStringList entries = m_destinationEntries;
    for (const QString& entry : entries) {
        const auto target = parseAddressEntry(entry, m_textgauge);
        if (!target)
            continue; // never sent to and never removed: the send ends in failure
        sendDatagram(target->address, target->port, packet, QString());
        if (!m_retryTimer.isActive()) {
            m_ticks = 0;
            m_retryTimer.start();
        }
    }
}

void Messenger::finishSend()
{
    const QStringList entries = m_destinationEntries;
    for (const QString& entry : entries) {
        if (const auto target = parseAddressEntry(entry, m_textgauge))
            sendCommand(cmd::GetInfo, target->address, target->port, QString());
        if (m_progressValue < m_progressMaximum)
            setProgress(m_progressValue + 1, m_progressMaximum);
    }
    setProgressShown(false);
    setDialogVisible(false);
}

void Messenger::tick()
{
    // A send-error box inside sendPacket runs an event loop in which the timer keeps
    // firing; those ticks are dropped rather than run inside this one.
    if (m_inTick)
        return;
    m_inTick = true;
    const auto leave = qScopeGuard([this] { m_inTick = false; });
    if (m_ticks < std::numeric_limits<int>::max())
        ++m_ticks;
    if (!m_destinationEntries.isEmpty()) {
        if (retry() >= m_ticks) {
            sendPacket(m_packetText);
        } else {
            m_retryTimer.stop(); // before the box: its event loop would tick again
            m_boxes.show(QStringLiteral("送信失敗"),
                         QStringLiteral("未だ選択されているリストの方へ送信できませんでした"));
            setFormEnabled(true);
        }
        return;
    }
    setProgress(m_progressMaximum, m_progressMaximum);
    m_host.skipNextActivation();
    setProgressShown(false);
    clearDestinations();
    setDialogVisible(false);
    m_retryTimer.stop();
    setFormEnabled(true);
    m_host.markSent();
}

void Messenger::load()
{
    m_loaded = true;
    bool ok = false;
    const double sort = m_store.read(keys::ListSort).trimmed().toDouble(&ok);
    const int n = ok && std::isfinite(sort) ? static_cast<int>(std::trunc(sort)) : -1;
    m_sortOption = (n >= 0 && n <= 2) ? n : -1;
    m_sortAscending = settings::read(m_store, keys::SortAscendingNumber) != 0 ? 1 : 0;
    Q_EMIT sortStateChanged();
    refreshPeers();
}

void Messenger::ensureLoaded()
{
    if (!m_loaded)
        load();
}

void Messenger::refreshPeers()
{
    m_peers.clear();
    for (qint64 i = 0, n = retry(); i < n; ++i)
        sendCommand(cmd::BrEntry, kBroadCast, 0, ownExtra(false));
}

void Messenger::sortPeers()
{
    if (m_peers.count() < 3 || m_sortOption < 0)
        return;
    m_peers.sortByColumn(m_sortOption, m_sortAscending != 0);
}

void Messenger::activateDialog()
{
    ensureLoaded();
    sortPeers();
    m_host.skipNextActivation();
    if (m_replyAddress.isEmpty())
        return;
    const QString portText = QString::number(m_replyPort);
    if (m_destinationEntries.contains(addressEntry(portText, m_replyAddress)))
        return;
    const int row = m_peers.findRow(m_replyAddress, portText);
    if (row < 0)
        return;
    addDestination(m_peers.cell(row, 0),
                   addressEntry(m_peers.cell(row, 3).trimmed(), m_peers.cell(row, 2).trimmed()));
}

void Messenger::chooseRow(int row)
{
    if (row < 0 || row >= m_peers.count())
        return;
    const QString entry =
        addressEntry(m_peers.cell(row, 3).trimmed(), m_peers.cell(row, 2).trimmed());
    if (findListItem(m_destinationEntries, entry, true) < 0)
        addDestination(m_peers.cell(row, 0), entry);
}

void Messenger::removeDestination(int index)
{
    if (index >= 0 && index < m_destinationNames.size())
        removeDestinationAt(index);
}

void Messenger::cancel()
{
    clearDestinations();
    m_host.skipNextActivation();
    setDialogVisible(false);
}

void Messenger::clickSealed(int value)
{
    m_sealedCheck = value == 1 ? 1 : 0;
    m_lockCheck = m_sealedCheck == 1 ? 0 : 2;
    Q_EMIT checksChanged();
}

void Messenger::clickLocked(int value)
{
    m_lockCheck = m_sealedCheck == 0 ? 2 : (value == 1 ? 1 : 0);
    Q_EMIT checksChanged();
}

void Messenger::setSortOption(int option)
{
    m_sortOption = (option >= 0 && option <= 3) ? option : -1;
    Q_EMIT sortStateChanged();
    sortPeers();
}

void Messenger::setSortAscending(int value)
{
    m_sortAscending = value != 0 ? 1 : 0;
    Q_EMIT sortStateChanged();
    sortPeers();
}

void Messenger::send(Button button)
{
    const QString own =
        addressEntry(QString::number(m_endpoint.localPort()), m_endpoint.localIp().trimmed());
    bool removed = false;
    for (int i = m_destinationEntries.size() - 1; i >= 0; --i) {
        if (m_destinationEntries.at(i) == own) {
            m_destinationEntries.removeAt(i);
            if (i < m_destinationNames.size())
                m_destinationNames.removeAt(i);
            removed = true;
        }
    }
    if (removed)
        Q_EMIT destinationsChanged();
    if (m_destinationNames.isEmpty()) {
        m_boxes.show(QStringLiteral("はてな?"), QStringLiteral("誰に送信するんだい?"));
        return;
    }
    m_absenceTitle.clear(); // sending ends the absence
    setProgress(0, static_cast<int>(m_destinationNames.size()));
    if (button == Button::Left) {
        setFormEnabled(false);
        const QStringList pieces = splitPieces(m_textToSend);
        for (const QString& piece : pieces)
            sendPiece(piece);
    } else {
        finishSend();
    }
}

void Messenger::close(bool isEndmode)
{
    if (!isEndmode) {
        m_host.skipNextActivation();
        setFormEnabled(true);
    }
    // The destinations go with the dialog, so a send in progress ends here rather
    // than completing at the next tick and marking its window as sent.
    m_retryTimer.stop();
    m_loaded = false;
    m_peers.clear();
    clearDestinations();
    m_packetText.clear();
    setTextToSend(QString());
    m_replyAddress.clear();
    m_replyPort = 0;
    m_sealedCheck = 0;
    m_lockCheck = 2;
    Q_EMIT checksChanged();
    m_sortOption = -1;
    m_sortAscending = 0;
    Q_EMIT sortStateChanged();
    setProgress(0, 0);
    setProgressShown(false);
    setDialogVisible(false);
}

void Messenger::setTextToSend(const QString& text)
{
    if (text == m_textToSend)
        return;
    m_textToSend = text;
    Q_EMIT richTextChanged(m_textToSend);
}

void Messenger::setReplyTarget(const QString& remoteIp, qint32 remotePort)
{
    m_replyAddress = remoteIp;
    m_replyPort = remotePort;
}

void Messenger::setFormEnabled(bool chk)
{
    m_formEnabled = chk;
    Q_EMIT formEnabledChanged(chk);
    setProgressShown(!chk);
}

void Messenger::setProgress(int value, int maximum)
{
    m_progressValue = value;
    m_progressMaximum = maximum;
    Q_EMIT progressChanged(value, maximum);
}

void Messenger::setProgressShown(bool shown)
{
    if (m_progressShown == shown)
        return;
    m_progressShown = shown;
    Q_EMIT progressShownChanged(shown);
}

void Messenger::setDialogVisible(bool visible)
{
    if (m_dialogVisible == visible)
        return;
    m_dialogVisible = visible;
    Q_EMIT dialogVisibilityChanged(visible);
}

void Messenger::addDestination(const QString& name, const QString& entry)
{
    m_destinationNames.append(name);
    m_destinationEntries.append(entry);
    Q_EMIT destinationsChanged();
}

void Messenger::removeDestinationAt(int index)
{
    m_destinationEntries.removeAt(index);
    if (index < m_destinationNames.size())
        m_destinationNames.removeAt(index);
    Q_EMIT destinationsChanged();
}

void Messenger::clearDestinations()
{
    if (m_destinationNames.isEmpty() && m_destinationEntries.isEmpty())
        return;
    m_destinationNames.clear();
    m_destinationEntries.clear();
    Q_EMIT destinationsChanged();
}

} // namespace velmar::ipmsg
