#include "app/new_window_placement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace velmar::app {

QRect newWindowGeometry(const QRect& visible, const QSize& preferred,
                        const std::optional<QRect>& anchor)
{
    const QSize size = preferred.boundedTo(visible.size()).expandedTo(QSize(1, 1));
    QPoint topLeft =
        anchor ? anchor->topLeft() + QPoint(CascadeStep, CascadeStep) : visible.topLeft();
    if (topLeft.x() < visible.left() ||
        topLeft.x() + size.width() > visible.left() + visible.width())
        topLeft.setX(visible.left());
    if (topLeft.y() < visible.top() ||
        topLeft.y() + size.height() > visible.top() + visible.height())
        topLeft.setY(visible.top());
    return QRect(topLeft, size);
}

QRect newSubWindowGeometry(const QMdiArea& area, const QMdiSubWindow& added, const QSize& preferred,
                           bool background)
{
    const QMdiSubWindow* anchor = nullptr;
    if (background) {
        const QList<QMdiSubWindow*> subs = area.subWindowList(QMdiArea::CreationOrder);
        for (auto it = subs.crbegin(); it != subs.crend(); ++it) {
            if (*it != &added && !(*it)->isMinimized()) {
                anchor = *it;
                break;
            }
        }
    } else {
        anchor = area.currentSubWindow();
        if (anchor == &added || (anchor != nullptr && anchor->isMinimized()))
            anchor = nullptr;
    }
    std::optional<QRect> anchorRect;
    if (anchor != nullptr && !anchor->isMaximized())
        anchorRect = anchor->geometry();
    return newWindowGeometry(area.viewport()->rect(), preferred, anchorRect);
}

} // namespace velmar::app
