#include "movement/MovementController.h"
#include "store/Connection.h"
#include "tests/movement/FakeMovementView.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velk;
using movement::Button;
using movement::MovementController;
using movement::RichBox;

namespace
{

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
        ASSERT_TRUE(ctl->Load().ok);
    }
};

TEST_F(ThreeMovements, OpensOnTheFirstMovementInCatalogueOrder)
{
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  1 - MVMT:  2");
    EXPECT_EQ(ctl->iLastMovementID(), first);
    EXPECT_EQ(view.rich[RichBox::Description], "{\\rtf1\\ansi {\\b first} description}");
    ASSERT_EQ(view.pitchGrid.size(), 5u);
    EXPECT_EQ(view.pitchCurrent, 0u);
    EXPECT_EQ(view.pitchBox, view.pitchGrid[0].glyph);
    EXPECT_EQ(view.sharps, "2");
    EXPECT_EQ(view.flats, "1");
    EXPECT_FALSE(view.fieldsEnabled);
    EXPECT_TRUE(view.buttons[Button::New] && view.buttons[Button::Edit] && view.buttons[Button::Delete]);
    EXPECT_FALSE(view.buttons[Button::Save] || view.buttons[Button::Undo]);
}

TEST_F(ThreeMovements, MovingPastEitherEndKeepsTheLastMovementShown)
{
    ctl->ToolbarClick(Button::Prev);
    EXPECT_TRUE(ctl->recordset()->bof());
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  1 - MVMT:  2");
    EXPECT_EQ(ctl->iLastMovementID(), first);
    EXPECT_FALSE(view.buttons[Button::Prev]);
    EXPECT_TRUE(view.buttons[Button::Next] && view.buttons[Button::First] && view.buttons[Button::Last]);
    EXPECT_TRUE(view.buttons[Button::New]);
    EXPECT_FALSE(view.buttons[Button::Edit] || view.buttons[Button::Delete] || view.buttons[Button::Find]);

    ctl->ToolbarClick(Button::Next);
    EXPECT_EQ(ctl->recordset()->position(), 1);

    ctl->ToolbarClick(Button::Last);
    ctl->ToolbarClick(Button::Next);
    EXPECT_TRUE(ctl->recordset()->eof());
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  3 - MVMT:  1");
    EXPECT_FALSE(view.buttons[Button::Next]);
    ctl->ToolbarClick(Button::Prev);
    EXPECT_EQ(ctl->iLastMovementID(), third);
    EXPECT_TRUE(view.pitchGrid.empty());
    EXPECT_EQ(view.sharps, "0");
    EXPECT_EQ(view.flats, "0");
    EXPECT_EQ(view.pitchBox, "");
}

TEST_F(ThreeMovements, AGridClickAfterMovingPastTheEndEnablesTheRowsCommands)
{
    ctl->ToolbarClick(Button::Prev);
    ASSERT_TRUE(ctl->GridRowChosen(1));
    EXPECT_EQ(ctl->iLastMovementID(), second);
    EXPECT_TRUE(view.buttons[Button::Edit] && view.buttons[Button::Delete] && view.buttons[Button::Prev]);
}

TEST_F(ThreeMovements, MovesAreRefusedDuringMovementAndPitchEdits)
{
    ctl->ToolbarClick(Button::Edit);
    EXPECT_TRUE(ctl->bMovementEditMode());
    EXPECT_FALSE(view.tabsEnabled);
    ctl->ToolbarClick(Button::Next);
    EXPECT_FALSE(ctl->GridRowChosen(2));
    EXPECT_EQ(view.gridRow, 0u);
    EXPECT_EQ(ctl->iLastMovementID(), first);
    EXPECT_TRUE(view.buttons[Button::Next]) << "navigation stays offered while the move is refused";
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);

    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g");
    EXPECT_FALSE(ctl->GridRowChosen(1));
    ctl->ToolbarClick(Button::Next);
    EXPECT_EQ(ctl->iLastMovementID(), first);
    EXPECT_EQ(ctl->pitchRows().size(), 6u) << "the appended pitch survives the refused move";
}

