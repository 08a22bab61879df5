// The host-name cache and the look-up thread. No sockets: the resolver is a fake
// or a blocking function the test controls.

#include "platform/host_cache.h"
#include "platform/host_resolver.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using velmar::platform::HostCache;
using velmar::platform::HostResolver;
using velmar::platform::ThreadHostResolver;
using State = HostCache::State;

namespace {

// Records the names it was asked for and never answers by itself.
struct FakeResolver final : HostResolver {
    void start(const QString& name) override { started << name; }
    QStringList started;
};

class HostCacheTest : public ::testing::Test {
protected:
    FakeResolver resolver;
    HostCache::Clock::time_point now{};
    HostCache cache{resolver, [this] { return now; }, {5min, 30s}};
    const QHostAddress first{QStringLiteral("10.77.0.2")};
    const QHostAddress second{QStringLiteral("10.77.0.3")};
};

TEST_F(HostCacheTest, PendingNameIsSkippedAtOnceAndUsedAfterItsAnswer)
{
    EXPECT_EQ(cache.find(QStringLiteral("PeerHost")).state, State::Pending);
    EXPECT_EQ(cache.find(QStringLiteral("peerhost")).state, State::Pending);
    EXPECT_EQ(resolver.started, QStringList{QStringLiteral("peerhost")})
        << "one look-up per name while it runs, whatever the case";

    cache.answer(QStringLiteral("peerhost"), first);
    const HostCache::Lookup found = cache.find(QStringLiteral("PEERHOST"));
    EXPECT_EQ(found.state, State::Found);
    EXPECT_EQ(found.address, first);
    EXPECT_EQ(resolver.started.size(), 1);

    cache.answer(QStringLiteral("unasked"), first);
    EXPECT_EQ(resolver.started.size(), 1) << "an answer nobody asked for is dropped";
}

TEST_F(HostCacheTest, AnswersExpire)
{
    const struct {
        std::optional<QHostAddress> firstAnswer;
        std::chrono::seconds keptFor;
        State whileKept;
        std::optional<QHostAddress> refreshed;
        State afterRefresh;
    } cases[] = {
        // An address is used until the refreshed answer arrives, then the new one.
        {first, 300s, State::Found, second, State::Found},
        // A name that has gone loses its address.
        {first, 300s, State::Found, std::nullopt, State::NotFound},
        // A failed name stays unknown for its shorter time, then is tried again.
        {std::nullopt, 30s, State::NotFound, first, State::Found},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keptFor.count());
        const QString name = QStringLiteral("host%1").arg(resolver.started.size());
        cache.find(name);
        cache.answer(name, c.firstAnswer);
        resolver.started.clear();

        now += c.keptFor - 1s;
        EXPECT_EQ(cache.find(name).state, c.whileKept);
        EXPECT_TRUE(resolver.started.isEmpty()) << "no look-up before the answer expires";

        now += 1s;
        const HostCache::Lookup expired = cache.find(name);
        EXPECT_EQ(resolver.started, QStringList{name});
        EXPECT_EQ(expired.state, c.whileKept) << "the old answer holds while the new one runs";
        EXPECT_EQ(expired.address, c.firstAnswer.value_or(QHostAddress()));
        cache.find(name);
        EXPECT_EQ(resolver.started.size(), 1) << "no second look-up while one runs";

        cache.answer(name, c.refreshed);
        const HostCache::Lookup after = cache.find(name);
        EXPECT_EQ(after.state, c.afterRefresh);
        EXPECT_EQ(after.address, c.refreshed.value_or(QHostAddress()));
    }
}

// A blocking look-up that waits until the test opens the gate.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int calls = 0;

    void setOpen(bool value)
    {
        std::lock_guard lock(mutex);
        open = value;
        opened.notify_all();
    }
    int callCount()
    {
        std::lock_guard lock(mutex);
        return calls;
    }
};

TEST(ThreadHostResolver, AnswersOnTheOwnersThreadAndNeverHoldsUpItsDestruction)
{
    auto gate = std::make_shared<Gate>();
    const auto lookup = [gate](const std::string& name) -> std::optional<quint32> {
        if (name == "quick.test")
            return 0x0A4D0003; // 10.77.0.3, without waiting
        std::unique_lock lock(gate->mutex);
        ++gate->calls;
        gate->opened.wait(lock, [&] { return gate->open; });
        if (name == "found.test")
            return 0x0A4D0002; // 10.77.0.2
        return std::nullopt;
    };
    QObject context;
    QList<std::pair<QString, std::optional<QHostAddress>>> answers;
    const auto handler = [&](const QString& name, std::optional<QHostAddress> address) {
        EXPECT_EQ(QThread::currentThread(), context.thread());
        answers.append({name, address});
    };

    {
        ThreadHostResolver resolver(lookup, &context, handler);
        resolver.start(QStringLiteral("found.test"));
        resolver.start(QStringLiteral("missing.test"));
        QTest::qWait(50);
        EXPECT_TRUE(answers.isEmpty());
        gate->setOpen(true);
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 2, 5000);
        // Look-ups run side by side: either may end first.
        std::sort(answers.begin(), answers.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        EXPECT_EQ(answers[0].first, u"found.test");
        EXPECT_EQ(answers[0].second, QHostAddress(QStringLiteral("10.77.0.2")));
        EXPECT_EQ(answers[1].first, u"missing.test");
        EXPECT_FALSE(answers[1].second.has_value());
    }

    // A look-up that hangs: the resolver goes at once and its late answer is dropped.
    gate->setOpen(false);
    QElapsedTimer timer;
    timer.start();
    {
        ThreadHostResolver resolver(lookup, &context, handler);
        resolver.start(QStringLiteral("found.test"));
        QTRY_COMPARE_WITH_TIMEOUT(gate->callCount(), 3, 5000);
        resolver.start(QStringLiteral("quick.test"));
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 3, 5000);
        EXPECT_EQ(answers[2].first, u"quick.test") << "a hanging name holds up no other";
        timer.restart();
    }
    EXPECT_LT(timer.elapsed(), 100);
    gate->setOpen(true);
    QTest::qWait(100);
    EXPECT_EQ(answers.size(), 3);
}

} // namespace
