#include "app/ime_switcher.h"

#include "platform/input_method.h"

#include <QApplication>
#include <QWidget>

namespace velmar::app {

ImeSwitcher::ImeSwitcher(platform::InputMethod& inputMethod,
                         std::function<bool(const QWidget*)> isTextArea,
                         std::function<bool()> wanted)
    : m_inputMethod(inputMethod), m_isTextArea(std::move(isTextArea)), m_wanted(std::move(wanted))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &ImeSwitcher::switchNow);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusChanged(now); });
}

void ImeSwitcher::apply()
{
    focusChanged(QApplication::focusWidget());
}

void ImeSwitcher::focusChanged(QWidget* now)
{
    // Whatever was waiting is for a text area that no longer has the focus.
    m_settle.stop();
    m_target = nullptr;
    if (!now || !m_isTextArea(now) || !now->isActiveWindow())
        return;
    m_target = now;
    m_settle.start();
}

void ImeSwitcher::switchNow()
{
    // The focus may have left in the meantime without a change Qt reports (the whole
    // program lost it to another one).
    if (!m_target || m_target != QApplication::focusWidget() || !m_target->isActiveWindow())
        return;
    m_inputMethod.setOpen(m_wanted());
}

} // namespace velmar::app
