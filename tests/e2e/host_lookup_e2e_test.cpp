// Host names in the broadcast list while the name server does not answer: nothing
// waits for a look-up, neither the real program nor the endpoint in-process.
//
// The name server is a black hole on side B: a UDP socket on port 53 that reads
// queries and never answers. `ip netns exec` puts /etc/netns/<name>/resolv.conf
// (and nsswitch.conf) over the real ones for the program it starts, so every query
// goes to side B and no traffic leaves the namespace pair.

#include "e2e/netns.h"
#include "e2e/real_program.h"
#include "platform/udp_endpoint.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

using namespace std::chrono_literals;
using velmar::e2e::Folders;
using velmar::e2e::Listener;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::processEventsFor;
using velmar::e2e::ProgramRun;
using velmar::e2e::ScopedNetns;
using velmar::e2e::waitUntil;
using velmar::platform::Datagram;
using velmar::platform::QtUdpEndpoint;
using velmar::platform::UdpEndpoint;

namespace {

// Files that `ip netns exec <netns>` mounts over those of /etc, removed again with
// this guard (also when the test fails half-way).
class NetnsEtcFiles final {
public:
    NetnsEtcFiles(const QString& netns, const QList<std::pair<QString, QByteArray>>& files)
        : m_folder(QStringLiteral("/etc/netns/") + netns),
          m_parentExisted(QFileInfo::exists(QStringLiteral("/etc/netns")))
    {
        if (QFileInfo::exists(m_folder) || !QDir().mkpath(m_folder)) {
            m_error = QStringLiteral("cannot make ") + m_folder;
            return;
        }
        m_made = true;
        for (const auto& [name, content] : files) {
            QFile file(m_folder + u'/' + name);
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
                m_error = QStringLiteral("cannot write ") + file.fileName();
                return;
            }
        }
    }
    ~NetnsEtcFiles()
    {
        if (m_made)
            QDir(m_folder).removeRecursively();
        if (!m_parentExisted)
            QDir().rmdir(QStringLiteral("/etc/netns")); // only when empty
    }
    NetnsEtcFiles(const NetnsEtcFiles&) = delete;
    NetnsEtcFiles& operator=(const NetnsEtcFiles&) = delete;

    const QString& error() const { return m_error; }

private:
    QString m_folder;
    bool m_parentExisted = false;
    QString m_error;
    bool m_made = false;
};

constexpr quint32 EntryCommand = 0x01;
constexpr quint32 ExitCommand = 0x02;
constexpr quint32 AnswerCommand = 0x03;

using HostLookup = NetnsPairTest;

TEST_F(HostLookup, BroadcastEntryNamingAnUnresolvableHostDelaysNothing)
{
    const NetnsEtcFiles etc(
        pair().nameA(), {{QStringLiteral("resolv.conf"), "nameserver " + pair().ipB().toLatin1() +
                                                             "\noptions timeout:5 attempts:2\n"},
                         {QStringLiteral("nsswitch.conf"),
                          "passwd: files\ngroup: files\nshadow: files\nhosts: files dns\n"}});
    ASSERT_TRUE(etc.error().isEmpty()) << etc.error().toStdString();

    Listener nameServer;
    ASSERT_TRUE(nameServer.bind(pair().nameB(), 53));
    Listener peer;
    ASSERT_TRUE(peer.bind(pair().nameB(), 2425));

    Folders folders;
    constexpr int retry = 6;
    {
        namespace keys = velmar::settings::keys;
        velmar::settings::SettingsStore store(folders.settingsFile());
        store.write(keys::UserName, QStringLiteral("エー"));
        store.write(keys::Retry, QString::number(retry));
        store.write(keys::BroadcastList,
                    QStringLiteral("2425:nohost.invalid,2425:") + pair().ipB());
    }

    ProgramRun run;
    QProcess& program = run.process;
    peer.clock.restart();
    run.start(pair().nameA(), folders, {}, folders.home, true);
    const auto output = [&] { return program.readAllStandardError().toStdString(); };

    // The start-up entry goes Retry times to 255.255.255.255 and to the listed
    // address; a look-up of the name in between would hold each repetition for
    // ten seconds.
    ASSERT_TRUE(waitUntil([&] { return peer.count(EntryCommand) >= 2 * retry; }, 3s))
        << peer.count(EntryCommand) << " entries heard; " << output();
    EXPECT_TRUE(waitUntil(
        [&] {
            return std::any_of(
                nameServer.received.begin(), nameServer.received.end(),
                [](const Datagram& d) { return d.data.contains("\6nohost\7invalid"); });
        },
        2s))
        << "the name was not asked for at the name server of side B";

    // While the look-up hangs, the program answers at once.
    // (An entry from one address and port is answered at most once a second.)
    for (int round = 0; round < 2; ++round) {
        if (round > 0)
            processEventsFor(1100ms);
        const qsizetype before = peer.count(AnswerCommand);
        QByteArray entry = "1:" + QByteArray::number(5000 + round) + ":taro:peerhost:1:taro";
        entry.append('\0').append("group");
        peer.endpoint.send(pair().ipA(), 2425, entry);
        QElapsedTimer answered;
        answered.start();
        EXPECT_TRUE(waitUntil([&] { return peer.count(AnswerCommand) > before; }, 2s));
        EXPECT_LT(answered.elapsed(), 500) << "round " << round;
    }

    // SIGTERM (a logout, `kill`) still says goodbye, and remembers the last packet
    // number for the next start.
    QElapsedTimer closing;
    closing.start();
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(2000)) << output();
    EXPECT_LT(closing.elapsed(), 2000);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(waitUntil([&] { return peer.count(ExitCommand) == 2 * retry; }, 1s))
        << peer.count(ExitCommand) << " exits heard";
    velmar::settings::SettingsStore stored(folders.settingsFile());
    EXPECT_GT(stored.read(velmar::settings::keys::LastPacketNumber).toLongLong(), 0);
}

