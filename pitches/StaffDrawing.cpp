#include "pitches/StaffDrawing.h"

#include "ui/Fonts.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace velk::pitches
{

namespace
{

// Proportions in staff spaces.
constexpr double kColumn = 3.3; // one position: accidental room, notehead, gap
constexpr double kHeadCentre = 2.3; // from the column's left edge
constexpr double kHeadWidth = 1.3;
constexpr double kHeadHeight = 0.94;
constexpr double kLedgerHalf = 0.95;
constexpr double kAccidentalGap = 0.18; // between an accidental and its notehead
constexpr double kPad = 0.5;
constexpr double kTrebleHeight = 7.0;
constexpr double kBassHeight = 3.65;
constexpr double kTextLine = 1.9; // room for a line of small text
constexpr double kMinimumSpace = 2.0;

const QColor kInk(0, 0, 0);
const QColor kHighlightInk(0, 60, 170);
const QColor kHighlightBand(200, 220, 255);
const QColor kGapInk(150, 40, 40);

// A symbol of the music font as a path scaled to a height of 1 with its top left corner at 0,0: drawn as a path,
// its placement does not depend on the font's metrics, and a printer or an SVG gets the outline itself.
QPainterPath unitSymbol(char32_t codePoint)
{
    QFont font(QString::fromLatin1(kMusicFont));
    font.setPixelSize(200);
    QPainterPath path;
    path.addText(0, 0, font, QString::fromUcs4(&codePoint, 1));
    // The outlines' own box: the path's box also takes in the pen position, which some of the font's symbols
    // (drawn left of it) do not touch.
    QRectF box;
    for (const QPolygonF& outline : path.toSubpathPolygons()) {
        box = box.united(outline.boundingRect());
    }
    if (box.height() <= 0) {
        return {};
    }
    QTransform unit;
    unit.scale(1 / box.height(), 1 / box.height());
    unit.translate(-box.left(), -box.top());
    return unit.map(path);
}

struct Symbols
{
    QPainterPath treble = unitSymbol(U'\U0001D11E');
    QPainterPath bass = unitSymbol(U'\U0001D122');
    QPainterPath sharp = unitSymbol(U'\u266F');
    QPainterPath flat = unitSymbol(U'\u266D');
    QPainterPath doubleSharp = unitSymbol(U'\U0001D12A');
    QPainterPath doubleFlat = unitSymbol(U'\U0001D12B');
};

const Symbols& symbols()
{
    static const Symbols loaded;
    return loaded;
}

double aspect(const QPainterPath& unit)
{
    return unit.boundingRect().width();
}

// The numbers and a gap's spelling, in the windows' own family.
QFont smallFont(double space)
{
    QFont font = ui::bookAntiqua(10, false);
    font.setPixelSize(std::max(7, static_cast<int>(std::lround(space * 1.35))));
    return font;
}

} // namespace

StaffDrawing::StaffDrawing(NotatedLine line, double staffSpace, std::size_t noteLimit)
    : m_line(std::move(line))
    , m_count(std::min(noteLimit, m_line.notes.size()))
    , m_space(std::max(staffSpace, kMinimumSpace))
{
    m_line.notes.resize(m_count);
    int lowest = m_line.clef == Clef::TrebleOctaveDown ? -7 : -3;
    int highest = 11;
    for (const auto& note : m_line.notes) {
        if (note.pitch) {
            // Room for the notehead and its accidental: a flat stands well above its note, a sharp either side.
            const int step = staffStep(*note.pitch, m_line.clef);
            const int alter = note.pitch->alter;
            lowest = std::min(lowest, step - (alter > 0 ? 3 : 2));
            highest = std::max(highest, step + (alter < 0 ? 4 : alter > 0 ? 3 : 2));
        } else {
            m_hasGaps = true;
        }
    }
    m_topStep = highest;
    m_top = m_space * (kPad + (m_hasGaps ? kTextLine : 0));
    m_height = stepY(lowest) + m_space * (kTextLine + kPad);
}

QSizeF StaffDrawing::size() const
{
    const double columns = static_cast<double>(std::max<std::size_t>(m_count, 1));
    return {firstColumnX() + columns * columnWidth() + m_space * kPad, m_height};
}

double StaffDrawing::staffSpace() const
{
    return m_space;
}

std::size_t StaffDrawing::noteCount() const
{
    return m_count;
}

const NotatedLine& StaffDrawing::line() const
{
    return m_line;
}

double StaffDrawing::stepY(int step) const
{
    return m_top + (m_topStep - step) * m_space / 2;
}

double StaffDrawing::columnWidth() const
{
    return kColumn * m_space;
}

QRectF StaffDrawing::clefRect() const
{
    const Symbols& s = symbols();
    if (m_line.clef == Clef::Bass) {
        // The two dots stand either side of the F line (step 6); the head starts just above the top line.
        const double height = kBassHeight * m_space;
        return {kPad * m_space, stepY(8) - 0.1 * m_space, aspect(s.bass) * height, height};
    }
    const double height = kTrebleHeight * m_space;
    // The spiral sits on the G line (step 2); the tail hangs about one and a half spaces below the staff.
    QRectF box(kPad * m_space, stepY(0) + 1.55 * m_space - height, aspect(s.treble) * height, height);
    if (m_line.clef == Clef::TrebleOctaveDown) {
        box.setBottom(box.bottom() + 1.5 * m_space);
    }
    return box;
}

double StaffDrawing::firstColumnX() const
{
    return clefRect().right() + 0.6 * m_space;
}

std::optional<std::size_t> StaffDrawing::noteAt(double x) const
{
    const double offset = x - firstColumnX();
    if (offset < 0 || m_count == 0) {
        return std::nullopt;
    }
    const auto index = static_cast<std::size_t>(offset / columnWidth());
    if (index >= m_count) {
        return std::nullopt;
    }
    return index;
}

QRectF StaffDrawing::columnRect(std::size_t index) const
{
    return {firstColumnX() + static_cast<double>(index) * columnWidth(), 0, columnWidth(), m_height};
}

std::optional<QPointF> StaffDrawing::noteheadCentre(std::size_t index) const
{
    if (index >= m_count || !m_line.notes[index].pitch) {
        return std::nullopt;
    }
    const int step = staffStep(*m_line.notes[index].pitch, m_line.clef);
    return QPointF(columnRect(index).left() + kHeadCentre * m_space, stepY(step));
}

void StaffDrawing::paint(QPainter& painter,
                         QPointF origin,
                         std::optional<std::size_t> highlighted,
                         std::optional<QRectF> exposed) const
{
    painter.save();
    painter.translate(origin);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QSizeF whole = size();
    double left = 0;
    double right = whole.width();
    if (exposed) {
        left = std::max(left, exposed->left() - origin.x());
        right = std::min(right, exposed->right() - origin.x());
    }
    std::size_t first = 0;
    std::size_t end = m_count;
    if (m_count > 0) {
        const double from = std::max(0.0, (left - firstColumnX()) / columnWidth() - 1);
        const double to = std::max(0.0, (right - firstColumnX()) / columnWidth() + 1);
        first = std::min(m_count, static_cast<std::size_t>(from));
        end = std::min(m_count, static_cast<std::size_t>(to) + 1);
    }

    if (highlighted && *highlighted >= first && *highlighted < end) {
        painter.fillRect(columnRect(*highlighted), kHighlightBand);
    }

    painter.setPen(QPen(kInk, std::max(1.0, 0.1 * m_space), Qt::SolidLine, Qt::FlatCap));
    const double staffLeft = std::max(left, kPad * m_space * 0.5);
    const double staffRight = std::min(right, whole.width() - kPad * m_space * 0.5);
    for (int line = 0; line <= 8; line += 2) {
        painter.drawLine(QPointF(staffLeft, stepY(line)), QPointF(staffRight, stepY(line)));
    }
    if (left < firstColumnX()) {
        paintClef(painter);
    }
    for (std::size_t i = first; i < end; ++i) {
        if (m_line.notes[i].pitch) {
            paintNote(painter, i, highlighted == i);
        } else {
            paintGap(painter, i);
        }
        if ((i + 1) % 10 == 0) {
            paintNumber(painter, i);
        }
    }
    painter.restore();
}

void StaffDrawing::paintSymbol(QPainter& painter, const QPainterPath& unit, QPointF topLeft, double height) const
{
    QTransform place;
    place.translate(topLeft.x(), topLeft.y());
    place.scale(height, height);
    painter.fillPath(place.map(unit), painter.brush());
}

void StaffDrawing::paintClef(QPainter& painter) const
{
    const Symbols& s = symbols();
    const QRectF box = clefRect();
    painter.setBrush(kInk);
    if (m_line.clef == Clef::Bass) {
        paintSymbol(painter, s.bass, box.topLeft(), box.height());
        return;
    }
    const double height = kTrebleHeight * m_space;
    paintSymbol(painter, s.treble, box.topLeft(), height);
    if (m_line.clef == Clef::TrebleOctaveDown) {
        painter.setPen(kInk);
        painter.setFont(smallFont(m_space));
        const QRectF eight(box.left(), box.top() + height, box.width(), box.bottom() - box.top() - height);
        painter.drawText(eight, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("8"));
    }
}

void StaffDrawing::paintNote(QPainter& painter, std::size_t index, bool highlighted) const
{
    const WrittenPitch& pitch = *m_line.notes[index].pitch;
    const int step = staffStep(pitch, m_line.clef);
    const QPointF centre = *noteheadCentre(index);
    const QColor ink = highlighted ? kHighlightInk : kInk;

    painter.setPen(QPen(ink, std::max(1.0, 0.16 * m_space), Qt::SolidLine, Qt::FlatCap));
    for (int ledger = -2; ledger >= step; ledger -= 2) {
        painter.drawLine(QPointF(centre.x() - kLedgerHalf * m_space, stepY(ledger)),
                         QPointF(centre.x() + kLedgerHalf * m_space, stepY(ledger)));
    }
    for (int ledger = 10; ledger <= step; ledger += 2) {
        painter.drawLine(QPointF(centre.x() - kLedgerHalf * m_space, stepY(ledger)),
                         QPointF(centre.x() + kLedgerHalf * m_space, stepY(ledger)));
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.save();
    painter.translate(centre);
    painter.rotate(-20);
    painter.drawEllipse(QPointF(0, 0), kHeadWidth * m_space / 2 * 0.92, kHeadHeight * m_space / 2);
    painter.restore();

    if (pitch.alter == 0) {
        return;
    }
    const Symbols& s = symbols();
    const double right = centre.x() - (kHeadWidth / 2 + kAccidentalGap) * m_space;
    const QPainterPath* unit = nullptr;
    double height = 0;
    double top = 0;
    switch (pitch.alter) {
    case 1:
        unit = &s.sharp;
        height = 2.7 * m_space;
        top = centre.y() - height / 2;
        break;
    case 2:
        unit = &s.doubleSharp;
        height = 1.0 * m_space;
        top = centre.y() - height / 2;
        break;
    case -1:
        unit = &s.flat;
        height = 2.3 * m_space;
        top = centre.y() + 0.55 * m_space - height;
        break;
    default:
        unit = &s.doubleFlat;
        height = 2.3 * m_space;
        top = centre.y() + 0.55 * m_space - height;
        break;
    }
    paintSymbol(painter, *unit, QPointF(right - aspect(*unit) * height, top), height);
}

void StaffDrawing::paintGap(QPainter& painter, std::size_t index) const
{
    const QRectF column = columnRect(index);
    const QRectF gap(column.left() + 0.9 * m_space, stepY(8), 2.0 * m_space, stepY(0) - stepY(8));
    painter.setPen(QPen(kGapInk, std::max(1.0, 0.08 * m_space), Qt::DashLine));
    painter.setBrush(QBrush(kGapInk, Qt::BDiagPattern));
    painter.drawRect(gap);
    const QString spelling = QString::fromStdString(m_line.notes[index].spelling);
    if (spelling.isEmpty()) {
        return;
    }
    const QFont font = smallFont(m_space);
    painter.setFont(font);
    painter.setPen(kGapInk);
    const double room = 2 * columnWidth();
    const QString shown = QFontMetricsF(font).elidedText(spelling, Qt::ElideRight, room);
    const QRectF text(gap.center().x() - room / 2, stepY(m_topStep) - kTextLine * m_space, room, kTextLine * m_space);
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine, shown);
}

void StaffDrawing::paintNumber(QPainter& painter, std::size_t index) const
{
    const QRectF column = columnRect(index);
    const double centre = column.left() + kHeadCentre * m_space;
    painter.setPen(kInk);
    painter.setFont(smallFont(m_space));
    const QRectF text(centre - columnWidth(), m_height - (kTextLine + kPad) * m_space, 2 * columnWidth(),
                      kTextLine * m_space);
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, QString::number(index + 1));
}

} // namespace velk::pitches
