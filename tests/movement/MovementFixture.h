#pragma once

#include "movement/MovementController.h"
#include "store/Connection.h"
#include "tests/movement/FakeMovementView.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velk::test
{

using movement::MovementController;

struct MovementRow
{
    int ktn;
    int mvmt;
    int order;
    std::string sub1;
    std::string description;
};

class MovementControllerTest : public ::testing::Test
{
protected:
    test::TempCatalogue catalogue;
    test::FakeMovementView view;

    store::Connection db()
    {
        return store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadWrite);
    }

    std::int64_t addMovement(const MovementRow& row)
    {
        auto c = db();
        c.execute("insert into tblMovement (iKTN, iMvmt, iOrder, Sub1, Description, txtComments) "
                  "values (?, ?, ?, ?, ?, ?)",
                  {row.ktn, row.mvmt, row.order, row.sub1, row.description, std::string("{\\rtf1 comment}")});
        return c.lastInsertId();
    }

    void addSequence(std::int64_t movementId, const std::vector<std::string>& spellings)
    {
        auto c = db();
        for (const auto& spelling : spellings) {
            c.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) "
                      "select ?, iPitchID from tblPitchLookup where txtPitch = ?",
                      {movementId, spelling});
        }
    }

    std::vector<std::int64_t> storedSequence(std::int64_t movementId)
    {
        auto c = db();
        std::vector<std::int64_t> ids;
        auto rs = c.query("select iPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID",
                          {movementId});
        for (const auto& row : rs.rows()) {
            ids.push_back(row[0].toInt64());
        }
        return ids;
    }

    store::Value storedField(std::int64_t movementId, const std::string& field)
    {
        auto c = db();
        auto rs = c.query("select " + field + " from tblMovement where iMovementID = ?", {movementId});
        return rs.bof() ? store::Value() : rs.field(0);
    }

    void failWritesTo(const std::string& table)
    {
        auto c = db();
        for (const char* op : {"INSERT", "UPDATE", "DELETE"}) {
            c.executeScript(std::string("CREATE TRIGGER fail_") + op + "_" + table + " BEFORE " + op + " ON " + table
                            + " BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;");
        }
    }

    /// Another program takes the sequences away: every later read of a movement's pitches fails.
    void breakPitchReads()
    {
        db().execute("alter table tblMovementPitchJoin rename to tblTakenAway");
    }
    void restorePitchReads()
    {
        store::Connection::openRaw(catalogue.file(), store::AccessMode::ReadWrite)
            .execute("alter table tblTakenAway rename to tblMovementPitchJoin");
    }

    std::int64_t pitchId(const std::string& spelling)
    {
        auto c = db();
        return c.query("select iPitchID from tblPitchLookup where txtPitch = ?", {spelling}).field(0).toInt64();
    }
};

class ThreeMovements : public MovementControllerTest
{
protected:
    std::int64_t second = 0, first = 0, third = 0;
    std::unique_ptr<MovementController> ctl;

    void SetUp() override
    {
        second = addMovement({2, 1, 1, "Joy", "{\\rtf1 second}"});
        first = addMovement({1, 2, 1, "Night", "{\\rtf1\\ansi {\\b first} description}"});
        third = addMovement({3, 1, 1, "Joy", ""});
        addSequence(first, {"c", "d*", "e/", "c", "f**"});
        ctl = std::make_unique<MovementController>(view, catalogue.connectionString());
        ASSERT_TRUE(ctl->Load().ok());
    }
};

} // namespace velk::test
