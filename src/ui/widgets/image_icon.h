#pragma once

#include <QIcon>

#include "ui/widgets/image_list.h"

// The main window's image list as Qt icons. Each number is drawn from its SVG on demand, so
// menus, tool bar buttons and the tray icon stay crisp at any scale.

// The picture of image as an icon; an empty icon when the list holds no such number.
QIcon imageIcon(TImage image);

// The program's own icon for the window and the tray: the 16-pixel drawing of the red book at
// 16 pixels, the detailed one at every larger size.
QIcon programIcon();
