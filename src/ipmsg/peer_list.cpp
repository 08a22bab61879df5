#include "ipmsg/peer_list.h"

#include "settings/colour_value.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace velmar::ipmsg {

namespace {

constexpr int kColumns = PeerColumnCount;
constexpr std::size_t kMinCapacity = 64;

std::size_t highestPowerOfTwoAtMost(std::size_t n)
{
    std::size_t p = 1;
    while (p * 2 <= n)
        p *= 2;
    return p;
}

} // namespace

PeerListModel::PeerListModel(QObject* parent) : QAbstractTableModel(parent)
{
    rebuild({}, kMinCapacity);
}

QString PeerListModel::headerText()
{
    return QStringLiteral("名前|グループ|IP アドレス|ポート");
}

int PeerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_alive;
}

int PeerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant PeerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_alive || index.column() >= kColumns)
        return {};
    const Peer& peer = peerAt(index.row());
    if (role == Qt::DisplayRole)
        return cell(index.row(), static_cast<PeerColumn>(index.column()));
    if (role == Qt::BackgroundRole && peer.colour) {
        // System colours follow the application palette; without a GUI application
        // (the fuzz target) rows keep the view's own background.
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            if (const auto colour =
                    settings::colorFromValue(*peer.colour, QGuiApplication::palette()))
                return *colour;
        }
    }
    return {};
}

QVariant PeerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
        return {};
    return headerText().split(u'|').at(section);
}

int PeerListModel::findRow(const QString& ip, const QString& port) const
{
    const auto it = m_index.constFind(Key::of(ip, port, m_seed));
    return it == m_index.cend() ? -1 : rowOfSlot(it.value());
}

const Peer* PeerListModel::findPeer(const QString& ip, const QString& port) const
{
    const auto it = m_index.constFind(Key::of(ip, port, m_seed));
    return it == m_index.cend() ? nullptr : &m_slots[static_cast<std::size_t>(it.value())];
}

const Peer& PeerListModel::peerAt(int row) const
{
    return m_slots[static_cast<std::size_t>(slotOfRow(row))];
}

QString PeerListModel::cell(int row, PeerColumn column) const
{
    if (row < 0 || row >= m_alive)
        return {};
    const Peer& peer = peerAt(row);
    switch (column) {
    case PeerColumn::Name:
        return peer.name;
    case PeerColumn::Group:
        return peer.group;
    case PeerColumn::Address:
        return peer.ip;
    case PeerColumn::Port:
        return peer.port;
    }
    return {};
}

int PeerListModel::appendPeer(Peer peer)
{
    Key key = Key::of(peer.ip, peer.port, m_seed);
    // A peer already listed leaves its row; its index entry stays and is pointed at
    // the new slot below.
    if (const auto it = m_index.constFind(key); it != m_index.cend())
        vacateSlot(it.value());
    ensureCapacity();
    const int slot = static_cast<int>(m_slots.size());
    beginInsertRows({}, m_alive, m_alive);
    m_hashes.push_back(key.hash);
    m_index.insert(std::move(key), slot);
    m_slots.push_back(std::move(peer));
    m_live.push_back(1);
    fenwickAdd(slot, 1);
    ++m_alive;
    endInsertRows();
    return m_alive - 1;
}

void PeerListModel::removePeerRow(int row)
{
    if (row < 0 || row >= m_alive)
        return;
    const int slot = slotOfRow(row);
    const Peer& peer = m_slots[static_cast<std::size_t>(slot)];
    m_index.remove(Key{peer.ip, peer.port, m_hashes[static_cast<std::size_t>(slot)]});
    vacateSlot(slot);
}

void PeerListModel::vacateSlot(int slot)
{
    const int row = rowOfSlot(slot);
    beginRemoveRows({}, row, row);
    m_slots[static_cast<std::size_t>(slot)] = Peer{}; // release the strings now; a hole stays
    m_live[static_cast<std::size_t>(slot)] = 0;
    fenwickAdd(slot, -1);
    --m_alive;
    endRemoveRows();
}

void PeerListModel::setRowColour(int row, std::optional<quint32> colour)
{
    if (row < 0 || row >= m_alive)
        return;
    m_slots[static_cast<std::size_t>(slotOfRow(row))].colour = colour;
    static const QList<int> roles{Qt::BackgroundRole}; // one list, not one per datagram
    Q_EMIT dataChanged(index(row, 0), index(row, kColumns - 1), roles);
}

void PeerListModel::clear()
{
    beginResetModel();
    rebuild({}, kMinCapacity);
    endResetModel();
}

void PeerListModel::sortByColumn(SortColumn column, bool ascending)
{
    if (column != SortColumn::None)
        sortByColumn(static_cast<PeerColumn>(column), ascending);
}

