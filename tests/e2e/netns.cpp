#include "e2e/netns.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::e2e {

namespace {

const QString kIp = QStringLiteral("ip");
const QString kNetnsDir = QStringLiteral("/run/netns");
const QString kLossTable = QStringLiteral("velmar_e2e_loss");

struct NsId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool valid = false;
    bool operator==(const NsId& other) const
    {
        return valid && other.valid && dev == other.dev && ino == other.ino;
    }
};

NsId nsIdOf(const char* path)
{
    struct stat st {};
    if (::stat(path, &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, true};
}

NsId currentThreadNs()
{
    return nsIdOf("/proc/thread-self/ns/net");
}

// Taken while the process starts, before any test can switch the main thread.
const NsId g_originalNs = currentThreadNs();

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString netnsPath(const QString& name)
{
    return kNetnsDir + u'/' + name;
}

bool ciRequiresRealTests()
{
    const QString ci = qEnvironmentVariable("CI").trimmed().toLower();
    return ci == u"true" || ci == u"1";
}

// A process that was killed but not yet reaped still answers kill(pid, 0); its
// state in /proc/<pid>/stat ("Z") tells that it is gone.
bool processIsAlive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    // "pid (comm) state ...": the name may hold blanks and parentheses.
    const qsizetype close = line.lastIndexOf(") ");
    return close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'Z';
}

// Removes namespaces that an earlier test process created and could not remove
// because it died (a crash or a kill skips every destructor).
void removeOrphanedNamespaces()
{
    static const QRegularExpression pattern(QStringLiteral("^vme2e-(\\d+)-\\d+-[ab]$"));
    const QStringList entries = QDir(kNetnsDir).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries) {
        const QRegularExpressionMatch match = pattern.match(entry);
        if (!match.hasMatch())
            continue;
        bool ok = false;
        const pid_t pid = static_cast<pid_t>(match.captured(1).toLong(&ok));
        if (!ok || pid == ::getpid())
            continue;
        if (processIsAlive(pid))
            continue;
        runCommand(kIp, {QStringLiteral("netns"), QStringLiteral("delete"), entry});
    }
}

} // namespace

bool runCommand(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds timeout, QString* error)
{
    const QString commandLine = program + u' ' + arguments.join(u' ');
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(static_cast<int>(timeout.count()))) {
        if (error)
            *error = commandLine + QStringLiteral(": could not start: ") + process.errorString();
        return false;
    }
    if (!process.waitForFinished(static_cast<int>(timeout.count()))) {
        process.kill();
        process.waitForFinished(1000);
        if (error)
            *error = commandLine + QStringLiteral(": no answer within ") +
                     QString::number(timeout.count()) + QStringLiteral(" ms");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (error) {
            *error = commandLine + QStringLiteral(": exit status ") +
                     QString::number(process.exitCode()) + QStringLiteral(": ") +
                     QString::fromLocal8Bit(process.readAll()).trimmed();
        }
        return false;
    }
    return true;
}

bool currentThreadIsInNetns(const QString& name)
{
    return currentThreadNs() == nsIdOf(netnsPath(name).toLocal8Bit().constData());
}

bool currentThreadIsInOriginalNetns()
{
    return currentThreadNs() == g_originalNs;
}

// ---------------------------------------------------------------------------------

NetnsPair::NetnsPair()
{
    static std::atomic<int> counter{0};
    const int serial = counter.fetch_add(1);
    const auto pid = static_cast<long long>(::getpid());
    const QString stem = QStringLiteral("vme2e-%1-%2-").arg(pid).arg(serial);
    m_nameA = stem + u'a';
    m_nameB = stem + u'b';
    // Any n works (the addresses exist only inside the pair); vary it so that two
    // pairs alive at once are easy to tell apart in a capture. 9 is the sandbox's.
    m_subnet = 10 + static_cast<int>((pid * 7 + serial) % 240);

    removeOrphanedNamespaces();
    m_ok = setUp();
    if (!m_ok)
        tearDown();
}

NetnsPair::~NetnsPair()
{
    tearDown();
}

QString NetnsPair::ipA() const
{
    return QStringLiteral("10.77.%1.1").arg(m_subnet);
}

QString NetnsPair::ipB() const
{
    return QStringLiteral("10.77.%1.2").arg(m_subnet);
}

void NetnsPair::fail(const QString& what)
{
    if (m_error.isEmpty())
        m_error = what;
}

bool NetnsPair::runIp(const QStringList& arguments)
{
    QString error;
    if (runCommand(kIp, arguments, std::chrono::seconds(10), &error))
        return true;
    fail(error);
    return false;
}

bool NetnsPair::setUp()
{
    if (::geteuid() != 0) {
        fail(QStringLiteral("network namespaces need root (this process runs as uid %1)")
                 .arg(::geteuid()));
        return false;
    }
    const QString dev = interfaceName();
    // The veth ends are created directly inside the namespaces, so they never exist
    // in the original one, not even for a moment.
    if (!runIp({QStringLiteral("netns"), QStringLiteral("add"), m_nameA}) ||
        !runIp({QStringLiteral("netns"), QStringLiteral("add"), m_nameB}) ||
        !runIp({QStringLiteral("link"), QStringLiteral("add"), dev, QStringLiteral("netns"),
                m_nameA, QStringLiteral("type"), QStringLiteral("veth"), QStringLiteral("peer"),
                QStringLiteral("name"), dev, QStringLiteral("netns"), m_nameB}))
        return false;

    for (const Side side : {Side::A, Side::B}) {
        const QString& ns = name(side);
        if (!runIp({QStringLiteral("-n"), ns, QStringLiteral("address"), QStringLiteral("add"),
                    ip(side) + QStringLiteral("/24"), QStringLiteral("dev"), dev}) ||
            !runIp({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"),
                    QStringLiteral("lo"), QStringLiteral("up")}))
            return false;
    }
    return setLinkUp(true);
}

