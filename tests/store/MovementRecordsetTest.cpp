#include "store/MovementRecordset.h"
#include "store/Connection.h"
#include "store/StoreError.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

#include <string>
#include <vector>

namespace velk::store
{
namespace
{

std::string reasonName(MoveReason reason)
{
    switch (reason) {
    case MoveReason::Move:
        return "Move";
    case MoveReason::MoveFirst:
        return "MoveFirst";
    case MoveReason::MoveNext:
        return "MoveNext";
    case MoveReason::MovePrevious:
        return "MovePrevious";
    case MoveReason::MoveLast:
        return "MoveLast";
    case MoveReason::UndoUpdate:
        return "UndoUpdate";
    case MoveReason::UndoDelete:
        return "UndoDelete";
    }
    return "?";
}

std::string rowsName(const RowsChange& change)
{
    switch (change.kind) {
    case RowsChange::Kind::Inserted:
        return "Inserted " + std::to_string(change.row);
    case RowsChange::Kind::Removed:
        return "Removed " + std::to_string(change.row);
    case RowsChange::Kind::Changed:
        return "Changed " + std::to_string(change.row);
    }
    return "?";
}

class RecordsetTest : public ::testing::Test
{
protected:
    /// A catalogue with the given works (iKTN values, inserted in this order) and a recordset over it that logs
    /// every notification.
    MovementRecordset& open(const std::vector<int>& works)
    {
        Connection setup = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        for (int ktn : works) {
            setup.execute("insert into tblMovement (iKTN, iMvmt, iOrder, txtComposed) values (?, 1, 1, ?)",
                          {Value(ktn), Value("TC " + std::to_string(ktn))});
        }
        setup.close();
        m_recordset.emplace(Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite));
        m_recordset->setWillMove([this](MoveReason reason) {
            m_log.push_back("ask " + reasonName(reason));
            return m_allowMoves;
        });
        m_recordset->setMoveComplete([this](MoveReason reason) { m_log.push_back("done " + reasonName(reason)); });
        m_recordset->setRowsObserver([this](const RowsChange& change) { m_log.push_back(rowsName(change)); });
        return *m_recordset;
    }

    std::vector<std::string> takeLog()
    {
        return std::exchange(m_log, {});
    }

    std::int64_t count(const std::string& where = "1 = 1")
    {
        Connection c = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
        return c.query("select count(*) from tblMovement where " + where).rows()[0][0].toInt64();
    }

    std::int64_t ktn(MovementRecordset& r)
    {
        return r.field("iKTN").toInt64();
    }

