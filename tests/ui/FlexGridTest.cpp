#include "ui/FlexGrid.h"
#include "ui/FlexGridModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using velk::ui::FlexGrid;
using velk::ui::FlexGridModel;

namespace
{

QString tabbed(std::initializer_list<const char*> cells)
{
    QStringList parts;
    for (const char* cell : cells) {
        parts.append(QString::fromUtf8(cell));
    }
    return parts.join(QLatin1Char('\t'));
}

// The pitch grid's layout: the position number in a fixed column, the glyph beside it.
void fillPitchGrid(FlexGrid& grid, int count)
{
    grid.setFixedRows(0);
    grid.setFixedCols(1);
    grid.setRows(0);
    grid.setCols(2);
    for (int i = 0; i < count; ++i) {
        grid.addItem(QString::number(i + 1) + QLatin1Char('\t') + QStringLiteral("g%1").arg(i + 1));
        grid.setRowData(i, 100 + i);
    }
}

} // namespace

class FlexGridTest : public QObject
{
    Q_OBJECT

private slots:
    void modelStaysConsistent();
    void addItemSplitsCells_data();
    void addItemSplitsCells();
    void fixedRowIsTheHeader();
    void fixedColumnIsTheRowHeader();
    void rowDataFollowsItsRow();
    void selChangeOnProgramMoves();
    void selChangeOnClick();
    void clickInFixedColumnSelectsFirstCell();
    void selChangeOnKeys();
    void reentrantSetColSettles();
    void endlessHandlerIsCut();
    void setRowsZeroEmpties();
    void setTopRowScrolls();
    void manyRowsAtOnce();
    void rowsOnDemandAreReadAsShown_data();
    void rowsOnDemandAreReadAsShown();
    void rowsOnDemandScrolledByKeys();
    void cellFonts();
    void columnWidthsInTwips();
    void clearKeepsShape();
    void currentCellInFixedRow();
};

