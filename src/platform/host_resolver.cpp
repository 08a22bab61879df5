#include "platform/host_resolver.h"

#include <QMetaObject>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>

namespace velmar::platform {

std::optional<quint32> systemHostLookup(const std::string& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0)
        return std::nullopt;
    std::optional<quint32> address;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr) {
            address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
            break;
        }
    }
    ::freeaddrinfo(found);
    return address;
}

// What the worker thread shares with its owner. `context` is cleared under the
// mutex when the owner goes, so the worker never posts to a destroyed object;
// `handler` is called only on the context's thread.
struct ThreadHostResolver::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> queue;
    int running = 0; // look-ups in progress
    bool stopping = false;
    QObject* context = nullptr;
    AnswerHandler handler;
    BlockingHostLookup lookup;
};

ThreadHostResolver::ThreadHostResolver(BlockingHostLookup lookup, QObject* context,
                                       AnswerHandler handler)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->context = context;
    m_shared->handler = std::move(handler);
    m_shared->lookup = std::move(lookup);
    try {
        std::thread(&ThreadHostResolver::run, m_shared).detach();
        m_threadRunning = true;
    } catch (const std::system_error&) {
        // No thread to be had: start() answers every name as unknown.
    }
}

ThreadHostResolver::~ThreadHostResolver()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->context = nullptr;
    m_shared->queue.clear();
    m_shared->wake.notify_all();
}

void ThreadHostResolver::start(const QString& name)
{
    const std::string bytes = name.toStdString();
    std::lock_guard lock(m_shared->mutex);
    if (!m_threadRunning) {
        deliver(m_shared, bytes, std::nullopt);
        return;
    }
    m_shared->queue.push_back(bytes);
    m_shared->wake.notify_one();
}

void ThreadHostResolver::run(const std::shared_ptr<Shared>& shared)
{
    for (;;) {
        std::string name;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] {
                return shared->stopping ||
                       (!shared->queue.empty() && shared->running < MaxParallelLookups);
            });
            if (shared->stopping)
                return;
            name = std::move(shared->queue.front());
            shared->queue.pop_front();
            ++shared->running;
        }
        // Each look-up on a thread of its own, so a name whose name server does not
        // answer holds up no other name. Made by this thread, it shares its network
        // namespace.
        try {
            std::thread(&ThreadHostResolver::lookUp, shared, name).detach();
        } catch (const std::system_error&) {
            lookUp(shared, name);
        }
    }
}

void ThreadHostResolver::lookUp(const std::shared_ptr<Shared>& shared, const std::string& name)
{
    const std::optional<quint32> address = shared->lookup(name);
    std::lock_guard lock(shared->mutex);
    --shared->running;
    shared->wake.notify_all();
    deliver(shared, name, address);
}

// Called with the mutex held, so `context` cannot go away while the call is posted.
// Qt drops a posted call whose context is destroyed before it runs; the call checks
// `context` again because the resolver may have gone while the context stays.
void ThreadHostResolver::deliver(const std::shared_ptr<Shared>& shared, const std::string& name,
                                 std::optional<quint32> address)
{
    if (!shared->context)
        return;
    QMetaObject::invokeMethod(
        shared->context,
        [shared, name, address] {
            {
                std::lock_guard lock(shared->mutex);
                if (!shared->context)
                    return;
            }
            shared->handler(QString::fromStdString(name),
                            address ? std::optional<QHostAddress>(QHostAddress(*address))
                                    : std::nullopt);
        },
        Qt::QueuedConnection);
}

} // namespace velmar::platform
