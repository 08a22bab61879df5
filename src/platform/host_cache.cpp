#include "platform/host_cache.h"

namespace velmar::platform {

HostCache::HostCache(HostResolver& resolver, std::function<Clock::time_point()> now,
                     HostLifetimes lifetimes)
    : m_resolver(resolver), m_now(std::move(now)), m_lifetimes(lifetimes)
{
}

HostCache::Lookup HostCache::find(const QString& name)
{
    const QString key = name.toLower();
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        it = m_entries.insert(key, Entry{});
    const bool due = !it->running && ((!it->address && !it->failed) || m_now() >= it->expires);
    if (due) {
        it->running = true;
        m_resolver.start(key);
        // A resolver may answer at once; read the entry again.
        it = m_entries.find(key);
    }
    if (it->address)
        return {State::Found, *it->address};
    return {it->failed ? State::NotFound : State::Pending, {}};
}

void HostCache::answer(const QString& name, std::optional<QHostAddress> address)
{
    const auto it = m_entries.find(name.toLower());
    if (it == m_entries.end())
        return;
    it->running = false;
    it->failed = !address;
    it->address = std::move(address);
    it->expires = m_now() + (it->failed ? m_lifetimes.notFound : m_lifetimes.found);
}

} // namespace velmar::platform
