// Entering a line a phrase at a time on the pitches page: runs of spellings, Insert and Backspace, each checked
// in the page and in the catalogue file.

#include "tests/movement/MovementFixture.h"

#include "melody/MelodySearch.h"
#include "tabulations/Tabulation.h"

#include <ostream>
#include <string>
#include <vector>

namespace velk::test
{
namespace
{

using movement::Button;

/// A step of the user's, written as text: "new", "edit", "save", "select:N", "enter:TEXT", "insert:TEXT",
/// "bs" (Backspace in the empty box), "bs-held" (the same, repeated by a key held down), "bs:TEXT" (Backspace in
/// a box holding TEXT).
using Steps = std::vector<std::string>;

struct EntryCase
{
    const char* name;
    Steps steps;
    std::string line; ///< the page's sequence afterwards, spellings separated by blanks
    std::string stored; ///< the file's sequence afterwards
    std::string told; ///< the last message shown, empty for none
    bool editing; ///< the entry box still open
    std::string box; ///< the entry box's text (while open)
};

void PrintTo(const EntryCase& c, std::ostream* out)
{
    *out << c.name;
}

/// One movement whose stored line is "c d* e/ c f**", in a catalogue whose vocabulary also holds the odd spelling
/// "c d" (an imported vocabulary may hold anything).
class PhraseEntry : public MovementControllerTest, public ::testing::WithParamInterface<EntryCase>
{
protected:
    std::int64_t movement = 0;
    std::unique_ptr<MovementController> ctl;

    void SetUp() override
    {
        db().execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (900, 'c d', 'c d')");
        movement = addMovement({1, 1, 1, "Joy", ""});
        addSequence(movement, {"c", "d*", "e/", "c", "f**"});
        ctl = std::make_unique<MovementController>(view, catalogue.connectionString());
        ASSERT_TRUE(ctl->Load().ok());
        ctl->TabClick(movement::kTabPitches);
    }

    void run(const std::string& step)
    {
        const auto colon = step.find(':');
        const std::string verb = step.substr(0, colon);
        const std::string text = colon == std::string::npos ? std::string() : step.substr(colon + 1);
        if (verb == "new") {
            ctl->ToolbarClick(Button::New);
        } else if (verb == "edit") {
            ctl->ToolbarClick(Button::Edit);
        } else if (verb == "save") {
            ctl->ToolbarClick(Button::Save);
        } else if (verb == "select") {
            ctl->PitchSelectionChanged(std::stoul(text));
        } else if (verb == "enter") {
            ctl->PitchKeyPress(13, text);
        } else if (verb == "insert") {
            ctl->InsertPitches(text);
        } else if (verb == "bs" || verb == "bs-held") {
            const bool taken = ctl->PitchBackspace(text, verb == "bs-held");
            // The page takes Backspace exactly when the box is empty while appending.
            EXPECT_EQ(taken, text.empty() && ctl->pitches().pitchTag().empty()) << step;
        } else {
            FAIL() << "no step " << step;
        }
    }

    std::string spellings(const std::vector<std::int64_t>& ids)
    {
        std::string text;
        for (const auto id : ids) {
            const auto* pitch = ctl->pitches().pitchLookup().byId(static_cast<std::int32_t>(id));
            text += (text.empty() ? "" : " ") + (pitch ? pitch->spelling.value_or("?") : "?");
        }
        return text;
    }

