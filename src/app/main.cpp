#include "app/main_window.h"
#include "components/registry.h"
#include "platform/clipboard.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/printing.h"
#include "platform/udp_endpoint.h"
#include "settings/settings_store.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmar"));
    QApplication::setDesktopFileName(QStringLiteral("velmar"));

    velmar::settings::SettingsStore store(velmar::settings::SettingsStore::defaultFilePath());
    const velmar::components::ComponentRegistry registry =
        velmar::components::ComponentRegistry::withBuiltins();
    velmar::platform::QtUdpEndpoint endpoint;
    velmar::platform::QtMessageBoxes boxes;
    velmar::platform::QtClipboard clipboard;
    velmar::platform::QtFileDialogs fileDialogs;
    velmar::platform::QtPrinting printing;
    store.setWriteFailureHandler([&boxes](const QString& file, const QString& reason) {
        boxes.show(
            QStringLiteral("エラー"),
            QStringLiteral("%1\r\n設定を保存できませんでした。\r\n（%2）").arg(file, reason));
    });

    // Each argument is one file name: the shell has split the command line already,
    // so a path with blanks arrives whole.
    QStringList files = QApplication::arguments();
    files.removeFirst();

    velmar::app::MainWindow window(
        velmar::app::Services{store, registry, endpoint, boxes, clipboard, fileDialogs, printing,
                              files, [](int code) { QCoreApplication::exit(code); }});
    boxes.setParent(&window);
    fileDialogs.setParent(&window);
    printing.setParent(&window);
    if (!window.load())
        return 1;
    window.start();
    return QApplication::exec();
}
