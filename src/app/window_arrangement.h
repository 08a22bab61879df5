#pragma once

#include "app/new_window_placement.h"

#include <QList>
#include <QRect>
#include <QSize>

namespace velmar::app {

// How the text windows are laid out by the window commands.
enum class Arrangement { Cascade = 0, TileHorizontal = 1, TileVertical = 2, ArrangeIcons = 3 };

// The smallest size the arrangements give a text window: caption, a few lines of text
// and the status bar stay readable.
inline constexpr QSize MinimumArrangedSize(200, 120);

// Tiling horizontally stacks full-width windows top to bottom; tiling vertically
// puts full-height windows side by side. The space is shared out to the pixel: the
// last window takes what the division leaves over. No tile is smaller than `minimum`:
// past what fits, the windows form groups of tiles, each group a cascade step from
// the one before.
QList<QRect> tileRects(const QRect& area, int count, Arrangement how,
                       const QSize& minimum = MinimumArrangedSize);

// Windows cascaded from the top-left corner, each a CascadeStep further, all of one size.
// No window is smaller than `minimum`: past what fits, the cascade starts again at
// the corner.
QList<QRect> cascadeRects(const QRect& area, int count, const QSize& minimum = MinimumArrangedSize);

// Minimised windows lined up along the bottom edge, left to right, wrapping upwards.
QList<QRect> iconRects(const QRect& area, int count, const QSize& iconSize);

} // namespace velmar::app
