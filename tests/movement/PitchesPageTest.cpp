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
    EXPECT_EQ(ctl->records().bMovementEditMode(), c.opensEdit);
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

TEST_F(ThreeMovements, PitchEntryAppendsReplacesDeletesAndStores)
{
    ctl->TabClick(movement::kTabPitches);
    EXPECT_EQ(view.focus, movement::FocusTarget::PitchGrid);
    ctl->ToolbarClick(Button::New);
    EXPECT_TRUE(ctl->pitches().bPitchEditMode());
    EXPECT_FALSE(view.tabsEnabled);
    ctl->PitchKeyPress(13, "g");
    ctl->PitchKeyPress(13, "G ");
    EXPECT_EQ(view.told.back().text, "Entry not found !");
    EXPECT_EQ(view.pitchBox, "") << "the box is cleared even after the message";
    ctl->PitchKeyPress(13, "A");
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 7u);
    EXPECT_TRUE(view.buttons[Button::Save] && view.buttons[Button::Undo]);
    EXPECT_FALSE(view.buttons[Button::New] || view.buttons[Button::Edit] || view.buttons[Button::Delete]);
    EXPECT_EQ(storedSequence(first).size(), 5u) << "appending stores nothing";
    ctl->ToolbarClick(Button::Save);
    EXPECT_FALSE(ctl->pitches().bPitchEditMode());
    EXPECT_EQ(storedSequence(first).size(), 7u);
    EXPECT_EQ(storedSequence(first).back(), pitchId("A"));

    // Replace row 1 (d*) by b/: stored at once, one edit replaces one pitch.
    ctl->PitchSelectionChanged(1);
    ctl->ToolbarClick(Button::Edit);
    ctl->PitchSelectionChanged(3);
    ctl->PitchKeyPress(13, "b/");
    EXPECT_FALSE(ctl->pitches().bPitchEditMode());
    EXPECT_EQ(storedSequence(first)[1], pitchId("b/"));
    EXPECT_EQ(storedSequence(first)[3], pitchId("c"));

    // Delete a middle row: the following pitch becomes current.
    ctl->PitchSelectionChanged(2);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(storedSequence(first).size(), 6u);
    EXPECT_EQ(ctl->pitches().pitchRow(), 2u);
    EXPECT_EQ(storedSequence(first)[2], pitchId("c"));
    // The last row: the new last row becomes current.
    ctl->PitchSelectionChanged(5);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(ctl->pitches().pitchRow(), 4u);
}

TEST_F(ThreeMovements, UndoLosesAppendedPitches)
{
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g");
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 5u);
    EXPECT_FALSE(ctl->pitches().bPitchesDirty());
    EXPECT_TRUE(view.tabsEnabled);
}

TEST_F(ThreeMovements, DeletingTheOnlyPitchStoresAnEmptySequence)
{
    ctl->ToolbarClick(Button::Next);
    addSequence(second, {"e"});
    ctl->TabClick(movement::kTabPitches);
    ASSERT_EQ(ctl->pitches().pitchRows().size(), 1u);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_TRUE(ctl->pitches().pitchRows().empty());
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
    EXPECT_TRUE(ctl->pitches().bPitchEditMode());
    EXPECT_TRUE(ctl->pitches().bPitchesDirty());
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 6u);
    EXPECT_EQ(storedSequence(first).size(), 5u);
}

TEST_F(ThreeMovements, TabulationsShowAndStoreTheDeviationOfTheCurrentMovement)
{
    ctl->TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.page, movement::Page::Tabulations);
    EXPECT_EQ(view.total, "5");
    EXPECT_FALSE(view.classRows.empty());
    // The chart has a bar per class, its share of all five positions: c twice, d* and e/ (one class) twice,
    // f** once.
    ASSERT_EQ(view.classBars.size(), view.classRows.size());
    std::vector<double> shares;
    for (std::size_t i = 0; i < view.classBars.size(); ++i) {
        EXPECT_EQ(view.classBars[i].first, view.classRows[i].glyph);
        if (view.classBars[i].second > 0) {
            shares.push_back(view.classBars[i].second);
        }
    }
    EXPECT_EQ(shares, (std::vector<double> {40, 40, 20}));
    EXPECT_EQ(view.average, store::formatSingle(ctl->tabulations().sDeviation()));
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

