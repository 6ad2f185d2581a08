#include "sound/Player.h"
#include "pitches/Notation.h"
#include "sound/Beats.h"
#include "tests/sound/TimGM6mbTest.h"
#include "tests/sound/WavAnalysis.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{

using velk::sound::AudioDriver;
using velk::sound::Player;

// A device that no machine has: ALSA is asked for a card of that name.
const AudioDriver kNoDevice {"alsa", "ALSA", {{"audio.alsa.device", "hw:velk-no-such-card"}}};

class PlayerTest : public velk::test::TimGM6mbTest
{
protected:
    /// FluidSynth's file driver renders in real time, as a sound card would take the samples.
    AudioDriver fileDriver() const
    {
        return {"file", "a file", {{"audio.file.name", (m_folder.path() / "heard.wav").string()}}};
    }

    /// Polls the player until it has played; the positions it reported, each once, in the order reported.
    static std::vector<std::size_t> positionsUntilTheEnd(Player& player)
    {
        std::vector<std::size_t> seen;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto position = player.poll();
            if (!position) {
                break;
            }
            if (seen.empty() || seen.back() != *position) {
                seen.push_back(*position);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return seen;
    }

    velk::test::TempFolder m_folder;
};

TEST_F(PlayerTest, NoSoundDeviceIsSaidAndNothingPlays)
{
    Player player({kNoDevice});
    const auto beats = velk::sound::beatsOf(velk::pitches::notateLine({"c", "d"}, 4));
    const auto played = player.play(beats, 72);
    ASSERT_FALSE(played);
    EXPECT_EQ(
        played.message().rfind("No sound device could be opened (tried ALSA), so the line cannot be heard. ALSA: ", 0),
        0U)
        << played.message();
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.poll());
    EXPECT_FALSE(player.stop());
    // A second try asks the device again, and says so again.
    EXPECT_FALSE(player.play(beats, 72));
}

TEST_F(PlayerTest, EachDriverIsTriedInTurn)
{
    Player player({kNoDevice, fileDriver()});
    const auto played = player.play(velk::sound::beatsOf(velk::pitches::notateLine({"c"}, 4)), 240);
    ASSERT_TRUE(played) << played.message();
    EXPECT_EQ(played.value(), "Playing position 1 at 240 beats a minute.");
    EXPECT_TRUE(player.playing());
}

TEST_F(PlayerTest, NoSoundFontIsSaid)
{
    setenv("VELK_SOUNDFONT", "/nonexistent/Missing.sf2", 1);
    Player player({fileDriver()});
    const auto played = player.play(velk::sound::beatsOf(velk::pitches::notateLine({"c"}, 4)), 72);
    ASSERT_FALSE(played);
    EXPECT_NE(played.message().find("/nonexistent/Missing.sf2"), std::string::npos) << played.message();
    EXPECT_FALSE(player.playing());
}

TEST_F(PlayerTest, FollowsTheBeatsInOrderAndClosesTheDeviceAtTheEnd)
{
    Player player({fileDriver()});
    const auto line = velk::pitches::notateLine({"c", "e", "g", "c", "e"}, 4);
    ASSERT_TRUE(player.play(velk::sound::beatsOf(line, 1, 3), 240));
    EXPECT_EQ(positionsUntilTheEnd(player), (std::vector<std::size_t> {1, 2, 3}));
    EXPECT_FALSE(player.playing());
    // What reached the device: the three notes in turn.
    const auto heard = velk::test::readWav(m_folder.path() / "heard.wav");
    ASSERT_TRUE(heard);
    const auto beat = static_cast<std::size_t>(heard->sampleRate * 0.25);
    const auto lead = static_cast<std::size_t>(heard->sampleRate * 0.06);
    for (const auto& [i, key] : std::vector<std::pair<std::size_t, int>> {{0, 76}, {1, 79}, {2, 72}}) {
        const auto frequency = velk::test::fundamental(*heard, lead + i * beat + beat / 2, 2048);
        ASSERT_TRUE(frequency) << "beat " << i;
        EXPECT_LT(std::abs(velk::test::centsBetween(*frequency, velk::test::keyFrequency(key))), 25.0);
    }
}

TEST_F(PlayerTest, StopSaysWhereAndAnotherPlayStartsAfresh)
{
    Player player({fileDriver()});
    const auto beats = velk::sound::beatsOf(velk::pitches::notateLine({"c", "d", "e", "f", "g", "a"}, 4));
    ASSERT_TRUE(player.play(beats, 60));
    while (player.poll() == std::size_t {0}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto stopped = player.stop();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(*stopped, 1U);
    EXPECT_EQ(velk::sound::stoppedText(*stopped), "Stopped at position 2.");
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.poll());
    ASSERT_TRUE(player.play(velk::sound::beatsOf(velk::pitches::notateLine({"c", "d"}, 4), 1), 240));
    EXPECT_EQ(player.poll(), std::size_t {1});
    EXPECT_EQ(positionsUntilTheEnd(player), std::vector<std::size_t> {1});
}

} // namespace
