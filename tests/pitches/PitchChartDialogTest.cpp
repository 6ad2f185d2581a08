#include "pitches/PitchChartDialog.h"
#include "store/ReferenceData.h"
#include "ui/Fonts.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QtTest>

#include <map>
#include <optional>
#include <string>

using velk::pitches::PitchChartCell;
using velk::pitches::PitchChartDialog;

Q_DECLARE_METATYPE(std::optional<PitchChartCell>)

namespace
{

PitchChartDialog::Pitches referencePitches()
{
    PitchChartDialog::Pitches pitches;
    for (const auto& pitch : velk::store::referencePitches()) {
        pitches.emplace_back(pitch.spelling, pitch.glyph);
    }
    return pitches;
}

QTableWidget* table(const QDialog& dialog, const char* name)
{
    auto* found = dialog.findChild<QTableWidget*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no table %s", name);
    }
    return found;
}

QLabel* cellLabel(QTableWidget* chart, int row, int column, const char* name)
{
    QWidget* cell = chart->cellWidget(row, column);
    return cell == nullptr ? nullptr : cell->findChild<QLabel*>(QString::fromLatin1(name));
}

// Every spelling the dialog shows, with how often: the chart's cells and the list under it.
std::map<QString, int> shownSpellings(const PitchChartDialog& dialog)
{
    std::map<QString, int> shown;
    QTableWidget* chart = table(dialog, "tblPitchChart");
    for (int row = 0; row < chart->rowCount(); ++row) {
        for (int column = 0; column < chart->columnCount(); ++column) {
            if (QLabel* label = cellLabel(chart, row, column, "lblPitchSpelling")) {
                ++shown[label->text()];
            }
        }
    }
    QTableWidget* others = table(dialog, "tblOtherSpellings");
    for (int row = 0; row < others->rowCount(); ++row) {
        ++shown[others->item(row, 1)->text()];
    }
    return shown;
}

} // namespace

class PitchChartDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cellOfSpelling_data();
    void cellOfSpelling();
    void referenceVocabularyFillsTheChart();
    void everyGivenSpellingIsShown();
    void textsArePlain();
    void emptyVocabulary();
};

void PitchChartDialogTest::initTestCase()
{
    velk::ui::installFontSubstitutions();
}

void PitchChartDialogTest::cellOfSpelling_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::addColumn<std::optional<PitchChartCell>>("cell");
    using Cell = std::optional<PitchChartCell>;
    QTest::newRow("lower C double flat") << QStringLiteral("C//") << Cell(PitchChartCell {0, 0});
    QTest::newRow("lower D flat") << QStringLiteral("D/") << Cell(PitchChartCell {1, 1});
    QTest::newRow("lower B natural") << QStringLiteral("B") << Cell(PitchChartCell {6, 2});
    QTest::newRow("lower F sharp") << QStringLiteral("F*") << Cell(PitchChartCell {3, 3});
    QTest::newRow("lower A double sharp") << QStringLiteral("A**") << Cell(PitchChartCell {5, 4});
    QTest::newRow("upper c natural") << QStringLiteral("c") << Cell(PitchChartCell {7, 2});
    QTest::newRow("upper g sharp") << QStringLiteral("g*") << Cell(PitchChartCell {11, 3});
    QTest::newRow("upper b double flat") << QStringLiteral("b//") << Cell(PitchChartCell {13, 0});
    QTest::newRow("empty") << QString() << Cell();
    QTest::newRow("letter outside A-G") << QStringLiteral("H") << Cell();
    QTest::newRow("small letter outside a-g") << QStringLiteral("h*") << Cell();
    QTest::newRow("triple sharp") << QStringLiteral("c***") << Cell();
    QTest::newRow("triple flat") << QStringLiteral("c///") << Cell();
    QTest::newRow("sharp and flat") << QStringLiteral("c*/") << Cell();
    QTest::newRow("mark first") << QStringLiteral("*c") << Cell();
    QTest::newRow("trailing blank") << QStringLiteral("c ") << Cell();
    QTest::newRow("two letters") << QStringLiteral("cd") << Cell();
    QTest::newRow("mark only") << QStringLiteral("*") << Cell();
}

void PitchChartDialogTest::cellOfSpelling()
{
    QFETCH(QString, spelling);
    QFETCH(std::optional<PitchChartCell>, cell);
    QCOMPARE(velk::pitches::pitchChartCell(spelling.toStdString()), cell);
}

