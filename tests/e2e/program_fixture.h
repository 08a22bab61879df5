#pragma once

// The fixture pieces shared by the tests that run the whole program on real sockets:
// an in-process program instance with fake boxes and dialogs, and a scripted peer
// that speaks the protocol from its own bytes. Both are started inside a namespace
// of a NetnsPair (see netns.h).

#include "app/main_window.h"
#include "components/registry.h"
#include "e2e/netns.h"
#include "ipmsg/messenger.h"
#include "ipmsg/peer_list.h"
#include "platform/fakes.h"
#include "platform/file_fakes.h"
#include "platform/udp_endpoint.h"
#include "support/temp_settings.h"
#include "text/text_window.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <memory>

namespace velmar::e2e {

inline QByteArray sjis(const QString& text)
{
    QStringEncoder encoder("Shift_JIS");
    return encoder.encode(text);
}

inline QString fromSjis(const QByteArray& bytes)
{
    QStringDecoder decoder("Shift_JIS");
    return decoder.decode(bytes);
}

// One running program: the real main window, engine and UDP endpoint; boxes,
// clipboard, dialogs and the printer are fakes so nothing blocks.
struct Program {
    velmar::testing::TempSettings settings;
    velmar::components::ComponentRegistry registry =
        velmar::components::ComponentRegistry::withBuiltins();
    velmar::platform::QtUdpEndpoint endpoint;
    velmar::platform::RecordingMessageBoxes boxes;
    // When set before start(), the program shows its boxes here instead of in `boxes`.
    velmar::platform::MessageBoxes* boxesInUse = nullptr;
    velmar::platform::FakeClipboard clipboard;
    velmar::platform::ScriptedFileDialogs fileDialogs;
    velmar::platform::PdfPrinting printing{settings.dir.filePath(QStringLiteral("p.pdf"))};
    // The desktop's services stay fakes: a test must not reach a real session bus.
    velmar::platform::FakeTrayIcon trayIcon;
    velmar::platform::FakeInputMethod inputMethod;
    velmar::platform::FakeNotifications notifications;
    std::unique_ptr<velmar::app::MainWindow> window;
    int exitCode = -1;

    // Starts the program inside `netns`, with `userName` as its name on the network.
    bool start(const QString& netns, const QString& userName)
    {
        settings.store->write(QStringLiteral("IPM\\2425"), QStringLiteral("UserName"), userName);
        ScopedNetns in(netns);
        if (!in.entered()) {
            ADD_FAILURE() << in.error().toStdString();
            return false;
        }
        window = std::make_unique<velmar::app::MainWindow>(
            velmar::app::Services{*settings.store,
                                  registry,
                                  endpoint,
                                  boxesInUse ? *boxesInUse : boxes,
                                  clipboard,
                                  fileDialogs,
                                  printing,
                                  {},
                                  [this](int code) { exitCode = code; },
                                  nullptr,
                                  false,
                                  {},
                                  &trayIcon,
                                  &inputMethod,
                                  &notifications});
        if (!window->load())
            return false;
        window->start();
        return true;
    }

    velmar::ipmsg::Messenger& engine() { return window->messenger(); }
    const velmar::ipmsg::PeerListModel& peers() { return *engine().peers(); }

    int peerRow(const QString& ip)
    {
        for (int row = 0; row < peers().count(); ++row) {
            if (peers().cell(row, velmar::ipmsg::PeerColumn::Address) == ip)
                return row;
        }
        return -1;
    }

    bool hasBox(const QString& title, const QString& text) const
    {
        for (const auto& box : boxes.boxes) {
            if (box.title.startsWith(title) && box.text == text)
                return true;
        }
        return false;
    }

    // Sends `text` from a new window to the peer at `ip`, as a user would through
    // the user-list dialog with the left button.
    velmar::text::TextWindow* sendTo(const QString& ip, const QString& text, bool sealed = false)
    {
        window->openTextWindow(velmar::text::WindowPlacement::Foreground);
        velmar::text::TextWindow* source = window->activeWindow();
        source->setText(text);
        window->sendActiveText();
        engine().state().clickSealed(sealed ? velmar::ipmsg::SealedState::Sealed
                                            : velmar::ipmsg::SealedState::Open);
        engine().chooseRow(peerRow(ip));
        engine().send(velmar::ipmsg::Messenger::Button::Left);
        return source;
    }
};

// A peer on side B that speaks the protocol from its own packets, so a fault in the
// program's packet code cannot hide behind the same fault in the test.
struct ScriptedPeer {
    velmar::platform::QtUdpEndpoint endpoint;
    QList<velmar::platform::Datagram> received;
    int packetNo = 1000;
    // The version field: "1" is this program; other clients put their own after "1_".
    QByteArray version = "1";

    bool bind(const QString& netns)
    {
        ScopedNetns in(netns);
        if (!in.entered() || !endpoint.bind(2425))
            return false;
        QObject::connect(&endpoint, &velmar::platform::UdpEndpoint::datagramArrived,
                         [this](const velmar::platform::Datagram& d) { received.append(d); });
        return true;
    }

    QString send(const QString& ip, quint32 command, const QByteArray& extra)
    {
        const QString number = QString::number(++packetNo);
        sendNumbered(ip, number, command, extra);
        return number;
    }

    // A packet under a number given by the caller: a repeat of an earlier one.
    void sendNumbered(const QString& ip, const QString& number, quint32 command,
                      const QByteArray& extra)
    {
        const QByteArray packet = version + ':' + number.toLatin1() +
                                  ":taro:peerhost:" + QByteArray::number(command) + ':' + extra;
        endpoint.send(ip, 2425, packet);
    }

    // The extras of the datagrams received with this command field.
    QStringList extrasOf(const QByteArray& command) const
    {
        QStringList out;
        for (const auto& d : received) {
            qsizetype colon = -1;
            for (int i = 0; i < 5 && (colon = d.data.indexOf(':', colon + 1)) >= 0; ++i) {
            }
            if (colon >= 0 && d.data.split(':').value(4) == command)
                out << fromSjis(d.data.mid(colon + 1));
        }
        return out;
    }
};

// Both programs started and listing each other.
inline void startBoth(NetnsPair& pair, Program& a, Program& b)
{
    ASSERT_TRUE(b.start(pair.nameB(), QStringLiteral("ベー")));
    ASSERT_TRUE(a.start(pair.nameA(), QStringLiteral("エー")));
    // A's announcement reaches B, whose answer fills A's list; B's list is filled by
    // A's answers to B's own start-up announcement, or by a refresh.
    ASSERT_TRUE(waitUntil([&] { return a.peerRow(pair.ipB()) >= 0; }));
    if (b.peerRow(pair.ipA()) < 0)
        b.engine().refreshPeers();
    ASSERT_TRUE(waitUntil([&] { return b.peerRow(pair.ipA()) >= 0; }));
}

} // namespace velmar::e2e
