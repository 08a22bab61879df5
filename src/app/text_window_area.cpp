#include "app/text_window_area.h"

#include "app/new_window_placement.h"
#include "text/text_window.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

namespace velmar::app {

using text::TextWindow;
using text::WindowPlacement;
using Mark = TextWindow::ActivationMark;

namespace {

// New text windows take most of the free space, like a document window should, but
// leave room to see that there are others behind them.
// Marks the window-list entries of the window menu, so that the next listing finds them.
constexpr char WindowEntry[] = "velmarWindowEntry";

QSize defaultTextWindowSize(const QSize& area)
{
    const QSize preferred(area.width() * 2 / 3, area.height() * 2 / 3);
    return preferred.expandedTo(QSize(360, 240)).boundedTo(area.expandedTo(QSize(128, 95)));
}

} // namespace

TextWindowArea::TextWindowArea(QMdiArea& area, text::Host& host) : m_area(area), m_host(host)
{
    m_area.setActivationOrder(QMdiArea::ActivationHistoryOrder);
    connect(&m_area, &QMdiArea::subWindowActivated, this, &TextWindowArea::subWindowActivated);
}

TextWindowArea::~TextWindowArea() = default;

TextWindow* TextWindowArea::activeWindow() const
{
    const QMdiSubWindow* sub = m_area.currentSubWindow();
    return sub ? qobject_cast<TextWindow*>(sub->widget()) : nullptr;
}

QList<TextWindow*> TextWindowArea::windows() const
{
    QList<TextWindow*> result;
    const auto subs = m_area.subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* sub : subs) {
        if (auto* window = qobject_cast<TextWindow*>(sub->widget()))
            result.append(window);
    }
    return result;
}

TextWindow* TextWindowArea::open(WindowPlacement placement, const QString& caption,
                                 const QIcon& icon)
{
    const bool background = placement == WindowPlacement::Background;
    auto* window = new TextWindow(m_host);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setCaption(caption);
    window->setStatusText(caption);

    QMdiSubWindow* previous = m_area.currentSubWindow();
    for (TextWindow* other : windows()) {
        if (other->activationMark == Mark::Active) {
            other->activationMark = background ? Mark::ActiveBeforeBackgroundOpen : Mark::Inactive;
            break;
        }
    }

    QMdiSubWindow* sub = m_area.addSubWindow(window);
    sub->setWindowIcon(icon);
    sub->setGeometry(newSubWindowGeometry(
        m_area, *sub, defaultTextWindowSize(m_area.viewport()->size()), background));
    sub->show();
    window->activationMark = Mark::Inactive;
    if (background) {
        if (previous)
            m_area.setActiveSubWindow(previous);
    } else {
        m_area.setActiveSubWindow(sub);
        subWindowActivated(sub);
    }
    // Whatever order the activations arrived in, the end state is one active window
    // marked active and every other window marked inactive.
    const TextWindow* active = activeWindow();
    for (TextWindow* other : windows())
        other->activationMark = other == active ? Mark::Active : Mark::Inactive;
    return window;
}

void TextWindowArea::activate(TextWindow& window)
{
    for (QMdiSubWindow* sub : m_area.subWindowList()) {
        if (sub->widget() != &window)
            continue;
        if (sub->isMinimized())
            sub->showNormal();
        m_area.setActiveSubWindow(sub);
        subWindowActivated(sub);
        return;
    }
}

void TextWindowArea::subWindowActivated(QMdiSubWindow* subWindow)
{
    if (!subWindow || subWindow == m_lastActivated)
        return;
    auto* window = qobject_cast<TextWindow*>(subWindow->widget());
    if (!window)
        return;
    m_lastActivated = subWindow;
    window->activate();
    for (TextWindow* other : windows()) {
        if (other->activationMark != Mark::ActiveBeforeBackgroundOpen)
            other->activationMark = Mark::Inactive;
    }
    window->activationMark = Mark::Active;
}

void TextWindowArea::arrange(Arrangement how)
{
    const QRect area = m_area.viewport()->rect();
    QList<QMdiSubWindow*> normal;
    QList<QMdiSubWindow*> minimised;
    for (QMdiSubWindow* sub : m_area.subWindowList(QMdiArea::StackingOrder)) {
        if (sub->isMinimized())
            minimised.append(sub);
        else if (sub->isVisible())
            normal.append(sub);
    }
    if (how == Arrangement::ArrangeIcons) {
        const QSize iconSize = minimised.isEmpty() ? QSize() : minimised.front()->size();
        const QList<QRect> rects = iconRects(area, static_cast<int>(minimised.size()), iconSize);
        for (qsizetype i = 0; i < minimised.size(); ++i)
            minimised[i]->move(rects[i].topLeft());
        return;
    }
    const int count = static_cast<int>(normal.size());
    const QList<QRect> rects =
        how == Arrangement::Cascade ? cascadeRects(area, count) : tileRects(area, count, how);
    for (qsizetype i = 0; i < normal.size(); ++i) {
        if (normal[i]->isMaximized())
            normal[i]->showNormal();
        normal[i]->setGeometry(rects[i]);
    }
}

void TextWindowArea::closeActive()
{
    if (QMdiSubWindow* sub = m_area.currentSubWindow())
        sub->close();
}

void TextWindowArea::closeAll()
{
    m_area.closeAllSubWindows();
}

void TextWindowArea::listWindows(QMenu& menu)
{
    const auto actions = menu.actions();
    for (QAction* action : actions) {
        if (action->property(WindowEntry).toBool()) {
            menu.removeAction(action);
            action->deleteLater();
        }
    }
    const QList<TextWindow*> open = windows();
    if (open.isEmpty())
        return;
    menu.addSeparator()->setProperty(WindowEntry, true);
    const TextWindow* active = activeWindow();
    int number = 0;
    for (TextWindow* window : open) {
        ++number;
        // The first nine get their digit as access key.
        QString caption = window->windowTitle();
        caption.replace(u'&', QStringLiteral("&&"));
        const QString label = number <= 9 ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                                          : QStringLiteral("%1 %2").arg(number).arg(caption);
        QAction* entry = menu.addAction(label);
        entry->setProperty(WindowEntry, true);
        entry->setObjectName(QStringLiteral("windowEntry%1").arg(number));
        entry->setCheckable(true);
        entry->setChecked(window == active);
        QPointer<TextWindow> target(window);
        connect(entry, &QAction::triggered, this, [this, target] {
            if (target)
                activate(*target);
        });
    }
}

} // namespace velmar::app