void FlexGridTest::modelStaysConsistent()
{
    FlexGrid grid;
    QAbstractItemModelTester tester(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.setCols(3);
    grid.addItem(tabbed({"Class", "Count", "%"}));
    grid.setFixedRows(1);
    grid.addItem(tabbed({"a", "1", "50"}));
    grid.addItems({tabbed({"b", "2", "25"}), tabbed({"c", "3", "12.5", "extra"})});
    QCOMPARE(grid.cols(), 4);
    grid.setCurrentCell(1, 1);
    grid.setText(QStringLiteral("7"));
    grid.setCellFont(QStringLiteral("Velk"), 16, false);
    grid.setRowData(2, 5);
    grid.removeItem(1);
    grid.removeItem(0);
    grid.setFixedCols(1);
    grid.setCols(2);
    grid.setRows(5);
    grid.setRows(2);
    grid.clear();
    grid.setRows(0);
    QCOMPARE(grid.gridModel()->rowCount(), 0);
}

void FlexGridTest::addItemSplitsCells_data()
{
    QTest::addColumn<int>("colsBefore");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("colsAfter");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("two cells") << 2 << tabbed({"1", "A"}) << 2
                               << QStringList {QStringLiteral("1"), QStringLiteral("A")};
    QTest::newRow("empty middle") << 3 << tabbed({"a", "", "c"}) << 3
                                  << QStringList {QStringLiteral("a"), QString(), QStringLiteral("c")};
    QTest::newRow("fewer cells") << 3 << QStringLiteral("x") << 3
                                 << QStringList {QStringLiteral("x"), QString(), QString()};
    QTest::newRow("grows columns") << 1 << tabbed({"a", "b", "c"}) << 3
                                   << QStringList {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("trailing tab") << 0 << QStringLiteral("a\t") << 2 << QStringList {QStringLiteral("a"), QString()};
    QTest::newRow("nine tabs") << 10 << QString(9, QLatin1Char('\t')) << 10 << QStringList(10, QString());
}

void FlexGridTest::addItemSplitsCells()
{
    QFETCH(int, colsBefore);
    QFETCH(QString, item);
    QFETCH(int, colsAfter);
    QFETCH(QStringList, cells);

    for (bool bulk : {false, true}) {
        FlexGrid grid;
        grid.setCols(colsBefore);
        grid.addItem(QStringLiteral("first"));
        if (bulk) {
            grid.addItems({item});
        } else {
            grid.addItem(item);
        }
        QCOMPARE(grid.rows(), 2);
        QCOMPARE(grid.cols(), colsAfter);
        for (int col = 0; col < colsAfter; ++col) {
            QCOMPARE(grid.textMatrix(1, col), cells.value(col));
        }
        QCOMPARE(grid.textMatrix(0, 0), QStringLiteral("first"));
    }
}

void FlexGridTest::fixedRowIsTheHeader()
{
    // The result grid's set-up: header row, a spare row to allow the fixed row, then back to one row.
    FlexGrid grid;
    grid.setRows(0);
    grid.setCols(10);
    grid.clear();
    grid.addItem(tabbed({"KTN", "MVMT", "Deviation", "Subject1", "Subject2", "Subject3", "Subject4", "Subject5",
                         "Subject6", "Description"}));
    grid.addItem(QString(9, QLatin1Char('\t')));
    grid.setFixedRows(1);
    grid.setRows(1);
    grid.setFixedCols(0);

    FlexGridModel* model = grid.gridModel();
    QCOMPARE(grid.rows(), 1);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 10);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("KTN"));
    QCOMPARE(model->headerData(9, Qt::Horizontal).toString(), QStringLiteral("Description"));
    QVERIFY(model->headerData(2, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    QVERIFY(!grid.horizontalHeader()->isHidden());
    QVERIFY(grid.verticalHeader()->isHidden());

    grid.addItems({tabbed({"12", "3", "4.5"}), tabbed({"13", "1"})});
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("12"));
    QCOMPARE(grid.textMatrix(2, 1), QStringLiteral("1"));
    QCOMPARE(grid.textMatrix(0, 1), QStringLiteral("MVMT"));
}

void FlexGridTest::fixedColumnIsTheRowHeader()
{
    FlexGrid grid;
    fillPitchGrid(grid, 3);
    FlexGridModel* model = grid.gridModel();
    QCOMPARE(model->columnCount(), 1);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    QCOMPARE(model->data(model->index(2, 0)).toString(), QStringLiteral("g3"));
    QVERIFY(grid.horizontalHeader()->isHidden());
    QVERIFY(!grid.verticalHeader()->isHidden());
}

void FlexGridTest::rowDataFollowsItsRow()
{
    FlexGrid grid;
    fillPitchGrid(grid, 4);
    grid.setCurrentCell(3, 1);
    grid.removeItem(1);
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(grid.rowData(0), 100);
    QCOMPARE(grid.rowData(1), 102);
    QCOMPARE(grid.rowData(2), 103);
    QCOMPARE(grid.textMatrix(1, 1), QStringLiteral("g3"));
    // The current cell stays on the same pitch, which moved up.
    QCOMPARE(grid.row(), 2);
    QCOMPARE(grid.text(), QStringLiteral("g4"));
    QCOMPARE(grid.rowData(7), 0);

    // Removing the current last row leaves the new last row current.
    grid.removeItem(2);
    QCOMPARE(grid.row(), 1);
    QCOMPARE(grid.text(), QStringLiteral("g3"));
}

void FlexGridTest::selChangeOnProgramMoves()
{
    FlexGrid grid;
    fillPitchGrid(grid, 5);
    grid.setCurrentCell(0, 1);
    QSignalSpy spy(&grid, &FlexGrid::selChange);

    grid.setRow(3);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.row(), 3);
    grid.setRow(3);
    QCOMPARE(spy.count(), 1);
    grid.setCol(0);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(grid.col(), 0);
    grid.setCurrentCell(4, 1);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(grid.text(), QStringLiteral("g5"));
    grid.setRow(9);
    grid.setCol(-1);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(grid.selectionModel()->currentIndex(), grid.gridModel()->index(4, 0));
}

void FlexGridTest::selChangeOnClick()
{
    FlexGrid grid;
    grid.setCols(3);
    grid.addItem(tabbed({"H0", "H1", "H2"}));
    grid.setFixedRows(1);
    for (int i = 1; i <= 5; ++i) {
        grid.addItem(tabbed({"a", "b", "c"}));
    }
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy spy(&grid, &FlexGrid::selChange);

    const QModelIndex cell = grid.gridModel()->index(2, 1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(cell).center());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.row(), 3);
    QCOMPARE(grid.col(), 1);
}

