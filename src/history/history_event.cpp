#include "history/history_event.h"

namespace velmar::history {

QString stateText(MessageState state)
{
    switch (state) {
    case MessageState::Plain:
        return QStringLiteral("受信");
    case MessageState::Sealed:
        return QStringLiteral("未開封");
    case MessageState::Opened:
        return QStringLiteral("開封済");
    case MessageState::Discarded:
        return QStringLiteral("見ずに破棄");
    case MessageState::Sending:
        return QStringLiteral("送信中");
    case MessageState::Delivered:
        return QStringLiteral("送信済");
    case MessageState::Failed:
        return QStringLiteral("送信失敗");
    case MessageState::ReadByPeer:
        return QStringLiteral("開封");
    case MessageState::DiscardedByPeer:
        return QStringLiteral("見ずに破棄");
    }
    return QString();
}

namespace {

QDataStream& operator<<(QDataStream& out, const PeerIdentity& peer)
{
    return out << peer.name << peer.user << peer.host << peer.address << peer.port;
}

QDataStream& operator>>(QDataStream& in, PeerIdentity& peer)
{
    return in >> peer.name >> peer.user >> peer.host >> peer.address >> peer.port;
}

} // namespace

QDataStream& operator<<(QDataStream& out, const HistoryEvent& event)
{
    out << static_cast<qint32>(event.type) << event.uid << event.at << event.peer << event.packetNo
        << event.text << event.sealed << static_cast<qint32>(event.kind)
        << static_cast<qint32>(event.state) << static_cast<qint32>(event.recipients.size());
    for (const Recipient& recipient : event.recipients)
        out << recipient.peer << recipient.packets;
    return out;
}

QDataStream& operator>>(QDataStream& in, HistoryEvent& event)
{
    qint32 type = 0, kind = 0, state = 0, count = 0;
    in >> type >> event.uid >> event.at >> event.peer >> event.packetNo >> event.text >>
        event.sealed >> kind >> state >> count;
    event.type = static_cast<HistoryEvent::Type>(type);
    event.kind = static_cast<MessageKind>(kind);
    event.state = static_cast<MessageState>(state);
    event.recipients.clear();
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        Recipient recipient;
        in >> recipient.peer >> recipient.packets;
        event.recipients.append(recipient);
    }
    if (type < 0 || type > static_cast<qint32>(HistoryEvent::Type::PeerNotice) || count < 0)
        in.setStatus(QDataStream::ReadCorruptData);
    return in;
}

} // namespace velmar::history
