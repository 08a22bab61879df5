#pragma once

#include "app/main_window.h"
#include "components/registry.h"
#include "platform/chooser_fakes.h"
#include "platform/fakes.h"
#include "platform/file_fakes.h"
#include "support/temp_settings.h"

#include <QStringList>
#include <memory>

namespace velmar::testing {

// A main window wired to fakes: no socket, no blocking box, no real clipboard.
struct MainWindowFixture {
    TempSettings settings;
    components::ComponentRegistry registry = components::ComponentRegistry::withBuiltins();
    platform::FakeUdpEndpoint endpoint;
    platform::RecordingMessageBoxes boxes;
    platform::FakeClipboard clipboard;
    platform::ScriptedFileDialogs fileDialogs;
    platform::PdfPrinting printing{settings.dir.filePath(QStringLiteral("print.pdf"))};
    platform::ScriptedChoosers choosers;
    platform::FakeTrayIcon trayIcon;
    platform::FakeInputMethod inputMethod;
    platform::FakeNotifications notifications;
    QStringList commandLine;
    bool firstStart = false;
    QString accountName;
    // The PGP availability check; null asks the registry during load().
    app::AvailabilityCheck* pgpCheck = nullptr;
    // The message history's folder; empty keeps no history.
    QString historyFolder;
    int exitCode = -1;
    // Nothing: ask the platform (offscreen reports positions).
    std::optional<bool> windowPositionsKnown;
    std::unique_ptr<app::MainWindow> window;

    settings::SettingsStore& store() { return *settings.store; }

    app::MainWindow& create()
    {
        app::Services services{store(),   registry,     endpoint,
                               boxes,     clipboard,    fileDialogs,
                               printing,  commandLine,  [this](int code) { exitCode = code; },
                               &choosers, firstStart,   accountName,
                               &trayIcon, &inputMethod, &notifications};
        services.historyFolder = historyFolder;
        services.windowPositionsKnown = windowPositionsKnown;
        services.pgpCheck = pgpCheck;
        window = std::make_unique<app::MainWindow>(std::move(services));
        return *window;
    }

    // Load and the first activation, as the program starts.
    app::MainWindow& start()
    {
        create();
        if (window->load())
            window->start();
        return *window;
    }

    // True when the command field (the fifth) of `data` has the mode `command`; the
    // option bits above the low byte are ignored.
    static bool hasCommand(const QByteArray& data, const QByteArray& command)
    {
        return (data.split(':').value(4).toUInt() & 0xFF) == command.toUInt();
    }
    // Datagrams sent whose command mode equals `command`.
    int sentWithCommand(const QByteArray& command) const
    {
        int count = 0;
        for (const auto& sent : endpoint.sent) {
            if (hasCommand(sent.data, command))
                ++count;
        }
        return count;
    }
};

} // namespace velmar::testing