void PeerListModel::sortByColumn(PeerColumn column, bool ascending)
{
    struct Keyed {
        bool numeric;
        double number;
        QString text;
        Peer peer;
    };
    beginResetModel();
    std::vector<Keyed> rows;
    rows.reserve(static_cast<std::size_t>(m_alive));
    for (std::size_t slot = 0; slot < m_slots.size(); ++slot) {
        if (!m_live[slot])
            continue;
        Keyed k{false, 0.0, {}, std::move(m_slots[slot])};
        const QString& text = column == PeerColumn::Name      ? k.peer.name
                              : column == PeerColumn::Group   ? k.peer.group
                              : column == PeerColumn::Address ? k.peer.ip
                                                              : k.peer.port;
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        k.numeric = ok && std::isfinite(number);
        k.number = number;
        k.text = text;
        rows.push_back(std::move(k));
    }
    const auto less = [](const Keyed& a, const Keyed& b) {
        if (a.numeric != b.numeric)
            return a.numeric;
        if (a.numeric)
            return a.number < b.number;
        return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
    };
    if (ascending)
        std::stable_sort(rows.begin(), rows.end(), less);
    else
        std::stable_sort(rows.begin(), rows.end(),
                         [&less](const Keyed& a, const Keyed& b) { return less(b, a); });
    std::vector<Peer> peers;
    peers.reserve(rows.size());
    for (Keyed& k : rows)
        peers.push_back(std::move(k.peer));
    rebuild(std::move(peers), m_capacity);
    endResetModel();
}

int PeerListModel::slotOfRow(int row) const
{
    // Binary lifting on the Fenwick tree: the slot holding the (row+1)-th live entry.
    std::size_t pos = 0;
    int remaining = row + 1;
    for (std::size_t step = highestPowerOfTwoAtMost(m_capacity); step > 0; step /= 2) {
        const std::size_t next = pos + step;
        if (next <= m_capacity && m_tree[next] < remaining) {
            pos = next;
            remaining -= m_tree[next];
        }
    }
    return static_cast<int>(pos); // 0-based slot = 1-based position - 1
}

int PeerListModel::rowOfSlot(int slot) const
{
    int sum = 0;
    for (std::size_t i = static_cast<std::size_t>(slot) + 1; i > 0; i -= i & (~i + 1))
        sum += m_tree[i];
    return sum - 1;
}

void PeerListModel::fenwickAdd(int slot, int delta)
{
    for (std::size_t i = static_cast<std::size_t>(slot) + 1; i <= m_capacity; i += i & (~i + 1))
        m_tree[i] += delta;
}

void PeerListModel::rebuild(std::vector<Peer> peers, std::size_t capacity)
{
    m_capacity = std::max({capacity, kMinCapacity, peers.size()});
    m_slots = std::move(peers);
    m_slots.reserve(m_capacity);
    m_live.assign(m_slots.size(), 1);
    m_alive = static_cast<int>(m_slots.size());
    rebuildTree();
    m_hashes.clear();
    m_hashes.reserve(m_capacity);
    m_index.clear();
    m_index.reserve(m_alive);
    for (std::size_t slot = 0; slot < m_slots.size(); ++slot) {
        Key key = Key::of(m_slots[slot].ip, m_slots[slot].port, m_seed);
        m_hashes.push_back(key.hash);
        m_index.insert(std::move(key), static_cast<int>(slot));
    }
}

void PeerListModel::rebuildTree()
{
    // Linear-time Fenwick construction.
    m_tree.assign(m_capacity + 1, 0);
    for (std::size_t i = 1; i <= m_capacity; ++i) {
        if (i <= m_live.size())
            m_tree[i] += m_live[i - 1];
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= m_capacity)
            m_tree[parent] += m_tree[i];
    }
}

void PeerListModel::ensureCapacity()
{
    if (m_slots.size() < m_capacity)
        return;
    // Full: squeeze out the holes when they are at least half, else grow. Either
    // way the cost is paid by the appends and removals since the last squeeze.
    // Row numbers do not change, so the views need no signal. The live slots move
    // down in place and the index only learns their new numbers: no string is
    // hashed and no memory is taken again.
    std::vector<int> moved(m_slots.size(), -1);
    std::size_t to = 0;
    for (std::size_t from = 0; from < m_slots.size(); ++from) {
        if (!m_live[from])
            continue;
        if (to != from) {
            m_slots[to] = std::move(m_slots[from]);
            m_hashes[to] = m_hashes[from];
        }
        moved[from] = static_cast<int>(to);
        ++to;
    }
    m_slots.resize(to);
    m_hashes.resize(to);
    m_live.assign(to, 1);
    for (auto it = m_index.begin(); it != m_index.end(); ++it)
        it.value() = moved[static_cast<std::size_t>(it.value())];
    const bool mostlyHoles = static_cast<std::size_t>(m_alive) * 2 <= m_capacity;
    if (!mostlyHoles) {
        m_capacity *= 2;
        m_slots.reserve(m_capacity);
        m_hashes.reserve(m_capacity);
    }
    rebuildTree();
}

} // namespace velmar::ipmsg
