#pragma once

#include <QRect>
#include <QString>
#include <optional>

namespace velmar::app {

// How the main window comes up at start and how it was left at shutdown.
enum class StartMode { Normal, Minimised, Maximised, Tray };

// Twips per pixel on a screen of `dpi` logical dots per inch (96 when unknown).
qreal twipsPerPixel(qreal dpi);

// The stored "left,top,width,height" in twips as a rectangle in pixels; nothing
// when the value does not have exactly four whole numbers.
std::optional<QRect> placementFromTwips(const QString& stored, qreal twipsPerPixel);
QString placementToTwips(const QRect& geometry, qreal twipsPerPixel);
// The placement to store for a window now at `geometry`. Where the platform cannot
// report a window's position (Wayland), the position in `stored` is kept as it was
// and only the size is taken; without a valid stored value the geometry is stored.
QString placementToStore(const QRect& geometry, qreal twipsPerPixel, bool positionKnown,
                         const QString& stored);

// The stored start mode: exactly "3" is the notification area, a number 0, 1 or 2
// (also written "1.0") is normal, minimised or maximised; anything else is nothing,
// and the window keeps the mode it has.
std::optional<StartMode> startModeFromValue(const QString& stored);
QString startModeValue(StartMode mode);

} // namespace velmar::app
