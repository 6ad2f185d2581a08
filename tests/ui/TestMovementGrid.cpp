#include "store/Connection.h"
#include "store/MovementRecordset.h"
#include "tests/support/TempCatalogue.h"
#include "ui/DataGrid.h"
#include "ui/MovementGridModel.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QtTest>

#include <memory>
#include <optional>
#include <vector>

using velk::store::Connection;
using velk::store::MovementRecordset;
using velk::store::Value;
using velk::ui::DataGrid;
using velk::ui::MovementGridModel;

namespace
{

struct MovementRow
{
    int ktn;
    int mvmt;
    int order;
    Value composed;
    bool soprano;
    bool accompanied;
    Value deviation;
};

// Three movements stored out of catalogue order; the grid shows them sorted by KTN, movement, order.
const std::vector<MovementRow> kMovements = {
    {20, 1, 1, Value("1724"), true, false, Value(12.6)},
    {10, 2, 1, Value(), false, true, Value()},
    {10, 1, 2, Value("1723/1731"), true, true, Value(0.1f)},
};

class Fixture
{
public:
    Fixture()
    {
        Connection connection = Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite);
        for (const MovementRow& row : kMovements) {
            connection.execute(
                "insert into tblMovement (iKTN, iMvmt, iOrder, txtComposed, iLength, i12in, "
                "strOpeningKey, strClosingKey, chkSoprano, chkAlto, chkTenor, chkBass, chkAccompanied, "
                "Deviation) values (?, ?, ?, ?, 45, 3, 'C', 'G', ?, 0, 1, 0, ?, ?)",
                {row.ktn, row.mvmt, row.order, row.composed, row.soprano, row.accompanied, row.deviation});
        }
        connection.close();
        m_recordset = std::make_unique<MovementRecordset>(
            Connection::open(m_catalogue.connectionString(), velk::store::AccessMode::ReadWrite));
    }

    MovementRecordset& recordset()
    {
        return *m_recordset;
    }

private:
    velk::test::TempCatalogue m_catalogue;
    std::unique_ptr<MovementRecordset> m_recordset;
};

QString shown(const QAbstractItemModel& model, int row, int column)
{
    return model.index(row, column).data().toString();
}

QVariant checkState(const QAbstractItemModel& model, int row, int column)
{
    return model.index(row, column).data(Qt::CheckStateRole);
}

void clickRow(DataGrid& grid, int row)
{
    const QModelIndex cell = grid.model()->index(row, 1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(cell).center());
}

} // namespace

class TestMovementGrid : public QObject
{
    Q_OBJECT

private slots:
    void captionsAndWidths();
    void rowsInCatalogueOrder();
    void checkBoxColumns();
    void nullShowsEmpty();
    void followsRecordsetChanges();
    void acceptedMoveKeepsLine();
    void refusedMoveSnapsBack();
    void moveElsewhereSnapsToRecordset();
    void keysAskToo();
    void syncDoesNotAsk();
};

void TestMovementGrid::captionsAndWidths()
{
    const QStringList captions
        = {QStringLiteral("KTN"), QStringLiteral("Mvt."), QStringLiteral("Ord"), QStringLiteral("TC/FP"),
           QStringLiteral("Mm."), QStringLiteral("12in"), QStringLiteral("OK"),  QStringLiteral("CK"),
           QStringLiteral("S"),   QStringLiteral("A"),    QStringLiteral("T"),   QStringLiteral("B"),
           QStringLiteral("Acc"), QStringLiteral("Dev.")};
    const std::vector<int> twips = {645, 630, 630, 1605, 630, 645, 525, 525, 255, 255, 255, 255, 495, 645};
    Fixture fixture;
    DataGrid grid;
    grid.setRecordset(&fixture.recordset());
    QAbstractItemModel* model = grid.model();
    QCOMPARE(model->columnCount(), 14);
    for (int column = 0; column < 14; ++column) {
        QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), captions[column]);
        QCOMPARE(MovementGridModel::widthTwips(column), twips[static_cast<std::size_t>(column)]);
        // The classic width at least; a grid with room widens a column to its content.
        QVERIFY(grid.columnWidth(column) >= (twips[static_cast<std::size_t>(column)] * 96 + 720) / 1440);
    }
    QCOMPARE(MovementGridModel::fieldName(MovementGridModel::Accompanied), QStringLiteral("chkAccompanied"));
    QVERIFY(grid.editTriggers() == QAbstractItemView::NoEditTriggers);
    QFont large = grid.font();
    large.setPointSize(24);
    grid.setFont(large);
    QVERIFY(grid.verticalHeader()->defaultSectionSize() > QFontMetrics(large).height());
    QVERIFY(!(model->flags(model->index(0, MovementGridModel::Soprano)) & Qt::ItemIsUserCheckable));
    QVERIFY(!(model->flags(model->index(0, MovementGridModel::KTN)) & Qt::ItemIsEditable));
}

