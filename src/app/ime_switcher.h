#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QWidget;

namespace velmar::platform {
class InputMethod;
}

namespace velmar::app {

// Applies the automatic IME setting to the program's own text areas, and only to
// them. Input-method frameworks switch the input context that last had the focus, so
// the switch is asked for when one of our text areas gets the keyboard focus, not
// when a window is merely activated: before the focus arrives another program (the
// terminal the program was started from) would get the change.
class ImeSwitcher final : public QObject {
    Q_OBJECT
public:
    // The framework hears of a focus change over its own connection; the switch waits
    // this long after it, so that it reaches the framework after the focus did.
    static constexpr int SettleMs = 150;

    // `isTextArea` tells whether a widget is one of the program's text areas;
    // `wanted` reads the setting (true: open).
    ImeSwitcher(platform::InputMethod& inputMethod, std::function<bool(const QWidget*)> isTextArea,
                std::function<bool()> wanted);

    // The setting or the active window changed: applies it when one of our text areas
    // holds the focus now; otherwise the next focus-in does.
    void apply();

private:
    void focusChanged(QWidget* now);
    void switchNow();

    platform::InputMethod& m_inputMethod;
    std::function<bool(const QWidget*)> m_isTextArea;
    std::function<bool()> m_wanted;
    QTimer m_settle;
    QPointer<QWidget> m_target;
};

} // namespace velmar::app
