#include "tests/movement/MovementFixture.h"

#include "movement/MovementController.h"
#include "store/Connection.h"
#include "tabulations/Tabulation.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace velk;
using movement::Button;
using movement::MovementController;
using movement::RichBox;
using test::MovementControllerTest;
using test::MovementRow;
using test::ThreeMovements;

namespace
{

TEST_F(ThreeMovements, OpensOnTheFirstMovementInCatalogueOrder)
{
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  1 - MVMT:  2");
    EXPECT_EQ(ctl->records().iLastMovementID(), first);
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
    EXPECT_TRUE(ctl->records().recordset()->bof());
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  1 - MVMT:  2");
    EXPECT_EQ(ctl->records().iLastMovementID(), first);
    EXPECT_FALSE(view.buttons[Button::Prev]);
    EXPECT_TRUE(view.buttons[Button::Next] && view.buttons[Button::First] && view.buttons[Button::Last]);
    EXPECT_TRUE(view.buttons[Button::New]);
    EXPECT_FALSE(view.buttons[Button::Edit] || view.buttons[Button::Delete] || view.buttons[Button::Find]);

    ctl->ToolbarClick(Button::Next);
    EXPECT_EQ(ctl->records().recordset()->position(), 1);

    ctl->ToolbarClick(Button::Last);
    ctl->ToolbarClick(Button::Next);
    EXPECT_TRUE(ctl->records().recordset()->eof());
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  3 - MVMT:  1");
    EXPECT_FALSE(view.buttons[Button::Next]);
    ctl->ToolbarClick(Button::Prev);
    EXPECT_EQ(ctl->records().iLastMovementID(), third);
    EXPECT_TRUE(view.pitchGrid.empty());
    EXPECT_EQ(view.sharps, "0");
    EXPECT_EQ(view.flats, "0");
    EXPECT_EQ(view.pitchBox, "");
}

TEST_F(ThreeMovements, AGridClickAfterMovingPastTheEndEnablesTheRowsCommands)
{
    ctl->ToolbarClick(Button::Prev);
    ASSERT_TRUE(ctl->GridRowChosen(1));
    EXPECT_EQ(ctl->records().iLastMovementID(), second);
    EXPECT_TRUE(view.buttons[Button::Edit] && view.buttons[Button::Delete] && view.buttons[Button::Prev]);
}

TEST_F(ThreeMovements, MovesAreRefusedDuringMovementAndPitchEdits)
{
    ctl->ToolbarClick(Button::Edit);
    EXPECT_TRUE(ctl->records().bMovementEditMode());
    EXPECT_FALSE(view.tabsEnabled);
    ctl->ToolbarClick(Button::Next);
    EXPECT_FALSE(ctl->GridRowChosen(2));
    EXPECT_EQ(view.gridRow, 0u);
    EXPECT_EQ(ctl->records().iLastMovementID(), first);
    EXPECT_TRUE(view.buttons[Button::Next]) << "navigation stays offered while the move is refused";
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);

    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g");
    EXPECT_FALSE(ctl->GridRowChosen(1));
    ctl->ToolbarClick(Button::Next);
    EXPECT_EQ(ctl->records().iLastMovementID(), first);
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 6u) << "the appended pitch survives the refused move";
}

TEST_F(ThreeMovements, NewMovementIsSavedIntoTheFile)
{
    ctl->ToolbarClick(Button::New);
    EXPECT_EQ(ctl->records().iLastMovementID(), 0);
    EXPECT_EQ(view.rich[RichBox::Description], "");
    EXPECT_TRUE(view.pitchGrid.empty());
    EXPECT_EQ(view.focus, movement::FocusTarget::KTN);
    EXPECT_TRUE(ctl->records().bMovementEditMode());
    EXPECT_FALSE(ctl->records().BoundCheck("chkSoprano"));
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  1 - MVMT:  2") << "a row not yet stored keeps the caption";

    ctl->SetBoundText("iKTN", "7");
    ctl->SetBoundText("iMvmt", "3");
    ctl->SetBoundText("Sub2", "Grüß \"Gott\"");
    ctl->SetBoundCheck("chkAlto", true);
    view.edits[RichBox::Description] = "{\\rtf1 new}";
    ctl->KeyPress(19);

    EXPECT_FALSE(ctl->records().bMovementEditMode());
    const auto id = ctl->records().iLastMovementID();
    ASSERT_GT(id, third);
    EXPECT_EQ(storedField(id, "iKTN").toInt64(), 7);
    EXPECT_EQ(storedField(id, "Sub2").toText(), "Grüß \"Gott\"");
    EXPECT_EQ(storedField(id, "chkAlto").toInt64(), 1);
    EXPECT_EQ(storedField(id, "chkBass").toInt64(), 0);
    EXPECT_EQ(storedField(id, "Description").toText(), "{\\rtf1 new}");
    EXPECT_TRUE(storedField(id, "iOrder").isNull()) << "an empty box stores Null";
    EXPECT_EQ(storedField(id, "Deviation").toDouble(), 0.0);
}