void TestMovementGrid::rowsInCatalogueOrder()
{
    Fixture fixture;
    MovementGridModel model(fixture.recordset());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 3);
    const QStringList expected = {QStringLiteral("10 1 2"), QStringLiteral("10 2 1"), QStringLiteral("20 1 1")};
    for (int row = 0; row < 3; ++row) {
        const QString key = shown(model, row, MovementGridModel::KTN) + QLatin1Char(' ')
            + shown(model, row, MovementGridModel::Mvmt) + QLatin1Char(' ')
            + shown(model, row, MovementGridModel::Order);
        QCOMPARE(key, expected[row]);
    }
    QCOMPARE(shown(model, 0, MovementGridModel::Composed), QStringLiteral("1723/1731"));
    QCOMPARE(shown(model, 0, MovementGridModel::Length), QStringLiteral("45"));
    QCOMPARE(shown(model, 0, MovementGridModel::TwelveInch), QStringLiteral("3"));
    QCOMPARE(shown(model, 0, MovementGridModel::OpeningKey), QStringLiteral("C"));
    QCOMPARE(shown(model, 0, MovementGridModel::ClosingKey), QStringLiteral("G"));
    // Deviation is a single-precision figure: 0.1f does not show as 0.100000001490116.
    QCOMPARE(shown(model, 0, MovementGridModel::Deviation), QStringLiteral("0.1"));
    QCOMPARE(shown(model, 2, MovementGridModel::Deviation), QStringLiteral("12.6"));
}

void TestMovementGrid::checkBoxColumns()
{
    Fixture fixture;
    MovementGridModel model(fixture.recordset());
    // Row 0 is 10/1/2 (soprano, accompanied), row 1 is 10/2/1 (accompanied only).
    QCOMPARE(checkState(model, 0, MovementGridModel::Soprano).toInt(), int(Qt::Checked));
    QCOMPARE(checkState(model, 0, MovementGridModel::Alto).toInt(), int(Qt::Unchecked));
    QCOMPARE(checkState(model, 0, MovementGridModel::Tenor).toInt(), int(Qt::Checked));
    QCOMPARE(checkState(model, 1, MovementGridModel::Soprano).toInt(), int(Qt::Unchecked));
    QCOMPARE(checkState(model, 1, MovementGridModel::Accompanied).toInt(), int(Qt::Checked));
    QCOMPARE(shown(model, 0, MovementGridModel::Soprano), QString());
    QVERIFY(!checkState(model, 0, MovementGridModel::KTN).isValid());
}

void TestMovementGrid::nullShowsEmpty()
{
    Fixture fixture;
    MovementGridModel model(fixture.recordset());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(shown(model, 1, MovementGridModel::Composed), QString());
    QCOMPARE(shown(model, 1, MovementGridModel::Deviation), QString());
    // A new row has Null everywhere, check boxes included.
    fixture.recordset().addNew();
    QCOMPARE(model.rowCount(), 4);
    for (int column = 0; column < MovementGridModel::ColumnCount; ++column) {
        QCOMPARE(shown(model, 3, column), QString());
        QVERIFY(!checkState(model, 3, column).isValid());
    }
}