TEST_F(ThreeMovements, NewMovementIsSavedIntoTheFile)
{
    ctl->ToolbarClick(Button::New);
    EXPECT_EQ(ctl->iLastMovementID(), 0);
    EXPECT_EQ(view.rich[RichBox::Description], "");
    EXPECT_TRUE(view.pitchGrid.empty());
    EXPECT_EQ(view.focus, movement::FocusTarget::KTN);
    EXPECT_TRUE(ctl->bMovementEditMode());
    EXPECT_FALSE(ctl->BoundCheck("chkSoprano"));
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  1 - MVMT:  2") << "a row not yet stored keeps the caption";

    ctl->SetBoundText("iKTN", "7");
    ctl->SetBoundText("iMvmt", "3");
    ctl->SetBoundText("Sub2", "Grüß \"Gott\"");
    ctl->SetBoundCheck("chkAlto", true);
    view.edits[RichBox::Description] = "{\\rtf1 new}";
    ctl->KeyPress(19);

    EXPECT_FALSE(ctl->bMovementEditMode());
    const auto id = ctl->iLastMovementID();
    ASSERT_GT(id, third);
    EXPECT_EQ(storedField(id, "iKTN").toInt64(), 7);
    EXPECT_EQ(storedField(id, "Sub2").toText(), "Grüß \"Gott\"");
    EXPECT_EQ(storedField(id, "chkAlto").toInt64(), 1);
    EXPECT_EQ(storedField(id, "chkBass").toInt64(), 0);
    EXPECT_EQ(storedField(id, "Description").toText(), "{\\rtf1 new}");
    EXPECT_TRUE(storedField(id, "iOrder").isNull()) << "an empty box stores Null";
    EXPECT_EQ(storedField(id, "Deviation").toDouble(), 0.0);
}

TEST_F(ThreeMovements, ANonNumberInAnIntegerFieldIsRefusedAndTheEditStaysOpen)
{
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("iKTN", "12a");
    ctl->ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0].text.rfind("Error Saving:  KTN", 0), 0u) << view.told[0].text;
    EXPECT_TRUE(ctl->bMovementEditMode());
    EXPECT_EQ(storedField(first, "iKTN").toInt64(), 1);
    ctl->SetBoundText("iKTN", "12");
    ctl->ToolbarClick(Button::Save);
    EXPECT_FALSE(ctl->bMovementEditMode());
    EXPECT_EQ(storedField(first, "iKTN").toInt64(), 12);
}

TEST_F(ThreeMovements, UndoRestoresTheOldValuesAndTheOldRichText)
{
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub1", "Changed");
    view.edits[RichBox::Description] = "{\\rtf1 abandoned}";
    view.rich[RichBox::Description] = "{\\rtf1 abandoned}";
    view.answers = {false};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_TRUE(ctl->bMovementEditMode()) << "declined undo keeps the edit";
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0].text, "Are you sure you want to undo your changes?");
    EXPECT_EQ(view.asked[0].title, "Confirm Delete");

    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_FALSE(ctl->bMovementEditMode());
    EXPECT_EQ(ctl->BoundText("Sub1"), "Night");
    EXPECT_EQ(view.rich[RichBox::Description], "{\\rtf1\\ansi {\\b first} description}");
    EXPECT_FALSE(view.edits[RichBox::Description]);
}

TEST_F(ThreeMovements, UndoOfANewRowShowsTheRowThatWasCurrentBefore)
{
    ctl->ToolbarClick(Button::Next);
    ctl->ToolbarClick(Button::New);
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_EQ(ctl->recordset()->recordCount(), 3);
    EXPECT_EQ(ctl->iLastMovementID(), second);
    EXPECT_EQ(view.rich[RichBox::Description], "{\\rtf1 second}");
}

TEST_F(ThreeMovements, DeleteAsksAndOnYesShowsTheNextMovement)
{
    view.answers = {false};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(view.asked.back().text, "Are you sure you want to delete this movement?");
    EXPECT_EQ(view.asked.back().title, "Confirm Delete");
    EXPECT_EQ(ctl->recordset()->recordCount(), 3);

    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->recordset()->recordCount(), 2);
    EXPECT_TRUE(storedField(first, "iMovementID").isNull());
    EXPECT_TRUE(storedSequence(first).empty()) << "the sequence goes with its movement";
    EXPECT_EQ(ctl->iLastMovementID(), second);
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  2 - MVMT:  1");

    ctl->ToolbarClick(Button::Last);
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->iLastMovementID(), second) << "deleting the last row shows the one before it";
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->iLastMovementID(), 0);
    EXPECT_EQ(view.caption, MovementController::kDesignCaption);
    EXPECT_TRUE(ctl->recordset()->bof() && ctl->recordset()->eof());
}

