// The main window's part in the settings dialog, the first start and a second start
// of the program.

#include "app/main_window.h"
#include "app/settings_host.h"
#include "history/history_recorder.h"
#include "ipmsg/messenger.h"
#include "platform/choosers.h"
#include "settings/history_settings_box.h"
#include "settings/keys.h"
#include "settings/settings_dialog.h"

namespace velmar::app {

namespace keys = settings::keys;

settings::SettingsDialog& MainWindow::showSettings()
{
    if (!m_settingsDialog) {
        m_settingsDialog =
            new settings::SettingsDialog({m_services.store, *m_textgauge, *m_settingsHost,
                                          m_services.boxes, m_services.fileDialogs, choosers()},
                                         this);
        // However a first start's dialog closes, the program then goes online.
        connect(m_settingsDialog, &QObject::destroyed, this, [this] {
            finishFirstStart();
            if (m_history)
                m_history->settingsChanged();
        });
        connect(m_settingsDialog->historyBox(), &settings::HistorySettingsBox::clearRequested, this,
                &MainWindow::clearHistory);
    }
    m_settingsDialog->show();
    m_settingsDialog->raise();
    m_settingsDialog->activateWindow();
    return *m_settingsDialog;
}

settings::SettingsDialog* MainWindow::settingsDialog() const
{
    return m_settingsDialog;
}

bool MainWindow::finishFirstStart()
{
    if (!m_firstStartPending)
        return false;
    m_firstStartPending = false;
    userListDialog();
    m_messenger->holdArrivals(false);
    return true;
}

void MainWindow::applyStoredSettings()
{
    m_replyMark = m_services.store.read(keys::ReplyMark);
    m_messenger->state().applyStoredSort();
}

bool MainWindow::sayGoodbye()
{
    // Not yet made when the start-up fails early; and a first start that ends in its
    // dialog has said nothing, so there is nothing to take back.
    if (!m_messenger || m_firstStartPending)
        return false;
    m_messenger->exitBroadcast();
    return true;
}

void MainWindow::showAbsence(const QString& title)
{
    QString caption = m_applicationName + QStringLiteral(" MainWindow");
    if (!title.isEmpty())
        caption += QStringLiteral(" - 不在 [%1]").arg(title);
    setWindowTitle(caption);
}

platform::Choosers& MainWindow::choosers()
{
    if (m_services.choosers)
        return *m_services.choosers;
    if (!m_ownChoosers)
        m_ownChoosers = std::make_unique<platform::QtChoosers>(this);
    return *m_ownChoosers;
}

void MainWindow::openFilesFromSecondStart(const QStringList& files)
{
    comeToFront();
    for (const QString& path : files)
        openFile(path);
}

} // namespace velmar::app