void FlexGridTest::clickInFixedColumnSelectsFirstCell()
{
    FlexGrid grid;
    fillPitchGrid(grid, 6);
    grid.setCurrentCell(0, 1);
    // The pitch window's handler: the number column never stays current.
    QStringList shown;
    connect(&grid, &FlexGrid::selChange, &grid, [&] {
        grid.setCol(1);
        shown.append(grid.text());
    });
    grid.resize(300, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QHeaderView* numbers = grid.verticalHeader();
    const int y = numbers->sectionViewportPosition(4) + numbers->sectionSize(4) / 2;
    QTest::mouseClick(numbers->viewport(), Qt::LeftButton, {}, QPoint(numbers->width() / 2, y));
    QCOMPARE(grid.row(), 4);
    QCOMPARE(grid.col(), 1);
    QCOMPARE(shown.value(shown.size() - 1), QStringLiteral("g5"));
}

void FlexGridTest::selChangeOnKeys()
{
    FlexGrid grid;
    fillPitchGrid(grid, 4);
    grid.setCurrentCell(1, 1);
    grid.show();
    grid.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &grid);
    QSignalSpy spy(&grid, &FlexGrid::selChange);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(grid.row(), 2);
    QCOMPARE(grid.text(), QStringLiteral("g3"));
}

void FlexGridTest::reentrantSetColSettles()
{
    FlexGrid grid;
    fillPitchGrid(grid, 3);
    grid.setCurrentCell(0, 1);
    int calls = 0;
    connect(&grid, &FlexGrid::selChange, &grid, [&] {
        ++calls;
        QVERIFY(calls < 10);
        grid.setCol(1);
    });
    grid.setCurrentCell(2, 0);
    QCOMPARE(grid.row(), 2);
    QCOMPARE(grid.col(), 1);
    // Once for the move, once more for the handler's own change; never nested.
    QCOMPARE(calls, 2);
    QCOMPARE(grid.selectionModel()->currentIndex(), grid.gridModel()->index(2, 0));
}

void FlexGridTest::endlessHandlerIsCut()
{
    FlexGrid grid;
    fillPitchGrid(grid, 2);
    grid.setCurrentCell(0, 1);
    int depth = 0;
    int maxDepth = 0;
    int calls = 0;
    connect(&grid, &FlexGrid::selChange, &grid, [&] {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        ++calls;
        grid.setCol(1 - grid.col());
        --depth;
    });
    grid.setRow(1);
    QCOMPARE(maxDepth, 1);
    QVERIFY(calls > 1);
    QVERIFY(calls <= 16);
}

void FlexGridTest::setRowsZeroEmpties()
{
    FlexGrid grid;
    fillPitchGrid(grid, 5);
    grid.setCurrentCell(4, 1);
    QSignalSpy spy(&grid, &FlexGrid::selChange);
    grid.setRows(0);
    QCOMPARE(grid.rows(), 0);
    QCOMPARE(grid.row(), -1);
    QCOMPARE(grid.text(), QString());
    QCOMPARE(grid.gridModel()->rowCount(), 0);
    QCOMPARE(grid.rowData(0), 0);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!grid.selectionModel()->currentIndex().isValid());

    grid.addItem(QStringLiteral("1\tnew"));
    QCOMPARE(grid.textMatrix(0, 1), QStringLiteral("new"));
    QCOMPARE(grid.rowData(0), 0);
    QCOMPARE(grid.row(), 0);
}

void FlexGridTest::setTopRowScrolls()
{
    FlexGrid grid;
    grid.setCols(2);
    grid.setFixedRows(1);
    grid.addItem(QStringLiteral("Pitch\tCount"));
    QStringList rows;
    for (int i = 1; i <= 200; ++i) {
        rows.append(QString::number(i) + QStringLiteral("\tx"));
    }
    grid.addItems(rows);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QVERIFY(grid.rowIsVisible(0));
    QVERIFY(grid.rowIsVisible(1));
    QVERIFY(!grid.rowIsVisible(150));
    QCOMPARE(grid.topRow(), 1);
    grid.setTopRow(150);
    QVERIFY(grid.rowIsVisible(150));
    QVERIFY(!grid.rowIsVisible(1));
    QVERIFY(grid.rowIsVisible(0));
    QCOMPARE(grid.topRow(), 150);
}

namespace
{

// A source of rows on demand that notes which of its rows were asked for.
struct CountingSource
{
    std::size_t size = 0;
    std::vector<std::size_t> asked; ///< the first row of each call
    std::size_t rowsGiven = 0;

