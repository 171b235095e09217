#pragma once

#include <QIcon>

namespace mirrox {

// The program's icon for the window, the tray and the About view, drawn rather than shipped as
// an image file.
QIcon appIcon();

}  // namespace mirrox
