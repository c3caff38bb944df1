#pragma once

#include <QIcon>

// The pictures of the window's buttons: the desktop theme's icon where the theme has one, else our
// own drawing.
namespace PictureIcon {

enum Picture { Run, Stop, Connect, Add, Remove, Insert, Modify, MoveUp, MoveDown, Open, Save, Logo };

QIcon icon(Picture picture);
// Our own drawing alone, whatever the theme offers.
QIcon fallback(Picture picture);

} // namespace PictureIcon