    FlexGridModel::RowSource source()
    {
        return [this](std::size_t first, std::size_t count) {
            asked.push_back(first);
            std::vector<QStringList> rows;
            for (std::size_t i = first; i < first + count && i < size; ++i) {
                rows.push_back({QString::number(i), QStringLiteral("r%1").arg(i)});
                ++rowsGiven;
            }
            return rows;
        };
    }
};

} // namespace

void FlexGridTest::rowsOnDemandAreReadAsShown_data()
{
    QTest::addColumn<int>("removeRow"); // a grid row removed before reading, or -1
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<int>("sourceSize"); // rows the source can give (fewer than appended: the rest stay empty)
    QTest::addColumn<int>("readRow");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first row") << -1 << false << 5000 << 1 << "r0";
    QTest::newRow("far row") << -1 << false << 5000 << 4000 << "r3999";
    QTest::newRow("after a removal the rows keep their source rows") << 3 << false << 5000 << 3 << "r3";
    QTest::newRow("cleared rows are empty, not read") << -1 << true << 5000 << 4000 << "";
    QTest::newRow("a source with fewer rows leaves the rest empty") << -1 << false << 4000 << 4005 << "";
}

// Rows appended on demand: one reset, nothing read until shown or read, a block around the row read, the block in
// order after a removal, and a row that cannot be read empty.
void FlexGridTest::rowsOnDemandAreReadAsShown()
{
    QFETCH(int, removeRow);
    QFETCH(bool, cleared);
    QFETCH(int, sourceSize);
    QFETCH(int, readRow);
    QFETCH(QString, expected);
    FlexGrid grid;
    QAbstractItemModelTester tester(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.setRows(1);
    grid.setCols(2);
    grid.setFixedRows(1);
    CountingSource counting;
    counting.size = static_cast<std::size_t>(sourceSize);
    QSignalSpy resets(grid.gridModel(), &QAbstractItemModel::modelReset);
    grid.addItemsOnDemand(5000, counting.source());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(grid.rows(), 5001);
    const std::size_t askedBefore = counting.rowsGiven;
    QVERIFY(askedBefore <= 2 * FlexGridModel::kRowsOnDemandBlock); // at most the current row's block, unseen
    if (removeRow >= 0) {
        grid.removeItem(removeRow);
    }
    if (cleared) {
        grid.clear();
    }
    QCOMPARE(grid.textMatrix(readRow, 1), expected);
    QVERIFY(counting.rowsGiven <= askedBefore + FlexGridModel::kRowsOnDemandBlock);
    if (!expected.isEmpty()) {
        // The rows of its block came with it: reading one next to it asks nothing more.
        const std::size_t asked = counting.asked.size();
        QCOMPARE(grid.textMatrix(readRow + 1, 1).isEmpty(), false);
        QCOMPARE(counting.asked.size(), asked);
    }
}

// Shown in a window and walked through by keys, the grid reads only what comes into view.
void FlexGridTest::rowsOnDemandScrolledByKeys()
{
    FlexGrid grid;
    grid.resize(400, 300);
    grid.setRows(1);
    grid.setCols(2);
    grid.setFixedRows(1);
    CountingSource counting;
    counting.size = 100000;
    grid.addItemsOnDemand(100000, counting.source());
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setFocus();
    QTRY_VERIFY(QApplication::focusWidget() == &grid);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    QTRY_COMPARE(grid.row(), 100000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
    QVERIFY(grid.row() < 100000);
    QCOMPARE(grid.textMatrix(grid.row(), 1), QStringLiteral("r%1").arg(grid.row() - 1));
    QVERIFY(counting.rowsGiven < 1000);
}

void FlexGridTest::manyRowsAtOnce()
{
    constexpr int kCount = 32767;
    FlexGrid grid;
    grid.setFixedCols(1);
    grid.setCols(2);
    QStringList rows;
    std::vector<std::int32_t> values;
    rows.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        rows.append(QString::number(i + 1) + QLatin1Char('\t') + QChar(0x2669));
        values.push_back(i % 90 + 1);
    }
    QFont glyphs(QStringLiteral("Velk"));
    glyphs.setPointSize(16);
    QSignalSpy resets(grid.gridModel(), &QAbstractItemModel::modelReset);
    grid.addItems(rows, values, 1, glyphs);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(grid.rows(), kCount);
    QCOMPARE(grid.gridModel()->rowCount(), kCount);
    QCOMPARE(grid.textMatrix(kCount - 1, 0), QStringLiteral("32767"));
    QCOMPARE(grid.rowData(kCount - 1), (kCount - 1) % 90 + 1);
    QCOMPARE(grid.cellFont(kCount - 1, 1).family(), QStringLiteral("Velk"));
    QCOMPARE(grid.cellFont(kCount - 1, 0), grid.font());
    // The first cell past the fixed column became current when the rows arrived.
    QCOMPARE(grid.row(), 0);
    QCOMPARE(grid.col(), 1);
    grid.setRow(kCount - 1);
    QCOMPARE(grid.text(), QString(QChar(0x2669)));
}

void FlexGridTest::cellFonts()
{
    FlexGrid grid;
    QFont gridFont(QStringLiteral("Book Antiqua"));
    gridFont.setPointSize(12);
    gridFont.setBold(true);
    grid.setFont(gridFont);
    fillPitchGrid(grid, 2);
    grid.setCurrentCell(1, 1);
    grid.setCellFont(QStringLiteral("Velk"), 16, false);

    const QFont glyph = grid.cellFont(1, 1);
    QCOMPARE(glyph.family(), QStringLiteral("Velk"));
    QCOMPARE(glyph.pointSizeF(), 16.0);
    QVERIFY(!glyph.bold());
    const QModelIndex shown = grid.gridModel()->index(1, 0);
    QCOMPARE(grid.gridModel()->data(shown, Qt::FontRole).value<QFont>(), glyph);
    QVERIFY(!grid.gridModel()->data(grid.gridModel()->index(0, 0), Qt::FontRole).isValid());
    QCOMPARE(grid.cellFont(0, 1), gridFont);
    // Rows are tall enough for the glyph font.
    QVERIFY(grid.rowHeight(1) >= QFontMetrics(glyph).height());
}

void FlexGridTest::columnWidthsInTwips()
{
    FlexGrid grid;
    grid.setCols(3);
    grid.setFixedCols(1);
    grid.addItem(tabbed({"1", "a", "b"}));
    grid.setColWidth(0, 600);
    grid.setColWidth(1, 1440);
    grid.setColWidth(2, 1400 * 2);
    QCOMPARE(grid.columnWidth(0), 96);
    QCOMPARE(grid.columnWidth(1), 187);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.verticalHeader()->width(), 40);
    QCOMPARE(grid.colWidth(1), 1440);
    // Widths survive a refill.
    grid.setRows(0);
    grid.addItems({tabbed({"1", "x", "y"})});
    QCOMPARE(grid.columnWidth(0), 96);
}

