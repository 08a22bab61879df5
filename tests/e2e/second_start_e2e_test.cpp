// The real program started a second time inside the namespace of a running one: it
// hands its file over through the local socket and ends, and never shows up on the
// network. Also the command-line answers that end the program before it starts.

#include "app/main_window.h"
#include "components/registry.h"
#include "e2e/netns.h"
#include "platform/fakes.h"
#include "platform/file_fakes.h"
#include "platform/single_instance.h"
#include "platform/udp_endpoint.h"
#include "support/temp_settings.h"
#include "text/text_window.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::processEventsFor;
using velmar::e2e::ScopedNetns;
using velmar::e2e::waitUntil;

namespace {

// The program's private folders: home, settings and the runtime folder with the
// single-instance socket.
struct Folders {
    QTemporaryDir root;
    QString home = root.filePath(QStringLiteral("home"));
    QString config = root.filePath(QStringLiteral("config"));
    QString runtime = root.filePath(QStringLiteral("runtime"));

    Folders()
    {
        for (const QString& folder : {home, config, runtime})
            QDir().mkpath(folder);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

// The program binary run inside `netns` with a clean environment, as a user's shell
// would start it, from `workingFolder`.
struct ProgramRun {
    QProcess process;

    void start(const QString& netns, const Folders& folders, const QStringList& arguments,
               const QString& workingFolder, bool withDisplay)
    {
        QStringList command{QStringLiteral("netns"),
                            QStringLiteral("exec"),
                            netns,
                            QStringLiteral("env"),
                            QStringLiteral("-i"),
                            QStringLiteral("PATH=/usr/bin:/bin"),
                            QStringLiteral("HOME=") + folders.home,
                            QStringLiteral("XDG_CONFIG_HOME=") + folders.config,
                            QStringLiteral("XDG_RUNTIME_DIR=") + folders.runtime,
                            QStringLiteral("LANG=C.UTF-8")};
        if (withDisplay)
            command << QStringLiteral("QT_QPA_PLATFORM=offscreen");
        command << QStringLiteral(VELMAR_BINARY) << arguments;
        process.setWorkingDirectory(workingFolder);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral("ip"), command);
    }

    // Waits with the event loop running, so an in-process program can answer.
    bool finish(std::chrono::milliseconds timeout = 15s)
    {
        const bool done =
            waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeout);
        if (!done) {
            process.kill();
            process.waitForFinished(2000);
        }
        return done && process.exitStatus() == QProcess::NormalExit;
    }

    QString out() { return QString::fromUtf8(process.readAllStandardOutput()); }
    QString err() { return QString::fromUtf8(process.readAllStandardError()); }
};

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
    velmar::platform::QtUdpEndpoint peer;
    QList<velmar::platform::Datagram> heard;
    {
        ScopedNetns in(pair().nameB());
        ASSERT_TRUE(in.entered()) << in.error().toStdString();
        ASSERT_TRUE(peer.bind(2425));
    }
    QObject::connect(&peer, &velmar::platform::UdpEndpoint::datagramArrived,
                     [&](const velmar::platform::Datagram& d) { heard.append(d); });

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
    ASSERT_TRUE(waitUntil([&] { return !heard.isEmpty(); })) << "no entry broadcast";
    processEventsFor(500ms);
    heard.clear();
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
    EXPECT_TRUE(heard.isEmpty()) << heard.front().data.toStdString();
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

} // namespace
