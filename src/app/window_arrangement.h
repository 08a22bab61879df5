#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace velmar::app {

// How the text windows are laid out by the window commands.
enum class Arrangement { Cascade = 0, TileHorizontal = 1, TileVertical = 2, ArrangeIcons = 3 };

// Tiling horizontally stacks full-width windows top to bottom; tiling vertically
// puts full-height windows side by side. The space is shared out to the pixel: the
// last window takes what the division leaves over.
QList<QRect> tileRects(const QRect& area, int count, Arrangement how);

// Minimised windows lined up along the bottom edge, left to right, wrapping upwards.
QList<QRect> iconRects(const QRect& area, int count, const QSize& iconSize);

} // namespace velmar::app
