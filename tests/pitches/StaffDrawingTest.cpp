#include "pitches/StaffDrawing.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

using velk::pitches::Clef;
using velk::pitches::notateLine;
using velk::pitches::StaffDrawing;
using velk::pitches::Voices;

namespace
{

constexpr double kSpace = 12;

QImage render(const StaffDrawing& drawing,
              std::optional<std::size_t> highlighted = std::nullopt,
              std::optional<QRectF> exposed = std::nullopt)
{
    QImage image(drawing.size().toSize() + QSize(1, 1), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawing.paint(painter, QPointF(0, 0), highlighted, exposed);
    painter.end();
    return image;
}

bool dark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// The rows of one pixel column where dark runs start and end.
std::vector<std::pair<int, int>> darkRuns(const QImage& image, int x)
{
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < image.height(); ++y) {
        if (!dark(image, x, y)) {
            continue;
        }
        int end = y;
        while (end + 1 < image.height() && dark(image, x, end + 1)) {
            ++end;
        }
        runs.emplace_back(y, end);
        y = end;
    }
    return runs;
}

// The staff lines as painted, bottom first: the thin dark runs of a pixel column with nothing else on it.
std::vector<double> paintedStaffLines(const QImage& image, int x)
{
    std::vector<double> lines;
    for (const auto& [top, bottom] : darkRuns(image, x)) {
        lines.insert(lines.begin(), (top + bottom) / 2.0);
    }
    return lines;
}

// The staff step at which the notehead painted around x sits, read from the painted staff lines: the middle of
// the tallest dark run of the column through the head's centre, in half spaces above the bottom line.
std::optional<double> paintedStep(const QImage& image, int headX, const std::vector<double>& lines)
{
    std::optional<std::pair<int, int>> tallest;
    for (const auto& run : darkRuns(image, headX)) {
        if (!tallest || run.second - run.first > tallest->second - tallest->first) {
            tallest = run;
        }
    }
    if (!tallest || tallest->second - tallest->first < kSpace * 0.6) {
        return std::nullopt;
    }
    const double halfSpace = (lines.front() - lines.back()) / 8;
    return (lines.front() - (tallest->first + tallest->second) / 2.0) / halfSpace;
}

// Dark pixels in a rectangle.
int inkIn(const QImage& image, const QRectF& area, bool (*isInk)(QRgb))
{
    int count = 0;
    const QRect box = area.toAlignedRect().intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            count += isInk(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

bool black(QRgb pixel)
{
    return qGray(pixel) < 128;
}

bool reddish(QRgb pixel)
{
    return qRed(pixel) > qGreen(pixel) + 40 && qRed(pixel) > qBlue(pixel) + 40;
}

Voices voicesNamed(const QString& names)
{
    Voices voices;
    voices.soprano = names.contains(QLatin1Char('S'));
    voices.alto = names.contains(QLatin1Char('A'));
    voices.tenor = names.contains(QLatin1Char('T'));
    voices.bass = names.contains(QLatin1Char('B'));
    return voices;
}

} // namespace

class StaffDrawingTest : public QObject
{
    Q_OBJECT

private slots:
    void noteheadsSitOnTheirLinesAndSpaces_data();
    void noteheadsSitOnTheirLinesAndSpaces();
    void clefOfEachVoice_data();
    void clefOfEachVoice();
    void accidentalStandsBeforeItsNote_data();
    void accidentalStandsBeforeItsNote();
    void nothingIsDrawnAgainstTheEdges_data();
    void nothingIsDrawnAgainstTheEdges();
    void foreignSpellingIsAMarkedGap();
    void hitTestFindsTheColumn();
    void everyTenthPositionIsNumbered();
    void firstNotesOnly();
    void exposedPartPaintsTheSame();
};

void StaffDrawingTest::noteheadsSitOnTheirLinesAndSpaces_data()
{
    QTest::addColumn<QString>("voices");
    QTest::addColumn<QString>("spelling");
    QTest::addColumn<int>("step"); // above the bottom line, in half spaces, as a musician reads it

    // Capitals from middle C, treble clef (bottom line E4).
    QTest::newRow("soprano E4 bottom line") << "S"
                                            << "E" << 0;
    QTest::newRow("soprano middle C ledger below") << "S"
                                                   << "C" << -2;
    QTest::newRow("soprano D4 under the staff") << "S"
                                                << "D" << -1;
    QTest::newRow("soprano B4 middle line") << "SA"
                                            << "B" << 4;
    QTest::newRow("soprano C5 third space") << "S"
                                            << "c" << 5;
    QTest::newRow("soprano F5 top line") << "SATB"
                                         << "f" << 8;
    QTest::newRow("soprano A5 first ledger above") << "S"
                                                   << "a" << 10;
    QTest::newRow("soprano B5 above it") << "S"
                                         << "b" << 11;
    QTest::newRow("soprano B flat keeps its line") << "S"
                                                   << "B/" << 4;
    QTest::newRow("soprano c double sharp keeps its space") << "S"
                                                            << "c**" << 5;
    // A bass alone: capitals C2-B2, bass clef (bottom line G2).
    QTest::newRow("bass G2 bottom line") << "B"
                                         << "G" << 0;
    QTest::newRow("bass C2 two ledgers below") << "B"
                                               << "C" << -4;
    QTest::newRow("bass C3 second space") << "B"
                                          << "c" << 3;
    QTest::newRow("bass A3 top line") << "B"
                                      << "a" << 8;
    QTest::newRow("bass B3 above it") << "B"
                                      << "b" << 9;
    // A tenor without soprano or alto: capitals C3-B3, written an octave higher under the treble clef's 8.
    QTest::newRow("tenor C3 written at middle C") << "T"
                                                  << "C" << -2;
    QTest::newRow("tenor E4 written on the top space") << "TB"
                                                       << "e" << 7;
    QTest::newRow("tenor G3 written on the second line") << "T"
                                                         << "G" << 2;
}

void StaffDrawingTest::noteheadsSitOnTheirLinesAndSpaces()
{
    QFETCH(QString, voices);
    QFETCH(QString, spelling);
    QFETCH(int, step);
    const int octave = velk::pitches::defaultCapitalOctave(voicesNamed(voices));
    // The note between two naturals on the middle line, so that the column of lines before it is clean.
    const StaffDrawing drawing(notateLine({"B", spelling.toStdString(), "B"}, octave), kSpace);
    const QImage image = render(drawing);
    const int clean = static_cast<int>(drawing.columnRect(1).left() + 2);
    const std::vector<double> lines = paintedStaffLines(image, clean);
    QCOMPARE(lines.size(), std::size_t(5));
    const std::optional<QPointF> head = drawing.noteheadCentre(1);
    QVERIFY(head);
    const std::optional<double> painted = paintedStep(image, static_cast<int>(head->x()), lines);
    QVERIFY(painted);
    QVERIFY2(std::abs(*painted - step) < 0.35,
             qPrintable(QStringLiteral("painted at step %1, expected %2").arg(*painted).arg(step)));
}

void StaffDrawingTest::clefOfEachVoice_data()
{
    QTest::addColumn<QString>("voices");
    QTest::addColumn<int>("clef");
    QTest::newRow("soprano") << "S" << int(Clef::Treble);
    QTest::newRow("alto and tenor") << "AT" << int(Clef::Treble);
    QTest::newRow("no voices") << "" << int(Clef::Treble);
    QTest::newRow("tenor") << "T" << int(Clef::TrebleOctaveDown);
    QTest::newRow("tenor and bass") << "TB" << int(Clef::TrebleOctaveDown);
    QTest::newRow("bass") << "B" << int(Clef::Bass);
}

void StaffDrawingTest::clefOfEachVoice()
{
    QFETCH(QString, voices);
    QFETCH(int, clef);
    const int octave = velk::pitches::defaultCapitalOctave(voicesNamed(voices));
    const StaffDrawing drawing(notateLine({"c"}, octave), kSpace);
    QCOMPARE(int(drawing.line().clef), clef);
    const QImage image = render(drawing);
    const QRectF clefArea(1, 0, drawing.firstColumnX() - 2, image.height());
    const double top = drawing.stepY(8);
    const double bottom = drawing.stepY(0);
    // What the clef paints above the staff, below it, and well below it (the 8 of a tenor's clef).
    const int above = inkIn(image, QRectF(clefArea.left(), 0, clefArea.width(), top - 2), black);
    const int below = inkIn(image, QRectF(clefArea.left(), bottom + 2, clefArea.width(), kSpace), black);
    const int farBelow
        = inkIn(image, QRectF(clefArea.left(), bottom + 2.2 * kSpace, clefArea.width(), 2 * kSpace), black);
    if (clef == int(Clef::Bass)) {
        QCOMPARE(above, 0);
        QCOMPARE(below, 0);
    } else {
        QVERIFY(above > 0);
        QVERIFY(below > 0);
        QCOMPARE(farBelow > 0, clef == int(Clef::TrebleOctaveDown));
    }
}

void StaffDrawingTest::accidentalStandsBeforeItsNote_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::addColumn<bool>("marked");
    QTest::newRow("natural") << "g" << false;
    QTest::newRow("sharp") << "g*" << true;
    QTest::newRow("flat") << "g/" << true;
    QTest::newRow("double sharp") << "g**" << true;
    QTest::newRow("double flat") << "g//" << true;
}

void StaffDrawingTest::accidentalStandsBeforeItsNote()
{
    QFETCH(QString, spelling);
    QFETCH(bool, marked);
    const StaffDrawing drawing(notateLine({"c", spelling.toStdString()}, 4), kSpace);
    const QImage image = render(drawing);
    const QPointF head = *drawing.noteheadCentre(1);
    const double headLeft = head.x() - 0.7 * kSpace;
    // Between the column's start and the notehead, off the staff lines' rows: the accidental's ink only.
    int ink = 0;
    double lowest = 1e9;
    double highest = -1e9;
    for (int y = 0; y < image.height(); ++y) {
        bool onLine = false;
        for (int line = 0; line <= 8; line += 2) {
            onLine = onLine || std::abs(y - drawing.stepY(line)) < 2;
        }
        for (int x = static_cast<int>(drawing.columnRect(1).left()); x < headLeft && !onLine; ++x) {
            if (dark(image, x, y)) {
                ++ink;
                lowest = std::min(lowest, double(y));
                highest = std::max(highest, double(y));
            }
        }
    }
    QCOMPARE(ink > 0, marked);
    if (marked) {
        // Beside its note: the accidental's height spans the notehead's centre.
        QVERIFY(lowest < head.y() && highest > head.y());
    }
}

void StaffDrawingTest::nothingIsDrawnAgainstTheEdges_data()
{
    QTest::addColumn<int>("octave");
    QTest::addColumn<QString>("spellings");
    for (const int octave : {2, 3, 4}) {
        const QByteArray name = QByteArray::number(octave);
        QTest::newRow(name + " highest with flats") << octave << "b/ b// a/ b";
        QTest::newRow(name + " highest with sharps") << octave << "b* b** a*";
        QTest::newRow(name + " lowest with flats") << octave << "C/ C// D/";
        QTest::newRow(name + " lowest with sharps") << octave << "C* C** D*";
        QTest::newRow(name + " a gap") << octave << "b/ Xyz C*";
    }
}

void StaffDrawingTest::nothingIsDrawnAgainstTheEdges()
{
    QFETCH(int, octave);
    QFETCH(QString, spellings);
    std::vector<std::string> line;
    for (const QString& spelling : spellings.split(QLatin1Char(' '))) {
        line.push_back(spelling.toStdString());
    }
    const StaffDrawing drawing(notateLine(line, octave), kSpace);
    const QImage image = render(drawing);
    auto isInk = [](QRgb pixel) {
        return qGray(pixel) < 200;
    };
    const double w = image.width();
    const double h = image.height();
    QCOMPARE(inkIn(image, QRectF(0, 0, w, 2), isInk), 0);
    QCOMPARE(inkIn(image, QRectF(0, h - 2, w, 2), isInk), 0);
    // The staff lines start at the left edge's padding; nothing else reaches the sides.
    QCOMPARE(inkIn(image, QRectF(0, 0, 2, h), isInk), 0);
    QCOMPARE(inkIn(image, QRectF(w - 2, 0, 2, h), isInk), 0);
}

void StaffDrawingTest::foreignSpellingIsAMarkedGap()
{
    const StaffDrawing drawing(notateLine({"c", "H", "d"}, 4), kSpace);
    QVERIFY(!drawing.noteheadCentre(1));
    QVERIFY(drawing.noteheadCentre(2));
    const QImage image = render(drawing);
    const QRectF gap = drawing.columnRect(1);
    const QRectF staffPart(gap.left(), drawing.stepY(8), gap.width(), drawing.stepY(0) - drawing.stepY(8));
    QVERIFY(inkIn(image, staffPart, reddish) > 20);
    // The spelling is written above the staff; a drawn note's column has nothing there.
    const QRectF abovePart(gap.left(), 0, gap.width(), drawing.stepY(10));
    QVERIFY(inkIn(image, abovePart, reddish) > 5);
    QCOMPARE(inkIn(image, QRectF(drawing.columnRect(2).left(), 0, gap.width(), drawing.stepY(10)), reddish), 0);
    // No notehead guessed for it: the column through the gap's middle has no tall black run.
    QVERIFY(!paintedStep(image, static_cast<int>(gap.left() + 2.3 * kSpace), {drawing.stepY(0), drawing.stepY(8)}));
}

void StaffDrawingTest::hitTestFindsTheColumn()
{
    const StaffDrawing drawing(notateLine({"c", "d", "e", "f"}, 4), kSpace);
    for (std::size_t i = 0; i < 4; ++i) {
        const QRectF column = drawing.columnRect(i);
        QCOMPARE(drawing.noteAt(column.left() + 1), std::optional<std::size_t>(i));
        QCOMPARE(drawing.noteAt(drawing.noteheadCentre(i)->x()), std::optional<std::size_t>(i));
    }
    QCOMPARE(drawing.noteAt(drawing.firstColumnX() - 1), std::nullopt);
    QCOMPARE(drawing.noteAt(drawing.columnRect(3).right() + 1), std::nullopt);
    QCOMPARE(drawing.noteAt(-5), std::nullopt);
    const StaffDrawing empty(notateLine({}, 4), kSpace);
    QCOMPARE(empty.noteAt(empty.firstColumnX() + 1), std::nullopt);
    QVERIFY(empty.size().width() > empty.firstColumnX());
}

void StaffDrawingTest::everyTenthPositionIsNumbered()
{
    std::vector<std::string> spellings(21, "g");
    const StaffDrawing drawing(notateLine(spellings, 4), kSpace);
    const QImage image = render(drawing);
    auto numberInk = [&](std::size_t index) {
        const QRectF column = drawing.columnRect(index);
        return inkIn(image, QRectF(column.left(), drawing.stepY(0) + kSpace, column.width(), image.height()), black);
    };
    QCOMPARE(numberInk(8), 0);
    QVERIFY(numberInk(9) > 0);
    QCOMPARE(numberInk(10), 0);
    QVERIFY(numberInk(19) > 0);
}

void StaffDrawingTest::firstNotesOnly()
{
    const auto line = notateLine({"c", "d", "e", "f", "g", "a"}, 4);
    const StaffDrawing all(line, kSpace);
    const StaffDrawing three(line, kSpace, 3);
    QCOMPARE(all.noteCount(), std::size_t(6));
    QCOMPARE(three.noteCount(), std::size_t(3));
    QCOMPARE(three.size().width(), all.size().width() - 3 * all.columnWidth());
    QCOMPARE(StaffDrawing(line, kSpace, 100).noteCount(), std::size_t(6));
}

void StaffDrawingTest::exposedPartPaintsTheSame()
{
    std::vector<std::string> spellings;
    for (int i = 0; i < 40; ++i) {
        spellings.push_back(std::string(1, "CdEfGaBc"[i % 8]) + (i % 3 == 0 ? "*" : ""));
    }
    const StaffDrawing drawing(notateLine(spellings, 4), kSpace);
    const QImage whole = render(drawing, 17);
    const QRectF part(drawing.columnRect(15).left() + 5, 0, 4 * drawing.columnWidth(), whole.height());
    const QImage partial = render(drawing, 17, part);
    const QRect inside = part.toAlignedRect().adjusted(1, 0, -1, -1);
    QCOMPARE(partial.copy(inside), whole.copy(inside));
    // Nothing painted far from the exposed part.
    QCOMPARE(inkIn(partial, QRectF(0, 0, part.left() - 2 * drawing.columnWidth(), whole.height()), black), 0);
}

QTEST_MAIN(StaffDrawingTest)
#include "StaffDrawingTest.moc"
