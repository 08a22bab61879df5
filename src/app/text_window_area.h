#pragma once

#include "app/window_arrangement.h"
#include "text/host.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>

class QMdiArea;
class QMenu;
class QMdiSubWindow;

namespace velmar::text {
class TextWindow;
}

namespace velmar::app {

// The text windows inside the main window's document area: opening them in the
// foreground or background, the activation marks, activation and arrangement.
class TextWindowArea final : public QObject {
    Q_OBJECT
public:
    TextWindowArea(QMdiArea& area, text::Host& host);
    ~TextWindowArea() override;

    text::TextWindow* activeWindow() const;
    // Every text window in creation order.
    QList<text::TextWindow*> windows() const;

    // A new window captioned `caption`. In the foreground it becomes the active
    // window; in the background the active window stays active. Either way exactly
    // one window ends up marked active.
    text::TextWindow* open(text::WindowPlacement placement, const QString& caption,
                           const QIcon& icon);
    // Brings `window` to the front and activates it (restoring it when minimised).
    void activate(text::TextWindow& window);
    void arrange(Arrangement how);
    // Closes the active window, or every window, each as its close box would (a
    // sealed message sends its discard notice).
    void closeActive();
    void closeAll();
    // Puts the open windows at the end of `menu`, in creation order, numbered and
    // captioned, the active one marked; choosing one activates it. The entries of an
    // earlier call are replaced.
    void listWindows(QMenu& menu);

private:
    void subWindowActivated(QMdiSubWindow* subWindow);

    QMdiArea& m_area;
    text::Host& m_host;
    QPointer<QMdiSubWindow> m_lastActivated;
};

} // namespace velmar::app
