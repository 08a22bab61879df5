#include "app/background_check.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/translations.h"
#include "components/pgp/gpg_cipher_gate.h"
#include "components/pgp/ui/key_dialogs.h"
#include "components/registry.h"
#include "history/history_recorder.h"
#include "platform/account.h"
#include "platform/choosers.h"
#include "platform/clipboard.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/printing.h"
#include "platform/single_instance.h"
#include "platform/termination_signals.h"
#include "platform/udp_endpoint.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <cstdio>
#include <vector>

namespace {

constexpr int usageError = 2;

void printError(const QString& text)
{
    std::fprintf(stderr, "velmar: %s\n", qPrintable(text));
}

void printDashHint()
{
    std::fputs("To open a file whose name starts with \"-\", put \"--\" before it.\n", stderr);
}

void setNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmar"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(velmar::VersionString));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmar.Velmar"));
}

// Where Qt looks for platform plugins: its plugin folders, QT_QPA_PLATFORM_PLUGIN_PATH
// and -platformpluginpath.
QStringList platformFolders(const QByteArrayList& toolkit)
{
    QStringList folders;
    for (const QString& path : QCoreApplication::libraryPaths())
        folders << path + QStringLiteral("/platforms");
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH"))
        folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    const qsizetype at = toolkit.lastIndexOf("-platformpluginpath");
    if (at > 0 && at + 1 < toolkit.size())
        folders << QFile::decodeName(toolkit[at + 1]);
    return folders;
}

} // namespace

int main(int argc, char** argv)
{
    using velmar::platform::SingleInstance;

    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    velmar::app::SplitArguments split = velmar::app::splitArguments(arguments);
    if (!split.error.isEmpty()) {
        printError(split.error);
        printDashHint();
        return usageError;
    }

    setNames();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Clipboard editor for Japanese text with LAN messaging."));
    // "-title" is one unknown option, not the letters t, i, t, l, e.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Files to open, each in a text window."),
                                 QStringLiteral("[--] [files...]"));
    QStringList own{QFile::decodeName(arguments.value(0))};
    for (const QByteArray& option : std::as_const(split.options))
        own << QString::fromLocal8Bit(option);
    if (!parser.parse(own)) {
        printError(parser.errorText());
        printDashHint();
        return usageError;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")) || parser.isSet(version)) {
        // Answered without a display: a core application is enough, and process()
        // prints the answer and ends the program.
        int coreArgc = 1;
        QCoreApplication core(coreArgc, argv);
        parser.process(own);
    }

    // A platform Qt cannot load would end the process with an abort.
    const QByteArray platform = velmar::app::platformOption(split.toolkit);
    if (!platform.isEmpty()) {
        const QStringList keys = velmar::app::platformPluginKeys(platformFolders(split.toolkit));
        if (!velmar::app::platformIsAvailable(QString::fromLocal8Bit(platform), keys)) {
            printError(QStringLiteral("there is no Qt platform \"%1\" (installed: %2)")
                           .arg(QString::fromLocal8Bit(platform), keys.join(QStringLiteral(", "))));
            printDashHint();
            return usageError;
        }
    }

    // Qt sees only its own options; it keeps pointers into this list for good.
    std::vector<char*> toolkitArgv;
    for (QByteArray& argument : split.toolkit)
        toolkitArgv.push_back(argument.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = int(split.toolkit.size());
    QApplication app(toolkitArgc, toolkitArgv.data());
    setNames();
    velmar::app::installQtTranslations(app, QLocale::system());

    QStringList files;
    for (const QByteArray& file : std::as_const(split.files))
        files << QFile::decodeName(file);

    // A copy already running takes the files; this one ends before it touches the
    // network.
    SingleInstance instance(SingleInstance::defaultSocketPath());
    switch (instance.start(files)) {
    case SingleInstance::Role::Secondary:
        return 0;
    case SingleInstance::Role::Failed:
        printError(instance.error());
        return 1;
    case SingleInstance::Role::Primary:
        break;
    }

    const QString settingsPath = velmar::settings::SettingsStore::defaultFilePath();
    // Without a settings file this is the first start: the user chooses a name before
    // the program announces itself to the network.
    const bool firstStart = !QFileInfo::exists(settingsPath);
    velmar::settings::SettingsStore store(settingsPath);
    velmar::components::ComponentRegistry registry =
        velmar::components::ComponentRegistry::withBuiltins();
    // PGP exists when GnuPG does; its dialogs open over the main window.
    velmar::pgp::QtKeyChooser keyChooser;
    velmar::pgp::CipherGateConfig pgpConfig;
    pgpConfig.chooser = &keyChooser;
    pgpConfig.store = &store;
    velmar::pgp::addCipherGate(registry, pgpConfig);
    // Finding GnuPG runs several of its programs: that happens beside the start-up.
    velmar::app::ThreadedAvailabilityCheck pgpCheck([] { return velmar::pgp::gnupgAvailable(); });
    velmar::platform::QtUdpEndpoint endpoint;
    velmar::platform::QtMessageBoxes boxes;
    velmar::platform::QtClipboard clipboard;
    velmar::platform::QtFileDialogs fileDialogs;
    velmar::platform::QtPrinting printing;
    velmar::platform::QtChoosers choosers;
    fileDialogs.setFolderMemory(velmar::platform::FolderMemory{
        [&store] { return store.read(velmar::settings::keys::LastFolder); },
        [&store](const QString& folder) {
            store.write(velmar::settings::keys::LastFolder, folder);
        }});
    store.setWriteFailureHandler([&boxes](const QString& file, const QString& reason) {
        boxes.show(
            QStringLiteral("エラー"),
            QStringLiteral("%1\r\n設定を保存できませんでした。\r\n（%2）").arg(file, reason));
    });

    velmar::app::Services services{
        store,     registry,   endpoint,
        boxes,     clipboard,  fileDialogs,
        printing,  files,      [](int code) { QCoreApplication::exit(code); },
        &choosers, firstStart, velmar::platform::accountName()};
    services.historyFolder = velmar::history::HistoryRecorder::defaultFolder();
    services.pgpCheck = &pgpCheck;
    velmar::app::MainWindow window(std::move(services));
    boxes.setParent(&window);
    keyChooser.setParent(&window);
    fileDialogs.setParent(&window);
    printing.setParent(&window);
    choosers.setParent(&window);
    QObject::connect(&instance, &SingleInstance::filesReceived, &window,
                     &velmar::app::MainWindow::openFilesFromSecondStart);
    // A logout or `kill` ends the program as 終了 does: peers hear the goodbye. A box
    // of the start-up runs an event loop, so a signal may arrive before exec().
    velmar::platform::TerminationSignals termination;
    QObject::connect(&termination, &velmar::platform::TerminationSignals::received, &window,
                     &velmar::app::MainWindow::fin);
    if (!window.load())
        return 1;
    if (window.hasEnded())
        return 0;
    window.start();
    return QApplication::exec();
}
