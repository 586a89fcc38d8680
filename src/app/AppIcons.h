#pragma once

#include <QIcon>

// The picture of a command: the desktop theme's icon of that name when the
// theme has one, else the program's own drawing of the same name (a bundled
// SVG resource, ":/icons/<name>.svg"). An unknown name gives a null icon.
QIcon AppIcon(const char* name);

// The program's own drawing alone, rendered at the usual toolbar and menu
// sizes; null when no drawing of that name is bundled.
QIcon BundledIcon(const char* name);
