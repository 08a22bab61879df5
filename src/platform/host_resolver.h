#pragma once

#include "platform/host_cache.h"

#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QObject;

namespace velmar::platform {

// A blocking look-up of one host name: its first IPv4 address in host byte order,
// or none. Runs on the resolver's own thread.
using BlockingHostLookup = std::function<std::optional<quint32>(const std::string& name)>;

// The system's resolver (getaddrinfo), IPv4 only.
std::optional<quint32> systemHostLookup(const std::string& name);

// Runs look-ups on threads of its own: a dispatching thread created in the
// constructor, which starts one thread per look-up, at most MaxParallelLookups at a
// time. Threads inherit the network namespace of the thread that creates them, so
// the look-ups are made where the owner lives, never by a pool thread elsewhere. Answers are
// delivered as queued calls to `handler` on the thread of `context`, and only while this object
// exists.
//
// Destruction never waits: a look-up can hang for many seconds when the name
// server does not answer. The threads are detached and own what they share with
// this object; a look-up thread ends after its look-up and drops the answer.
class ThreadHostResolver final : public HostResolver {
public:
    using AnswerHandler =
        std::function<void(const QString& name, std::optional<QHostAddress> address)>;

    ThreadHostResolver(BlockingHostLookup lookup, QObject* context, AnswerHandler handler);
    ~ThreadHostResolver() override;
    ThreadHostResolver(const ThreadHostResolver&) = delete;
    ThreadHostResolver& operator=(const ThreadHostResolver&) = delete;

    void start(const QString& name) override;

    static constexpr int MaxParallelLookups = 4;

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);
    static void lookUp(const std::shared_ptr<Shared>& shared, const std::string& name);
    static void deliver(const std::shared_ptr<Shared>& shared, const std::string& name,
                        std::optional<quint32> address);

    std::shared_ptr<Shared> m_shared;
    bool m_threadRunning = false;
};

} // namespace velmar::platform