// A blocking look-up the test controls: each name waits until the test answers it.
struct ScriptedLookup {
    std::mutex mutex;
    std::condition_variable changed;
    QHash<QString, std::optional<quint32>> answers;
    QStringList asked;

    void answer(const QString& name, std::optional<quint32> address)
    {
        std::lock_guard lock(mutex);
        answers.insert(name, address);
        changed.notify_all();
    }
    QStringList askedSoFar()
    {
        std::lock_guard lock(mutex);
        return asked;
    }
    std::optional<quint32> lookUp(const std::string& name)
    {
        const QString key = QString::fromStdString(name);
        std::unique_lock lock(mutex);
        asked << key;
        changed.wait(lock, [&] { return answers.contains(key); });
        return answers.value(key);
    }
};

TEST_F(HostLookup, EndpointSendsToANameOnceItsAddressArrivesAndNeverWaitsForOne)
{
    Listener peer;
    ASSERT_TRUE(peer.bind(pair().nameB(), 2425));
    const auto lookup = std::make_shared<ScriptedLookup>();
    auto endpoint = std::make_unique<QtUdpEndpoint>(
        [lookup](const std::string& name) { return lookup->lookUp(name); });
    {
        ScopedNetns in(pair().nameA());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        ASSERT_TRUE(endpoint->bind(2425));
    }
    const QString peerName = QStringLiteral("Peer.Test");

    // Not known yet: reported at once as waiting, without an error.
    QElapsedTimer timer;
    timer.start();
    for (const char* data : {"first", "second"}) {
        const auto result = endpoint->send(peerName, 2425, data);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.hostPending);
    }
    EXPECT_LT(timer.elapsed(), 100);
    ASSERT_TRUE(waitUntil([&] { return lookup->askedSoFar().size() == 1; }));
    EXPECT_EQ(lookup->askedSoFar(), QStringList{QStringLiteral("peer.test")});

    // Its address arrives: the last datagram held for it goes out, once; later sends
    // go straight there.
    lookup->answer(QStringLiteral("peer.test"), QHostAddress(pair().ipB()).toIPv4Address());
    ASSERT_TRUE(waitUntil([&] { return !peer.received.isEmpty(); }));
    EXPECT_TRUE(endpoint->send(peerName, 2425, "third").ok);
    ASSERT_TRUE(waitUntil([&] { return peer.received.size() == 2; }));
    processEventsFor(200ms);
    ASSERT_EQ(peer.received.size(), 2);
    EXPECT_EQ(peer.received[0].data, "second");
    EXPECT_EQ(peer.received[1].data, "third");

    // A name whose look-up hangs costs nothing, and the endpoint goes without
    // waiting for it.
    timer.restart();
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(endpoint->send(QStringLiteral("nohost.invalid"), 2425, "x").hostPending);
    EXPECT_LT(timer.elapsed(), 100);
    ASSERT_TRUE(waitUntil([&] { return lookup->askedSoFar().size() == 2; }));
    timer.restart();
    endpoint.reset();
    EXPECT_LT(timer.elapsed(), 100);

    // The late answer finds nobody to deliver to.
    lookup->answer(QStringLiteral("nohost.invalid"), std::nullopt);
    processEventsFor(100ms);
}

} // namespace