void PitchChartDialogTest::referenceVocabularyFillsTheChart()
{
    PitchChartDialog dialog(referencePitches());
    dialog.show();
    QCOMPARE(dialog.objectName(), QStringLiteral("dlgPitchChart"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Pitch Spellings"));
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("lblPitchChartHelp"))->text().contains(QStringLiteral("Enter")));

    QTableWidget* chart = table(dialog, "tblPitchChart");
    QCOMPARE(chart->rowCount(), velk::pitches::kPitchChartRows);
    QCOMPARE(chart->columnCount(), velk::pitches::kPitchChartColumns);
    QCOMPARE(chart->verticalHeaderItem(0)->text(), QStringLiteral("C"));
    QCOMPARE(chart->verticalHeaderItem(13)->text(), QStringLiteral("b"));
    QVERIFY(chart->horizontalHeaderItem(4)->text().startsWith(QStringLiteral("**")));

    // All 70 pitches have a cell of their own, glyph in the pitch font beside the spelling in the window font.
    for (const auto& pitch : velk::store::referencePitches()) {
        const auto cell = velk::pitches::pitchChartCell(pitch.spelling);
        QVERIFY2(cell, pitch.spelling.c_str());
        QLabel* spelling = cellLabel(chart, cell->row, cell->column, "lblPitchSpelling");
        QLabel* glyph = cellLabel(chart, cell->row, cell->column, "lblPitchGlyph");
        QVERIFY2(spelling && glyph, pitch.spelling.c_str());
        QCOMPARE(spelling->text(), QString::fromStdString(pitch.spelling));
        QCOMPARE(glyph->text(), QString::fromStdString(pitch.glyph));
        QCOMPARE(glyph->font().family(), QString::fromLatin1(velk::ui::kVelkFont));
        QCOMPARE(glyph->font().pointSizeF(), 16.0);
        QCOMPARE(spelling->font().family(), QString::fromLatin1(velk::ui::kBookAntiqua));
        QVERIFY(spelling->isVisible() && glyph->isVisible());
    }
    QVERIFY(!table(dialog, "tblOtherSpellings")->isVisible());
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("lblOtherSpellings"))->isVisible());
}

void PitchChartDialogTest::everyGivenSpellingIsShown()
{
    // The reference vocabulary plus spellings a catalogue may hold that do not fit the chart: unknown marks,
    // letters outside A-G, and a second spelling for a cell already taken (here "c*" again, with another glyph).
    auto pitches = referencePitches();
    const PitchChartDialog::Pitches odd
        = {{"c***", "c3#"}, {"H", "H"}, {"c*", "other c sharp"}, {"", "blank"}, {"rest", "\xF0\x9D\x84\xBD"}};
    pitches.insert(pitches.end(), odd.begin(), odd.end());
    PitchChartDialog dialog(pitches);
    dialog.show();

    std::map<QString, int> expected;
    for (const auto& [spelling, glyph] : pitches) {
        ++expected[QString::fromStdString(spelling)];
    }
    QCOMPARE(shownSpellings(dialog), expected);

    // The misfits are listed in the order given, each beside its own glyph; the first "c*" keeps its cell.
    QTableWidget* others = table(dialog, "tblOtherSpellings");
    QVERIFY(others->isVisible());
    QCOMPARE(others->rowCount(), static_cast<int>(odd.size()));
    for (int row = 0; row < others->rowCount(); ++row) {
        QCOMPARE(others->item(row, 1)->text(), QString::fromStdString(odd[row].first));
        QCOMPARE(others->item(row, 0)->text(), QString::fromStdString(odd[row].second));
        QCOMPARE(others->item(row, 0)->font().family(), QString::fromLatin1(velk::ui::kVelkFont));
    }
    QTableWidget* chart = table(dialog, "tblPitchChart");
    QCOMPARE(cellLabel(chart, 7, 3, "lblPitchGlyph")->text(), QStringLiteral("c\u266F"));
}

void PitchChartDialogTest::textsArePlain()
{
    // A spelling from the catalogue is shown as typed, never read as markup.
    PitchChartDialog dialog({{"c", "<b>c</b>"}, {"<i>x</i>", "&amp;"}});
    QTableWidget* chart = table(dialog, "tblPitchChart");
    QLabel* glyph = cellLabel(chart, 7, 2, "lblPitchGlyph");
    QCOMPARE(glyph->textFormat(), Qt::PlainText);
    QCOMPARE(glyph->text(), QStringLiteral("<b>c</b>"));
    QCOMPARE(cellLabel(chart, 7, 2, "lblPitchSpelling")->textFormat(), Qt::PlainText);
    QCOMPARE(table(dialog, "tblOtherSpellings")->item(0, 1)->text(), QStringLiteral("<i>x</i>"));
}

void PitchChartDialogTest::emptyVocabulary()
{
    PitchChartDialog dialog({});
    dialog.show();
    QVERIFY(shownSpellings(dialog).empty());
    QTableWidget* chart = table(dialog, "tblPitchChart");
    QCOMPARE(chart->rowCount(), velk::pitches::kPitchChartRows);
    QVERIFY(!table(dialog, "tblOtherSpellings")->isVisible());
}

QTEST_MAIN(PitchChartDialogTest)
#include "PitchChartDialogTest.moc"
