// Shows the settings dialog over the settings file of the current user, for looking at
// its layout and for the screenshots in docs/ (run it through scripts/sandbox.sh with
// --binary). No endpoint, no network: the dialog talks to a host that only records.
//
//   velmar_settings_preview [TAB [ABSENCE-TITLE]]

#include "components/textgauge.h"
#include "platform/choosers.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "settings/dialog_host.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"

#include <QApplication>

namespace {

class PreviewHost final : public velmar::settings::SettingsDialogHost {
public:
    quint16 localPort() const override { return m_port; }
    bool movePort(quint16 port) override
    {
        m_port = port;
        return true;
    }
    QString absenceTitle() const override { return m_title; }
    QString absenceText() const override { return m_text; }
    void setAbsence(const QString& title, const QString& text) override
    {
        m_title = title;
        m_text = text;
    }
    void announce() override {}
    void applyStoredSettings() override {}
    void reapplyTextWindows() override {}
    void settingsActivated() override {}
    bool hasSoundComponent() const override { return true; }

    quint16 m_port = 2425;
    QString m_title;
    QString m_text;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    velmar::settings::SettingsStore store(velmar::settings::SettingsStore::defaultFilePath());
    velmar::components::TextgaugeImpl textgauge;
    PreviewHost host;
    if (args.size() > 2)
        host.m_title = args[2];
    velmar::platform::QtMessageBoxes boxes;
    velmar::platform::QtFileDialogs files;
    velmar::platform::QtChoosers choosers;

    auto* dialog =
        new velmar::settings::SettingsDialog({store, textgauge, host, boxes, files, choosers});
    boxes.setParent(dialog);
    files.setParent(dialog);
    choosers.setParent(dialog);
    dialog->showTab(args.size() > 1 ? args[1].toInt() : 0);
    dialog->move(40, 40);
    dialog->show();
    return QApplication::exec();
}
