#include "ipmsg/messenger.h"

#include "app/common.h"
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
const QString kError = QStringLiteral("error");

// Packet number arguments of the password generator.
QString pasGene(components::Textgauge& textgauge)
{
    return textgauge.PasGene(9, 9, 1, 0, 0, 0, 1);
}

} // namespace

Messenger::Messenger(platform::UdpEndpoint& Winsock1, settings::SettingsStore& store,
                     components::Textgauge& textgauge, platform::MessageBoxes& boxes,
                     MessengerHost& host, QObject* parent)
    : QObject(parent), m_endpoint(Winsock1), m_store(store), m_textgauge(textgauge), m_boxes(boxes),
      m_host(host)
{
    // The IP Messenger section is "IPM\<port>" of whatever port the endpoint has now.
    m_store.setPortSource([this] { return m_endpoint.localPort(); });
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &Messenger::tick);
    connect(&m_endpoint, &platform::UdpEndpoint::datagramArrived, this,
            &Messenger::Winsock1_DataArrival);
}

Messenger::~Messenger() = default;

bool Messenger::bindEndpoint()
{
    QString portText = m_store.read(keys::Port).trimmed();
    const QString checked = m_textgauge.NumChk(portText, 3);
    quint16 port = keys::DefaultPort;
    if (checked != kError)
        port = static_cast<quint16>(checked.toUInt());
    return rebind(port);
}

bool Messenger::rebind(quint16 port)
{
    return m_endpoint.bind(port);
}

QString Messenger::ipm_cre_head(const QString& packetNo) const
{
    return ipmsg::ipm_cre_head(m_protcolVer, packetNo, m_endpoint.hostName());
}

QString Messenger::newEntryNumber()
{
    // Every packet but a message drops the leading zeros of the generated number.
    return QString::number(pasGene(m_textgauge).toInt());
}

void Messenger::ipm_entry(quint32 command, const QString& destination, qint32 port,
                          const QString& extra)
{
    const QString packet = ipm_cre_head(newEntryNumber()) + QString::number(command) + u':' + extra;
    if (destination != kBroadCast) {
        send_real(destination, port, packet, QString());
        return;
    }
    if (send_real(kBroadcastAddress, 0, packet, kBroadCast) != 0)
        return;
    const QString list = m_store.read(keys::BroadCast);
    if (list.toUpper() == u"NULL")
        return;
    const QStringList entries = list.split(u',');
    for (const QString& entry : entries) {
        if (const auto target = parseAddressEntry(entry, m_textgauge))
            send_real(target->address, target->port, packet, kBroadCast);
    }
}

