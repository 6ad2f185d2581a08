#pragma once

#include <QIcon>
#include <QString>

namespace velk::ui
{

/// Number of pictures in the toolbar's image list.
inline constexpr int kToolbarPictureCount = 13;

/**
 * One picture of the toolbar's image list, 1-based as the toolbar table addresses them: 1 a cross, 2 a pencil,
 * 3 a blank page, 4 a diskette, 5 a curved undo arrow, 6 an arrow pointing down, 7 left, 8 right, 9 up,
 * 10 a downward triangle, 11 binoculars, 12 a loudspeaker, 13 a toilet. Drawn by the program at 16, 24, 32
 * and 48 pixels on a transparent ground. An index outside 1..13 gives a null icon.
 */
QIcon toolbarPicture(int index);

/// The program's own icon (a note on a staff on a rounded square), at 16 to 256 pixels.
QIcon applicationIcon();

/// The same picture as an SVG document, for installing beside the program.
QString applicationIconSvg();

} // namespace velk::ui
