#include "tests/movement/MovementFixture.h"

#include "movement/MovementController.h"
#include "pitches/MovementLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velk;
using movement::Button;
using test::ThreeMovements;

namespace
{

constexpr int kEnter = 13;

class PaeEntry : public ThreeMovements
{
protected:
    std::vector<std::int64_t> ids(const std::vector<std::string>& spellings)
    {
        std::vector<std::int64_t> result;
        for (const auto& spelling : spellings) {
            result.push_back(pitchId(spelling));
        }
        return result;
    }

    void openEntry()
    {
        ctl->TabClick(movement::kTabPitches);
        ctl->ToolbarClick(Button::New);
        ASSERT_TRUE(ctl->pitches().bPitchEditMode());
    }
};

TEST_F(PaeEntry, AnIncipitIsAppendedAndStoredBySave)
{
    openEntry();
    ctl->PitchKeyPress(kEnter, "%G-2$bB@3/2 '4BnB/B");
    EXPECT_TRUE(view.told.empty()) << view.told.front().text;
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 8u);
    EXPECT_EQ(ctl->pitches().pitchRow(), 7u);
    EXPECT_EQ(view.pitchGrid.size(), 8u);
    EXPECT_EQ(view.pitchBox, "");
    EXPECT_EQ(view.status, "3 pitches read from the Plaine & Easie Code.");
    EXPECT_EQ(storedSequence(first).size(), 5u) << "appending stores nothing until Save";
    ctl->ToolbarClick(Button::Save);
    EXPECT_EQ(storedSequence(first), ids({"c", "d*", "e/", "c", "f**", "B/", "B", "B/"}));
}

TEST_F(PaeEntry, InReplaceModeTheIncipitTakesTheTargetsPlace)
{
    ctl->TabClick(movement::kTabPitches);
    ctl->PitchSelectionChanged(1);
    ctl->ToolbarClick(Button::Edit);
    ctl->PitchSelectionChanged(3);
    ctl->PitchKeyPress(kEnter, ";pe2%G-2 ''CD_E");
    EXPECT_FALSE(ctl->pitches().bPitchEditMode()) << "stored at once, as one replaced pitch is";
    EXPECT_EQ(storedSequence(first), ids({"c", "c", "d", "e", "e/", "c", "f**"}));
    EXPECT_EQ(ctl->pitches().pitchRow(), 3u);
}

TEST_F(PaeEntry, AFaultIsToldAndChangesNothing)
{
    openEntry();
    ctl->PitchKeyPress(kEnter, "%G-2 'C");
    EXPECT_EQ(view.status, "1 pitch read from the Plaine & Easie Code.");
    view.pitchBox = "%G-2 ''2D^'A^xF";
    ctl->PitchKeyPress(kEnter, "%G-2 ''2D^'A^xF");
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told.back().text.find("a chord, ''2D^'A^xF,"), std::string::npos) << view.told.back().text;
    EXPECT_EQ(ctl->pitches().pitchRows().size(), 6u);
    EXPECT_EQ(view.pitchBox, "%G-2 ''2D^'A^xF") << "the box keeps the code to be mended";
    EXPECT_EQ(view.status, "") << "the last incipit's count is no longer shown";
    EXPECT_TRUE(ctl->pitches().bPitchEditMode());
}

TEST_F(PaeEntry, OtherTextsFollowTheSpellingRules)
{
    openEntry();
    ctl->PitchKeyPress(kEnter, "'4C");
    EXPECT_EQ(view.told.back().text, "Entry not found !");
    ctl->PitchKeyPress(kEnter, "c*");
    EXPECT_EQ(ctl->pitches().pitchRows().back().pitchId, pitchId("c*"));
}

TEST_F(PaeEntry, OctavesFollowTheMovementsSetting)
{
    auto connection = db();
    pitches::storeCapitalOctave(connection, first, 2);
    openEntry();
    ctl->PitchKeyPress(kEnter, "%F-4 ,,C,C'C");
    ASSERT_EQ(view.told.size(), 1u);
    EXPECT_NE(view.told.back().text.find("the note 'C at character 7 of its notes, in octave 4"), std::string::npos)
        << view.told.back().text;
    ctl->PitchKeyPress(kEnter, "%F-4 ,,C,C");
    ctl->ToolbarClick(Button::Save);
    EXPECT_EQ(storedSequence(first), ids({"c", "d*", "e/", "c", "f**", "C", "c"}));
}

TEST_F(PaeEntry, CopiedLinesPasteBackAsTheSameSequence)
{
    ctl->TabClick(movement::kTabPitches);
    const auto copied = ctl->CopyAsPae();
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(*copied, "%G-2 ''4CxDbECxxF");
    EXPECT_EQ(view.status, "The line was copied as Plaine & Easie Code.");

    ctl->ToolbarClick(Button::Next);
    ctl->TabClick(movement::kTabPitches);
    EXPECT_FALSE(ctl->CopyAsPae().has_value());
    EXPECT_EQ(view.told.back().text, "The line has no pitches to write in Plaine & Easie Code.");
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(kEnter, *copied);
    ctl->ToolbarClick(Button::Save);
    const std::int64_t shown = ctl->records().iLastMovementID();
    EXPECT_EQ(storedSequence(shown), storedSequence(first));
}

} // namespace
