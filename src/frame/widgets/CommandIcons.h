#pragma once

#include <QIcon>

// Tool-bar icons of the image commands, drawn here so they look the same on every desktop;
// generic commands (browser, paging, rotation) use the desktop's icon theme.
QIcon CommandIcon(int commandId);