TEST_F(ThreeMovements, AFailedDeleteKeepsTheMovement)
{
    failWritesTo("tblMovement");
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told[0].text.find("disk is full"), std::string::npos);
    EXPECT_EQ(ctl->recordset()->recordCount(), 3);
    EXPECT_EQ(ctl->recordset()->editState(), store::EditState::None);
    EXPECT_FALSE(storedField(first, "iMovementID").isNull());
}

TEST_F(ThreeMovements, AFailedSaveIsReportedAndKeepsTheEdit)
{
    failWritesTo("tblMovement");
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub1", "Kept");
    ctl->ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0].text.rfind("Error Saving:  ", 0), 0u);
    EXPECT_TRUE(ctl->bMovementEditMode());
    EXPECT_EQ(ctl->BoundText("Sub1"), "Kept");

    view.answers = {true};
    EXPECT_FALSE(ctl->Unload()) << "the window stays open when the save asked for on closing fails";
    EXPECT_EQ(ctl->BoundText("Sub1"), "Kept");
}

TEST_F(ThreeMovements, ClosingDuringAnEditAsksAndHonoursTheAnswer)
{
    EXPECT_TRUE(ctl->Unload());
    EXPECT_TRUE(view.asked.empty()) << "closing while browsing asks nothing";

    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub1", "Dropped");
    view.answers = {false};
    EXPECT_TRUE(ctl->Unload());
    EXPECT_EQ(view.asked.back().text, "Edit in progress, do you want to save changes before exiting?");
    EXPECT_EQ(view.asked.back().title, "Velk");
    EXPECT_EQ(storedField(first, "Sub1").toText(), "Night");

    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub1", "Saved");
    view.answers = {true};
    EXPECT_TRUE(ctl->Unload());
    EXPECT_EQ(storedField(first, "Sub1").toText(), "Saved");
}

TEST_F(ThreeMovements, ClosingDuringAPitchEditAsksAgain)
{
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "a");
    view.answers = {false};
    EXPECT_TRUE(ctl->Unload());
    EXPECT_EQ(storedSequence(first).size(), 5u);
    view.answers = {true};
    EXPECT_TRUE(ctl->Unload());
    EXPECT_EQ(storedSequence(first).size(), 6u);
}

struct ShortcutCase
{
    int code;
    const char* tab;
    bool opensEdit;
    std::size_t questions;
};

class Shortcuts : public ThreeMovements, public ::testing::WithParamInterface<ShortcutCase>
{
};

TEST_P(Shortcuts, ActAsTheirButtonOnEachPage)
{
    const auto c = GetParam();
    ctl->TabClick(c.tab);
    view.told.clear();
    ctl->KeyPress(c.code);
    EXPECT_EQ(ctl->bMovementEditMode(), c.opensEdit);
    EXPECT_EQ(view.asked.size(), c.questions);
}

INSTANTIATE_TEST_SUITE_P(
    AllPages,
    Shortcuts,
    ::testing::Values(ShortcutCase {14, movement::kTabMovementData, true, 0}, // Ctrl+N
                      ShortcutCase {5, movement::kTabMovementData, true, 0}, // Ctrl+E
                      ShortcutCase {4, movement::kTabMovementData, false, 1}, // Ctrl+D asks
                      ShortcutCase {21, movement::kTabMovementData, false, 0}, // Ctrl+U: undo is disabled
                      ShortcutCase {19, movement::kTabMovementData, false, 0}, // Ctrl+S: save is disabled
                      ShortcutCase {14, movement::kTabSubjects, false, 0}, // no new movement from subjects
                      ShortcutCase {5, movement::kTabSubjects, true, 0},
                      ShortcutCase {4, movement::kTabSubjects, false, 0},
                      ShortcutCase {4, movement::kTabTabulations, false, 0}, // nothing to delete there
                      ShortcutCase {8, movement::kTabMovementData, false, 0}, // Ctrl+H and friends are inert
                      ShortcutCase {13, movement::kTabMovementData, false, 0},
                      ShortcutCase {20, movement::kTabMovementData, false, 0}));

