#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "tests/sound/TimGM6mbTest.h"
#include "tests/sound/WavAnalysis.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace
{

using velk::store::Value;
using velk::test::ToolRun;

ToolRun runTool(const std::vector<std::string>& args)
{
    return velk::test::runProgram(VELK_CATALOGUE_EXE, args);
}

std::int64_t pitchId(const std::string& spelling)
{
    const auto* pitch = velk::store::referencePitchOf(spelling);
    EXPECT_TRUE(pitch) << "no reference pitch spelt " << spelling;
    return pitch ? pitch->id : 0;
}

/// A position of a line and the MIDI key it must sound, worked out by hand from the octave setting.
struct Sounded
{
    const char* spelling;
    int key;
};

/// A movement's voices and octave setting, and the line it holds.
struct Line
{
    const char* name;
    const char* voices; ///< the voice columns set to 1
    std::optional<int> octave; ///< iCapitalOctave
    std::vector<Sounded> notes;
};

class PlayCommand : public velk::test::TimGM6mbTest
{
protected:
    std::int64_t add(const Line& line)
    {
        auto connection = m_catalogue.writer();
        connection.execute(std::string("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, ") + line.voices
                               + ", iCapitalOctave) VALUES (1, 1, 1, 1, ?)",
                           {line.octave ? Value(std::int64_t {*line.octave}) : Value()});
        const auto id = connection.lastInsertId();
        for (const auto& note : line.notes) {
            connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (?, ?)",
                               {Value(id), Value(pitchId(note.spelling))});
        }
        return id;
    }

    std::string wav(const std::string& name = "line.wav") const
    {
        return (m_catalogue.folder() / name).string();
    }

    /// Renders the line and checks the file: one note a beat from its start, each sounding its key in the middle
    /// of its beat, then the tail.
    void expectNotes(const std::string& file,
                     const std::vector<Sounded>& notes,
                     int tempo,
                     const std::vector<std::string>& options = {})
    {
        std::vector<std::string> args {"play", m_catalogue.file(), std::to_string(m_id), "--wav", file};
        args.insert(args.end(), options.begin(), options.end());
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto sound = velk::test::readWav(file);
        ASSERT_TRUE(sound) << file << " is no WAV file of 16-bit samples";
        EXPECT_EQ(sound->format, 1);
        EXPECT_EQ(sound->channels, 1);
        ASSERT_EQ(sound->sampleRate, 44100);
        const double beat = 60.0 * sound->sampleRate / tempo;
        // As many beats as notes, and a second in which the last dies away.
        EXPECT_EQ(sound->samples.size(), static_cast<std::size_t>(std::llround(notes.size() * beat)) + 44100);
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const auto middle = static_cast<std::size_t>((static_cast<double>(i) + 0.5) * beat);
            const auto heard = velk::test::fundamental(*sound, middle);
            const double wanted = velk::test::keyFrequency(notes[i].key);
            ASSERT_TRUE(heard) << "no clear pitch in beat " << i + 1 << " (" << notes[i].spelling << ")";
            EXPECT_LT(std::abs(velk::test::centsBetween(*heard, wanted)), 25.0)
                << "beat " << i + 1 << " (" << notes[i].spelling << "): heard " << *heard << " Hz, wanted " << wanted
                << " Hz";
        }
    }

    velk::test::TempCatalogue m_catalogue;
    std::int64_t m_id = 0;
};

// Each line in its octave setting: capitals from middle C for a soprano, from C2 for a bass alone, from C3 for a
// tenor; a stored setting wins over the voices. A B sharp sounds in the octave above its letter, a C flat in the
// octave below.
const std::vector<Line> kLines {
    {"Soprano",
     "chkSoprano",
     std::nullopt,
     {{"C", 60}, {"E", 64}, {"G", 67}, {"c", 72}, {"f*", 78}, {"b/", 82}, {"a", 81}, {"B*", 72}, {"D//", 60}}},
    {"Bass",
     "chkBass",
     std::nullopt,
     {{"C", 36}, {"G", 43}, {"c", 48}, {"e/", 51}, {"B/", 46}, {"F*", 42}, {"c/", 47}}},
    {"Tenor", "chkTenor", std::nullopt, {{"A", 57}, {"c*", 61}, {"e", 64}, {"D", 50}}},
    {"StoredLow", "chkSoprano", 2, {{"c", 48}, {"G", 43}, {"E", 40}, {"C", 36}}},
};

class PlayedLine : public PlayCommand, public ::testing::WithParamInterface<Line>
{
};

TEST_P(PlayedLine, SoundsEachNoteOnItsBeatAtItsPitch)
{
    m_id = add(GetParam());
    expectNotes(wav(), GetParam().notes, 72);
}

INSTANTIATE_TEST_SUITE_P(Lines, PlayedLine, ::testing::ValuesIn(kLines), [](const auto& info) {
    return std::string(info.param.name);
});

TEST_F(PlayCommand, TempoSetsTheBeatAndFromTheFirstNote)
{
    m_id = add(kLines[0]);
    const std::vector<Sounded> fromFourth(kLines[0].notes.begin() + 3, kLines[0].notes.end());
    expectNotes(wav("fast.wav"), fromFourth, 150, {"--tempo", "150", "--from", "4"});
    expectNotes(wav("last.wav"), {kLines[0].notes.back()}, 72, {"--from=9"});
}

