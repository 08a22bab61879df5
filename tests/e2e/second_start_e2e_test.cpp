// The real program started a second time inside the namespace of a running one: it
// hands its file over through the local socket and ends, and never shows up on the
// network. Also the command-line answers that end the program before it starts, and
// a termination signal while the start-up still shows a box.

#include "app/main_window.h"
#include "components/registry.h"
#include "e2e/netns.h"
#include "e2e/real_program.h"
#include "platform/fakes.h"
#include "platform/file_fakes.h"
#include "platform/single_instance.h"
#include "platform/udp_endpoint.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "support/temp_settings.h"
#include "text/text_window.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;
using velmar::e2e::Folders;
using velmar::e2e::Listener;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::processEventsFor;
using velmar::e2e::ProgramRun;
using velmar::e2e::ScopedNetns;
using velmar::e2e::waitUntil;

namespace {

QStringList pidsIn(const QString& netns)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("pids"), netns});
    ip.waitForFinished(5000);
    return QString::fromLatin1(ip.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

using SecondStart = NetnsPairTest;

TEST_F(SecondStart, HandsItsFileToTheRunningProgramAndLeavesOneProcess)
{
    // A peer on side B hears every broadcast of side A.
    Listener peer;
    ASSERT_TRUE(peer.bind(pair().nameB(), 2425));

    // The running program on side A, listening for later starts as main() does.
    Folders folders;
    velmar::testing::TempSettings settings;
    const auto registry = velmar::components::ComponentRegistry::withBuiltins();
    velmar::platform::QtUdpEndpoint endpoint;
    velmar::platform::RecordingMessageBoxes boxes;
    velmar::platform::FakeClipboard clipboard;
    velmar::platform::ScriptedFileDialogs fileDialogs;
    velmar::platform::PdfPrinting printing{settings.dir.filePath(QStringLiteral("p.pdf"))};
    velmar::platform::SingleInstance instance(folders.runtime + QStringLiteral("/velmar/instance"));
    ASSERT_EQ(instance.start({}), velmar::platform::SingleInstance::Role::Primary)
        << instance.error().toStdString();
    std::unique_ptr<velmar::app::MainWindow> window;
    {
        ScopedNetns in(pair().nameA());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        window = std::make_unique<velmar::app::MainWindow>(velmar::app::Services{*settings.store,
                                                                                 registry,
                                                                                 endpoint,
                                                                                 boxes,
                                                                                 clipboard,
                                                                                 fileDialogs,
                                                                                 printing,
                                                                                 {},
                                                                                 [](int) {}});
        ASSERT_TRUE(window->load());
        window->start();
    }
    QObject::connect(&instance, &velmar::platform::SingleInstance::filesReceived, window.get(),
                     &velmar::app::MainWindow::openFilesFromSecondStart);
    ASSERT_TRUE(waitUntil([&] { return !peer.received.isEmpty(); })) << "no entry broadcast";
    processEventsFor(500ms);
    peer.received.clear();
    const qsizetype windowsBefore = window->windows().size();

    // A file whose name looks like an option, given relative to the second start's
    // own working folder.
    QTemporaryDir work;
    QFile file(work.filePath(QStringLiteral("-platform")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("二度目の起動\n").toUtf8());
    file.close();

    ProgramRun second;
    second.start(pair().nameA(), folders, {QStringLiteral("--"), QStringLiteral("-platform")},
                 work.path(), true);
    ASSERT_TRUE(second.finish()) << second.err().toStdString();
    EXPECT_EQ(second.process.exitCode(), 0) << second.err().toStdString();

    ASSERT_TRUE(waitUntil([&] { return window->windows().size() == windowsBefore + 1; }));
    EXPECT_EQ(window->windows().back()->text(), QStringLiteral("二度目の起動\r\n"));
    EXPECT_TRUE(pidsIn(pair().nameA()).isEmpty())
        << pidsIn(pair().nameA()).join(u' ').toStdString();

    // A second copy that had started would have announced itself.
    processEventsFor(1500ms);
    EXPECT_TRUE(peer.received.isEmpty()) << peer.received.front().data.toStdString();
}

using CommandLine = NetnsPairTest;

TEST_F(CommandLine, AnswersAndRefusalsEndTheProgramBeforeItStarts)
{
    Folders folders;
    const struct {
        QStringList arguments;
        int exitCode;
        const char* stdoutHas;
        const char* stderrHas;
    } cases[] = {
        {{QStringLiteral("--help")}, 0, "--version", ""},
        {{QStringLiteral("--version")}, 0, "Velmar " VELMAR_VERSION, ""},
        {{QStringLiteral("-platform"), QStringLiteral("x.txt")}, 2, "", "\"x.txt\""},
        {{QStringLiteral("-title"), QStringLiteral("a.txt")}, 2, "", "title"},
        {{QStringLiteral("a.txt"), QStringLiteral("-style")}, 2, "", "-style needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        ProgramRun run; // no display: none of these may need one
        run.start(pair().nameA(), folders, c.arguments, folders.home, false);
        ASSERT_TRUE(run.finish());
        EXPECT_EQ(run.process.exitCode(), c.exitCode);
        const QString out = run.out();
        const QString err = run.err();
        EXPECT_TRUE(out.contains(QString::fromUtf8(c.stdoutHas))) << out.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.stderrHas))) << err.toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(err.contains(u"--")) << "no hint about \"--\": " << err.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(folders.runtime + QStringLiteral("/velmar/instance")));
}

using Termination = NetnsPairTest;

TEST_F(Termination, DuringTheStartUpBoxEndsTheProgramWithoutAnnouncingIt)
{
    Listener peer;
    ASSERT_TRUE(peer.bind(pair().nameB(), 2425));
    // Port 2425 of side A is taken, so the start-up stops at the box that says so.
    QUdpSocket taken;
    {
        ScopedNetns in(pair().nameA());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        ASSERT_TRUE(taken.bind(QHostAddress::AnyIPv4, 2425, QUdpSocket::DontShareAddress));
    }
    Folders folders;
    {
        velmar::settings::SettingsStore store(folders.settingsFile());
        store.write(velmar::settings::keys::UserName, QStringLiteral("taro"));
        store.write(velmar::settings::keys::Retry, QStringLiteral("2"));
    }

    ProgramRun run;
    run.start(pair().nameA(), folders, {}, folders.home, true);
    processEventsFor(3s); // up to the box; the signal must not come before main() runs
    ASSERT_EQ(run.process.state(), QProcess::Running) << run.err().toStdString();
    run.process.terminate();
    ASSERT_TRUE(run.finish(3s)) << "not ended in order: " << run.err().toStdString();
    EXPECT_EQ(run.process.exitCode(), 0);
    // Without a port nothing goes out, not even from a socket bound on the fly.
    processEventsFor(300ms);
    EXPECT_TRUE(peer.received.isEmpty()) << peer.received.size() << " datagrams heard";
}

} // namespace
