#include "platform/wayland_clipboard.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace velmar::platform {

namespace {

// What the text is offered as: the Wayland names, and the X11 names that programs
// under Xwayland and clipboard tools ask for. Every one gets the same UTF-8 bytes.
constexpr const char* TextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING",
                                     "TEXT", "STRING"};
// A program that asked for the text and then stops reading is given up after this.
constexpr int TransferTimeoutMs = 30'000;

// One paste by another program: the text written into the pipe it handed over, as
// fast as it reads. Deletes itself once all is written, the reader has gone, or it
// has stopped reading for too long.
class Transfer final : public QObject {
public:
    Transfer(int fd, QByteArray text, QObject* parent)
        : QObject(parent), m_fd(fd), m_text(std::move(text)),
          m_writable(fd, QSocketNotifier::Write, this)
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        connect(&m_writable, &QSocketNotifier::activated, this, &Transfer::writeMore);
        QTimer::singleShot(TransferTimeoutMs, this, &Transfer::finish);
        writeMore();
    }
    ~Transfer() override
    {
        m_writable.setEnabled(false);
        ::close(m_fd);
    }

private:
    void writeMore()
    {
        while (m_written < m_text.size()) {
            const ssize_t n =
                ::write(m_fd, m_text.constData() + m_written, size_t(m_text.size() - m_written));
            if (n > 0)
                m_written += n;
            else if (n < 0 && errno == EAGAIN)
                return; // the pipe is full: on when the reader has taken some
            else if (!(n < 0 && errno == EINTR))
                break; // the reader has gone
        }
        finish();
    }
    void finish()
    {
        m_writable.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    QByteArray m_text;
    qsizetype m_written = 0;
    QSocketNotifier m_writable;
};

} // namespace

// The connection and everything on it. Lives on the writer's thread and is only
// touched there.
class WaylandClipboardConnection final : public QObject {
public:
    ~WaylandClipboardConnection() override;

    bool open();
    // Makes `utf8` the clipboard's text, or empties the clipboard when it is null.
    bool setSelection(const QByteArray* utf8);

private:
    struct Source {
        WaylandClipboardConnection* connection;
        zwlr_data_control_source_v1* proxy;
        QByteArray text;
    };

    static const wl_registry_listener RegistryListener;
    static const zwlr_data_control_device_v1_listener DeviceListener;
    static const zwlr_data_control_source_v1_listener SourceListener;

    void global(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    void offerArrived(zwlr_data_control_offer_v1* offer);
    void selectionChanged(zwlr_data_control_offer_v1* offer);
    void dispatch();
    void fail();
    void destroySource(Source* source);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;
    // Offers of other programs' clipboards: announced, then named by the selection.
    // This connection never reads them.
    zwlr_data_control_offer_v1* m_offer = nullptr;
    std::vector<std::unique_ptr<Source>> m_sources;
    std::unique_ptr<QSocketNotifier> m_events;
    bool m_failed = false;
};

const wl_registry_listener WaylandClipboardConnection::RegistryListener = {
    .global =
        [](void* data, wl_registry* registry, uint32_t name, const char* interface,
           uint32_t version) {
            static_cast<WaylandClipboardConnection*>(data)->global(registry, name, interface,
                                                                   version);
        },
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

const zwlr_data_control_device_v1_listener WaylandClipboardConnection::DeviceListener = {
    .data_offer =
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            static_cast<WaylandClipboardConnection*>(data)->offerArrived(offer);
        },
    .selection =
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            static_cast<WaylandClipboardConnection*>(data)->selectionChanged(offer);
        },
    .finished =
        [](void* data, zwlr_data_control_device_v1*) {
            // The seat is gone: nothing more can be set through this connection.
            static_cast<WaylandClipboardConnection*>(data)->fail();
        },
    .primary_selection =
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            static_cast<WaylandClipboardConnection*>(data)->selectionChanged(offer);
        },
};

const zwlr_data_control_source_v1_listener WaylandClipboardConnection::SourceListener = {
    .send =
        [](void* data, zwlr_data_control_source_v1*, const char*, int32_t fd) {
            // The transfer belongs to the connection and ends on its own.
            auto* source = static_cast<Source*>(data);
            new Transfer(fd, source->text, source->connection);
        },
    .cancelled =
        [](void* data, zwlr_data_control_source_v1*) {
            // Another program has set the clipboard (or this one has set it again).
            auto* source = static_cast<Source*>(data);
            source->connection->destroySource(source);
        },
};