struct BadNumber
{
    const char* typed;
    const char* told;
};

class BadNumbers : public ThreeMovements, public ::testing::WithParamInterface<BadNumber>
{
};

TEST_P(BadNumbers, AreRefusedWithWhatIsWrongAndTheEditStaysOpen)
{
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("iKTN", GetParam().typed);
    ctl->ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0].text.rfind(GetParam().told, 0), 0u) << view.told[0].text;
    EXPECT_TRUE(ctl->records().bMovementEditMode());
    EXPECT_EQ(storedField(first, "iKTN").toInt64(), 1);
    ctl->SetBoundText("iKTN", "12");
    ctl->ToolbarClick(Button::Save);
    EXPECT_FALSE(ctl->records().bMovementEditMode());
    EXPECT_EQ(storedField(first, "iKTN").toInt64(), 12);
}

INSTANTIATE_TEST_SUITE_P(Typed,
                         BadNumbers,
                         ::testing::Values(BadNumber {"12a", "Error Saving:  KTN must be a whole number"},
                                           BadNumber {"99999999999999999999", "Error Saving:  KTN is too large"},
                                           BadNumber {"-99999999999999999999", "Error Saving:  KTN is too large"}));

TEST_F(ThreeMovements, UndoRestoresTheOldValuesAndTheOldRichText)
{
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub1", "Changed");
    view.edits[RichBox::Description] = "{\\rtf1 abandoned}";
    view.rich[RichBox::Description] = "{\\rtf1 abandoned}";
    view.answers = {false};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_TRUE(ctl->records().bMovementEditMode()) << "declined undo keeps the edit";
    ASSERT_EQ(view.asked.size(), 1u);
    EXPECT_EQ(view.asked[0].text, "Are you sure you want to undo your changes?");
    EXPECT_EQ(view.asked[0].title, "Confirm Delete");

    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_FALSE(ctl->records().bMovementEditMode());
    EXPECT_EQ(ctl->records().BoundText("Sub1"), "Night");
    EXPECT_EQ(view.rich[RichBox::Description], "{\\rtf1\\ansi {\\b first} description}");
    EXPECT_FALSE(view.edits[RichBox::Description]);
}

TEST_F(ThreeMovements, UndoOfANewRowShowsTheRowThatWasCurrentBefore)
{
    ctl->ToolbarClick(Button::Next);
    ctl->ToolbarClick(Button::New);
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_EQ(ctl->records().recordset()->recordCount(), 3);
    EXPECT_EQ(ctl->records().iLastMovementID(), second);
    EXPECT_EQ(view.rich[RichBox::Description], "{\\rtf1 second}");
}

TEST_F(ThreeMovements, DeleteAsksAndOnYesShowsTheNextMovement)
{
    view.answers = {false};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(view.asked.back().text, "Are you sure you want to delete this movement?");
    EXPECT_EQ(view.asked.back().title, "Confirm Delete");
    EXPECT_EQ(ctl->records().recordset()->recordCount(), 3);

    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->records().recordset()->recordCount(), 2);
    EXPECT_TRUE(storedField(first, "iMovementID").isNull());
    EXPECT_TRUE(storedSequence(first).empty()) << "the sequence goes with its movement";
    EXPECT_EQ(ctl->records().iLastMovementID(), second);
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  2 - MVMT:  1");

    ctl->ToolbarClick(Button::Last);
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->records().iLastMovementID(), second) << "deleting the last row shows the one before it";
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->records().iLastMovementID(), 0);
    EXPECT_EQ(view.caption, MovementController::kDesignCaption);
    EXPECT_TRUE(ctl->records().recordset()->bof() && ctl->records().recordset()->eof());
}