qint16 Messenger::send_real(const QString& remote, qint32 port, const QString& data,
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
    if (mode != kBroadCast && m_ipmErr == 0) {
        // Set before the box: its event loop may deliver another failing send.
        m_ipmErr = 1;
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
    if (absentForm && !m_fuzaiDai.isEmpty())
        nickname += u'[' + m_fuzaiDai + u']';
    return presenceExtra(nickname, m_store.read(keys::GroupName));
}

qint64 Messenger::retry() const
{
    return wholeNumber(m_store.read(keys::Retry));
}

void Messenger::entryBroadcast(bool absentForm)
{
    for (qint64 i = 0, n = retry(); i < n; ++i)
        ipm_entry(cmd::BrEntry, kBroadCast, 0, ownExtra(absentForm));
}

void Messenger::exitBroadcast()
{
    for (qint64 i = 0, n = retry(); i < n; ++i)
        ipm_entry(cmd::BrExit, kBroadCast, 0, ownExtra(false));
}

int Messenger::ipm_find_row(const QString& ip, const QString& port)
{
    ensureLoaded();
    return m_peers.findRow(ip, port) + 1;
}

void Messenger::DeleteGrid(int myIndex)
{
    if (m_peers.count() < 2)
        m_peers.clear();
    else
        m_peers.removePeerRow(myIndex - 1);
}

void Messenger::setAbsence(const QString& title, const QString& text)
{
    m_fuzaiDai = title;
    m_fuzaiBun = text;
}

void Messenger::Winsock1_DataArrival(const platform::Datagram& datagram)
{
    // Our own broadcasts come back, and so does everything from this machine.
    if (datagram.senderIp == m_endpoint.localIp())
        return;
    const auto fields = splitPacket(fromWire(datagram.data));
    if (!fields)
        return;
    ipm_receive(*fields, datagram.senderIp, datagram.senderPort);
}

void Messenger::ipm_receive(const Fields& fields, const QString& senderIp, quint16 senderPort)
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
        const int index = FindListItem(m_list2, addressEntry(portText, ip), true);
        if (index >= 0) {
            removeDestinationAt(index);
            if (m_progressValue < m_progressMaximum)
                setProgress(m_progressValue + 1, m_progressMaximum);
        }
    } else if (c == u"30" || c == u"31") {
        readNotice(fields, *command, ip, senderPort);
    } else if (c == u"40") {
        ipm_entry(cmd::SendInfo, ip, senderPort, m_host.versionText());
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
        DeleteGrid(oldRow + 1);
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
    const QString colour =
        m_store.read(command.has(opt::Absence) ? keys::FuzaiBgColor : keys::DefoBgColor);
    if (const auto number = settings::parseColorValue(colour))
        m_peers.setRowColour(row, number);
    if (command.command == u"01") {
        const quint16 port = static_cast<quint16>(portText.toUInt());
        for (qint64 i = 0, n = retry(); i < n; ++i)
            ipm_entry(cmd::AnsEntry, ip, port, ownExtra(true));
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
        ipm_entry(cmd::AnsReadMsg, ip, port, fields.packetNo);
}

void Messenger::message(const Fields& fields, const Command& command, const QString& ip,
                        quint16 port, const QString& portText)
{
    QString displayName;
    const int row = m_peers.findRow(ip, portText);
    if (row < 0) {
        // A stranger: ask it to introduce itself; its answer fills the row.
        ipm_entry(cmd::BrEntry, ip, port, ownExtra(false));
        displayName = fields.user + u'/' + fields.host;
    } else {
        displayName = m_peers.cell(row, 0) + u'/' + m_peers.cell(row, 1);
    }

    // A repeat means the sender missed our receipt: it gets the receipt again, but
    // no second window and no second absence reply.
    const bool repeated = ipm_dup_chk(fields.packetNo + u':' + ip + u':' + portText);
    if (!repeated) {
        IncomingMessage incoming;
        incoming.text = messageText(fields.extra);
        incoming.caption = QStringLiteral("From Network ") + displayName +
                           QStringLiteral("(IP Messenger Protcol) ") + m_textgauge.DayIs(3);
        incoming.Tag = ip;
        incoming.PortNo = port;
        incoming.statusText = QStringLiteral("IPM(未返信)") + addressEntry(portText, ip);
        incoming.background = settings::parseColorValue(m_store.read(keys::IpmBgColor));
        if (command.has(opt::Secret)) {
            incoming.sealed = true;
            incoming.pktNo = fields.packetNo;
            incoming.IPMSG_ReadCheckSend = command.has(opt::ReadCheck);
            incoming.passwordBox =
                command.has(opt::Password) && !m_store.read(keys::Password).isEmpty();
        }
        m_host.openMessageWindow(incoming);
        m_host.playArrivalSound();
        if (!m_fuzaiDai.isEmpty() && !command.has(opt::AutoRet)) {
            const QString reply = ret_chg1(m_fuzaiBun);
            for (qint64 i = 0, n = retry(); i < n; ++i)
                ipm_entry(cmd::AbsenceReply, ip, port, reply);
        }
    }
    if (!command.has(opt::Broadcast) && !command.has(opt::AutoRet) &&
        !command.has(opt::Multicast) && !command.has(opt::NoAddList))
        ipm_entry(cmd::RecvMsg, ip, port, fields.packetNo);
    if (!repeated && m_host.inTray())
        m_host.startBlinking();
}

bool Messenger::ipm_dup_chk(const QString& key)
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

void Messenger::send_messege(const QString& text, const QString& remoteIp, qint32 remotePort)
{
    ensureLoaded();
    m_host.setChks(3);
    setRichTextBox1(text);
    if (m_richText.size() > MaxPiece - 1)
        m_boxes.show(QStringLiteral("注意"),
                     QStringLiteral("データが大きすぎるので、メッセージが分割されます"));
    setReplyTarget(remoteIp, remotePort);
    setDialogVisible(true);
}

void Messenger::send_main(const QString& piece)
{
    const QString packetNo = pasGene(m_textgauge); // messages keep the leading zeros
    quint32 word = cmd::SendMsg;
    if (m_check1 == 1) {
        word += cmd::SecretOpts;
        if (m_check2 == 1)
            word += cmd::PasswordOpt;
    }
    m_text1 = ipm_cre_head(packetNo) + QString::number(word) + u':' + ret_chg1(piece);
    send_main1(m_text1);
}

void Messenger::send_main1(const QString& packet)
{
    // A copy: a send-error box runs an event loop in which receipts change List2.
    const QStringList entries = m_list2;
    for (const QString& entry : entries) {
        const auto target = parseAddressEntry(entry, m_textgauge);
        if (!target)
            continue; // never sent to and never removed: the send ends in failure
        send_real(target->address, target->port, packet, QString());
        if (!m_timer1.isActive()) {
            m_host.setChks(0);
            m_timer1.start();
        }
    }
}

void Messenger::send_main2()
{
    const QStringList entries = m_list2;
    for (const QString& entry : entries) {
        if (const auto target = parseAddressEntry(entry, m_textgauge))
            ipm_entry(cmd::GetInfo, target->address, target->port, QString());
        if (m_progressValue < m_progressMaximum)
            setProgress(m_progressValue + 1, m_progressMaximum);
    }
    setProgressShown(false);
    setDialogVisible(false);
}

void Messenger::tick()
{
    // A send-error box inside send_main1 runs an event loop in which the timer keeps
    // firing; those ticks are dropped rather than run inside this one.
    if (m_inTick)
        return;
    m_inTick = true;
    const auto leave = qScopeGuard([this] { m_inTick = false; });
    const qint16 ticks = m_host.chks();
    m_host.setChks(ticks < std::numeric_limits<qint16>::max() ? qint16(ticks + 1) : ticks);
    if (!m_list2.isEmpty()) {
        if (retry() >= m_host.chks()) {
            send_main1(m_text1);
        } else {
            m_timer1.stop(); // before the box: its event loop would tick again
            m_boxes.show(QStringLiteral("送信失敗"),
                         QStringLiteral("未だ選択されているリストの方へ送信できませんでした"));
            FormAble(true);
        }
        return;
    }
    setProgress(m_progressMaximum, m_progressMaximum);
    m_host.setChks(3);
    setProgressShown(false);
    clearDestinations();
    setDialogVisible(false);
    m_timer1.stop();
    FormAble(true);
    m_host.markSent();
}

void Messenger::Load()
{
    m_loaded = true;
    bool ok = false;
    const double sort = m_store.read(keys::ListSort).trimmed().toDouble(&ok);
    const int n = ok && std::isfinite(sort) ? static_cast<int>(std::trunc(sort)) : -1;
    m_sortOption = (n >= 0 && n <= 2) ? n : -1;
    m_check3 = wholeNumber(m_store.read(keys::ListSortZyun)) != 0 ? 1 : 0;
    Q_EMIT sortStateChanged();
    PrivateListRefresh();
}

void Messenger::ensureLoaded()
{
    if (!m_loaded)
        Load();
}

void Messenger::PrivateListRefresh()
{
    m_peers.clear();
    for (qint64 i = 0, n = retry(); i < n; ++i)
        ipm_entry(cmd::BrEntry, kBroadCast, 0, ownExtra(false));
}

void Messenger::IPMListSort()
{
    if (m_peers.count() < 3 || m_sortOption < 0)
        return;
    m_peers.sortByColumn(m_sortOption, m_check3 != 0);
}

void Messenger::Activate()
{
    ensureLoaded();
    IPMListSort();
    m_host.setChks(3);
    if (m_remoteIp.isEmpty())
        return;
    const QString portText = QString::number(m_remotePort);
    if (m_list2.contains(addressEntry(portText, m_remoteIp)))
        return;
    const int row = m_peers.findRow(m_remoteIp, portText);
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
    if (FindListItem(m_list2, entry, true) < 0)
        addDestination(m_peers.cell(row, 0), entry);
}

void Messenger::removeDestination(int index)
{
    if (index >= 0 && index < m_list1.size())
        removeDestinationAt(index);
}

void Messenger::Cancel()
{
    clearDestinations();
    m_host.setChks(3);
    setDialogVisible(false);
}

void Messenger::clickCheck1(int value)
{
    m_check1 = value == 1 ? 1 : 0;
    m_check2 = m_check1 == 1 ? 0 : 2;
    Q_EMIT checksChanged();
}

void Messenger::clickCheck2(int value)
{
    m_check2 = m_check1 == 0 ? 2 : (value == 1 ? 1 : 0);
    Q_EMIT checksChanged();
}

void Messenger::setSortOption(int option)
{
    m_sortOption = (option >= 0 && option <= 3) ? option : -1;
    Q_EMIT sortStateChanged();
    IPMListSort();
}

void Messenger::setCheck3(int value)
{
    m_check3 = value != 0 ? 1 : 0;
    Q_EMIT sortStateChanged();
    IPMListSort();
}

void Messenger::Send(Button button)
{
    const QString own =
        addressEntry(QString::number(m_endpoint.localPort()), m_endpoint.localIp().trimmed());
    bool removed = false;
    for (int i = m_list2.size() - 1; i >= 0; --i) {
        if (m_list2.at(i) == own) {
            m_list2.removeAt(i);
            if (i < m_list1.size())
                m_list1.removeAt(i);
            removed = true;
        }
    }
    if (removed)
        Q_EMIT destinationsChanged();
    if (m_list1.isEmpty()) {
        m_boxes.show(QStringLiteral("はてな?"), QStringLiteral("誰に送信するんだい?"));
        return;
    }
    m_fuzaiDai.clear(); // sending ends the absence
    setProgress(0, static_cast<int>(m_list1.size()));
    if (button == Button::Left) {
        FormAble(false);
        const QStringList pieces = splitPieces(m_richText);
        for (const QString& piece : pieces)
            send_main(piece);
    } else {
        send_main2();
    }
}

void Messenger::Close(bool isEndmode)
{
    if (!isEndmode) {
        m_host.setChks(3);
        FormAble(true);
    }
    // The destinations go with the dialog, so a send in progress ends here rather
    // than completing at the next tick and marking its window as sent.
    m_timer1.stop();
    m_loaded = false;
    m_peers.clear();
    clearDestinations();
    m_text1.clear();
    setRichTextBox1(QString());
    m_remoteIp.clear();
    m_remotePort = 0;
    m_check1 = 0;
    m_check2 = 2;
    Q_EMIT checksChanged();
    m_sortOption = -1;
    m_check3 = 0;
    Q_EMIT sortStateChanged();
    setProgress(0, 0);
    setProgressShown(false);
    setDialogVisible(false);
}

void Messenger::setRichTextBox1(const QString& text)
{
    if (text == m_richText)
        return;
    m_richText = text;
    Q_EMIT richTextChanged(m_richText);
}

void Messenger::setReplyTarget(const QString& remoteIp, qint32 remotePort)
{
    m_remoteIp = remoteIp;
    m_remotePort = remotePort;
}

void Messenger::FormAble(bool chk)
{
    m_formEnabled = chk;
    Q_EMIT formAbleChanged(chk);
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
    m_list1.append(name);
    m_list2.append(entry);
    Q_EMIT destinationsChanged();
}

void Messenger::removeDestinationAt(int index)
{
    m_list2.removeAt(index);
    if (index < m_list1.size())
        m_list1.removeAt(index);
    Q_EMIT destinationsChanged();
}

void Messenger::clearDestinations()
{
    if (m_list1.isEmpty() && m_list2.isEmpty())
        return;
    m_list1.clear();
    m_list2.clear();
    Q_EMIT destinationsChanged();
}

} // namespace velmar::ipmsg
