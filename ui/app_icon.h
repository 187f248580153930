#pragma once

// The program's picture: a weather vane over an archive box, drawn rather than loaded so
// that the window, the About box and the installed icon (made from it by a test) are the
// same picture at every size.

#include <QIcon>
#include <QPixmap>

namespace tvn::ui {

QPixmap appPicture(int size);
QIcon appIcon();

} // namespace tvn::ui
