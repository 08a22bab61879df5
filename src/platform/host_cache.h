#pragma once

#include <QHash>
#include <QHostAddress>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace velmar::platform {

// Starts host-name look-ups without waiting for them. The answer comes back later,
// on the thread that owns the cache, through HostCache::answer().
class HostResolver {
public:
    virtual ~HostResolver() = default;
    virtual void start(const QString& name) = 0;
};

// How long the answers of host-name look-ups are kept.
struct HostLifetimes {
    // How long an address is used before it is looked up again.
    std::chrono::milliseconds found = std::chrono::minutes(5);
    // How long a name without an address is reported as unknown before the next
    // attempt.
    std::chrono::milliseconds notFound = std::chrono::seconds(30);
};

// What the endpoint knows about host names: answers are kept for a while, a name
// is looked up at most once at a time, and a caller never waits for a look-up.
// Used from one thread only.
class HostCache final {
public:
    using Clock = std::chrono::steady_clock;

    enum class State { Found, Pending, NotFound };

    struct Lookup {
        State state = State::Pending;
        QHostAddress address; // when Found
    };

    explicit HostCache(HostResolver& resolver, std::function<Clock::time_point()> now = &Clock::now,
                       HostLifetimes lifetimes = {});

    // The address of `name` as far as known now. Starts a look-up when the name is
    // new or its answer has expired; until a refreshed answer arrives the previous
    // one stays in use.
    Lookup find(const QString& name);
    // The look-up of `name` ended: an IPv4 address, or none.
    void answer(const QString& name, std::optional<QHostAddress> address);

private:
    struct Entry {
        std::optional<QHostAddress> address;
        bool failed = false;
        bool running = false;
        Clock::time_point expires;
    };

    HostResolver& m_resolver;
    std::function<Clock::time_point()> m_now;
    HostLifetimes m_lifetimes;
    // Keyed by the lower-case name: host names do not depend on case.
    QHash<QString, Entry> m_entries;
};

} // namespace velmar::platform