TEST_F(ThreeMovements, AFailedDeleteKeepsTheMovement)
{
    failWritesTo("tblMovement");
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told[0].text.find("disk is full"), std::string::npos);
    EXPECT_EQ(ctl->records().recordset()->recordCount(), 3);
    EXPECT_EQ(ctl->records().recordset()->editState(), store::EditState::None);
    EXPECT_FALSE(storedField(first, "iMovementID").isNull());
}

TEST_F(ThreeMovements, ADeleteThatCommittedIsToldAsDoneWhenTheNextMovementCannotBeRead)
{
    // The pitches become unreadable between the commit and the move to the next row.
    ctl->records().recordset()->setRowsObserver([this](const store::RowsChange& change) {
        if (change.kind == store::RowsChange::Kind::Removed) {
            breakPitchReads();
        }
    });
    view.answers = {true};
    ctl->ToolbarClick(Button::Delete);
    restorePitchReads();
    EXPECT_TRUE(storedField(first, "iMovementID").isNull());
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0].text.find("not deleted"), std::string::npos) << view.told[0].text;
    EXPECT_EQ(view.told[0].text.rfind("The movement was deleted, but", 0), 0u) << view.told[0].text;
    EXPECT_NE(view.told[0].text.find("tblMovementPitchJoin"), std::string::npos) << view.told[0].text;
    EXPECT_EQ(ctl->records().recordset()->recordCount(), 2);
    EXPECT_EQ(ctl->records().iLastMovementID(), second);
    EXPECT_EQ(view.caption, "Velk Movements - KTN:  2 - MVMT:  1");
    EXPECT_EQ(view.gridRow, 0u) << "the grid follows the row that is current now";
    EXPECT_TRUE(ctl->pitches().pitchRows().empty());
    EXPECT_TRUE(view.pitchGrid.empty()) << "never the pitches of the deleted movement";
    EXPECT_FALSE(ctl->records().bMovementEditMode());
}

// Every way from an event to an unreadable sequence ends in a message, never in an exception.
struct UnreadableEvent
{
    const char* name;
    std::function<void(MovementController&)> before;
    std::function<void(MovementController&)> event;
};

void PrintTo(const UnreadableEvent& e, std::ostream* out)
{
    *out << e.name;
}

class UnreadablePitches : public ThreeMovements, public ::testing::WithParamInterface<UnreadableEvent>
{
};

TEST_P(UnreadablePitches, EndInAMessageAndASoundState)
{
    GetParam().before(*ctl);
    breakPitchReads();
    view.answers = {false};
    EXPECT_NO_THROW(GetParam().event(*ctl));
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told[0].text.find("tblMovementPitchJoin"), std::string::npos) << view.told[0].text;
    EXPECT_FALSE(ctl->records().bMovementEditMode());
    EXPECT_EQ(ctl->records().recordset()->editState(), store::EditState::None);
    EXPECT_EQ(ctl->records().recordset()->recordCount(), 3);
    EXPECT_TRUE(view.pitchGrid.empty());
}

INSTANTIATE_TEST_SUITE_P(Events,
                         UnreadablePitches,
                         ::testing::Values(UnreadableEvent {"CloseDuringANewMovementAnsweringNo",
                                                            [](MovementController& c) { c.ToolbarClick(Button::New); },
                                                            [](MovementController& c) {
                                                                EXPECT_TRUE(c.Unload())
                                                                    << "nothing typed is left pending";
                                                            }},
                                           UnreadableEvent {"Next", [](MovementController&) {},
                                                            [](MovementController& c) {
                                                                c.ToolbarClick(Button::Next);
                                                            }},
                                           UnreadableEvent {"GridClick", [](MovementController&) {},
                                                            [](MovementController& c) {
                                                                EXPECT_TRUE(c.GridRowChosen(2));
                                                            }},
                                           UnreadableEvent {"PitchesTab", [](MovementController&) {},
                                                            [](MovementController& c) {
                                                                c.TabClick(movement::kTabPitches);
                                                            }}),
                         [](const auto& info) { return std::string(info.param.name); });

