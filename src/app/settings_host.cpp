#include "app/settings_host.h"

#include "app/main_window.h"
#include "components/components.h"
#include "ipmsg/messenger.h"
#include "platform/udp_endpoint.h"
#include "text/text_window.h"

namespace velmar::app {

quint16 SettingsHost::localPort() const
{
    return m_window.messenger().endpoint().localPort();
}

bool SettingsHost::movePort(quint16 port)
{
    ipmsg::Messenger& engine = m_window.messenger();
    const quint16 old = engine.endpoint().localPort();
    // Goodbye from the old port under its own name, or peers keep listing us there
    // beside the entry from the new one. Binding flushes what waits to be sent first.
    const bool saidGoodbye = m_window.sayGoodbye();
    if (engine.rebind(port))
        return true;
    // Back to where we were, so the program keeps listening, and still there for peers.
    engine.rebind(old);
    if (saidGoodbye)
        engine.entryBroadcast(true);
    return false;
}

QString SettingsHost::absenceTitle() const
{
    return m_window.messenger().packets().absenceTitle();
}

QString SettingsHost::absenceText() const
{
    return m_window.messenger().packets().absenceText();
}

void SettingsHost::setAbsence(const QString& title, const QString& text)
{
    m_window.messenger().setAbsence(title, text);
}

void SettingsHost::announce()
{
    // On a first start the engine has not announced anyone yet: loading it announces
    // the name just stored; an absence title needs the second announcement.
    if (m_window.finishFirstStart() && absenceTitle().isEmpty())
        return;
    m_window.messenger().entryBroadcast(true);
}

void SettingsHost::applyStoredSettings()
{
    m_window.applyStoredSettings();
}

void SettingsHost::reapplyTextWindows()
{
    for (text::TextWindow* window : m_window.windows()) {
        window->applyFont();
        window->applyReplyColours();
    }
}

void SettingsHost::settingsActivated()
{
    m_window.skipNextActivation();
    m_window.messenger().packets().setSendErrorShown(false);
}

bool SettingsHost::hasSoundComponent() const
{
    return m_window.chimer() != nullptr;
}

} // namespace velmar::app
