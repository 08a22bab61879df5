#pragma once

// Real-socket test support: a pair of private network namespaces joined by a veth
// link, and a guard that moves the calling thread into one of them.
//
// Nothing here ever touches the machine's own network: the namespaces have only
// their loopback and their end of the veth pair, the addresses 10.77.<n>.1/24 and
// 10.77.<n>.2/24 exist only inside them, and each side's default route points over
// the veth, so a broadcast to 255.255.255.255 reaches the other side and nothing else.
//
// Typical use, in a test derived from NetnsPairTest:
//
//     TEST_F(NetnsPairTest, MessageArrives) {
//         velmar::platform::QtUdpEndpoint a, b;
//         {
//             ScopedNetns in(pair().nameA());
//             ASSERT_TRUE(in.entered()) << in.error();
//             ASSERT_TRUE(a.bind(2425));           // this socket lives in side A for good
//         }
//         {
//             ScopedNetns in(pair().nameB());
//             ASSERT_TRUE(in.entered()) << in.error();
//             ASSERT_TRUE(b.bind(2425));
//         }
//         // Back in the original namespace: both sockets keep working.
//         a.send(pair().ipB(), 2425, "hello");
//         ...wait with waitUntil(...)...
//     }
//
// Rules for tests built on this:
// - Create (bind) every socket inside a ScopedNetns, and check entered() first. The
//   socket stays in the namespace it was created in, whatever the thread does later.
// - Anything that looks up network state lazily (QtUdpEndpoint::localIp(), the list of
//   interfaces) must be asked inside the ScopedNetns the first time.
// - Only the calling thread switches. Work handed to other threads (Qt's thread pool,
//   asynchronous host lookups) runs in the original namespace: don't do network work
//   there.
// - Every wait is bounded: use waitUntil() or QTRY_*_WITH_TIMEOUT, never a bare loop.
// - Root is needed. NetnsPairTest fails when CI=true is set and skips otherwise.

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace velmar::e2e {

// Runs `program` with `arguments`, waiting at most `timeout`. Returns true when it
// exited normally with status 0; otherwise fills `error` (when given) with the
// command, its exit status or the timeout, and what it printed.
bool runCommand(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds timeout = std::chrono::seconds(10),
                QString* error = nullptr);

// True when the calling thread is in the named namespace (compared by inode with
// /run/netns/<name>).
bool currentThreadIsInNetns(const QString& name);

// True when the calling thread is in the network namespace the process started in.
bool currentThreadIsInOriginalNetns();

// Two namespaces joined by a veth pair. The names are unique per process and per
// pair ("vme2e-<pid>-<k>-a" / "-b"); n is chosen per pair. Everything is created
// in the constructor and removed in the destructor; namespaces left behind by an
// earlier test process that died are removed too. Not copyable, not movable.
class NetnsPair final {
public:
    enum class Side { A, B };

    NetnsPair();
    ~NetnsPair();
    NetnsPair(const NetnsPair&) = delete;
    NetnsPair& operator=(const NetnsPair&) = delete;

    // False when setting up failed (most often: not root); error() says why. A
    // half-made pair is already removed when this returns false.
    bool ok() const { return m_ok; }
    const QString& error() const { return m_error; }

    const QString& nameA() const { return m_nameA; }
    const QString& nameB() const { return m_nameB; }
    const QString& name(Side side) const { return side == Side::A ? m_nameA : m_nameB; }
    int subnet() const { return m_subnet; } // the n of 10.77.n.0/24
    QString ipA() const;                    // "10.77.n.1"
    QString ipB() const;                    // "10.77.n.2"
    QString ip(Side side) const { return side == Side::A ? ipA() : ipB(); }
    static QString interfaceName() { return QStringLiteral("veth0"); } // in both namespaces

    // Drops `percent` of the UDP datagrams arriving at `side` at random (nftables
    // `numgen random mod 100 < percent drop`, in its own table). Replaces an
    // earlier loss rule on that side.
    bool addUdpLoss(Side side, int percent = 30);
    bool clearUdpLoss(Side side);

    // Makes the link leave `side` at `megabitsPerSecond`, with the queue of a real
    // interface behind it: a burst then fills the sending socket's buffer.
    bool limitRate(Side side, int megabitsPerSecond);

    // Takes both ends of the link down, or brings them up again with the default
    // routes restored (the kernel drops routes over a link that goes down).
    bool setLinkUp(bool up);

    // Runs `program` inside the namespace of `side` (through `ip netns exec`).
    bool runIn(Side side, const QString& program, const QStringList& arguments,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    bool setUp();
    void tearDown();
    bool runIp(const QStringList& arguments);
    void fail(const QString& what);

    QString m_nameA;
    QString m_nameB;
    int m_subnet = 0;
    bool m_ok = false;
    QString m_error;
};

// Moves the calling thread into the named namespace with setns(2) and back into the
// namespace it was in on destruction. When entering fails, entered() is false, the
// thread stays where it was and error() says why. Not copyable, not movable.
class ScopedNetns final {
public:
    explicit ScopedNetns(const QString& name);
    ~ScopedNetns();
    ScopedNetns(const ScopedNetns&) = delete;
    ScopedNetns& operator=(const ScopedNetns&) = delete;

    bool entered() const { return m_entered; }
    const QString& error() const { return m_error; }

private:
    int m_originalFd = -1;
    bool m_entered = false;
    QString m_error;
};

// Runs the Qt event loop until `condition` holds or `timeout` passes; returns
// whether the condition held. Events keep being delivered while it waits.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs the Qt event loop for `duration` (for "nothing must arrive" checks).
void processEventsFor(std::chrono::milliseconds duration);

// GoogleTest fixture owning a NetnsPair. SetUp fails the test when the pair cannot
// be created and CI=true is set (CI runs as root and must run these tests), and
// skips it otherwise. SetUp also checks that the thread is in its original
// namespace, so a test cannot start while an earlier one left it switched.
class NetnsPairTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    NetnsPair& pair() { return *m_pair; }

private:
    std::unique_ptr<NetnsPair> m_pair;
};

} // namespace velmar::e2e