TEST_F(MovementControllerTest, ACatalogueMadeBeforeTheQuickerIndexesGetsThemWhenOpenedForWriting)
{
    const std::string indexes = "select group_concat(name, ' ') from (select name from sqlite_master where type = "
                                "'index' and name like 'idx%' order by name)";
    std::string made;
    {
        auto c = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadWrite);
        made = c.query(indexes).rows()[0][0].toText();
        for (int n = 1; n <= 6; ++n) {
            c.execute("drop index idxMovementSub" + std::to_string(n));
        }
        c.execute("drop index idxMovementPitchJoinSequence");
        c.execute("create index idxMovementPitchJoinMovement on tblMovementPitchJoin (iMovementID, iMovementPitchID)");
    }
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok);
    auto c = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadOnly);
    EXPECT_EQ(c.query(indexes).rows()[0][0].toText(), made);
    EXPECT_NE(made.find("idxMovementPitchJoinSequence"), std::string::npos);
    EXPECT_EQ(made.find("idxMovementPitchJoinMovement"), std::string::npos);
}

TEST_F(MovementControllerTest, AnEmptyCatalogueOffersOnlyNew)
{
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok);
    EXPECT_EQ(ctl.iLastMovementID(), 0);
    EXPECT_EQ(view.caption, "");
    EXPECT_EQ(ctl.caption(), MovementController::kDesignCaption);
    for (int b : {2, 3, 4, 5, 6, 8, 9, 10, 11}) {
        EXPECT_FALSE(view.buttons[b]) << b;
    }
    EXPECT_TRUE(view.buttons[Button::New]);

    ctl.KeyPress(4);
    EXPECT_TRUE(view.asked.empty()) << "a disabled command's shortcut does nothing";
    view.answers = {true};
    ctl.KeyPress(21);
    EXPECT_TRUE(view.asked.empty());

    ctl.TabClick(movement::kTabPitches);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0].text, "Please select a movement from the grid on the movement tab.");
    EXPECT_EQ(view.page, movement::Page::Pitches);
    EXPECT_FALSE(view.buttons[Button::New]) << "no pitches without a stored movement";

    ctl.TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.total, "");
}

TEST_F(MovementControllerTest, AMissingCatalogueIsAClearFailure)
{
    MovementController ctl(view, store::connectionStringForFile((catalogue.folder() / "none.db").string()));
    const auto outcome = ctl.Load();
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.message.find("none.db"), std::string::npos);
    EXPECT_NE(outcome.message.find("velk-catalogue"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(catalogue.folder() / "none.db"));
}

TEST_F(MovementControllerTest, AnEmptyPitchVocabularyIsAClearFailure)
{
    db().execute("delete from tblPitchClassJoin");
    db().execute("delete from tblClassLookup");
    db().execute("delete from tblPitchLookup");
    MovementController ctl(view, catalogue.connectionString());
    const auto outcome = ctl.Load();
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.message.find("tblPitchLookup"), std::string::npos);
}

TEST_F(ThreeMovements, PitchEntryAppendsReplacesDeletesAndStores)
{
    ctl->TabClick(movement::kTabPitches);
    EXPECT_EQ(view.focus, movement::FocusTarget::PitchGrid);
    ctl->ToolbarClick(Button::New);
    EXPECT_TRUE(ctl->bPitchEditMode());
    EXPECT_FALSE(view.tabsEnabled);
    ctl->PitchKeyPress(13, "g");
    ctl->PitchKeyPress(13, "G ");
    EXPECT_EQ(view.told.back().text, "Entry not found !");
    EXPECT_EQ(view.pitchBox, "") << "the box is cleared even after the message";
    ctl->PitchKeyPress(13, "A");
    EXPECT_EQ(ctl->pitchRows().size(), 7u);
    EXPECT_TRUE(view.buttons[Button::Save] && view.buttons[Button::Undo]);
    EXPECT_FALSE(view.buttons[Button::New] || view.buttons[Button::Edit] || view.buttons[Button::Delete]);
    EXPECT_EQ(storedSequence(first).size(), 5u) << "appending stores nothing";
    ctl->ToolbarClick(Button::Save);
    EXPECT_FALSE(ctl->bPitchEditMode());
    EXPECT_EQ(storedSequence(first).size(), 7u);
    EXPECT_EQ(storedSequence(first).back(), pitchId("A"));

    // Replace row 1 (d*) by b/: stored at once, one edit replaces one pitch.
    ctl->PitchSelectionChanged(1);
    ctl->ToolbarClick(Button::Edit);
    ctl->PitchSelectionChanged(3);
    ctl->PitchKeyPress(13, "b/");
    EXPECT_FALSE(ctl->bPitchEditMode());
    EXPECT_EQ(storedSequence(first)[1], pitchId("b/"));
    EXPECT_EQ(storedSequence(first)[3], pitchId("c"));

    // Delete a middle row: the following pitch becomes current.
    ctl->PitchSelectionChanged(2);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(storedSequence(first).size(), 6u);
    EXPECT_EQ(ctl->pitchRow(), 2u);
    EXPECT_EQ(storedSequence(first)[2], pitchId("c"));
    // The last row: the new last row becomes current.
    ctl->PitchSelectionChanged(5);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->pitchRow(), 4u);
}

