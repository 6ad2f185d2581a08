#pragma once

#include <QFont>
#include <QString>

namespace velk::ui
{

/// The family the windows and their controls are drawn in.
inline constexpr const char* kBookAntiqua = "Book Antiqua";
/// The family that draws the glyph texts of the pitch table as pitch symbols.
inline constexpr const char* kVelkFont = "Velk";

/// The families that answer to the two names on this system: fonts the font configuration knows by these
/// names win; otherwise these stand in.
inline constexpr const char* kBookAntiquaStandIn = "TeX Gyre Pagella";
inline constexpr const char* kVelkFontStandIn = "Symbola";

/// Maps "Book Antiqua" and "Velk" to the fonts installed here. Call once after the application object exists
/// and before the first window is built; calling it again does no harm.
void installFontSubstitutions();

/// The window font at the given size.
QFont bookAntiqua(double pointSize, bool bold);
/// The pitch glyph font at the given size, never bold.
QFont velkFont(double pointSize);

} // namespace velk::ui