// The stored figure belongs to the stored pitches after every way of storing them, in the file and in the row
// the grid shows, and no later save of the movement writes an older figure back.
TEST_F(ThreeMovements, EveryPitchStoreStoresTheDeviationOfThePitches)
{
    const auto expectFigureOfStoredPitches = [&](std::int64_t id, const std::string& when) {
        const double figure
            = tabulations::storedDeviation(tabulations::tabulate(catalogue.connectionString(), id).deviation);
        EXPECT_EQ(storedField(id, "Deviation"), store::Value(figure)) << when;
        EXPECT_EQ(ctl->records().recordset()->field("Deviation"), store::Value(figure))
            << when << ", in the grid's row";
        EXPECT_EQ(ctl->records().recordset()->editState(), store::EditState::None) << when;
    };
    // A new movement has no pitches: 0, as its tabulations page shows.
    ctl->ToolbarClick(Button::New);
    ctl->SetBoundText("iKTN", "9");
    ctl->ToolbarClick(Button::Save);
    const std::int64_t added = ctl->records().iLastMovementID();
    expectFigureOfStoredPitches(added, "a new movement");
    EXPECT_EQ(storedField(added, "Deviation").toDouble(), 0.0);

    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    for (const char* spelling : {"c", "c", "e", "g", "c"}) {
        ctl->PitchKeyPress(13, spelling);
    }
    ctl->ToolbarClick(Button::Save);
    expectFigureOfStoredPitches(added, "appended pitches saved");
    const store::Value appended = storedField(added, "Deviation");

    // The way: the tabulations page, then a deleted pitch and two appended.
    ctl->TabClick(movement::kTabTabulations);
    ctl->TabClick(movement::kTabPitches);
    ctl->PitchSelectionChanged(0);
    ctl->ToolbarClick(Button::Delete);
    expectFigureOfStoredPitches(added, "a deleted pitch");
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "f*");
    ctl->PitchKeyPress(13, "b/");
    ctl->ToolbarClick(Button::Save);
    expectFigureOfStoredPitches(added, "two more appended");
    EXPECT_NE(storedField(added, "Deviation"), appended) << "the pitches changed the figure";

    ctl->PitchSelectionChanged(1);
    ctl->ToolbarClick(Button::Edit);
    ctl->PitchKeyPress(13, "a/");
    expectFigureOfStoredPitches(added, "a replaced pitch");

    // A save of the movement's fields keeps the figure of its pitches.
    ctl->TabClick(movement::kTabMovementData);
    ctl->ToolbarClick(Button::Edit);
    ctl->SetBoundText("Sub2", "Later");
    ctl->ToolbarClick(Button::Save);
    expectFigureOfStoredPitches(added, "a later save of the fields");

    // Down to no pitches: the figure of an empty sequence.
    ctl->TabClick(movement::kTabPitches);
    while (!ctl->pitches().pitchRows().empty()) {
        ctl->ToolbarClick(Button::Delete);
    }
    expectFigureOfStoredPitches(added, "every pitch deleted");
    EXPECT_EQ(storedField(added, "Deviation").toDouble(), 0.0);
    EXPECT_TRUE(view.told.empty()) << view.told.front().text;
}

TEST_F(ThreeMovements, AFailedTabulationStoreIsSaidOnceAndLeavesNothingPending)
{
    failWritesTo("tblMovement");
    ctl->TabClick(movement::kTabTabulations);
    EXPECT_EQ(view.total, "5");
    EXPECT_NE(view.status.find("could not be stored"), std::string::npos);
    EXPECT_TRUE(view.told.empty());
    EXPECT_EQ(ctl->records().recordset()->editState(), store::EditState::None);
}

TEST_F(ThreeMovements, FindOpensTheSearchFromTheDataAndPitchPages)
{
    ctl->ToolbarClick(Button::Find);
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::Find);
    EXPECT_EQ(view.searches, 2);
}

std::vector<std::string> staffSpellings(const pitches::NotatedLine& line)
{
    std::vector<std::string> spellings;
    for (const auto& note : line.notes) {
        spellings.push_back(note.spelling);
    }
    return spellings;
}

using Spellings = std::vector<std::string>;

TEST_F(ThreeMovements, TheStaffFollowsEveryChangeOfTheLine)
{
    ctl->TabClick(movement::kTabPitches);
    EXPECT_EQ(staffSpellings(view.staff), (Spellings {"c", "d*", "e/", "c", "f**"}));
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g");
    EXPECT_EQ(staffSpellings(view.staff), (Spellings {"c", "d*", "e/", "c", "f**", "g"})) << "appended, not stored";
    ctl->ToolbarClick(Button::Save);
    ctl->PitchSelectionChanged(1);
    ctl->ToolbarClick(Button::Edit);
    ctl->PitchKeyPress(13, "b/");
    EXPECT_EQ(staffSpellings(view.staff), (Spellings {"c", "b/", "e/", "c", "f**", "g"}));
    ctl->PitchSelectionChanged(0);
    ctl->ToolbarClick(Button::Delete);
    EXPECT_EQ(staffSpellings(view.staff), (Spellings {"b/", "e/", "c", "f**", "g"}));
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "A");
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    EXPECT_EQ(staffSpellings(view.staff), (Spellings {"b/", "e/", "c", "f**", "g"})) << "undone";
}

struct OctaveCase
{
    const char* voices; // the columns set, among chkSoprano, chkAlto, chkTenor, chkBass
    int fromVoices;
    pitches::Clef clef;
};

class OctaveSetting : public ThreeMovements, public ::testing::WithParamInterface<OctaveCase>
{
};

