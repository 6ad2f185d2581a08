#include "movement/CommandState.h"

#include <gtest/gtest.h>

#include <string>

using namespace velk::movement;

namespace
{

// One row of the command-state tables: the inputs and the expected flags of buttons 1 to 6 ("T", "F" or "k"
// for kept) and 8 to 11.
struct StateRow
{
    const char* name;
    CommandStateInputs in;
    const char* commands; // buttons 1..6
    const char* navigation; // buttons 8..11
};

CommandStateInputs on(const char* tab, bool bof, bool eof, bool editing = false, int editState = 0)
{
    CommandStateInputs in;
    in.tabKey = tab;
    in.bof = bof;
    in.eof = eof;
    in.bMovementEditMode = editing;
    in.editState = editState;
    in.recordCount = (bof && eof) ? 0 : 3;
    return in;
}

CommandStateInputs pitches(long rows, bool editing, bool dirty, bool stored = true)
{
    auto in = on(kTabPitches, false, false);
    in.pitchRows = rows;
    in.bPitchEditMode = editing;
    in.bPitchesDirty = dirty;
    in.hasStoredMovement = stored;
    return in;
}

CommandStateInputs unknownCount(const char* tab)
{
    // A snapshot always knows its record count; this row of the table only occurs with server cursors, and is
    // kept here so that the rule stays as it is.
    auto in = on(tab, false, false, true, 1);
    in.recordCount = -1;
    return in;
}

class CommandStateTable : public ::testing::TestWithParam<StateRow>
{
};

TEST_P(CommandStateTable, MatchesTheTable)
{
    const auto& row = GetParam();
    for (bool before : {false, true}) {
        ButtonFlags flags;
        flags.fill(before);
        RefreshCommandState(row.in, flags);
        for (int b = 1; b <= 6; ++b) {
            const char expected = row.commands[b - 1];
            if (expected == 'k') {
                EXPECT_EQ(flags[b], before) << row.name << ": button " << b << " must keep its flag";
            } else {
                EXPECT_EQ(flags[b], expected == 'T') << row.name << ": button " << b;
            }
        }
        for (int b = 8; b <= 11; ++b) {
            EXPECT_EQ(flags[b], row.navigation[b - 8] == 'T') << row.name << ": button " << b;
        }
        EXPECT_EQ(flags[7], before) << "the spacer is never touched";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages,
    CommandStateTable,
    ::testing::Values(
        StateRow {"data, empty catalogue", on(kTabMovementData, true, true), "TFFFFF", "FFFF"},
        StateRow {"data, before the first row", on(kTabMovementData, true, false), "TFFFFF", "TFTT"},
        StateRow {"data, after the last row", on(kTabMovementData, false, true), "TFFFFF", "TTFT"},
        StateRow {"data, on a row, browsing", on(kTabMovementData, false, false), "TFTFTT", "TTTT"},
        StateRow {"data, on a row, editing", on(kTabMovementData, false, false, true, 1), "FTFTFF", "TTTT"},
        StateRow {"data, a new row not yet stored", on(kTabMovementData, false, false, true, 2), "FTFTFF", "TTTT"},
        StateRow {"data, unknown record count", unknownCount(kTabMovementData), "kkkkkk", "TTTT"},
        StateRow {"subjects, empty catalogue", on(kTabSubjects, true, true), "FFFFFF", "FFFF"},
        StateRow {"subjects, after the last row", on(kTabSubjects, false, true), "FFFFFF", "TTFT"},
        StateRow {"subjects, browsing", on(kTabSubjects, false, false), "FFTFFT", "TTTT"},
        StateRow {"subjects, editing", on(kTabSubjects, false, false, true, 1), "FTFTFF", "TTTT"},
        StateRow {"subjects, unknown record count", unknownCount(kTabSubjects), "kkkkkk", "TTTT"},
        StateRow {"pitches, no rows, showing", pitches(0, false, false), "TFFFFT", "TTTT"},
        StateRow {"pitches, no rows, entering", pitches(0, true, true), "TFFTFT", "TTTT"},
        StateRow {"pitches, rows, entering", pitches(3, true, true), "FTFTFT", "TTTT"},
        StateRow {"pitches, rows, unsaved after a failed store", pitches(3, false, true), "FTFTFT", "TTTT"},
        StateRow {"pitches, rows, showing", pitches(3, false, false), "TFTFTT", "TTTT"},
        StateRow {"pitches, no stored movement", pitches(0, false, false, false), "FFFFFT", "TTTT"},
        StateRow {"tabulations", on(kTabTabulations, false, false), "FFFFFT", "TTTT"},
        StateRow {"tabulations, empty catalogue", on(kTabTabulations, true, true), "FFFFFT", "FFFF"},
        StateRow {"an unknown tab keeps 1 to 6", on("elsewhere", false, false), "kkkkkk", "TTTT"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    });

TEST(Toolbar, KeysAndShortcutsNameTheirButtons)
{
    EXPECT_EQ(buttonForKey("next"), Next);
    EXPECT_EQ(buttonForKey("Next"), std::nullopt) << "keys compare case-sensitively";
    EXPECT_EQ(buttonForKey(""), std::nullopt);
    EXPECT_EQ(buttonForKeyCode(4), Delete);
    EXPECT_EQ(buttonForKeyCode(5), Edit);
    EXPECT_EQ(buttonForKeyCode(14), New);
    EXPECT_EQ(buttonForKeyCode(19), Save);
    EXPECT_EQ(buttonForKeyCode(21), Undo);
    for (int code : {0, 3, 6, 8, 9, 13, 15, 18, 20, 22, 27}) {
        EXPECT_EQ(buttonForKeyCode(code), std::nullopt) << code;
    }
}

} // namespace

TEST(Toolbar, AccessKeysAreTheMarkedLettersOfButtonsAndTabs)
{
    // Save's S is the Subjects tab's; the navigation buttons have none.
    for (char letter : std::string("NEUDFMPTS")) {
        EXPECT_TRUE(isWindowAccessKey(letter)) << letter;
    }
    for (char letter : std::string("ACLRXZ")) {
        EXPECT_FALSE(isWindowAccessKey(letter)) << letter;
    }
    EXPECT_FALSE(usesAccessKey(Save));
    EXPECT_FALSE(usesAccessKey(Next));
}
