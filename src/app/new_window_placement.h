#pragma once

#include <QRect>
#include <QSize>
#include <optional>

class QMdiArea;
class QMdiSubWindow;

namespace velmar::app {

// How far each new window sits below and to the right of the one it follows.
inline constexpr int CascadeStep = 24;

// Where a new text window goes: `preferred` size, shrunk to fit `visible`, one
// cascade step below and right of `anchor` (the window it follows), or at the top
// left of `visible` without one. A window that would reach past the right or bottom
// edge starts again at that edge's opposite side, so it always lies wholly inside.
QRect newWindowGeometry(const QRect& visible, const QSize& preferred,
                        const std::optional<QRect>& anchor);

// The same for a sub-window just added to `area` (not shown yet). A window opened in
// the foreground follows the active one; one opened in the background (a message
// arriving) follows the newest other window, so a run of messages fans out instead
// of piling up on one spot.
QRect newSubWindowGeometry(const QMdiArea& area, const QMdiSubWindow& added, const QSize& preferred,
                           bool background);

} // namespace velmar::app
