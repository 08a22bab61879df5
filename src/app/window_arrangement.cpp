#include "app/window_arrangement.h"

#include <algorithm>

namespace velmar::app {

namespace {

// `count` slices of `area`, stacked top to bottom or side by side.
QList<QRect> slices(const QRect& area, int count, bool stacked)
{
    QList<QRect> rects;
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

// How many cascade steps fit while a window keeps `minimum` inside `area`.
int stepsThatFit(const QRect& area, const QSize& minimum)
{
    const int room = std::min(area.width() - minimum.width(), area.height() - minimum.height());
    return std::max(0, room / CascadeStep);
}

} // namespace

QList<QRect> tileRects(const QRect& area, int count, Arrangement how, const QSize& minimum)
{
    if (count <= 0 || area.isEmpty())
        return {};
    const bool stacked = how == Arrangement::TileHorizontal;
    const int least = std::max(1, stacked ? minimum.height() : minimum.width());
    const auto perGroupIn = [&](const QRect& space) {
        return std::max(1, (stacked ? space.height() : space.width()) / least);
    };
    if (count <= perGroupIn(area))
        return slices(area, count, stacked);

    // Each group is tiled in the area less the cascade offsets of the groups.
    const int groupsWanted = (count + perGroupIn(area) - 1) / perGroupIn(area);
    // The offsets take at most a quarter of the area, so the groups keep their tiles.
    const int quarter = std::min(area.width(), area.height()) / 4 / CascadeStep;
    const int steps = std::min({groupsWanted - 1, stepsThatFit(area, minimum), quarter});
    const int shift = steps * CascadeStep;
    const QRect groupArea(area.topLeft(), area.size() - QSize(shift, shift));
    const int perGroup = perGroupIn(groupArea);
    QList<QRect> rects;
    for (int first = 0, group = 0; first < count; first += perGroup, ++group) {
        const int offset = (group % (steps + 1)) * CascadeStep;
        rects.append(slices(groupArea.translated(offset, offset), std::min(perGroup, count - first),
                            stacked));
    }
    return rects;
}

QList<QRect> cascadeRects(const QRect& area, int count, const QSize& minimum)
{
    if (count <= 0 || area.isEmpty())
        return {};
    const int run = std::min(count - 1, stepsThatFit(area, minimum)) + 1;
    const int shrink = (run - 1) * CascadeStep;
    const QSize size = (area.size() - QSize(shrink, shrink)).expandedTo(QSize(1, 1));
    QList<QRect> rects;
    for (int i = 0; i < count; ++i) {
        const int offset = (i % run) * CascadeStep;
        rects.append(QRect(area.topLeft() + QPoint(offset, offset), size));
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
