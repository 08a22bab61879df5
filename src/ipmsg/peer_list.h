#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QHashSeed>
#include <QString>
#include <optional>
#include <vector>

namespace velmar::ipmsg {

// The peer grid's columns, in the order shown.
enum class PeerColumn { Name, Group, Address, Port };
inline constexpr int PeerColumnCount = 4;

// The sort choice of the user-list dialog: a column, or none.
enum class SortColumn { None = -1, Name, Group, Address, Port };

// One peer row: name, group, IP address and port, as shown.
struct Peer {
    QString name;
    QString group;
    QString ip;
    QString port;
    // Row background as a stored colour number; nullopt keeps the view's colour.
    std::optional<quint32> colour;
    // The peer announced version "1": it is one of ours and reads long pieces.
    bool ours = true;
    // The peer advertised UTF-8: messages to it go in UTF-8.
    bool readsUtf8 = false;
};

// The peer list ("MSFlexGrid1"): four columns under the header
// "名前|グループ|IP アドレス|ポート". Model row r is grid row r + 1 (the grid's row 0
// is the header).
//
// A peer that announces itself again moves to the bottom, so every datagram can
// delete a row from the middle and append one. Rows live in slots that are only
// ever appended; a deleted slot becomes a hole, a Fenwick tree over the live slots
// turns a row number into a slot and back in O(log n), and a hash from (IP, port)
// finds a peer's slot without scanning. Holes are squeezed out when the slot array
// is full and at least half of it is holes, so the work per datagram stays
// O(log n) amortised while the order the user sees is exactly the arrival order.
class PeerListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PeerListModel(QObject* parent = nullptr);

    static QString headerText();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    int count() const { return m_alive; }
    // Model row of the peer (IP and port compared exactly), or -1.
    int findRow(const QString& ip, const QString& port) const;
    // The same peer without its row number (which costs a walk of the tree), or null.
    const Peer* findPeer(const QString& ip, const QString& port) const;
    const Peer& peerAt(int row) const;
    // The text of one cell, empty outside the list.
    QString cell(int row, PeerColumn column) const;

    // Appends a peer at the bottom and returns its row. A peer with the same
    // (IP, port) leaves its old row first (removed, then inserted: the views see both).
    int appendPeer(Peer peer);
    void removePeerRow(int row);
    void setRowColour(int row, std::optional<quint32> colour);
    void clear();
    // Stable sort by one column: a cell that reads as a number compares as a
    // number and comes before text; text compares case-insensitively.
    void sortByColumn(PeerColumn column, bool ascending);
    void sortByColumn(SortColumn column, bool ascending);

private:
    // (IP, port) as the index's key: the row's own strings, shared, so that finding a
    // peer builds no new string, and their hash, so that a probe that meets another
    // peer is told apart without reading its strings.
    struct Key {
        QString ip;
        QString port;
        size_t hash = 0;
        static Key of(const QString& ip, const QString& port, size_t seed)
        {
            return {ip, port, qHashMulti(seed, ip, port)};
        }
        friend bool operator==(const Key& a, const Key& b) noexcept
        {
            return a.hash == b.hash && a.ip == b.ip && a.port == b.port;
        }
        friend size_t qHash(const Key& key, size_t) noexcept { return key.hash; }
    };
    int slotOfRow(int row) const;
    int rowOfSlot(int slot) const;
    void fenwickAdd(int slot, int delta);
    void rebuild(std::vector<Peer> peers, std::size_t capacity);
    // Empties a live slot: its row is removed from the views; the index is left alone.
    void vacateSlot(int slot);
    void rebuildTree();
    void ensureCapacity();

    std::vector<Peer> m_slots;
    std::vector<size_t> m_hashes; // Key::hash of each slot, holes included
    std::vector<char> m_live;
    std::vector<int> m_tree; // Fenwick tree over m_live, 1-based, size capacity + 1
    std::size_t m_capacity = 0;
    int m_alive = 0;
    QHash<Key, int> m_index; // (ip, port) -> slot
    // Taken once, so that stored hashes stay valid for the model's life.
    const size_t m_seed = QHashSeed::globalSeed();
};

} // namespace velmar::ipmsg