// A box whose column the row does not have (or may not change) is told of, not thrown out of the typing.
TEST_F(ThreeMovements, TypingIntoAFieldTheRowRefusesIsToldNotThrown)
{
    ctl->ToolbarClick(Button::Edit);
    EXPECT_NO_THROW(ctl->SetBoundText("iMovementID", "7"));
    EXPECT_NO_THROW(ctl->SetBoundCheck("chkNoSuchVoice", true));
    ASSERT_EQ(view.told.size(), 2u);
    EXPECT_NE(view.told[0].text.find("iMovementID"), std::string::npos) << view.told[0].text;
    EXPECT_NE(view.told[1].text.find("chkNoSuchVoice"), std::string::npos) << view.told[1].text;
    EXPECT_EQ(ctl->records().iLastMovementID(), first);
    EXPECT_TRUE(ctl->records().bMovementEditMode());
}

TEST_F(ThreeMovements, AFailedSaveIsReportedAndKeepsTheEdit)
{
    failWritesTo("tblMovement");
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub1", "Kept");
    ctl->ToolbarClick(Button::Save);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_EQ(view.told[0].text.rfind("Error Saving:  ", 0), 0u);
    EXPECT_TRUE(ctl->records().bMovementEditMode());
    EXPECT_EQ(ctl->records().BoundText("Sub1"), "Kept");

    view.answers = {true};
    EXPECT_FALSE(ctl->Unload()) << "the window stays open when the save asked for on closing fails";
    EXPECT_EQ(ctl->records().BoundText("Sub1"), "Kept");
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
    ASSERT_TRUE(ctl.Load().ok());
    auto c = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadOnly);
    EXPECT_EQ(c.query(indexes).rows()[0][0].toText(), made);
    EXPECT_NE(made.find("idxMovementPitchJoinSequence"), std::string::npos);
    EXPECT_EQ(made.find("idxMovementPitchJoinMovement"), std::string::npos);
}

TEST_F(MovementControllerTest, AnEmptyCatalogueOffersOnlyNew)
{
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    EXPECT_EQ(ctl.records().iLastMovementID(), 0);
    EXPECT_EQ(view.caption, "");
    EXPECT_EQ(ctl.records().caption(), MovementController::kDesignCaption);
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
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.message().find("none.db"), std::string::npos);
    // The tool's name with a non-breaking hyphen, so that the message box never wraps it there.
    EXPECT_NE(outcome.message().find("velk\xE2\x80\x91"
                                     "catalogue new none.db"),
              std::string::npos)
        << outcome.message();
    EXPECT_EQ(outcome.message().find("velk-catalogue"), std::string::npos) << outcome.message();
    EXPECT_FALSE(std::filesystem::exists(catalogue.folder() / "none.db"));
}

TEST_F(MovementControllerTest, AnEmptyPitchVocabularyIsAClearFailure)
{
    db().execute("delete from tblPitchClassJoin");
    db().execute("delete from tblClassLookup");
    db().execute("delete from tblPitchLookup");
    MovementController ctl(view, catalogue.connectionString());
    const auto outcome = ctl.Load();
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.message().find("tblPitchLookup"), std::string::npos);
}

TEST_F(MovementControllerTest, AMovementAboveTheSixteenBitRangeSavesAndStaysCurrent)
{
    db().execute("insert into tblMovement (iMovementID, iKTN, iMvmt) values (40000, 1, 1)");
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    EXPECT_EQ(ctl.records().iLastMovementID(), 40000);
    ctl.ToolbarClick(Button::New);
    ctl.SetBoundText("iKTN", "2");
    ctl.ToolbarClick(Button::Save);
    EXPECT_EQ(ctl.records().iLastMovementID(), 40001);
    ctl.TabClick(movement::kTabPitches);
    ctl.ToolbarClick(Button::New);
    ctl.PitchKeyPress(13, "c");
    ctl.ToolbarClick(Button::Save);
    EXPECT_EQ(storedSequence(40001).size(), 1u);
}

} // namespace