TEST_F(ThreeMovements, UndoLosesAppendedPitches)
{
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g");
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_EQ(ctl->pitchRows().size(), 5u);
    EXPECT_FALSE(ctl->bPitchesDirty());
    EXPECT_TRUE(view.tabsEnabled);
}

TEST_F(ThreeMovements, DeletingTheOnlyPitchStoresAnEmptySequence)
{
    ctl->ToolbarClick(Button::Next);
    addSequence(second, {"e"});
    ctl->TabClick(movement::kTabPitches);
    ASSERT_EQ(ctl->pitchRows().size(), 1u);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_TRUE(ctl->pitchRows().empty());
    EXPECT_TRUE(storedSequence(second).empty());
    EXPECT_EQ(view.pitchBox, "");
}

TEST_F(ThreeMovements, AFailedPitchStoreKeepsTheLineAndTheEdit)
{
    ctl->TabClick(movement::kTabPitches);
    failWritesTo("tblMovementPitchJoin");
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g");
    ctl->ToolbarClick(Button::Save);
    ASSERT_FALSE(view.told.empty());
    EXPECT_NE(view.told.back().text.find("disk is full"), std::string::npos);
    EXPECT_TRUE(ctl->bPitchEditMode());
    EXPECT_TRUE(ctl->bPitchesDirty());
    EXPECT_EQ(ctl->pitchRows().size(), 6u);
    EXPECT_EQ(storedSequence(first).size(), 5u);
}

TEST_F(ThreeMovements, TabulationsShowAndStoreTheDeviationOfTheCurrentMovement)
{
    ctl->TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.page, movement::Page::Tabulations);
    EXPECT_EQ(view.total, "5");
    EXPECT_FALSE(view.classRows.empty());
    EXPECT_EQ(view.average, store::formatSingle(ctl->sDeviation()));
    EXPECT_EQ(storedField(first, "Deviation").toText(), view.average);
    EXPECT_EQ(storedField(first, "Description").toText(), "{\\rtf1\\ansi {\\b first} description}")
        << "an unedited rich text is left byte for byte";

    // A save of another movement does not take this movement's figure.
    ctl->TabClick(movement::kTabMovementData);
    ctl->ToolbarClick(Button::Next);
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub2", "x");
    ctl->ToolbarClick(Button::Save);
    EXPECT_TRUE(storedField(second, "Deviation").isNull());

    // A movement without positions shows 0 and stores 0.
    ctl->TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.total, "0");
    EXPECT_EQ(view.average, "0");
    EXPECT_TRUE(view.classRows.empty());
    EXPECT_EQ(storedField(second, "Deviation").toDouble(), 0.0);
}

TEST_F(ThreeMovements, AFailedTabulationStoreIsSaidOnceAndLeavesNothingPending)
{
    failWritesTo("tblMovement");
    ctl->TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.total, "5");
    EXPECT_NE(view.status.find("could not be stored"), std::string::npos);
    EXPECT_TRUE(view.told.empty());
    EXPECT_EQ(ctl->recordset()->editState(), store::EditState::None);
}

TEST_F(ThreeMovements, FindOpensTheSearchFromTheDataAndPitchPages)
{
    ctl->ToolbarClick(Button::Find);
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::Find);
    EXPECT_EQ(view.searches, 2);
}

TEST_F(MovementControllerTest, AMovementAboveTheSixteenBitRangeSavesAndStaysCurrent)
{
    db().execute("insert into tblMovement (iMovementID, iKTN, iMvmt) values (40000, 1, 1)");
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok);
    EXPECT_EQ(ctl.iLastMovementID(), 40000);
    ctl.ToolbarClick(Button::New);
    ctl.SetBoundText("iKTN", "2");
    ctl.ToolbarClick(Button::Save);
    EXPECT_EQ(ctl.iLastMovementID(), 40001);
    ctl.TabClick(movement::kTabPitches);
    ctl.ToolbarClick(Button::New);
    ctl.PitchKeyPress(13, "c");
    ctl.ToolbarClick(Button::Save);
    EXPECT_EQ(storedSequence(40001).size(), 1u);
}

} // namespace
