#include "ipmsg/user_list_state.h"

#include "ipmsg/messenger_host.h"
#include "ipmsg/packet.h"
#include "ipmsg/packet_sender.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <cmath>

namespace velmar::ipmsg {

namespace keys = settings::keys;

UserListState::UserListState(PacketSender& sender, settings::SettingsStore& store,
                             MessengerHost& host, QObject* parent)
    : QObject(parent), m_sender(sender), m_store(store), m_host(host)
{
}

void UserListState::load()
{
    m_loaded = true;
    readStoredSort();
    refreshPeers();
}

void UserListState::applyStoredSort()
{
    if (!m_loaded)
        return; // read when the dialog loads
    readStoredSort();
    sortPeers();
}

void UserListState::readStoredSort()
{
    bool ok = false;
    const double sort = m_store.read(keys::ListSort).trimmed().toDouble(&ok);
    const int n = ok && std::isfinite(sort) ? static_cast<int>(std::trunc(sort)) : -1;
    m_sortColumn = (n >= 0 && n <= 2) ? static_cast<SortColumn>(n) : SortColumn::None;
    m_sortAscending = wholeNumber(m_store.read(keys::SortAscending)) != 0;
    Q_EMIT sortStateChanged();
}

void UserListState::ensureLoaded()
{
    if (!m_loaded)
        load();
}

void UserListState::refreshPeers()
{
    m_peers.clear();
    m_sender.entryBroadcast(false);
}

void UserListState::sortPeers()
{
    if (m_peers.count() < 3 || m_sortColumn == SortColumn::None)
        return;
    m_peers.sortByColumn(m_sortColumn, m_sortAscending);
}

QString UserListState::rowEntry(int row) const
{
    return addressEntry(m_peers.cell(row, PeerColumn::Port).trimmed(),
                        m_peers.cell(row, PeerColumn::Address).trimmed());
}

void UserListState::activateDialog()
{
    ensureLoaded();
    sortPeers();
    m_host.skipNextActivation();
    if (m_replyAddress.isEmpty())
        return;
    const QString portText = QString::number(m_replyPort);
    if (findDestination(addressEntry(portText, m_replyAddress)) >= 0)
        return;
    const int row = m_peers.findRow(m_replyAddress, portText);
    if (row < 0)
        return;
    addDestination(m_peers.cell(row, PeerColumn::Name), rowEntry(row));
}

void UserListState::chooseRow(int row)
{
    if (row < 0 || row >= m_peers.count())
        return;
    const QString entry = rowEntry(row);
    if (findDestination(entry) < 0)
        addDestination(m_peers.cell(row, PeerColumn::Name), entry);
}

void UserListState::removeDestination(int index)
{
    if (index >= 0 && index < m_destinations.size())
        removeDestinationAt(index);
}

void UserListState::cancel()
{
    clearDestinations();
    m_host.skipNextActivation();
    setDialogVisible(false);
}

void UserListState::clickSealed(SealedState value)
{
    m_sealed = value;
    m_lock = m_sealed == SealedState::Sealed ? LockState::Unlocked : LockState::Unavailable;
    Q_EMIT checksChanged();
}

void UserListState::clickLocked(LockState value)
{
    if (m_sealed == SealedState::Open)
        m_lock = LockState::Unavailable;
    else
        m_lock = value == LockState::Locked ? LockState::Locked : LockState::Unlocked;
    Q_EMIT checksChanged();
}

void UserListState::setSortColumn(SortColumn column)
{
    m_sortColumn = column;
    Q_EMIT sortStateChanged();
    sortPeers();
}

void UserListState::setSortAscending(bool ascending)
{
    m_sortAscending = ascending;
    Q_EMIT sortStateChanged();
    sortPeers();
}

void UserListState::reset()
{
    m_loaded = false;
    m_peers.clear();
    clearDestinations();
    setTextToSend(QString());
    m_replyAddress.clear();
    m_replyPort = 0;
    m_sealed = SealedState::Open;
    m_lock = LockState::Unavailable;
    Q_EMIT checksChanged();
    m_sortColumn = SortColumn::None;
    m_sortAscending = false;
    Q_EMIT sortStateChanged();
    setProgress(0, 0);
    setProgressShown(false);
    setDialogVisible(false);
}

QStringList UserListState::destinationNames() const
{
    QStringList names;
    names.reserve(m_destinations.size());
    for (const Destination& d : m_destinations)
        names << d.name;
    return names;
}

QStringList UserListState::destinationEntries() const
{
    QStringList entries;
    entries.reserve(m_destinations.size());
    for (const Destination& d : m_destinations)
        entries << d.entry;
    return entries;
}

int UserListState::findDestination(const QString& entry) const
{
    for (int i = 0; i < m_destinations.size(); ++i) {
        if (m_destinations.at(i).entry == entry)
            return i;
    }
    return -1;
}

void UserListState::addDestination(const QString& name, const QString& entry)
{
    m_destinations.append({name, entry});
    Q_EMIT destinationsChanged();
}

void UserListState::removeDestinationAt(int index)
{
    m_destinations.removeAt(index);
    Q_EMIT destinationsChanged();
}

void UserListState::clearDestinations()
{
    if (m_destinations.isEmpty())
        return;
    m_destinations.clear();
    Q_EMIT destinationsChanged();
}

void UserListState::setTextToSend(const QString& text)
{
    if (text == m_textToSend)
        return;
    m_textToSend = text;
    Q_EMIT textToSendChanged(m_textToSend);
}

void UserListState::setReplyTarget(const QString& remoteIp, qint32 remotePort)
{
    m_replyAddress = remoteIp;
    m_replyPort = remotePort;
}

void UserListState::setProgress(int value, int maximum)
{
    m_progressValue = value;
    m_progressMaximum = maximum;
    Q_EMIT progressChanged(value, maximum);
}

void UserListState::stepProgress()
{
    if (m_progressValue < m_progressMaximum)
        setProgress(m_progressValue + 1, m_progressMaximum);
}

void UserListState::setProgressShown(bool shown)
{
    if (m_progressShown == shown)
        return;
    m_progressShown = shown;
    Q_EMIT progressShownChanged(shown);
}

void UserListState::setFormEnabled(bool enabled)
{
    m_formEnabled = enabled;
    Q_EMIT formEnabledChanged(enabled);
    setProgressShown(!enabled);
}

void UserListState::setDialogVisible(bool visible)
{
    if (m_dialogVisible == visible)
        return;
    m_dialogVisible = visible;
    Q_EMIT dialogVisibilityChanged(visible);
}

} // namespace velmar::ipmsg
