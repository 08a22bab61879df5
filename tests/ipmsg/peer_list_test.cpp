#include "ipmsg/peer_list.h"

#include <QColor>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <map>
#include <random>

using velmar::ipmsg::Peer;
using velmar::ipmsg::PeerColumn;
using velmar::ipmsg::PeerListModel;

namespace {

Peer peer(int n)
{
    return Peer{QStringLiteral("n%1").arg(n), QStringLiteral("g"),
                QStringLiteral("10.0.%1.%2").arg(n / 250).arg(n % 250), QStringLiteral("2425"),
                std::nullopt};
}

QStringList names(const PeerListModel& model)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.data(model.index(row, 0)).toString();
    return out;
}

TEST(PeerList, HeaderAndCells)
{
    PeerListModel model;
    EXPECT_EQ(PeerListModel::headerText(), QStringLiteral("名前|グループ|IP アドレス|ポート"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("IP アドレス"));
    model.appendPeer(Peer{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("1.2.3.4"),
                          QStringLiteral("2425"), 0x0000FFu});
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.data(model.index(0, 3)).toString(), QStringLiteral("2425"));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
}

// Against a plain list: random appends, moves to the bottom (by removing first, or
// by appending a listed peer) and removals, across many compactions, keep the same
// order and the index right.
TEST(PeerList, MatchesAPlainListUnderRandomChurn)
{
    PeerListModel model;
    QStringList reference;
    std::mt19937 rng(7);
    for (int step = 0; step < 20000; ++step) {
        const int n = static_cast<int>(rng() % 300);
        const Peer p = peer(n);
        const int row = model.findRow(p.ip, p.port);
        ASSERT_EQ(row, reference.indexOf(p.name));
        const Peer* found = model.findPeer(p.ip, p.port);
        ASSERT_EQ(found != nullptr, row >= 0);
        if (found) {
            EXPECT_EQ(found->name, p.name);
        }
        const unsigned action = rng() % 4;
        if (action == 0) {
            model.removePeerRow(row);
        } else {
            if (row >= 0 && action == 1)
                model.removePeerRow(row);
            EXPECT_EQ(model.appendPeer(p), reference.size() - (row >= 0 ? 1 : 0));
        }
        if (row >= 0)
            reference.removeAt(row);
        if (action != 0)
            reference.append(p.name);
    }
    EXPECT_EQ(names(model), reference);
}

TEST(PeerList, RowSignalsNameTheRowTheUserSees)
{
    PeerListModel model;
    for (int i = 0; i < 5; ++i)
        model.appendPeer(peer(i));
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.removePeerRow(2);
    model.appendPeer(peer(2));
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 2);
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 4);
    EXPECT_EQ(names(model),
              (QStringList{QStringLiteral("n0"), QStringLiteral("n1"), QStringLiteral("n3"),
                           QStringLiteral("n4"), QStringLiteral("n2")}));

    // Appending a listed peer moves it: its old row is removed, then the new one inserted.
    model.appendPeer(peer(1));
    ASSERT_EQ(removed.size(), 2);
    EXPECT_EQ(removed.at(1).at(1).toInt(), 1);
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 4);
    EXPECT_EQ(names(model),
              (QStringList{QStringLiteral("n0"), QStringLiteral("n3"), QStringLiteral("n4"),
                           QStringLiteral("n2"), QStringLiteral("n1")}));
}

TEST(PeerList, SortsNumbersAsNumbersAndTextAsText)
{
    PeerListModel model;
    const char* rows[][4] = {{"b", "g", "10.0.0.10", "2425"},
                             {"a", "g", "10.0.0.2", "999"},
                             {"C", "g", "10.0.0.1", "12000"}};
    for (const auto& r : rows)
        model.appendPeer(Peer{QString::fromUtf8(r[0]), QString::fromUtf8(r[1]),
                              QString::fromUtf8(r[2]), QString::fromUtf8(r[3]), std::nullopt});
    model.sortByColumn(PeerColumn::Port, true);
    EXPECT_EQ(names(model),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("C")}));
    model.sortByColumn(PeerColumn::Address, true);
    EXPECT_EQ(names(model),
              (QStringList{QStringLiteral("C"), QStringLiteral("b"), QStringLiteral("a")}));
    model.sortByColumn(PeerColumn::Name, false);
    EXPECT_EQ(names(model),
              (QStringList{QStringLiteral("C"), QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_EQ(model.findRow(QStringLiteral("10.0.0.2"), QStringLiteral("999")), 2);
}

} // namespace
