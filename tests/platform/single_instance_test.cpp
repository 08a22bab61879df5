#include "platform/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;
using velmar::platform::SingleInstance;
using Role = SingleInstance::Role;
using Decoded = SingleInstance::Decoded;

namespace {

QByteArray header(quint32 length)
{
    QByteArray bytes("VLM1");
    bytes.append(char(length >> 24))
        .append(char(length >> 16))
        .append(char(length >> 8))
        .append(char(length));
    return bytes;
}

TEST(SingleInstanceWire, DecodesWholeMessagesOnlyAndRejectsMalformedOnes)
{
    const QByteArray two =
        SingleInstance::encode({QStringLiteral("/a b.txt"), QStringLiteral("/日本.txt")});
    const struct {
        const char* name;
        QByteArray bytes;
        Decoded result;
        QStringList files;
    } cases[] = {
        {"two names",
         two,
         Decoded::Complete,
         {QStringLiteral("/a b.txt"), QStringLiteral("/日本.txt")}},
        {"no names", SingleInstance::encode({}), Decoded::Complete, {}},
        {"nothing yet", QByteArray(), Decoded::Incomplete, {}},
        {"half a tag", QByteArray("VL"), Decoded::Incomplete, {}},
        {"header only", two.left(8), Decoded::Incomplete, {}},
        {"cut in a name", two.left(two.size() - 1), Decoded::Incomplete, {}},
        {"wrong tag", QByteArray("XLM1") + two.mid(4), Decoded::Invalid, {}},
        {"extra bytes", two + 'x', Decoded::Invalid, {}},
        {"too long", header(SingleInstance::maxMessageSize), Decoded::Invalid, {}},
        {"no final NUL", header(3) + "abc", Decoded::Invalid, {}},
        {"empty name", header(3) + QByteArray("a\0\0", 3), Decoded::Invalid, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList files{QStringLiteral("untouched")};
        EXPECT_EQ(SingleInstance::decode(c.bytes, &files), c.result);
        if (c.result == Decoded::Complete) {
            EXPECT_EQ(files, c.files);
        }
    }
}

class SingleInstanceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("run/velmar/instance"));

    // Starts a second copy on another thread (its calls block), keeping this thread's
    // event loop running so the first copy can answer.
    Role startSecond(const QStringList& files, std::chrono::milliseconds timeout = 5s,
                     QString* error = nullptr)
    {
        auto result = std::async(std::launch::async, [&] {
            SingleInstance second(path);
            const Role role = second.start(files, timeout);
            return std::make_pair(role, second.error());
        });
        while (result.wait_for(10ms) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const auto [role, message] = result.get();
        if (error)
            *error = message;
        return role;
    }
};

TEST_F(SingleInstanceTest, ASecondStartHandsItsFilesToTheFirstAsAbsoluteNames)
{
    SingleInstance first(path);
    QSignalSpy received(&first, &SingleInstance::filesReceived);
    ASSERT_EQ(first.start({QStringLiteral("own.txt")}), Role::Primary)
        << first.error().toStdString();
    EXPECT_EQ(QFileInfo(QFileInfo(path).absolutePath()).permissions() & 0x0077, 0);

    EXPECT_EQ(startSecond({QStringLiteral("/tmp/-x.txt"), QString(), QStringLiteral("rel.txt")}),
              Role::Secondary);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 1; }, 5000));
    EXPECT_EQ(received[0][0].toStringList(),
              (QStringList{QStringLiteral("/tmp/-x.txt"),
                           QDir::current().absoluteFilePath(QStringLiteral("rel.txt"))}));

    // Without files the running copy is still told, so it comes to the front.
    EXPECT_EQ(startSecond({}), Role::Secondary);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 2; }, 5000));
    EXPECT_TRUE(received[1][0].toStringList().isEmpty());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedCopyDoesNotBlockTheNextStart)
{
    // A socket file with nobody listening, as a killed copy leaves it.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    ASSERT_LT(std::size_t(encoded.size()), sizeof address.sun_path);
    std::copy(encoded.begin(), encoded.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    SingleInstance next(path);
    EXPECT_EQ(next.start({}), Role::Primary) << next.error().toStdString();
    EXPECT_EQ(startSecond({}), Role::Secondary);
}

TEST_F(SingleInstanceTest, GarbageFromALocalClientIsDroppedAndTheNextHandOverWorks)
{
    SingleInstance first(path);
    QSignalSpy received(&first, &SingleInstance::filesReceived);
    ASSERT_EQ(first.start({}), Role::Primary);

    QLocalSocket intruder;
    intruder.connectToServer(path);
    ASSERT_TRUE(intruder.waitForConnected(2000));
    intruder.write("GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return intruder.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(received.size(), 0);

    EXPECT_EQ(startSecond({QStringLiteral("/a")}), Role::Secondary);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 1; }, 5000));
}

TEST_F(SingleInstanceTest, ARunningCopyThatDoesNotAnswerStopsTheSecondStart)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QLocalServer silent; // accepts connections, never reads them
    ASSERT_TRUE(silent.listen(path));

    QString error;
    EXPECT_EQ(startSecond({QStringLiteral("/a")}, 300ms, &error), Role::Failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(silent.isListening()); // its socket was not taken over
}

} // namespace
