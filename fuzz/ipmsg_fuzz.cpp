// Arbitrary datagrams through acceptance and the receive processor.
//
// Input layout: byte 0 picks the sender's last address octet, byte 1 the sender's
// port (16 choices) and two switches (absent, in the notification area); the rest
// is the datagram (at most 65,507 bytes, the largest UDP payload). Senders are
// bounded to 4,096 distinct (address, port) pairs, so the peer list is too; what
// the fakes record is dropped after every input.

#include "components/textgauge.h"
#include "ipmsg/messenger.h"
#include "platform/fakes.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "support/fake_messenger_host.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

using namespace velmar;

struct World {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.filePath(QStringLiteral("Velmar5.ini"))};
    components::TextgaugeImpl textgauge;
    platform::RecordingMessageBoxes boxes;
    platform::FakeUdpEndpoint endpoint;
    testing::FakeMessengerHost host;
    std::unique_ptr<ipmsg::Messenger> messenger;

    World()
    {
        endpoint.bind(2425);
        host.keepWindows = false;
        messenger = std::make_unique<ipmsg::Messenger>(endpoint, store, textgauge, boxes, host);
        store.write(settings::keys::Retry, QStringLiteral("2"));
        store.write(settings::keys::BroadcastList, QStringLiteral("2425:10.77.0.255"));
        store.write(settings::keys::AbsentBackgroundColour, QStringLiteral("255"));
        store.write(settings::keys::Password, QStringLiteral("pw"));
        messenger->load();
    }
};

World* world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication app(*argc, *argv);
    world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const QString ip = QStringLiteral("10.77.0.") + QString::number(data[0]);
    const quint16 port = static_cast<quint16>(2425 + (data[1] & 0x0F));
    world->host.tray = (data[1] & 0x20) != 0;
    if (data[1] & 0x10)
        world->messenger->setAbsence(QStringLiteral("会議中"),
                                     QStringLiteral("席を外しています\r\n"));
    else
        world->messenger->setAbsence(QString(), QString());
    const std::size_t length = std::min<std::size_t>(size - 2, 65507);
    const QByteArray datagram(reinterpret_cast<const char*>(data + 2),
                              static_cast<qsizetype>(length));
    world->endpoint.inject(datagram, ip, port);

    // Bounded state: one row per distinct sender, four remembered messages.
    if (world->messenger->peers()->count() > 256 * 16)
        std::abort();
    world->endpoint.sent.clear();
    world->boxes.boxes.clear();
    return 0;
}