TEST_F(PlayCommand, ReverbOnlyWhenAsked)
{
    m_id = add(kLines[1]);
    expectNotes(wav("dry.wav"), kLines[1].notes, 72);
    expectNotes(wav("wet.wav"), kLines[1].notes, 72, {"--reverb"});
    const auto dry = velk::test::readWav(wav("dry.wav"));
    const auto wet = velk::test::readWav(wav("wet.wav"));
    ASSERT_TRUE(dry && wet);
    // Late in the tail the dry note has died away; the reverberation has not.
    const std::size_t late = dry->samples.size() - 4096;
    EXPECT_GT(velk::test::loudness(*wet, late), 2 * velk::test::loudness(*dry, late));
}

TEST_F(PlayCommand, ASpellingWithoutHeightIsASilentBeat)
{
    auto connection = m_catalogue.writer();
    connection.execute("INSERT INTO tblPitchLookup (iPitchID, txtPitch, txtVelkFont) VALUES (900, 'x?', 'x?')");
    m_id = add({"Gap", "chkSoprano", std::nullopt, {{"c", 72}, {"c", 72}, {"c", 72}}});
    connection.execute("UPDATE tblMovementPitchJoin SET iPitchID = 900 WHERE iMovementPitchID = "
                       "(SELECT MIN(iMovementPitchID) + 1 FROM tblMovementPitchJoin WHERE iMovementID = ?)",
                       {Value(m_id)});
    const ToolRun run = runTool({"play", m_catalogue.file(), std::to_string(m_id), "--wav", wav()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto sound = velk::test::readWav(wav());
    ASSERT_TRUE(sound);
    const double beat = 60.0 * 44100 / 72;
    const double sounding = velk::test::loudness(*sound, static_cast<std::size_t>(0.5 * beat));
    EXPECT_LT(velk::test::loudness(*sound, static_cast<std::size_t>(1.75 * beat)), sounding / 10);
    EXPECT_TRUE(velk::test::fundamental(*sound, static_cast<std::size_t>(2.5 * beat)));
}

/// A run that cannot render, and what it must say.
struct Refusal
{
    const char* name;
    std::vector<std::string> args; ///< after "play FILE"; "ID" stands for the movement's id, "OUT" for the file
    int exitCode;
    const char* says;
};

class RefusedPlay : public PlayCommand, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(RefusedPlay, SaysWhyAndLeavesTheFileAlone)
{
    m_id = add({"Short", "chkSoprano", std::nullopt, {{"c", 72}, {"d", 74}}});
    add({"Empty", "chkSoprano", std::nullopt, {}});
    const std::string out = wav();
    velk::test::TempFolder scratch;
    std::vector<std::string> args {"play", m_catalogue.file()};
    for (const std::string& arg : GetParam().args) {
        args.push_back(arg == "ID" ? std::to_string(m_id) : arg == "OUT" ? out : arg);
    }
    {
        std::ofstream(out) << "kept";
    }
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
    EXPECT_EQ(velk::test::readFile(out), "kept");
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals,
    RefusedPlay,
    ::testing::Values(
        Refusal {"NoSuchMovement", {"99", "--wav", "OUT"}, 1, "has no movement with the id 99"},
        Refusal {"EmptyLine", {"2", "--wav", "OUT"}, 1, "Movement 2 has no pitches to play."},
        Refusal {"FromPastTheEnd", {"ID", "--wav", "OUT", "--from", "3"}, 1, "--from 3 is past the end of the line"},
        Refusal {"FromZero", {"ID", "--wav", "OUT", "--from", "0"}, 2, "--from must be a whole number"},
        Refusal {"TempoTooSlow", {"ID", "--wav", "OUT", "--tempo", "5"}, 2, "--tempo must be a whole number from 20"},
        Refusal {"NoWavOption", {"ID"}, 2, "--wav OUT.wav"},
        Refusal {"UnwritableFolder",
                 {"ID", "--wav", "/nonexistent/folder/line.wav"},
                 1,
                 "The WAV file /nonexistent/folder/line.wav could not be written: No such file or directory."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayCommand, TheCatalogueIsNeverTheWavFile)
{
    m_id = add(kLines[0]);
    const auto before = velk::test::readFile(m_catalogue.file());
    const std::string sameFile = (m_catalogue.folder() / "." / "Velk.db").string();
    const ToolRun run = runTool({"play", m_catalogue.file(), std::to_string(m_id), "--wav", sameFile});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is the catalogue itself"), std::string::npos) << run.err;
    EXPECT_EQ(velk::test::readFile(m_catalogue.file()), before);
}

TEST_F(PlayCommand, NoSoundFontNamesWhereItLooked)
{
    m_id = add(kLines[0]);
    setenv("VELK_SOUNDFONT", "/nonexistent/Missing.sf2", 1);
    const ToolRun run = runTool({"play", m_catalogue.file(), std::to_string(m_id), "--wav", wav()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("No General MIDI SoundFont was found (looked for /nonexistent/Missing.sf2)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("timgm6mb-soundfont"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(wav()));
}

TEST_F(PlayCommand, AFileThatIsNoSoundFontIsNamed)
{
    m_id = add(kLines[0]);
    setenv("VELK_SOUNDFONT", m_catalogue.file().c_str(), 1);
    const ToolRun run = runTool({"play", m_catalogue.file(), std::to_string(m_id), "--wav", wav()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("The SoundFont " + m_catalogue.file() + " could not be read"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(wav()));
}

} // namespace
