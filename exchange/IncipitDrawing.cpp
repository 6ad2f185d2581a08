#include "exchange/IncipitDrawing.h"

#include "ui/Fonts.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velk::exchange
{

namespace
{

constexpr int kLedgerRoom = 3; // staff spaces kept free above and below the staff

QString accidentalGlyph(int alter)
{
    switch (alter) {
    case -2:
        return QString::fromUtf8("\xF0\x9D\x84\xAB"); // double flat
    case -1:
        return QString::fromUtf8("\xE2\x99\xAD");
    case 1:
        return QString::fromUtf8("\xE2\x99\xAF");
    case 2:
        return QString::fromUtf8("\xF0\x9D\x84\xAA"); // double sharp
    default:
        return {};
    }
}

QString clefGlyph(pitches::Clef clef)
{
    switch (clef) {
    case pitches::Clef::Bass:
        return QString::fromUtf8("\xF0\x9D\x84\xA2");
    case pitches::Clef::TrebleOctaveDown:
        return QString::fromUtf8("\xF0\x9D\x84\xA0");
    case pitches::Clef::Treble:
        break;
    }
    return QString::fromUtf8("\xF0\x9D\x84\x9E");
}

} // namespace

double incipitHeight(double lineSpacing)
{
    return lineSpacing * (4 + 2 * kLedgerRoom);
}

void drawIncipit(QPainter& painter, const QRectF& area, const pitches::NotatedLine& line, double lineSpacing)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double half = lineSpacing / 2;
    const double bottomLine = area.center().y() + 2 * lineSpacing;
    const auto yOf = [&](int step) {
        return bottomLine - step * half;
    };
    QPen pen(Qt::black, std::max(0.6, lineSpacing / 10));
    painter.setPen(pen);
    for (int i = 0; i < 5; ++i) {
        painter.drawLine(QPointF(area.left(), yOf(2 * i)), QPointF(area.right(), yOf(2 * i)));
    }

    // The clef glyph is scaled by its drawn outline, whatever the font's own metrics: a treble clef reaches from
    // below the bottom line to above the top line, a bass clef hangs from the top line.
    const QString clef = clefGlyph(line.clef);
    const double clefTop = line.clef == pitches::Clef::Bass ? yOf(8) - half * 0.1 : yOf(8) - lineSpacing * 1.5;
    const double clefHeight = line.clef == pitches::Clef::Bass ? lineSpacing * 3.2
        : line.clef == pitches::Clef::TrebleOctaveDown         ? lineSpacing * 8.4
                                                               : lineSpacing * 7.0;
    QPainterPath glyph;
    glyph.addText(QPointF(0, 0), ui::velkFont(72), clef);
    const QRectF outline = glyph.boundingRect();
    double clefWidth = lineSpacing * 2.5;
    if (outline.height() > 0) {
        const double scale = clefHeight / outline.height();
        painter.save();
        painter.translate(area.left() + half, clefTop);
        painter.scale(scale, scale);
        painter.translate(-outline.left(), -outline.top());
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPath(glyph);
        painter.restore();
        clefWidth = outline.width() * scale;
    }

    QFont accidentals = ui::velkFont(10);
    accidentals.setPixelSize(std::max(1, static_cast<int>(std::lround(lineSpacing * 2.4))));
    const QFontMetricsF accidentalMetrics(accidentals, painter.device());
    const double headWidth = lineSpacing * 1.3;
    const double advance = lineSpacing * 3.2;
    double x = area.left() + half + clefWidth + lineSpacing * 2.5;
    painter.setBrush(Qt::black);
    for (const auto& note : line.notes) {
        if (x + headWidth > area.right()) {
            break;
        }
        if (note.pitch) {
            const int step = pitches::staffStep(*note.pitch, line.clef);
            const double y = yOf(step);
            painter.setPen(pen);
            for (int ledger = -2; ledger >= step; ledger -= 2) {
                painter.drawLine(QPointF(x - half * 0.6, yOf(ledger)),
                                 QPointF(x + headWidth + half * 0.6, yOf(ledger)));
            }
            for (int ledger = 10; ledger <= step; ledger += 2) {
                painter.drawLine(QPointF(x - half * 0.6, yOf(ledger)),
                                 QPointF(x + headWidth + half * 0.6, yOf(ledger)));
            }
            // A note head is an oval tilted upwards to the right.
            painter.save();
            painter.translate(x + headWidth / 2, y);
            painter.rotate(-20);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QPointF(0, 0), headWidth / 2, half * 0.82);
            painter.restore();
            const QString accidental = accidentalGlyph(note.pitch->alter);
            if (!accidental.isEmpty()) {
                painter.setFont(accidentals);
                const double width = accidentalMetrics.horizontalAdvance(accidental);
                painter.drawText(QPointF(x - width - half * 0.3, y + lineSpacing * 0.45), accidental);
            }
        }
        x += advance;
    }
    painter.restore();
}

} // namespace velk::exchange
