#include "app/window_arrangement.h"

#include <algorithm>

namespace velmar::app {

QList<QRect> tileRects(const QRect& area, int count, Arrangement how)
{
    QList<QRect> rects;
    if (count <= 0 || area.isEmpty())
        return rects;
    const bool stacked = how == Arrangement::TileHorizontal;
    const int total = stacked ? area.height() : area.width();
    const int step = std::max(1, total / count);
    for (int i = 0; i < count; ++i) {
        const int start = i * step;
        const int length = i == count - 1 ? std::max(1, total - start) : step;
        if (stacked)
            rects.append(QRect(area.left(), area.top() + start, area.width(), length));
        else
            rects.append(QRect(area.left() + start, area.top(), length, area.height()));
    }
    return rects;
}

QList<QRect> iconRects(const QRect& area, int count, const QSize& iconSize)
{
    QList<QRect> rects;
    if (count <= 0 || iconSize.isEmpty())
        return rects;
    const int perRow = std::max(1, area.width() / iconSize.width());
    for (int i = 0; i < count; ++i) {
        const int row = i / perRow;
        const int column = i % perRow;
        rects.append(QRect(QPoint(area.left() + column * iconSize.width(),
                                  area.bottom() + 1 - (row + 1) * iconSize.height()),
                           iconSize));
    }
    return rects;
}

} // namespace velmar::app
