#pragma once

// Images of the toolbar buttons and of the program. Each button first asks the icon
// theme for its freedesktop name; without a theme (or without that name in it) it
// gets a pictogram drawn here at run time, so every button always shows a picture.

#include "app/command.h"

#include <QIcon>

namespace velmar::app::icons {

// The theme's icon for the command's toolbar button, or its drawn pictogram; a null
// icon for a command without a button.
QIcon toolbarIcon(Command command);

// The drawn pictogram alone; a null icon for a command without a button.
QIcon drawnIcon(Command command);

// The program's own icon: a speech bubble with a reply mark, the same SVG picture
// as the icon installed for the desktop. Main window and tray.
QIcon programIcon();

} // namespace velmar::app::icons
