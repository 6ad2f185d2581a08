#include "pitches/Notation.h"
#include "sound/Beats.h"
#include "sound/SoundFont.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace
{

using velk::sound::Beat;

std::vector<std::size_t> positionsOf(const std::vector<Beat>& beats)
{
    std::vector<std::size_t> positions;
    for (const auto& beat : beats) {
        positions.push_back(beat.position);
    }
    return positions;
}

/// Which positions of a line are played, and the status text that says so.
struct Stretch
{
    const char* name;
    std::size_t from;
    std::size_t count;
    std::vector<std::size_t> positions;
    const char* text;
};

class BeatsOfALine : public ::testing::TestWithParam<Stretch>
{
};

TEST_P(BeatsOfALine, KeepTheirPositions)
{
    const auto line = velk::pitches::notateLine({"c", "d", "e", "f", "g"}, 4);
    const auto beats = velk::sound::beatsOf(line, GetParam().from, GetParam().count);
    EXPECT_EQ(positionsOf(beats), GetParam().positions);
    EXPECT_EQ(velk::sound::playingText(beats, 72), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Stretches,
    BeatsOfALine,
    ::testing::Values(Stretch {"Whole",
                               0,
                               static_cast<std::size_t>(-1),
                               {0, 1, 2, 3, 4},
                               "Playing positions 1 to 5 at 72 beats a minute."},
                      Stretch {"FromTheThird",
                               2,
                               static_cast<std::size_t>(-1),
                               {2, 3, 4},
                               "Playing positions 3 to 5 at 72 beats a minute."},
                      Stretch {"ARunOfTwo", 1, 2, {1, 2}, "Playing positions 2 to 3 at 72 beats a minute."},
                      Stretch {"RunPastTheEnd", 4, 3, {4}, "Playing position 5 at 72 beats a minute."},
                      Stretch {"PastTheEnd", 5, 1, {}, "The movement has no pitches to play."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SoundFont, TheFirstReadablePlaceIsTaken)
{
    velk::test::TempFolder folder;
    const std::string present = (folder.path() / "Present.sf2").string();
    std::ofstream(present) << "RIFF";
    const std::string missing = (folder.path() / "Missing.sf2").string();
    const std::string folderItself = folder.path().string();
    const auto found = velk::sound::findSoundFont({missing, folderItself, present});
    ASSERT_TRUE(found) << found.message();
    EXPECT_EQ(found.value(), present);

    const auto none = velk::sound::findSoundFont({missing, folderItself});
    ASSERT_FALSE(none);
    EXPECT_EQ(none.message(),
              "No General MIDI SoundFont was found (looked for " + missing + ", " + folderItself
                  + "), so nothing can be played: install the package timgm6mb-soundfont.");
}

} // namespace