void FlexGridTest::clearKeepsShape()
{
    FlexGrid grid;
    fillPitchGrid(grid, 3);
    grid.setCurrentCell(2, 1);
    grid.setCellFont(QStringLiteral("Velk"), 16, false);
    grid.clear();
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(grid.cols(), 2);
    QCOMPARE(grid.textMatrix(2, 1), QString());
    QCOMPARE(grid.gridModel()->headerData(0, Qt::Vertical).toString(), QString());
    QCOMPARE(grid.cellFont(2, 1), grid.font());
    QCOMPARE(grid.rowData(2), 102);
}

void FlexGridTest::currentCellInFixedRow()
{
    // The tabulation grids write their header through the current cell.
    FlexGrid grid;
    grid.setFixedRows(1);
    grid.setRows(1);
    grid.setCols(3);
    grid.setCurrentCell(0, 0);
    grid.setText(QStringLiteral("Class"));
    grid.setCol(1);
    grid.setText(QStringLiteral("Count"));
    grid.setCol(2);
    grid.setText(QStringLiteral("%"));
    QCOMPARE(grid.gridModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Count"));
    QCOMPARE(grid.gridModel()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("%"));
    QCOMPARE(grid.gridModel()->rowCount(), 0);

    grid.addItems({tabbed({"c", "4", "25"}), tabbed({"d", "", ""})});
    grid.setCol(0);
    for (int row = 1; row < grid.rows(); ++row) {
        grid.setRow(row);
        grid.setCellFont(QStringLiteral("Velk"), 16, false);
    }
    QCOMPARE(grid.row(), 2);
    QCOMPARE(grid.col(), 0);
    QCOMPARE(grid.cellFont(1, 0).family(), QStringLiteral("Velk"));
    QVERIFY(grid.cellFont(0, 0).family() != QStringLiteral("Velk"));
}

QTEST_MAIN(FlexGridTest)
#include "FlexGridTest.moc"
