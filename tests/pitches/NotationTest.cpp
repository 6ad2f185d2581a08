#include "pitches/Notation.h"
#include "pitches/MovementLine.h"

#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "store/Schema.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace velk::pitches
{
namespace
{

struct SpellingCase
{
    const char* spelling;
    int capitalOctave;
    WrittenPitch pitch;
    int midi;
    Clef clef;
    int staffStep; ///< 0 is the bottom line
};

// Heights checked against the staff: E4 on the treble's bottom line, G2 on the bass's, F5 on the treble's top
// line; a tenor's small c is middle C, written in the third space of its treble clef with the 8 below.
const SpellingCase kSpellings[] = {
    {"C", 4, {'C', 0, 4}, 60, Clef::Treble, -2},
    {"E", 4, {'E', 0, 4}, 64, Clef::Treble, 0},
    {"f", 4, {'F', 0, 5}, 77, Clef::Treble, 8},
    {"a", 4, {'A', 0, 5}, 81, Clef::Treble, 10},
    {"b*", 4, {'B', 1, 5}, 84, Clef::Treble, 11},
    {"C//", 4, {'C', -2, 4}, 58, Clef::Treble, -2},
    {"g**", 4, {'G', 2, 5}, 81, Clef::Treble, 9},
    {"e/", 4, {'E', -1, 5}, 75, Clef::Treble, 7},
    {"G", 2, {'G', 0, 2}, 43, Clef::Bass, 0},
    {"a", 2, {'A', 0, 3}, 57, Clef::Bass, 8},
    {"C", 2, {'C', 0, 2}, 36, Clef::Bass, -4},
    {"c*", 2, {'C', 1, 3}, 49, Clef::Bass, 3},
    {"c", 3, {'C', 0, 4}, 60, Clef::TrebleOctaveDown, 5},
    {"E", 3, {'E', 0, 3}, 52, Clef::TrebleOctaveDown, 0},
    {"B/", 3, {'B', -1, 3}, 58, Clef::TrebleOctaveDown, 4},
};

class SpellingHeight : public ::testing::TestWithParam<SpellingCase>
{
};

TEST_P(SpellingHeight, ReadsLetterRegisterAndAccidental)
{
    const SpellingCase& c = GetParam();
    const auto pitch = writtenPitch(c.spelling, c.capitalOctave);
    ASSERT_TRUE(pitch.has_value());
    EXPECT_EQ(*pitch, c.pitch);
    EXPECT_EQ(midiKey(*pitch), c.midi);
    EXPECT_EQ(clefFor(c.capitalOctave), c.clef);
    EXPECT_EQ(staffStep(*pitch, c.clef), c.staffStep);
    // Written back, a spelling is itself.
    EXPECT_EQ(spellingOf(*pitch, c.capitalOctave), std::string(c.spelling));
}

INSTANTIATE_TEST_SUITE_P(Spellings, SpellingHeight, ::testing::ValuesIn(kSpellings));

TEST(Notation, EveryReferenceSpellingHasAHeightInEveryOctaveSetting)
{
    for (int octave = kLowestCapitalOctave; octave <= kHighestCapitalOctave; ++octave) {
        for (const auto& reference : store::referencePitches()) {
            const auto pitch = writtenPitch(reference.spelling, octave);
            ASSERT_TRUE(pitch.has_value()) << reference.spelling;
            EXPECT_EQ(spellingOf(*pitch, octave), reference.spelling);
        }
    }
}

TEST(Notation, TextsOutsideTheSchemeHaveNoHeight)
{
    for (const char* text : {"", "H", "c***", "c/*", "c ", " c", "cb", "c#", "'t", "\xC3\xA9", "c///", "*"}) {
        EXPECT_FALSE(writtenPitch(text, 4).has_value()) << '"' << text << '"';
    }
    EXPECT_FALSE(writtenPitch("c", 5).has_value());
    EXPECT_FALSE(spellingOf({'C', 0, 6}, 4).has_value());
    EXPECT_FALSE(spellingOf({'C', 0, 3}, 4).has_value());
    EXPECT_FALSE(spellingOf({'C', 3, 4}, 4).has_value());
}

TEST(Notation, FrequenciesAreEqualTemperedFromA440)
{
    EXPECT_DOUBLE_EQ(frequencyOf(69), 440.0);
    EXPECT_DOUBLE_EQ(frequencyOf(81), 880.0);
    EXPECT_NEAR(frequencyOf(60), 261.6256, 1e-3);
}

struct VoicesCase
{
    Voices voices;
    int octave;
};

const VoicesCase kVoices[] = {
    {{false, false, false, true}, 2},  {{false, false, true, false}, 3}, {{false, false, true, true}, 3},
    {{true, false, false, false}, 4},  {{false, true, true, true}, 4},   {{true, true, true, true}, 4},
    {{false, false, false, false}, 4},
};

class DefaultOctave : public ::testing::TestWithParam<VoicesCase>
{
};

TEST_P(DefaultOctave, FollowsTheVoices)
{
    EXPECT_EQ(defaultCapitalOctave(GetParam().voices), GetParam().octave);
    EXPECT_EQ(capitalOctave(std::nullopt, GetParam().voices), GetParam().octave);
    // A stored setting wins; one Velk does not use falls back to the default.
    EXPECT_EQ(capitalOctave(3, GetParam().voices), 3);
    EXPECT_EQ(capitalOctave(7, GetParam().voices), GetParam().octave);
}

INSTANTIATE_TEST_SUITE_P(Voices, DefaultOctave, ::testing::ValuesIn(kVoices));

TEST(MovementLine, ReadsTheSequenceInTheMovementsOctaveSetting)
{
    test::TempCatalogue catalogue;
    store::Connection c = catalogue.writer();
    const std::int64_t id = catalogue.addMovement(7);
    c.execute("UPDATE tblMovement SET chkBass = 1 WHERE iMovementID = ?", {store::Value(id)});
    for (const char* spelling : {"G", "c*", "B/"}) {
        c.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) "
                  "SELECT ?, iPitchID FROM tblPitchLookup WHERE txtPitch = ?",
                  {store::Value(id), store::Value(std::string(spelling))});
    }
    auto line = loadMovementLine(c, id);
    ASSERT_TRUE(line.has_value());
    EXPECT_FALSE(line->storedOctave.has_value());
    EXPECT_EQ(line->line.clef, Clef::Bass);
    ASSERT_EQ(line->line.notes.size(), 3u);
    EXPECT_EQ(line->line.notes[1].spelling, "c*");
    EXPECT_EQ(midiKey(*line->line.notes[1].pitch), 49);

    storeCapitalOctave(c, id, 4);
    line = loadMovementLine(c, id);
    EXPECT_EQ(line->storedOctave, 4);
    EXPECT_EQ(line->line.clef, Clef::Treble);
    EXPECT_EQ(midiKey(*line->line.notes[1].pitch), 73);

    storeCapitalOctave(c, id, std::nullopt);
    EXPECT_FALSE(loadMovementLine(c, id)->storedOctave.has_value());
    EXPECT_THROW(storeCapitalOctave(c, id, 5), std::invalid_argument);
    EXPECT_FALSE(loadMovementLine(c, id + 1).has_value());
}

TEST(MovementLine, AnOlderCatalogueGetsTheColumnWhenOpenedForWriting)
{
    test::TempCatalogue catalogue;
    store::Connection c = catalogue.writer();
    const std::int64_t id = catalogue.addMovement(1);
    c.execute("ALTER TABLE tblMovement DROP COLUMN iCapitalOctave");
    // Without the column the line is read in its default setting.
    EXPECT_EQ(loadMovementLine(c, id)->line.clef, Clef::Treble);
    store::ensureColumns(c);
    EXPECT_TRUE(store::hasColumn(c, "tblMovement", kCapitalOctaveColumn));
    storeCapitalOctave(c, id, 2);
    EXPECT_EQ(loadMovementLine(c, id)->line.clef, Clef::Bass);
}

} // namespace
} // namespace velk::pitches
