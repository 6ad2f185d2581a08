#pragma once

#include "pitches/Notation.h"

#include <QRectF>

class QPainter;

namespace velk::exchange
{

/// The height a staff of the given line spacing needs with room for two ledger lines above and below.
double incipitHeight(double lineSpacing);

/// Draws the line on a five-line staff in the rectangle: its clef (with an 8 below for a tenor's treble clef), then
/// black note heads of equal value with ledger lines and the accidental each written pitch carries. The staff is
/// centred in the rectangle's height and as many notes are drawn as fit its width; a position without a written
/// pitch is left as a gap. lineSpacing is the distance between two staff lines in the painter's units.
void drawIncipit(QPainter& painter, const QRectF& area, const pitches::NotatedLine& line, double lineSpacing);

} // namespace velk::exchange