    test::TempCatalogue m_catalogue;
    std::optional<MovementRecordset> m_recordset;
    std::vector<std::string> m_log;
    bool m_allowMoves = true;
};

using Log = std::vector<std::string>;

TEST_F(RecordsetTest, OpensInCatalogueOrderOnTheFirstRowWithoutNotice)
{
    MovementRecordset& r = open({30, 10, 20});
    EXPECT_EQ(r.recordCount(), 3);
    EXPECT_EQ(r.position(), 1);
    EXPECT_EQ(ktn(r), 10);
    EXPECT_EQ(r.fieldAt(2, static_cast<std::size_t>(r.columnIndex("ikTn"))).toInt64(), 30);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RecordsetTest, EmptyTableIsAtBothEnds)
{
    MovementRecordset& r = open({});
    EXPECT_TRUE(r.bof());
    EXPECT_TRUE(r.eof());
    EXPECT_LT(r.position(), 0);
    EXPECT_FALSE(r.currentIndex().has_value());
    EXPECT_EQ(r.recordCount(), 0);
    EXPECT_EQ(r.editState(), EditState::None);
    EXPECT_THROW(r.field("iKTN"), StoreError);
    EXPECT_TRUE(r.moveNext());
    EXPECT_TRUE(r.bof() && r.eof());
}

TEST_F(RecordsetTest, MovesPastEitherEndWithoutClampingAndComeBack)
{
    MovementRecordset& r = open({1, 2, 3});
    EXPECT_TRUE(r.movePrevious());
    EXPECT_TRUE(r.bof());
    EXPECT_FALSE(r.eof());
    EXPECT_LT(r.position(), 0);
    EXPECT_THROW(r.field("iKTN"), StoreError);
    EXPECT_TRUE(r.movePrevious()); // stays before the first row
    EXPECT_TRUE(r.moveNext());
    EXPECT_EQ(ktn(r), 1);
    r.moveLast();
    EXPECT_EQ(r.position(), 3);
    r.moveNext();
    EXPECT_TRUE(r.eof());
    EXPECT_FALSE(r.bof());
    EXPECT_LT(r.position(), 0);
    r.movePrevious();
    EXPECT_EQ(ktn(r), 3);
    r.moveTo(1);
    EXPECT_EQ(ktn(r), 2);
    EXPECT_THROW(r.moveTo(3), StoreError);
    EXPECT_EQ(takeLog(),
              (Log {"ask MovePrevious", "done MovePrevious", "ask MovePrevious", "done MovePrevious", "ask MoveNext",
                    "done MoveNext", "ask MoveLast", "done MoveLast", "ask MoveNext", "done MoveNext",
                    "ask MovePrevious", "done MovePrevious", "ask Move", "done Move"}));
}

TEST_F(RecordsetTest, RefusedMovesChangeNothing)
{
    MovementRecordset& r = open({1, 2, 3});
    r.moveTo(1);
    takeLog();
    m_allowMoves = false;
    EXPECT_FALSE(r.moveFirst());
    EXPECT_FALSE(r.moveLast());
    EXPECT_FALSE(r.moveNext());
    EXPECT_FALSE(r.movePrevious());
    EXPECT_FALSE(r.moveTo(0));
    r.addNew();
    EXPECT_EQ(r.position(), 2);
    EXPECT_EQ(r.recordCount(), 3);
    EXPECT_EQ(r.editState(), EditState::None);
    EXPECT_EQ(takeLog(),
              (Log {"ask MoveFirst", "ask MoveLast", "ask MoveNext", "ask MovePrevious", "ask Move", "ask Move"}));
}

TEST_F(RecordsetTest, FieldLookupIgnoresCase)
{
    MovementRecordset& r = open({4});
    EXPECT_EQ(r.field("IKTN"), r.field("iKTN"));
    EXPECT_EQ(r.field("txtcomposed"), Value("TC 4"));
    EXPECT_EQ(r.columnIndex("DEVIATION"), 22);
    EXPECT_EQ(r.columnIndex("nothing"), -1);
    EXPECT_THROW(r.field("nothing"), StoreError);
    EXPECT_THROW(r.setField("nothing", Value(1)), StoreError);
    EXPECT_TRUE(r.isIntegerColumn("imvmt"));
    EXPECT_TRUE(r.isIntegerColumn("chkBass"));
    EXPECT_FALSE(r.isIntegerColumn("Deviation"));
    EXPECT_FALSE(r.isIntegerColumn("Sub1"));
}

TEST_F(RecordsetTest, AddedRowHasANullIdUntilWrittenAndThenItsNewId)
{
    MovementRecordset& r = open({1, 2});
    r.moveTo(0);
    takeLog();
    r.addNew();
    EXPECT_EQ(takeLog(), (Log {"ask Move", "Inserted 2", "done Move"}));
    EXPECT_EQ(r.position(), 3);
    EXPECT_EQ(r.recordCount(), 3);
    EXPECT_EQ(r.editState(), EditState::Added);
    EXPECT_TRUE(r.field("iMovementID").isNull());
    EXPECT_TRUE(r.field("chkSoprano").isNull());
    r.setField("iKTN", Value(9));
    r.setField("Deviation", Value(std::stod("12.6")));
    EXPECT_EQ(r.editState(), EditState::Added);
    takeLog();
    r.updateBatch(Affect::Current);
    EXPECT_EQ(takeLog(), (Log {"Changed 2"}));
    EXPECT_EQ(r.editState(), EditState::None);
    EXPECT_EQ(r.field("iMovementID"), Value(std::int64_t {3}));
    EXPECT_EQ(r.field("chkSoprano"), Value(0)); // the store's default, read back
    EXPECT_EQ(r.field("Deviation"), Value(12.6));
    EXPECT_EQ(r.position(), 3);
    EXPECT_EQ(count("iKTN = 9 and Deviation = 12.6"), 1);
}

TEST_F(RecordsetTest, CancelOfAnAddedRowReturnsToThePreviousRow)
{
    MovementRecordset& r = open({1, 2, 3});
    r.moveTo(1);
    r.addNew();
    r.setField("iKTN", Value(7));
    takeLog();
    r.cancelBatch();
    EXPECT_EQ(takeLog(), (Log {"Removed 3", "done Move"}));
    EXPECT_EQ(r.recordCount(), 3);
    EXPECT_EQ(ktn(r), 2);
    EXPECT_EQ(r.editState(), EditState::None);
    EXPECT_EQ(count(), 3);
}

struct EndCase
{
    const char* name;
    bool pastTheEnd; // else before the start
};

class CancelAtAnEnd : public RecordsetTest, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P(CancelAtAnEnd, ComesBackToTheSameEnd)
{
    MovementRecordset& r = open({1, 2, 3});
    if (GetParam().pastTheEnd) {
        r.moveLast();
        r.moveNext();
    } else {
        r.movePrevious();
    }
    r.addNew();
    r.cancelBatch();
    EXPECT_EQ(r.eof(), GetParam().pastTheEnd);
    EXPECT_EQ(r.bof(), !GetParam().pastTheEnd);
    EXPECT_EQ(r.recordCount(), 3);
    GetParam().pastTheEnd ? r.movePrevious() : r.moveNext();
    EXPECT_EQ(ktn(r), GetParam().pastTheEnd ? 3 : 1);
}

INSTANTIATE_TEST_SUITE_P(Ends,
                         CancelAtAnEnd,
                         ::testing::Values(EndCase {"past_the_end", true}, EndCase {"before_the_start", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PlaceCase
{
    const char* name;
    std::optional<int> ktn; // the written row's iKTN (nothing: Null)
    std::vector<int> order; // iKTN of the rows after placing, Null as 0
    long position;
};

class PlaceInOrder : public RecordsetTest, public ::testing::WithParamInterface<PlaceCase>
{
};

TEST_P(PlaceInOrder, AWrittenRowTakesItsPlaceAndStaysCurrent)
{
    MovementRecordset& r = open({2, 4, 6});
    r.addNew();
    if (GetParam().ktn) {
        r.setField("iKTN", Value(*GetParam().ktn));
    }
    r.setField("iMvmt", Value(1));
    r.setField("iOrder", Value(1));
    r.updateBatch(Affect::Current);
    const auto id = r.field("iMovementID").toInt64();
    takeLog();
    r.placeCurrentInOrder();
    EXPECT_EQ(r.position(), GetParam().position);
    EXPECT_EQ(r.field("iMovementID").toInt64(), id);
    std::vector<int> order;
    for (std::size_t row = 0; row < 4; ++row) {
        const Value& value = r.fieldAt(row, static_cast<std::size_t>(r.columnIndex("iKTN")));
        order.push_back(value.isNull() ? 0 : static_cast<int>(value.toInt64()));
    }
    EXPECT_EQ(order, GetParam().order);
    for (const auto& entry : takeLog()) {
        EXPECT_EQ(entry.rfind("done", 0), std::string::npos) << "placing is no move: " << entry;
    }
}

INSTANTIATE_TEST_SUITE_P(Places,
                         PlaceInOrder,
                         ::testing::Values(PlaceCase {"between", 3, {2, 3, 4, 6}, 2},
                                           PlaceCase {"first", 1, {1, 2, 4, 6}, 1},
                                           PlaceCase {"last", 9, {2, 4, 6, 9}, 4},
                                           PlaceCase {"after_its_equal", 4, {2, 4, 4, 6}, 3},
                                           PlaceCase {"null_first", std::nullopt, {0, 2, 4, 6}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

struct KeptValueCase
{
    const char* name;
    const char* column;
    Value value;
};

class KeptValue : public RecordsetTest, public ::testing::WithParamInterface<KeptValueCase>
{
};

// The rows are kept packed; every kind and size of value must come back exactly as the file holds it, next to
// neighbours of other kinds, through edits of another field, a cancel and a write.
TEST_P(KeptValue, ComesBackAsStoredThroughEditsAndWrites)
{
    const KeptValueCase& c = GetParam();
    {
        Connection setup = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        setup.execute(std::string("insert into tblMovement (iKTN, iMvmt, ") + c.column
                          + ", txtComments, iOrder) values (7, 1, ?, 'after', 300)",
                      {c.value});
    }
    MovementRecordset& r = open({});
    const auto column = static_cast<std::size_t>(r.columnIndex(c.column));
    ASSERT_EQ(r.recordCount(), 1);
    EXPECT_EQ(r.fieldAt(0, column), c.value);
    EXPECT_EQ(r.field("txtComments"), Value("after"));
    EXPECT_EQ(r.field("iOrder"), Value(300));
    r.setField("Sub6", Value("Night"));
    EXPECT_EQ(r.field(c.column), c.value);
    r.cancelBatch();
    EXPECT_EQ(r.field(c.column), c.value);
    EXPECT_TRUE(r.field("Sub6").isNull());

    // Written through the recordset into a new row, it reads back the same from the file and from the snapshot.
    r.addNew();
    r.setField("iKTN", Value(8));
    r.setField(c.column, c.value);
    r.updateBatch(Affect::Current);
    EXPECT_EQ(r.field(c.column), c.value);
    Connection check = Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly);
    const ResultSet stored = check.query(std::string("select ") + c.column + " from tblMovement where iKTN = 8");
    ASSERT_EQ(stored.recordCount(), 1u);
    EXPECT_EQ(stored.rows()[0][0], c.value);
    EXPECT_EQ(r.field("iKTN"), Value(8));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds,
    KeptValue,
    ::testing::Values(KeptValueCase {"null", "iLength", Value()},
                      KeptValueCase {"zero", "iLength", Value(0)},
                      KeptValueCase {"int8_low", "iLength", Value(std::int64_t {-128})},
                      KeptValueCase {"int16_above_int8", "iLength", Value(std::int64_t {128})},
                      KeptValueCase {"int16_low", "iLength", Value(std::int64_t {-32768})},
                      KeptValueCase {"int32_above_int16", "iLength", Value(std::int64_t {32768})},
                      KeptValueCase {"int32_high", "iLength", Value(std::int64_t {2147483647})},
                      KeptValueCase {"int64_below_int32", "iLength", Value(std::int64_t {-2147483649LL})},
                      KeptValueCase {"int64_highest", "iLength", Value(std::numeric_limits<std::int64_t>::max())},
                      KeptValueCase {"int64_lowest", "iLength", Value(std::numeric_limits<std::int64_t>::min())},
                      KeptValueCase {"real", "Deviation", Value(-0.1)},
                      KeptValueCase {"real_huge", "Deviation", Value(1e300)},
                      KeptValueCase {"empty_text", "txtComposed", Value("")},
                      KeptValueCase {"text_255", "txtComposed", Value(std::string(255, 'x'))},
                      KeptValueCase {"text_256", "txtComposed", Value(std::string(256, 'y'))},
                      KeptValueCase {"text_70000", "Description", Value(std::string(70000, 'z'))},
                      KeptValueCase {"text_with_nul", "txtComposed", Value(std::string("a\0b", 3))},
                      KeptValueCase {"text_utf8", "Sub1", Value("Freude \xC3\xBC \xE2\x80\x9C")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecordsetTest, CancelOfAnAddedRowInAnEmptyListLeavesNoCurrentRow)
{
    MovementRecordset& r = open({});
    r.addNew();
    EXPECT_EQ(r.position(), 1);
    r.cancelBatch();
    EXPECT_TRUE(r.bof() && r.eof());
    EXPECT_EQ(r.recordCount(), 0);
}

TEST_F(RecordsetTest, ChangedRowIsWrittenWithOnlyItsChangedColumns)
{
    MovementRecordset& r = open({1, 2});
    r.moveTo(1);
    takeLog();
    r.setField("txtComposed", Value("TC 1725"));
    EXPECT_EQ(r.editState(), EditState::InProgress);
    EXPECT_EQ(takeLog(), (Log {"Changed 1"}));
    // Another program changes a column this row did not touch; the batch keeps that change.
    {
        Connection other = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        other.execute("update tblMovement set Sub1 = 'Joy' where iKTN = 2");
    }
    r.updateBatch(Affect::All);
    EXPECT_EQ(r.editState(), EditState::None);
    EXPECT_EQ(r.field("Sub1"), Value("Joy"));
    EXPECT_EQ(count("iKTN = 2 and txtComposed = 'TC 1725' and Sub1 = 'Joy'"), 1);
}

TEST_F(RecordsetTest, AValueStoredByOtherMeansIsShownAndNeverWrittenBack)
{
    MovementRecordset& r = open({1, 2});
    const std::int64_t id = r.fieldAt(1, static_cast<std::size_t>(r.columnIndex("iMovementID"))).toInt64();
    // Unchanged row: it takes the value and stays unchanged.
    takeLog();
    r.takeStoredValue(id, "Deviation", Value(4.5));
    EXPECT_EQ(takeLog(), (Log {"Changed 1"}));
    EXPECT_EQ(r.fieldAt(1, static_cast<std::size_t>(r.columnIndex("Deviation"))), Value(4.5));
    r.moveTo(1);
    EXPECT_EQ(r.editState(), EditState::None);
    // A row with a pending edit keeps its edit, and its save does not write the value back over a newer one.
    r.setField("txtComposed", Value("TC 1725"));
    r.takeStoredValue(id, "Deviation", Value(6.0));
    {
        Connection other = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        other.execute("update tblMovement set Deviation = 7.5 where iMovementID = ?", {Value(id)});
    }
    EXPECT_EQ(r.editState(), EditState::InProgress);
    r.updateBatch(Affect::Current);
    EXPECT_EQ(count("iKTN = 2 and txtComposed = 'TC 1725' and Deviation = 7.5"), 1);
    EXPECT_EQ(r.field("Deviation"), Value(7.5));
    // An id that names no row changes nothing.
    takeLog();
    r.takeStoredValue(id + 100, "Deviation", Value(1.0));
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RecordsetTest, CancelOfAChangedRowRestoresItsValuesAndStays)
{
    MovementRecordset& r = open({1, 2});
    r.moveTo(1);
    r.setField("iKTN", Value(5));
    r.setField("Sub2", Value("Night"));
    takeLog();
    r.cancelBatch();
    EXPECT_EQ(takeLog(), (Log {"Changed 1", "done UndoUpdate"}));
    EXPECT_EQ(ktn(r), 2);
    EXPECT_TRUE(r.field("Sub2").isNull());
    EXPECT_EQ(r.position(), 2);
    EXPECT_EQ(r.editState(), EditState::None);
    r.updateBatch(Affect::All); // nothing pending any more
    EXPECT_EQ(count("iKTN = 2 and Sub2 is null"), 1);
}

struct DeleteCase
{
    std::size_t deleted;
    long expectedPosition; // -1: no current row
    std::int64_t expectedKtn;
};

void PrintTo(const DeleteCase& c, std::ostream* out)
{
    *out << "row " << c.deleted;
}

class DeleteTest : public RecordsetTest, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(DeleteTest, FollowingRowElsePreviousBecomesCurrent)
{
    MovementRecordset& r = open({1, 2, 3});
    r.moveTo(GetParam().deleted);
    r.deleteCurrent();
    EXPECT_EQ(r.editState(), EditState::Deleted);
    EXPECT_EQ(r.position(), static_cast<long>(GetParam().deleted) + 1); // stays current until written
    takeLog();
    r.updateBatch(Affect::All);
    EXPECT_EQ(takeLog(), (Log {"Removed " + std::to_string(GetParam().deleted), "done Move"}));
    EXPECT_EQ(r.recordCount(), 2);
    EXPECT_EQ(r.position(), GetParam().expectedPosition);
    EXPECT_EQ(ktn(r), GetParam().expectedKtn);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(count("iKTN = " + std::to_string(GetParam().deleted + 1)), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows,
                         DeleteTest,
                         ::testing::Values(DeleteCase {0, 1, 2}, DeleteCase {1, 2, 3}, DeleteCase {2, 2, 2}));

TEST_F(RecordsetTest, DeletingTheOnlyRowLeavesNoCurrentRow)
{
    MovementRecordset& r = open({1});
    r.deleteCurrent();
    r.updateBatch(Affect::All);
    EXPECT_TRUE(r.bof() && r.eof());
    EXPECT_LT(r.position(), 0);
    EXPECT_EQ(count(), 0);
}

TEST_F(RecordsetTest, CancelOfADeletionKeepsTheRow)
{
    MovementRecordset& r = open({1, 2});
    r.deleteCurrent();
    r.cancelBatch();
    EXPECT_EQ(r.editState(), EditState::None);
    r.updateBatch(Affect::All);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(ktn(r), 1);
}

TEST_F(RecordsetTest, BatchOfAllWritesEveryPendingRowAndCurrentOnlyTheCurrent)
{
    MovementRecordset& r = open({1, 2, 3});
    r.moveTo(0);
    r.setField("Sub1", Value("Praise"));
    r.moveTo(2);
    r.setField("Sub1", Value("Lament"));
    r.updateBatch(Affect::Current);
    EXPECT_EQ(count("Sub1 is not null"), 1);
    r.moveTo(0);
    EXPECT_EQ(r.editState(), EditState::InProgress);
    r.moveTo(1);
    r.deleteCurrent();
    r.updateBatch(Affect::All);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(count("Sub1 = 'Praise'"), 1);
    EXPECT_EQ(r.recordCount(), 2);
    EXPECT_EQ(ktn(r), 3);
}

TEST_F(RecordsetTest, DeletedMovementTakesItsSequence)
{
    MovementRecordset& r = open({1, 2});
    const Value id = r.field("iMovementID");
    r.connection().execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, 1), (?, 2)", {id, id});
    r.deleteCurrent();
    r.updateBatch(Affect::All);
    EXPECT_EQ(r.connection().query("select count(*) from tblMovementPitchJoin").rows()[0][0].toInt64(), 0);
}

TEST_F(RecordsetTest, IdsAreNotReusedAfterDeletingTheHighest)
{
    MovementRecordset& r = open({1, 2});
    r.moveLast();
    const std::int64_t highest = r.field("iMovementID").toInt64();
    r.deleteCurrent();
    r.updateBatch(Affect::All);
    r.addNew();
    r.updateBatch(Affect::Current);
    EXPECT_GT(r.field("iMovementID").toInt64(), highest);
}

TEST_F(RecordsetTest, RowRemovedByAnotherProgramIsReportedAndStaysPending)
{
    MovementRecordset& r = open({1, 2});
    r.setField("iLength", Value(120));
    {
        Connection other = Connection::open(m_catalogue.connectionString(), AccessMode::ReadWrite);
        other.execute("delete from tblMovement where iKTN = 1");
    }
    try {
        r.updateBatch(Affect::All);
        FAIL();
    } catch (const StoreError& error) {
        EXPECT_STREQ(error.what(), "This movement was changed or removed by another program; it was not saved.");
    }
    EXPECT_EQ(r.editState(), EditState::InProgress);
    EXPECT_EQ(r.field("iLength"), Value(120));
}

TEST_F(RecordsetTest, FailedBatchKeepsEveryPendingChangeForARetry)
{
    MovementRecordset& r = open({1, 2});
    r.setField("iKTN", Value(11));
    r.moveTo(1);
    r.deleteCurrent();
    r.addNew();
    r.setField("iKTN", Value(12));
    r.setField("chkAlto", Value(5)); // refused by the store
    EXPECT_THROW(r.updateBatch(Affect::All), StoreError);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(count("iKTN = 11"), 0);
    EXPECT_EQ(r.recordCount(), 3);
    EXPECT_EQ(r.editState(), EditState::Added);
    EXPECT_TRUE(r.field("iMovementID").isNull());
    r.setField("chkAlto", Value(true));
    r.updateBatch(Affect::All);
    EXPECT_EQ(count("iKTN in (11, 12)"), 2);
    EXPECT_EQ(count("iKTN = 2"), 0);
    EXPECT_EQ(r.recordCount(), 2);
    EXPECT_EQ(ktn(r), 12);
    EXPECT_FALSE(r.field("iMovementID").isNull());
}

TEST_F(RecordsetTest, ReadOnlyCatalogueRefusesTheBatchAndKeepsIt)
{
    open({1});
    MovementRecordset r(Connection::open(m_catalogue.connectionString(), AccessMode::ReadOnly));
    r.setField("Sub3", Value("Spring"));
    try {
        r.updateBatch(Affect::Current);
        FAIL();
    } catch (const StoreError& error) {
        EXPECT_NE(std::string(error.what()).find("read-only"), std::string::npos) << error.what();
    }
    EXPECT_EQ(r.editState(), EditState::InProgress);
    EXPECT_EQ(r.field("Sub3"), Value("Spring"));
}

} // namespace
} // namespace velk::store
