#pragma once

// The program binary started as a user's shell would start it, inside one side of a
// namespace pair, with private home, settings and runtime folders; and a socket that
// hears what it sends.

#include "e2e/netns.h"
#include "platform/udp_endpoint.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

namespace velmar::e2e {

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

    QString settingsFile() const { return config + QStringLiteral("/Velmar/Velmar5.ini"); }
};

// The program binary run inside `netns` with a clean environment, from
// `workingFolder`; `withDisplay` gives it the offscreen platform.
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

    // Waits with the event loop running, so an in-process program can answer. True
    // when the program ended by itself (not by a signal's default action).
    bool finish(std::chrono::milliseconds timeout = std::chrono::seconds(15))
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

// The command number of a packet without its option bits.
inline quint32 commandOf(const QByteArray& packet)
{
    return packet.split(':').value(4).toUInt() & 0xFF;
}

// A UDP socket in one side of the pair that keeps what arrives, with the time it
// arrived.
struct Listener {
    platform::QtUdpEndpoint endpoint;
    QList<platform::Datagram> received;
    QList<qint64> arrivedAt;
    QElapsedTimer clock;

    bool bind(const QString& netns, quint16 port)
    {
        clock.start();
        ScopedNetns in(netns);
        if (!in.entered() || !endpoint.bind(port))
            return false;
        QObject::connect(&endpoint, &platform::UdpEndpoint::datagramArrived,
                         [this](const platform::Datagram& d) {
                             received.append(d);
                             arrivedAt.append(clock.elapsed());
                         });
        return true;
    }

    qsizetype count(quint32 command) const
    {
        return std::count_if(
            received.begin(), received.end(),
            [command](const platform::Datagram& d) { return commandOf(d.data) == command; });
    }
};

} // namespace velmar::e2e