void NetnsPair::tearDown()
{
    // Deleting a namespace takes its veth end with it, and the other end follows.
    for (const QString& ns : {m_nameA, m_nameB}) {
        if (QFileInfo::exists(netnsPath(ns)))
            runCommand(kIp, {QStringLiteral("netns"), QStringLiteral("delete"), ns});
    }
}

bool NetnsPair::setLinkUp(bool up)
{
    const QString dev = interfaceName();
    for (const Side side : {Side::A, Side::B}) {
        if (!runIp({QStringLiteral("-n"), name(side), QStringLiteral("link"), QStringLiteral("set"),
                    dev, up ? QStringLiteral("up") : QStringLiteral("down")}))
            return false;
    }
    if (!up)
        return true;
    // Without a default route a broadcast to 255.255.255.255 has nowhere to go;
    // with it, it leaves over the veth and only there.
    for (const Side side : {Side::A, Side::B}) {
        if (!runIp({QStringLiteral("-n"), name(side), QStringLiteral("route"),
                    QStringLiteral("replace"), QStringLiteral("default"), QStringLiteral("dev"),
                    dev}))
            return false;
    }
    return true;
}

bool NetnsPair::runIn(Side side, const QString& program, const QStringList& arguments,
                      std::chrono::milliseconds timeout)
{
    QString error;
    const QStringList all =
        QStringList{QStringLiteral("netns"), QStringLiteral("exec"), name(side), program} +
        arguments;
    if (runCommand(kIp, all, timeout, &error))
        return true;
    fail(error);
    return false;
}

bool NetnsPair::addUdpLoss(Side side, int percent)
{
    percent = std::clamp(percent, 0, 100);
    clearUdpLoss(side);
    // One nft invocation, so the rule set appears at once or not at all.
    const QString script =
        QStringLiteral("add table inet %1; "
                       "add chain inet %1 input { type filter hook input priority 0; "
                       "policy accept; }; "
                       "add rule inet %1 input meta l4proto udp numgen random mod 100 < %2 drop")
            .arg(kLossTable)
            .arg(percent);
    return runIn(side, QStringLiteral("nft"), {script});
}

bool NetnsPair::limitRate(Side side, int megabitsPerSecond)
{
    return runIn(side, QStringLiteral("tc"),
                 {QStringLiteral("qdisc"), QStringLiteral("replace"), QStringLiteral("dev"),
                  interfaceName(), QStringLiteral("root"), QStringLiteral("tbf"),
                  QStringLiteral("rate"), QStringLiteral("%1mbit").arg(megabitsPerSecond),
                  QStringLiteral("burst"), QStringLiteral("32kb"), QStringLiteral("latency"),
                  QStringLiteral("400ms")});
}

bool NetnsPair::clearUdpLoss(Side side)
{
    // "destroy" is too new for Debian 12's nft; create the table first so that
    // deleting it succeeds whether or not it was there.
    return runIn(side, QStringLiteral("nft"),
                 {QStringLiteral("add table inet %1; delete table inet %1").arg(kLossTable)});
}

// ---------------------------------------------------------------------------------

ScopedNetns::ScopedNetns(const QString& name)
{
    m_originalFd = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_originalFd < 0) {
        m_error = QStringLiteral("cannot open the current network namespace: ") + errnoText();
        return;
    }
    const QByteArray path = netnsPath(name).toLocal8Bit();
    const int target = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (target < 0) {
        m_error =
            QStringLiteral("cannot open ") + netnsPath(name) + QStringLiteral(": ") + errnoText();
        return;
    }
    if (::setns(target, CLONE_NEWNET) != 0) {
        m_error = QStringLiteral("setns into ") + name + QStringLiteral(" failed: ") + errnoText();
    } else if (!currentThreadIsInNetns(name)) {
        m_error = QStringLiteral("setns into ") + name +
                  QStringLiteral(" returned, but the thread is not there");
        ::setns(m_originalFd, CLONE_NEWNET);
    } else {
        m_entered = true;
    }
    ::close(target);
}

ScopedNetns::~ScopedNetns()
{
    if (m_entered && ::setns(m_originalFd, CLONE_NEWNET) != 0) {
        // Staying in the test namespace is harmless for the machine, but the
        // following tests would run in the wrong place: make it loud.
        ADD_FAILURE() << "could not return to the original network namespace: "
                      << errnoText().toStdString();
    }
    if (m_originalFd >= 0)
        ::close(m_originalFd);
}

// ---------------------------------------------------------------------------------

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    if (condition())
        return true;
    QDeadlineTimer deadline(timeout);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    tick.start();
    loop.exec();
    return condition();
}

void processEventsFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---------------------------------------------------------------------------------

void NetnsPairTest::SetUp()
{
    ASSERT_TRUE(currentThreadIsInOriginalNetns())
        << "the test thread is not in its original network namespace";
    m_pair = std::make_unique<NetnsPair>();
    if (m_pair->ok())
        return;
    const std::string reason =
        "cannot create the test network namespaces: " + m_pair->error().toStdString();
    m_pair.reset();
    if (ciRequiresRealTests())
        FAIL() << reason << " (CI=true: these tests must run here, as root)";
    GTEST_SKIP() << reason;
}

void NetnsPairTest::TearDown()
{
    m_pair.reset();
    EXPECT_TRUE(currentThreadIsInOriginalNetns())
        << "a test left its thread inside a test network namespace";
}

} // namespace velmar::e2e