TEST_P(OctaveSetting, DefaultsFromTheVoicesAndIsStoredAtOnce)
{
    const auto c = GetParam();
    for (const char* voice : {"chkSoprano", "chkAlto", "chkTenor", "chkBass"}) {
        const bool set = std::string(c.voices).find(voice) != std::string::npos;
        db().execute(std::string("update tblMovement set ") + voice + " = ? where iMovementID = ?",
                     {std::int64_t {set ? 1 : 0}, first});
    }
    ctl->TabClick(movement::kTabPitches);
    EXPECT_EQ(view.octaveChoice.fromVoices, c.fromVoices);
    EXPECT_EQ(view.octaveChoice.chosen, std::nullopt);
    EXPECT_TRUE(view.octaveChoice.enabled);
    EXPECT_EQ(view.staff.clef, c.clef);
    ASSERT_TRUE(view.staff.notes.front().pitch);
    EXPECT_EQ(view.staff.notes.front().pitch->octave, c.fromVoices + 1) << "a small c";

    ctl->CapitalOctaveChosen(2);
    EXPECT_EQ(storedField(first, "iCapitalOctave").toInt64(), 2);
    EXPECT_EQ(view.octaveChoice.chosen, 2);
    EXPECT_EQ(view.staff.clef, pitches::Clef::Bass);
    EXPECT_EQ(view.staff.notes.front().pitch->octave, 3);
    EXPECT_EQ(staffSpellings(view.staff).size(), 5u);

    // Kept when the page is entered again; the movement's other fields untouched.
    ctl->TabClick(movement::kTabMovementData);
    ctl->TabClick(movement::kTabPitches);
    EXPECT_EQ(view.octaveChoice.chosen, 2);
    EXPECT_EQ(storedField(first, "Sub1").toText(), "Night");

    ctl->CapitalOctaveChosen(std::nullopt);
    EXPECT_TRUE(storedField(first, "iCapitalOctave").isNull());
    EXPECT_EQ(view.staff.clef, c.clef);
    EXPECT_TRUE(view.told.empty());
}

INSTANTIATE_TEST_SUITE_P(Voices,
                         OctaveSetting,
                         ::testing::Values(OctaveCase {"", 4, pitches::Clef::Treble},
                                           OctaveCase {"chkSoprano chkBass", 4, pitches::Clef::Treble},
                                           OctaveCase {"chkAlto chkTenor", 4, pitches::Clef::Treble},
                                           OctaveCase {"chkTenor", 3, pitches::Clef::TrebleOctaveDown},
                                           OctaveCase {"chkTenor chkBass", 3, pitches::Clef::TrebleOctaveDown},
                                           OctaveCase {"chkBass", 2, pitches::Clef::Bass}));

TEST_F(ThreeMovements, AFailedOctaveStoreIsToldAndKeepsTheSetting)
{
    ctl->TabClick(movement::kTabPitches);
    failWritesTo("tblMovement");
    ctl->CapitalOctaveChosen(2);
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told.back().text.find("disk is full"), std::string::npos);
    EXPECT_EQ(view.octaveChoice.chosen, std::nullopt);
    EXPECT_EQ(view.staff.clef, pitches::Clef::Treble);
    EXPECT_TRUE(storedField(first, "iCapitalOctave").isNull());
}

TEST_F(ThreeMovements, AnOctaveOutsideTheSettingsIsRefused)
{
    ctl->TabClick(movement::kTabPitches);
    EXPECT_FALSE(ctl->pitches().SetCapitalOctave(5).ok());
    EXPECT_FALSE(ctl->pitches().SetCapitalOctave(1).ok());
    EXPECT_TRUE(storedField(first, "iCapitalOctave").isNull());
}

TEST_F(MovementControllerTest, WithoutAMovementTheOctaveCannotBeSet)
{
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    ctl.TabClick(movement::kTabPitches);
    EXPECT_FALSE(view.octaveChoice.enabled);
    EXPECT_TRUE(view.staff.notes.empty());
    EXPECT_FALSE(ctl.pitches().SetCapitalOctave(3).ok());
}

TEST_F(MovementControllerTest, ASpellingOutsideTheSchemeReachesTheStaffWithoutAHeight)
{
    const auto id = addMovement({5, 1, 1, "Gap", ""});
    db().execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (900, 'H', 'H'), "
                 "(901, NULL, '?')");
    addSequence(id, {"c", "H", "d"});
    db().execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, 901)", {id});
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    ctl.TabClick(movement::kTabPitches);
    ASSERT_EQ(staffSpellings(view.staff), (Spellings {"c", "H", "d", ""}));
    EXPECT_TRUE(view.staff.notes[0].pitch);
    EXPECT_FALSE(view.staff.notes[1].pitch) << "never guessed";
    EXPECT_TRUE(view.staff.notes[2].pitch);
    EXPECT_FALSE(view.staff.notes[3].pitch);
}

} // namespace
