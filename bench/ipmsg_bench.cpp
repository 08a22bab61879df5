// Presence traffic through acceptance and the receive processor with a large peer
// list, on the fake endpoint. Target: above 200,000 presence datagrams per second
// with 10,000 peers listed. Also the resident memory a flood of messages leaves
// behind in the engine.

#include "components/textgauge.h"
#include "ipmsg/messenger.h"
#include "platform/fakes.h"
#include "settings/keys.h"
#include "support/fake_messenger_host.h"
#include "support/temp_settings.h"

#include <QFile>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

using namespace velmar;

struct Peer {
    QString ip;
    quint16 port;
};

struct World {
    testing::TempSettings settings;
    components::TextgaugeImpl textgauge;
    platform::RecordingMessageBoxes boxes;
    platform::FakeUdpEndpoint endpoint;
    testing::FakeMessengerHost host;
    std::unique_ptr<ipmsg::Messenger> messenger;
    std::vector<Peer> peers;

    explicit World(int count)
    {
        endpoint.bind(2425);
        host.keepWindows = false;
        messenger =
            std::make_unique<ipmsg::Messenger>(endpoint, *settings.store, textgauge, boxes, host);
        settings.store->write(settings::keys::AbsentBackgroundColour, QStringLiteral("255"));
        messenger->load();
        for (int i = 0; i < count; ++i) {
            peers.push_back(
                {QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256 + 2),
                 static_cast<quint16>(2425 + i % 3)});
            endpoint.inject(packet("3", i), peers.back().ip, peers.back().port);
        }
        endpoint.sent.clear();
    }

    static QByteArray packet(const char* command, int i)
    {
        return QByteArray("1:") + QByteArray::number(i) + ":user:host:" + command + ":" +
               ipmsg::toWire(QStringLiteral("利用者%1").arg(i)) + QByteArray(1, '\0') +
               ipmsg::toWire(QStringLiteral("グループ"));
    }
};

// Entry answers (0x03, and 0x103 with the absence option): each moves a known
// peer's row to the bottom and colours it.
void BM_PresenceWith10000Peers(benchmark::State& state)
{
    World world(static_cast<int>(state.range(0)));
    std::mt19937 rng(1);
    std::vector<QByteArray> packets;
    for (int i = 0; i < 256; ++i)
        packets.push_back(World::packet(i % 2 ? "259" : "3", i));
    for (auto _ : state) {
        const Peer& peer = world.peers[rng() % world.peers.size()];
        world.endpoint.inject(packets[rng() % packets.size()], peer.ip, peer.port);
    }
    if (world.messenger->peers()->count() != state.range(0))
        state.SkipWithError("peer count changed");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PresenceWith10000Peers)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Entries (0x01): as above plus Retry (6) entry answers sent back per datagram.
void BM_EntriesWith10000Peers(benchmark::State& state)
{
    World world(10000);
    std::mt19937 rng(2);
    const QByteArray packet = World::packet("1", 7);
    for (auto _ : state) {
        const Peer& peer = world.peers[rng() % world.peers.size()];
        world.endpoint.inject(packet, peer.ip, peer.port);
        world.endpoint.sent.clear();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EntriesWith10000Peers)->Unit(benchmark::kMicrosecond);

// Exits and re-entries from the middle of the list: delete plus append.
void BM_ExitAndReturnWith10000Peers(benchmark::State& state)
{
    World world(10000);
    std::mt19937 rng(3);
    const QByteArray exitPacket("1:9:user:host:2:");
    const QByteArray back = World::packet("3", 9);
    for (auto _ : state) {
        const Peer& peer = world.peers[rng() % world.peers.size()];
        world.endpoint.inject(exitPacket, peer.ip, peer.port);
        world.endpoint.inject(back, peer.ip, peer.port);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ExitAndReturnWith10000Peers)->Unit(benchmark::kMicrosecond);

// VmRSS of this process in kilobytes.
double residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

// 100,000 messages from `senders` strangers, round robin, each answered with a
// receipt. The host counts what it is given and keeps nothing, so the growth of the
// resident memory is the engine's own: duplicate history, flood and answer state.
// "windows" counts the windows a main window would open: one per message shown on
// its own, one per collecting window.
void BM_MessageFloodMemory(benchmark::State& state)
{
    const int senders = static_cast<int>(state.range(0));
    constexpr int Messages = 100000;
    World world(0);
    std::vector<QString> ips;
    for (int i = 0; i < senders; ++i)
        ips.push_back(
            QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256));
    const double before = residentKilobytes();
    for (auto _ : state) {
        for (int i = 0; i < Messages; ++i) {
            world.endpoint.inject(QByteArray("1:") + QByteArray::number(i) +
                                      ":user:host:288:message text " + QByteArray::number(i),
                                  ips[static_cast<std::size_t>(i % senders)], 2425);
            if (i % 1024 == 0)
                world.endpoint.sent.clear();
        }
    }
    world.endpoint.sent.clear();
    state.counters["rss_growth_kB"] = residentKilobytes() - before;
    state.counters["windows"] =
        static_cast<double>(world.host.windowCount + world.host.collectingKeys.size());
    state.counters["collected"] = static_cast<double>(world.host.collectedCount);
    state.SetItemsProcessed(state.iterations() * Messages);
}
BENCHMARK(BM_MessageFloodMemory)
    ->Arg(1)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
