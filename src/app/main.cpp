#include "app/main_window.h"
#include "components/pgp/gpg_cipher_gate.h"
#include "components/pgp/ui/key_dialogs.h"
#include "components/registry.h"
#include "platform/account.h"
#include "platform/choosers.h"
#include "platform/clipboard.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/printing.h"
#include "platform/udp_endpoint.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmar"));
    QApplication::setDesktopFileName(QStringLiteral("velmar"));

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
    velmar::platform::QtUdpEndpoint endpoint;
    velmar::platform::QtMessageBoxes boxes;
    velmar::platform::QtClipboard clipboard;
    velmar::platform::QtFileDialogs fileDialogs;
    velmar::platform::QtPrinting printing;
    velmar::platform::QtChoosers choosers;

    // Each argument is one file name: the shell has split the command line already,
    // so a path with blanks arrives whole.
    QStringList files = QApplication::arguments();
    files.removeFirst();

    velmar::app::MainWindow window(
        velmar::app::Services{store, registry, endpoint, boxes, clipboard, fileDialogs, printing,
                              files, [](int code) { QCoreApplication::exit(code); }, &choosers,
                              firstStart, velmar::platform::accountName()});
    boxes.setParent(&window);
    keyChooser.setParent(&window);
    fileDialogs.setParent(&window);
    printing.setParent(&window);
    choosers.setParent(&window);
    if (!window.load())
        return 1;
    window.start();
    return QApplication::exec();
}