    std::string line()
    {
        std::vector<std::int64_t> ids;
        for (const auto& entry : ctl->pitches().pitchRows()) {
            ids.push_back(entry.pitchId);
        }
        return spellings(ids);
    }
};

TEST_P(PhraseEntry, LeavesTheLineAndTheFileAsExpected)
{
    const EntryCase& c = GetParam();
    for (const auto& step : c.steps) {
        run(step);
    }
    EXPECT_EQ(line(), c.line);
    EXPECT_EQ(spellings(storedSequence(movement)), c.stored);
    EXPECT_EQ(view.told.empty() ? std::string() : view.told.back().text, c.told);
    EXPECT_EQ(ctl->pitches().bPitchEditMode(), c.editing);
    // The grid shows what the page holds.
    ASSERT_EQ(view.pitchGrid.size(), ctl->pitches().pitchRows().size());
    for (std::size_t i = 0; i < view.pitchGrid.size(); ++i) {
        EXPECT_EQ(view.pitchGrid[i].pitchId, ctl->pitches().pitchRows()[i].pitchId) << "row " << i;
    }
    if (c.editing) {
        EXPECT_EQ(view.pitchBox, c.box);
    }
}

std::string caseName(const ::testing::TestParamInfo<EntryCase>& info)
{
    return info.param.name;
}

const std::string kStored = "c d* e/ c f**";
const std::string kNotFound = "Entry not found !";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, PhraseEntry, ::testing::Values(
    EntryCase {"AllKnownAppended", {"new", "enter:c d e f"}, kStored + " c d e f", kStored, "", true, ""},
    EntryCase {"AllKnownStoredBySave", {"new", "enter:c d e f", "save"}, kStored + " c d e f",
               kStored + " c d e f", "", false, ""},
    EntryCase {"ExtraBlanksTabsAndLineBreaks", {"new", "enter:  A\t\tB/   c**\n d// ", "save"},
               kStored + " A B/ c** d//", kStored + " A B/ c** d//", "", false, ""},
    EntryCase {"OneUnknownIsNamedAndNothingEntered", {"new", "enter:c h e", "save"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9Ch\xE2\x80\x9D is not a pitch spelling, so nothing was entered.", false, ""},
    EntryCase {"TheRunStaysInTheBoxToBeCorrected", {"new", "enter:c h e"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9Ch\xE2\x80\x9D is not a pitch spelling, so nothing was entered.", true,
               "c h e"},
    EntryCase {"EachUnknownNamedOnce", {"new", "enter:x c y x"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9Cx\xE2\x80\x9D and \xE2\x80\x9Cy\xE2\x80\x9D are not pitch spellings, so "
               "nothing was entered.", true, "x c y x"},
    EntryCase {"ManyUnknownFirstFiveNamed", {"new", "enter:h i j k l m n c"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9Ch\xE2\x80\x9D, \xE2\x80\x9Ci\xE2\x80\x9D, \xE2\x80\x9Cj\xE2\x80\x9D, "
               "\xE2\x80\x9Ck\xE2\x80\x9D, \xE2\x80\x9Cl\xE2\x80\x9D and 2 more are not pitch spellings, so nothing "
               "was entered.", true, "h i j k l m n c"},
    EntryCase {"ALongUnknownPartIsCut", {"new", "enter:c abcdefghijklmnopqrstuvwxyz"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9C" "abcdefghijklmnopqrstuvwx\xE2\x80\xA6\xE2\x80\x9D is not a pitch "
               "spelling, so nothing was entered.", true, "c abcdefghijklmnopqrstuvwxyz"},
    EntryCase {"ControlCharactersAreNotShown", {"new", std::string("enter:c a\x01\x1b[31m\x7f\0z", 18)}, kStored,
               kStored, kNotFound + "\n\xE2\x80\x9C" "a\xEF\xBF\xBD\xEF\xBF\xBD[31m\xEF\xBF\xBD\xEF\xBF\xBDz"
               "\xE2\x80\x9D is not a pitch spelling, so nothing was entered.", true,
               std::string("c a\x01\x1b[31m\x7f\0z", 12)},
    EntryCase {"TheWholeTextASpellingIsOnePitch", {"new", "enter:c d", "save"}, kStored + " c d", kStored + " c d",
               "", false, ""},
    // One spelling with a blank beside it is no run: the single spelling's "not found", and the box is emptied.
    EntryCase {"OneSpellingWithABlankIsNotFound", {"new", "enter:c "}, kStored, kStored, kNotFound, true, ""},
    EntryCase {"BlanksAloneAreNotFound", {"new", "enter: \t "}, kStored, kStored, kNotFound, true, ""},
    EntryCase {"ReplaceWithARunInsertsTheRestAfterTheTarget", {"select:1", "edit", "select:3", "enter:a b g"},
               "c a b g e/ c f**", "c a b g e/ c f**", "", false, ""},
    EntryCase {"ReplaceTheLastWithARun", {"select:4", "edit", "enter:g\tg"}, "c d* e/ c g g", "c d* e/ c g g", "",
               false, ""},
    EntryCase {"ReplaceWithAnUnknownPartChangesNothing", {"select:1", "edit", "enter:a q"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9Cq\xE2\x80\x9D is not a pitch spelling, so nothing was entered.", true, ""},
    EntryCase {"ReplaceAfterAppendingStoresBoth", {"new", "enter:g a", "select:0", "edit", "enter:b c"},
               "b c d* e/ c f** g a", "b c d* e/ c f** g a", "", false, ""}),
    caseName);

INSTANTIATE_TEST_SUITE_P(Insert, PhraseEntry, ::testing::Values(
    EntryCase {"BeforeTheFirst", {"select:0", "new", "insert:g"}, "g " + kStored, "g " + kStored, "", false, ""},
    EntryCase {"ARunInTheMiddle", {"select:2", "new", "insert:g  a"}, "c d* g a e/ c f**", "c d* g a e/ c f**", "",
               false, ""},
    EntryCase {"BeforeTheLast", {"select:4", "edit", "insert:g"}, "c d* e/ c g f**", "c d* e/ c g f**", "", false,
               ""},
    EntryCase {"TwiceInARowKeepsTheirOrder", {"select:2", "new", "insert:g", "new", "insert:a"},
               "c d* g a e/ c f**", "c d* g a e/ c f**", "", false, ""},
    EntryCase {"AfterAppendingGoesBeforeTheLastAppended", {"new", "enter:a", "insert:g"}, kStored + " g a",
               kStored + " g a", "", false, ""},
    EntryCase {"ThePitchSpelledWithABlank", {"select:0", "new", "insert:c d"}, "c d " + kStored,
               "c d " + kStored, "", false, ""},
    EntryCase {"AnUnknownSpellingInsertsNothing", {"select:0", "new", "insert:h"}, kStored, kStored, kNotFound,
               true, "h"},
    EntryCase {"AnUnknownPartInsertsNothing", {"select:0", "new", "insert:c h"}, kStored, kStored,
               kNotFound + "\n\xE2\x80\x9Ch\xE2\x80\x9D is not a pitch spelling, so nothing was entered.", true,
               "c h"},
    EntryCase {"NotWhileTheBoxIsClosed", {"select:0", "insert:g"}, kStored, kStored, "", false, ""}),
    caseName);

INSTANTIATE_TEST_SUITE_P(Backspace, PhraseEntry, ::testing::Values(
    EntryCase {"NothingAppendedTakesNothing", {"new", "bs", "bs", "save"}, kStored, kStored, "", false, ""},
    EntryCase {"TakesBackTheLastAppended", {"new", "enter:g", "enter:a", "bs"}, kStored + " g", kStored, "", true,
               ""},
    EntryCase {"TheNextPressTakesTheOneBefore", {"new", "enter:g a b", "bs", "bs", "save"}, kStored + " g",
               kStored + " g", "", false, ""},
    EntryCase {"NeverAStoredPitch", {"new", "enter:g", "bs", "bs", "bs"}, kStored, kStored, "", true, ""},
    EntryCase {"NothingAfterAStore", {"new", "enter:g", "save", "new", "bs"}, kStored + " g", kStored + " g", "",
               true, ""},
    EntryCase {"NothingAfterAnInsertion", {"new", "enter:g", "insert:a", "new", "bs"}, kStored + " a g",
               kStored + " a g", "", true, ""},
    EntryCase {"AKeyHeldDownTakesNothing", {"new", "enter:g a", "bs-held", "bs-held"}, kStored + " g a", kStored,
               "", true, ""},
    EntryCase {"ATypedTextIsTheBoxs", {"new", "enter:g", "bs:a"}, kStored + " g", kStored, "", true, ""},
    EntryCase {"NotWhileReplacing", {"new", "enter:g", "select:0", "edit", "bs"}, kStored + " g", kStored, "", true,
               ""},
    EntryCase {"NewStartsTheCountAgain", {"new", "enter:g", "new", "bs"}, kStored + " g", kStored, "", true, ""}),
    caseName);
// clang-format on

TEST_F(ThreeMovements, BackspaceAfterARunLeavesTheBoxEmptyAndTheNewLastCurrent)
{
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, "g a");
    EXPECT_EQ(ctl->pitches().appendedSinceNew(), 2u);
    EXPECT_TRUE(ctl->PitchBackspace("", false));
    EXPECT_EQ(ctl->pitches().pitchRow(), 5u);
    EXPECT_EQ(view.pitchCurrent, 5u);
    EXPECT_EQ(view.pitchBox, "");
    EXPECT_EQ(ctl->pitches().appendedSinceNew(), 1u);
}

TEST_F(ThreeMovements, ARunBeyondTheLongestLineIsRefused)
{
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    std::string run;
    for (int i = 0; i < 32767 - 5; ++i) {
        run += "c ";
    }
    ctl->PitchKeyPress(13, run + "d");
    EXPECT_EQ(view.told.back().text,
              "The line would have 32768 pitches, more than the 32,767 a line can hold, so nothing was entered.");
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 5u);
    ctl->PitchKeyPress(13, run);
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 32767u);
}

TEST_F(ThreeMovements, AFailedInsertionKeepsTheLineAndTheEdit)
{
    ctl->TabClick(movement::kTabPitches);
    failWritesTo("tblMovementPitchJoin");
    ctl->ToolbarClick(Button::New);
    ctl->InsertPitches("g");
    ASSERT_FALSE(view.told.empty());
    EXPECT_NE(view.told.back().text.find("disk is full"), std::string::npos);
    EXPECT_TRUE(ctl->pitches().bPitchEditMode());
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 6u);
    EXPECT_EQ(storedSequence(first).size(), 5u);
    // The inserted pitch is no appended one: Backspace does not take it back.
    EXPECT_TRUE(ctl->PitchBackspace("", false));
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 6u);
}

TEST_F(ThreeMovements, InsertionsAndRunsStoreTheDeviationAndTheMelodyIndexOfTheWholeLine)
{
    const auto expectInStep = [&](const std::string& run, std::int64_t position, const std::string& when) {
        const double figure
            = tabulations::storedDeviation(tabulations::tabulate(catalogue.connectionString(), first).deviation);
        EXPECT_EQ(storedField(first, "Deviation"), store::Value(figure)) << when;
        const auto found = melody::findMelody(catalogue.connectionString(), run, melody::Mode::Exact);
        ASSERT_TRUE(found.ok()) << found.message();
        ASSERT_EQ(found->rows.size(), 1u) << when;
        EXPECT_EQ(found->rows[0].position, position) << when;
    };
    ctl->TabClick(movement::kTabPitches);
    ctl->PitchSelectionChanged(2);
    ctl->ToolbarClick(Button::New);
    ctl->InsertPitches("g a b");
    expectInStep("d* g a b e/", 2, "a run inserted");
    ctl->PitchSelectionChanged(0);
    ctl->ToolbarClick(Button::Edit);
    ctl->PitchKeyPress(13, "B/ B/ B/");
    expectInStep("B/ B/ B/ d* g", 1, "the first replaced by a run");
    EXPECT_TRUE(view.told.empty()) << view.told.front().text;
}

} // namespace
} // namespace velk::test
