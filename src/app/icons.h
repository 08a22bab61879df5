#pragma once

// Images of the toolbar buttons and of the program. Each button first asks the icon
// theme for its freedesktop name; without a theme (or without that name in it) it
// gets a pictogram drawn here at run time, so every button always shows a picture.

#include <QIcon>
#include <QStringList>
#include <QStringView>

namespace velmar::app::icons {

// The keys of the buttons that carry an image, in toolbar order ("t_send", ...).
QStringList toolbarKeys();

// The theme's icon for the button, or its drawn pictogram; a null icon for a key
// without an image.
QIcon toolbarIcon(QStringView key);

// The drawn pictogram alone; a null icon for a key without an image.
QIcon drawnIcon(QStringView key);

// The program's own icon: a speech bubble with a reply mark, the same SVG picture
// as the icon installed for the desktop. Main window and tray.
QIcon programIcon();

} // namespace velmar::app::icons