void TestMovementGrid::followsRecordsetChanges()
{
    Fixture fixture;
    MovementRecordset& recordset = fixture.recordset();
    DataGrid grid;
    grid.setRecordset(&recordset);
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(grid.currentIndex().row(), 0);

    QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(grid.model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(grid.model(), &QAbstractItemModel::dataChanged);

    recordset.setField("iKTN", 11);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(shown(*grid.model(), 0, MovementGridModel::KTN), QStringLiteral("11"));
    recordset.cancelBatch();
    QCOMPARE(shown(*grid.model(), 0, MovementGridModel::KTN), QStringLiteral("10"));

    recordset.addNew();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(grid.model()->rowCount(), 4);
    grid.syncToCurrent(recordset.currentIndex());
    QCOMPARE(grid.currentIndex().row(), 3);
    recordset.cancelBatch();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(grid.model()->rowCount(), 3);
    QTRY_COMPARE(grid.currentIndex().row(), 0);

    recordset.moveTo(2);
    recordset.deleteCurrent();
    recordset.updateBatch(velk::store::Affect::All);
    QCOMPARE(grid.model()->rowCount(), 2);
    QCOMPARE(shown(*grid.model(), 1, MovementGridModel::KTN), QStringLiteral("10"));
    QTRY_VERIFY(!grid.currentIndex().isValid() || grid.currentIndex().row() == 1);
}

void TestMovementGrid::acceptedMoveKeepsLine()
{
    Fixture fixture;
    MovementRecordset& recordset = fixture.recordset();
    DataGrid grid;
    grid.setRecordset(&recordset);
    std::vector<std::size_t> asked;
    grid.setRequestMove([&](std::size_t row) {
        asked.push_back(row);
        return recordset.moveTo(row);
    });
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    clickRow(grid, 2);
    QCOMPARE(asked, std::vector<std::size_t> {2});
    QCOMPARE(recordset.currentIndex(), std::optional<std::size_t>(2));
    QTest::qWait(0);
    QCOMPARE(grid.currentIndex().row(), 2);
    QCOMPARE(grid.selectionModel()->selectedRows().size(), 1);
}

void TestMovementGrid::refusedMoveSnapsBack()
{
    Fixture fixture;
    MovementRecordset& recordset = fixture.recordset();
    // The window's move guard during an edit: every move is refused.
    recordset.setWillMove([](velk::store::MoveReason) { return false; });
    DataGrid grid;
    grid.setRecordset(&recordset);
    int asked = 0;
    grid.setRequestMove([&](std::size_t row) {
        ++asked;
        return recordset.moveTo(row);
    });
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    clickRow(grid, 1);
    QCOMPARE(asked, 1);
    QCOMPARE(recordset.currentIndex(), std::optional<std::size_t>(0));
    QTRY_COMPARE(grid.currentIndex().row(), 0);
    const QModelIndexList selected = grid.selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), 0);
    // Snapping back is no new request.
    QCOMPARE(asked, 1);
}

void TestMovementGrid::moveElsewhereSnapsToRecordset()
{
    Fixture fixture;
    MovementRecordset& recordset = fixture.recordset();
    DataGrid grid;
    grid.setRecordset(&recordset);
    grid.setRequestMove([&](std::size_t) { return recordset.moveLast(); });
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    clickRow(grid, 1);
    QTRY_COMPARE(grid.currentIndex().row(), 2);
}

void TestMovementGrid::keysAskToo()
{
    Fixture fixture;
    MovementRecordset& recordset = fixture.recordset();
    DataGrid grid;
    grid.setRecordset(&recordset);
    std::vector<std::size_t> asked;
    grid.setRequestMove([&](std::size_t row) {
        asked.push_back(row);
        return recordset.moveTo(row);
    });
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(asked, std::vector<std::size_t> {1});
    QCOMPARE(recordset.currentIndex(), std::optional<std::size_t>(1));
    // Typing a letter does not jump to a row.
    QTest::keyClicks(&grid, QStringLiteral("2"));
    QCOMPARE(asked.size(), std::size_t {1});
}

void TestMovementGrid::syncDoesNotAsk()
{
    Fixture fixture;
    MovementRecordset& recordset = fixture.recordset();
    DataGrid grid;
    grid.setRecordset(&recordset);
    int asked = 0;
    grid.setRequestMove([&](std::size_t) {
        ++asked;
        return true;
    });
    recordset.moveLast();
    grid.syncToCurrent(recordset.currentIndex());
    QCOMPARE(grid.currentIndex().row(), 2);
    recordset.moveNext();
    grid.syncToCurrent(recordset.currentIndex());
    QVERIFY(!grid.currentIndex().isValid());
    QVERIFY(grid.selectionModel()->selectedRows().isEmpty());
    grid.syncToCurrent(std::size_t {7});
    QVERIFY(!grid.currentIndex().isValid());
    QCOMPARE(asked, 0);
}

QTEST_MAIN(TestMovementGrid)
#include "TestMovementGrid.moc"
