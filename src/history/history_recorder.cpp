#include "history/history_recorder.h"

#include "history/history_writer.h"
#include "ipmsg/messenger_host.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace velmar::history {

namespace keys = settings::keys;

namespace {

PeerIdentity identity(const ipmsg::LoggedPeer& peer)
{
    return {peer.name, peer.user, peer.host, peer.address, peer.port};
}

HistoryEvent eventOf(HistoryEvent::Type type, const QString& uid)
{
    HistoryEvent event;
    event.type = type;
    event.uid = uid;
    event.at = QDateTime::currentMSecsSinceEpoch();
    return event;
}

} // namespace

HistoryRecorder::HistoryRecorder(settings::SettingsStore& store, QString folder, QObject* parent)
    : QObject(parent), m_store(store), m_folder(std::move(folder))
{
    // Unique across runs: the process and the moment it started.
    m_idPrefix = QString::number(QCoreApplication::applicationPid()) + u'-' +
                 QString::number(QDateTime::currentMSecsSinceEpoch(), 36) + u'-';
}

HistoryRecorder::~HistoryRecorder() = default;

QString HistoryRecorder::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Velmar");
}

QString HistoryRecorder::databasePath() const
{
    return m_folder + u'/' + HistoryWriter::databaseName();
}

bool HistoryRecorder::enabled() const
{
    return m_store.read(keys::KeepHistory).trimmed() != u"0";
}

static int keepDays(const settings::SettingsStore& store)
{
    bool ok = false;
    const int days = store.read(keys::HistoryDays).trimmed().toInt(&ok);
    return ok && days > 0 ? days : 0;
}

HistoryWriter* HistoryRecorder::writer()
{
    if (!m_writer && enabled())
        startWriter();
    return m_writer.get();
}

void HistoryRecorder::startWriter()
{
    m_writer = std::make_unique<HistoryWriter>(m_folder);
    connect(
        m_writer.get(), &HistoryWriter::problem, this,
        [this](const QString& title, const QString& text) {
            if (m_problem)
                m_problem(title, text);
        },
        Qt::QueuedConnection);
    m_writer->setKeepDays(keepDays(m_store));
    m_writer->start();
}

void HistoryRecorder::clear()
{
    // The files may exist from an earlier run while the history is now off.
    if (!m_writer) {
        if (!QFile::exists(databasePath()))
            return;
        startWriter();
    }
    m_writer->clearAll();
}

void HistoryRecorder::settingsChanged()
{
    if (m_writer)
        m_writer->setKeepDays(keepDays(m_store));
}

void HistoryRecorder::record(const HistoryEvent& event)
{
    if (!enabled())
        return;
    if (HistoryWriter* w = writer())
        w->record(event);
}

QString HistoryRecorder::newId()
{
    return m_idPrefix + QString::number(++m_nextId, 36);
}

void HistoryRecorder::messageArrived(const ipmsg::IncomingMessage& message,
                                     const ipmsg::LoggedPeer& sender, const QString& packetNo,
                                     bool collected, bool automatic)
{
    if (!enabled() || message.historyId.isEmpty())
        return;
    HistoryEvent event = eventOf(HistoryEvent::Type::Received, message.historyId);
    event.peer = identity(sender);
    event.packetNo = packetNo;
    event.sealed = message.sealed;
    event.kind = automatic   ? MessageKind::AbsenceReply
                 : collected ? MessageKind::Collected
                             : MessageKind::Normal;
    if (message.sealed)
        m_sealedTexts.insert(message.historyId, message.text);
    else
        event.text = message.text;
    record(event);
}

QString HistoryRecorder::sendStarted(const QString& text, bool sealed,
                                     const QList<ipmsg::LoggedRecipient>& recipients)
{
    if (!enabled())
        return QString();
    HistoryEvent event = eventOf(HistoryEvent::Type::Sent, newId());
    event.text = text;
    event.sealed = sealed;
    event.state = MessageState::Sending;
    for (const ipmsg::LoggedRecipient& recipient : recipients)
        event.recipients.append({identity(recipient.peer), recipient.packets});
    record(event);
    return event.uid;
}

void HistoryRecorder::recipientDone(const QString& sendId, const QString& address, quint16 port,
                                    bool delivered)
{
    HistoryEvent event = eventOf(HistoryEvent::Type::RecipientState, sendId);
    event.peer.address = address;
    event.peer.port = port;
    event.state = delivered ? MessageState::Delivered : MessageState::Failed;
    record(event);
}

void HistoryRecorder::absenceReplySent(const ipmsg::LoggedPeer& to, const QString& text)
{
    // Sent without a receipt to wait for: kept as sent.
    HistoryEvent event = eventOf(HistoryEvent::Type::Sent, newId());
    event.text = text;
    event.kind = MessageKind::AbsenceReply;
    event.state = MessageState::Delivered;
    event.recipients.append({identity(to), {}});
    record(event);
}

void HistoryRecorder::noticeArrived(const QString& address, quint16 port, const QString& packetNo,
                                    bool opened)
{
    HistoryEvent event = eventOf(HistoryEvent::Type::PeerNotice, QString());
    event.peer.address = address;
    event.peer.port = port;
    event.packetNo = packetNo;
    event.state = opened ? MessageState::ReadByPeer : MessageState::DiscardedByPeer;
    record(event);
}

void HistoryRecorder::attachSealed(QObject* window, const QString& id)
{
    if (id.isEmpty())
        return;
    if (!m_sealedWindows.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] {
            // Gone without being opened or closed (the program ends): the texts go.
            for (const QString& held : m_sealedWindows.take(window))
                m_sealedTexts.remove(held);
        });
    m_sealedWindows[window].append(id);
}

void HistoryRecorder::sealOpened(QObject* window)
{
    sealFate(window, true);
}

void HistoryRecorder::sealDiscarded(QObject* window)
{
    sealFate(window, false);
}

void HistoryRecorder::sealFate(QObject* window, bool opened)
{
    const QStringList ids = m_sealedWindows.take(window);
    for (const QString& id : ids) {
        HistoryEvent event =
            eventOf(opened ? HistoryEvent::Type::Opened : HistoryEvent::Type::Discarded, id);
        event.text = m_sealedTexts.take(id);
        if (!opened)
            event.text.clear();
        record(event);
    }
}

} // namespace velmar::history