WaylandClipboardConnection::~WaylandClipboardConnection()
{
    m_events.reset();
    if (!m_display)
        return;
    for (const std::unique_ptr<Source>& source : m_sources)
        zwlr_data_control_source_v1_destroy(source->proxy);
    if (m_offer)
        zwlr_data_control_offer_v1_destroy(m_offer);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    if (m_manager)
        zwlr_data_control_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

bool WaylandClipboardConnection::open()
{
    // A reader that closes its end early must cost a failed write, not the program:
    // the signal is held back on this thread, which alone writes to those pipes.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return false;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &RegistryListener, this);
    if (wl_display_roundtrip(m_display) < 0 || !m_seat || !m_manager)
        return false;
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_seat);
    zwlr_data_control_device_v1_add_listener(m_device, &DeviceListener, this);
    if (wl_display_roundtrip(m_display) < 0 || m_failed)
        return false;

    m_events =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    QObject::connect(m_events.get(), &QSocketNotifier::activated, this, [this] { dispatch(); });
    return true;
}

void WaylandClipboardConnection::global(wl_registry* registry, uint32_t name, const char* interface,
                                        uint32_t version)
{
    (void)version; // version 1 of both is all this connection uses
    if (!m_seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (!m_manager &&
               std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        m_manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}

bool WaylandClipboardConnection::setSelection(const QByteArray* utf8)
{
    if (m_failed)
        return false;
    zwlr_data_control_source_v1* proxy = nullptr;
    if (utf8) {
        proxy = zwlr_data_control_manager_v1_create_data_source(m_manager);
        auto source = std::make_unique<Source>(Source{this, proxy, *utf8});
        zwlr_data_control_source_v1_add_listener(proxy, &SourceListener, source.get());
        for (const char* type : TextTypes)
            zwlr_data_control_source_v1_offer(proxy, type);
        m_sources.push_back(std::move(source));
    }
    // The compositor cancels the source this one replaces; a paste of it that is under
    // way finishes on its own.
    zwlr_data_control_device_v1_set_selection(m_device, proxy);
    // Once the round trip is back, the compositor has taken the new clipboard: a
    // program that asks for it now gets this text.
    if (wl_display_roundtrip(m_display) < 0) {
        fail();
        return false;
    }
    return !m_failed;
}

void WaylandClipboardConnection::offerArrived(zwlr_data_control_offer_v1* offer)
{
    if (m_offer)
        zwlr_data_control_offer_v1_destroy(m_offer);
    m_offer = offer;
}

void WaylandClipboardConnection::selectionChanged(zwlr_data_control_offer_v1* offer)
{
    if (offer && offer == m_offer)
        m_offer = nullptr;
    if (offer)
        zwlr_data_control_offer_v1_destroy(offer);
}

void WaylandClipboardConnection::destroySource(Source* source)
{
    for (auto it = m_sources.begin(); it != m_sources.end(); ++it) {
        if (it->get() != source)
            continue;
        zwlr_data_control_source_v1_destroy(source->proxy);
        m_sources.erase(it);
        return;
    }
}

void WaylandClipboardConnection::dispatch()
{
    if (m_failed)
        return;
    // The socket is readable: reading does not block.
    if (wl_display_dispatch(m_display) < 0 || (wl_display_flush(m_display) < 0 && errno != EAGAIN))
        fail();
}

void WaylandClipboardConnection::fail()
{
    m_failed = true;
    if (m_events)
        m_events->setEnabled(false);
}

std::unique_ptr<WaylandClipboardWriter> WaylandClipboardWriter::connect()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    auto thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("Wayland clipboard"));
    auto* connection = new WaylandClipboardConnection;
    connection->moveToThread(thread.get());
    // Deleted on its own thread, as its last act.
    QObject::connect(
        thread.get(), &QThread::finished, thread.get(), [connection] { delete connection; },
        Qt::DirectConnection);
    thread->start();
    bool opened = false;
    QMetaObject::invokeMethod(
        connection, [connection, &opened] { opened = connection->open(); },
        Qt::BlockingQueuedConnection);
    std::unique_ptr<WaylandClipboardWriter> writer(
        new WaylandClipboardWriter(std::move(thread), connection));
    if (!opened)
        return nullptr;
    return writer;
}

WaylandClipboardWriter::WaylandClipboardWriter(std::unique_ptr<QThread> thread,
                                               WaylandClipboardConnection* connection)
    : m_thread(std::move(thread)), m_connection(connection)
{
}

WaylandClipboardWriter::~WaylandClipboardWriter()
{
    m_thread->quit();
    m_thread->wait();
}

bool WaylandClipboardWriter::setText(const QByteArray& utf8)
{
    bool taken = false;
    QMetaObject::invokeMethod(
        m_connection, [this, &utf8, &taken] { taken = m_connection->setSelection(&utf8); },
        Qt::BlockingQueuedConnection);
    return taken;
}

bool WaylandClipboardWriter::clear()
{
    bool taken = false;
    QMetaObject::invokeMethod(
        m_connection, [this, &taken] { taken = m_connection->setSelection(nullptr); },
        Qt::BlockingQueuedConnection);
    return taken;
}

} // namespace velmar::platform
