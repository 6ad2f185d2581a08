#pragma once

#include "pitches/Notation.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <cstddef>
#include <limits>
#include <optional>

class QPainter;

namespace velk::pitches
{

/// The family the staff's clefs and accidentals are drawn in (Debian's fonts-symbola): the code points of the
/// musical symbols, so any font with them stands in.
inline constexpr const char* kMusicFont = "Symbola";

/**
 * A movement's line drawn on a five-line staff: the clef, then one column of equal width per position, each with a
 * filled stemless notehead at its height (ledger lines where it needs them) and its accidental before it. Positions
 * 10, 20, ... (1-based) are numbered under the staff. A position whose spelling follows no scheme has no height: its
 * column is a hatched gap with the spelling written above the staff.
 *
 * Every coordinate a caller passes or gets back is relative to the drawing's top left corner (the origin given to
 * paint), in the painter's units (pixels on a screen). Painting works on any QPainter: a widget, an image, an SVG
 * generator or a printer. A QGuiApplication must exist (the symbols come from a font).
 */
class StaffDrawing
{
public:
    /// Draws the first noteLimit notes of the line (all of them by default), the staff space (the distance between
    /// two staff lines) given in painter units; a space under 2 is taken as 2.
    StaffDrawing(NotatedLine line, double staffSpace, std::size_t noteLimit = std::numeric_limits<std::size_t>::max());

    /// The size the whole drawing needs.
    QSizeF size() const;
    double staffSpace() const;
    /// The number of positions drawn.
    std::size_t noteCount() const;
    const NotatedLine& line() const;

    /// Paints the drawing with its top left corner at origin. highlighted marks one position (0-based) with a band
    /// behind it; exposed (in the painter's coordinates) limits the work to the columns it touches, so a long line
    /// costs only what is shown.
    void paint(QPainter& painter,
               QPointF origin,
               std::optional<std::size_t> highlighted = std::nullopt,
               std::optional<QRectF> exposed = std::nullopt) const;

    /// The position (0-based) whose column holds x; nothing left of the first column or right of the last.
    std::optional<std::size_t> noteAt(double x) const;
    /// The column of a position: from its accidental's room to the gap after its notehead, the drawing's full height.
    QRectF columnRect(std::size_t index) const;
    /// The centre of a position's notehead; nothing for a position without a height.
    std::optional<QPointF> noteheadCentre(std::size_t index) const;
    /// The height of a staff step (0 is the bottom line, 8 the top line, odd steps the spaces).
    double stepY(int step) const;
    /// Where the first column starts: the clef's room.
    double firstColumnX() const;
    double columnWidth() const;
    /// The box of the clef's symbol (the 8 of a tenor's clef included).
    QRectF clefRect() const;

private:
    void paintClef(QPainter& painter) const;
    void paintNote(QPainter& painter, std::size_t index, bool highlighted) const;
    void paintGap(QPainter& painter, std::size_t index) const;
    void paintNumber(QPainter& painter, std::size_t index) const;
    void paintSymbol(QPainter& painter, const QPainterPath& unit, QPointF topLeft, double height) const;

    NotatedLine m_line;
    std::size_t m_count = 0;
    double m_space = 8;
    int m_topStep = 0; ///< the highest step the drawing has room for
    double m_top = 0; ///< y of the top step
    double m_height = 0;
    bool m_hasGaps = false;
};

} // namespace velk::pitches
