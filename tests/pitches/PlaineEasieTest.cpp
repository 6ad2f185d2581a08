#include "pitches/PlaineEasie.h"

#include "store/ReferenceData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace velk::pitches
{
namespace
{

/// A new catalogue's vocabulary; without double flats, as an older catalogue's.
PitchLookup vocabulary(bool doubleFlats = true)
{
    std::vector<Pitch> pitches;
    for (const auto& reference : store::referencePitches()) {
        if (doubleFlats || reference.spelling.find("//") == std::string::npos) {
            pitches.push_back({reference.id, reference.spelling, reference.glyph});
        }
    }
    return PitchLookup(std::move(pitches));
}

std::string joined(const std::vector<std::string>& spellings)
{
    std::string text;
    for (const auto& spelling : spellings) {
        text += (text.empty() ? "" : " ") + spelling;
    }
    return text;
}

std::string publishedText(const char* name)
{
    std::ifstream in(std::string(VELK_PAE_DATA) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ReadCase
{
    const char* before; ///< what the test puts before the example: the clef (and version) it is read under
    const char* example; ///< as the published code gives it
    int capitalOctave;
    const char* spellings;
    std::size_t graceNotes;
    int version;
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c)
{
    return out << c.before << c.example;
}

// The worked examples of both versions with the pitches they sound. Version 2's examples of notes alone are read
// after ";pe2" and a clef, Version 1's after a clef.
const ReadCase kPublishedExamples[] = {
    // Version 1
    {"%G-2 ", "{''6E'B8G}{GA}-''C{'3B8..G}", 4, "e B G G A c B G", 0, 1},
    {"", "%C-1 $bBEA @c '2A-//$xFC 8B-4-2-/@3/2 1C2-//", 4, "A/ B C*", 0, 1},
    {"%G-2 ", "!{'8ABAG}!ff", 4, "A B A G A B A G A B A G", 0, 1},
    {"%G-2 ", "'4ABAG/i/i/", 4, "A B A G A B A G A B A G", 0, 1},
    {"%G-2 ", "'8.68{AB''C}{DEF}", 4, "A B c d e f", 0, 1},
    {"%G-2 ", "{''8CCCC}", 4, "c c c c", 0, 1},
    {"%G-2 ", "4('6DEFGA;5)", 4, "D E F G A", 0, 1},
    {"%G-2 ", "8({'3DEFGA};5)", 4, "D E F G A", 0, 1},
    {"", "%G-2@3/2$bB =3/2--''A/2.F4G2A/AGG/1A/", 4, "a f g a a g g a", 0, 1},
    {"", "@clef:G-2\n@timesig:3/2\n@keysig:bB\n@data:=3/2--''A/2.F4G2A/AGG/1A/", 4, "a f g a a g g a", 0, 1},
    {"",
     "{\n    \"clef\": \"G-2\",\n    \"timesig\": \"3/2\",\n    \"keysig\": \"bB\",\n"
     "    \"data\": \"=3/2--''A/2.F4G2A/AGG/1A/\"\n}",
     4, "a f g a a g g a", 0, 1},
    // Version 2
    {";pe2%G-2 ", "'C''B", 4, "C b", 0, 2},
    {";pe2%F-4 ", ",,C,B", 2, "C b", 0, 2},
    {";pe2%G-2 ", "AB''CDC'BA", 4, "A B c d c B A", 0, 2},
    {";pe2%G-2 ", "FG_A", 4, "F G A", 0, 2},
    {";pe2%G-2 ", "2''G/_/4_", 4, "g", 0, 2},
    {";pe2%G-2 ", "2''G/8{_AB}/4_", 4, "g a b", 0, 2},
    {";pe2%C*3 ", "CDuEF", 4, "C D E F", 0, 2},
    {";pe2%g-2 ", "4Cu8Du,A", 3, "c d A", 0, 2},
    {";pe2%G-2 ", "8{ABy{''CD}r'AB}", 4, "A B A B", 2, 2},
    {";pe2%G-2 ", "4('4D8E)4('4D8E)", 4, "D E D E", 0, 2},
    {";pe2%G-2 ", "2G1''Cp", 4, "G c", 0, 2},
    {";pe2%G-2 ", "'4Ag''C{''8D'8B}", 4, "A d B", 1, 2},
    {";pe2%G-2 ", "'4Aq8'B{'8A'8G}", 4, "A A G", 1, 2},
    {";pe2%G-2 ", "'4Ay''{'8B''8C}r{''8D'8B}", 4, "A d B", 2, 2},
    {";pe2%G-2 ", "{'8Ay''{'8B''8C}r''8D}", 4, "A d", 2, 2},
    {";pe2%G-2 ", "CDE//:FGA://", 4, "C D E F G A", 0, 2},
    {";pe2%G-2 ", "//:CDE://:FGA://", 4, "C D E F G A", 0, 2},
    {";pe2%G-2 ", "'2A-//%F-4$xFC ,8B-4-2-/@3/2 '1C2-//", 3, "a B c*", 0, 2},
    {";pe2%G-2$", "xF[C]G[D]", 4, "F* C* G* D* A", 0, 2},
    {"", ";pe2%G-2@3/2$bB =3/2--''A/2.F4G2A/AGG/1A/", 4, "a f g a a g g a", 0, 2},
    {"", "@clef:G-2\n@timesig:3/2\n@keysig:bB\n@data:=3/2--''A/2.F4G2A/AGG/1A/\n@version:pe2", 4, "a f g a a g g a", 0,
     2},
    {"",
     "{\n    \"clef\": \"G-2\",\n    \"timesig\": \"3/2\",\n    \"keysig\": \"bB\",\n"
     "    \"data\": \"=3/2--''A/2.F4G2A/AGG/1A/\",\n    \"version\": \"pe2\"\n}",
     4, "a f g a a g g a", 0, 2},
};

// The key signature example is followed by notes of every letter it alters.
std::string textOf(const ReadCase& c)
{
    std::string text = std::string(c.before) + c.example;
    if (std::string_view(c.before).ends_with('$')) {
        text += " 'FCGDA";
    }
    return text;
}

class PublishedExample : public ::testing::TestWithParam<ReadCase>
{
};

void expectReading(const std::string& text, const ReadCase& c)
{
    const auto read = readPae(text, c.capitalOctave, vocabulary());
    ASSERT_TRUE(read.ok()) << read.message();
    EXPECT_EQ(joined(read->spellings), c.spellings);
    EXPECT_EQ(read->graceNotes, c.graceNotes);
    EXPECT_EQ(read->version, c.version);
    ASSERT_EQ(read->pitchIds.size(), read->spellings.size());
    for (std::size_t i = 0; i < read->pitchIds.size(); ++i) {
        EXPECT_EQ(vocabulary().byId(read->pitchIds[i])->spelling, read->spellings[i]);
    }
}

TEST_P(PublishedExample, SoundsItsPitches)
{
    expectReading(textOf(GetParam()), GetParam());
}

TEST_P(PublishedExample, StandsInThePublishedCode)
{
    const std::string published = publishedText("v1.txt") + publishedText("v2.txt");
    ASSERT_FALSE(published.empty()) << "the published texts are missing from " << VELK_PAE_DATA;
    std::istringstream lines(GetParam().example);
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find_first_not_of(' '));
        EXPECT_NE(published.find(line), std::string::npos) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(BothVersions, PublishedExample, ::testing::ValuesIn(kPublishedExamples));

// How the two versions are read where they differ or say little, one decision a row.
const ReadCase kDecisions[] = {
    // No version marker is Version 1, read with Version 2's rule: an accidental lasts to the bar line for later
    // notes of its letter in any octave.
    {"", "%G-2 'xFG''F/F", 4, "F* G f* f", 0, 1},
    {"", "%G-2$bB@3/2 '4BnB/B", 4, "B/ B B/", 0, 1},
    // An accidental is its written value, not a change of the key's.
    {"", ";pe2%G-2$bB 'bBxB/nBB", 4, "B/ B* B B", 0, 2},
    // Ties: Version 1's + before the tied note (across a bar line too), Version 2's _ in its place.
    {"", "%G-2 'G+GA", 4, "G A", 0, 1},
    {"", "%G-2 'xF+/FF", 4, "F* F", 0, 1},
    {"", ";pe2%G-2 'G_A", 4, "G A", 0, 2},
    // Version 1's (…) is a fermata, its accidental outside; Version 2's a tuplet.
    {"", "%G-2 'x(4F)G", 4, "F* G", 0, 1},
    {"", ";pe2%G-2 8('6DEF)G", 4, "D E F G", 0, 2},
    // A spelling from the written letter and octave.
    {"", "%G-2 'xB''bbC", 4, "B* c//", 0, 1},
    {"", "%g-2 ,xB'xxF", 3, "B* f**", 0, 1},
    {"", "%F-4 ,,bC,xB", 2, "C/ b*", 0, 1},
    // Repetitions written out; a tie within them holds.
    {"", "%G-2 !'xFG!f", 4, "F* G F* G", 0, 1},
    {"", "%G-2 'C+CD/i/", 4, "C D C D", 0, 1},
    // Grace notes (single, Version 1's group qq…r) are left out; their accidentals still hold in the bar.
    {"", "%G-2 g'xF4F", 4, "F*", 1, 1},
    {"", "%G-2 'qqABrC", 4, "C", 2, 1},
    // The forms: notes alone, key alone, fields on one line, JSON with the version.
    {"", "'CDE", 4, "C D E", 0, 1},
    {"", "$bB 'B", 4, "B/", 0, 1},
    {"", "@clef:G-2 @keysig:bB @data:'BC", 4, "B/ C", 0, 1},
    {"", "{\"clef\":\"G-2\",\"data\":\"'G_A\",\"version\":\"pe2\"}", 4, "G A", 0, 2},
    {"", "  %G-2 'C~?  ", 4, "C", 0, 1},
    {"", "{\"data\": \"\\u00274C\"}", 4, "C", 0, 1},
};

class Decision : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(Decision, IsFollowed)
{
    expectReading(GetParam().example, GetParam());
}

INSTANTIATE_TEST_SUITE_P(WhereVersionsDiffer, Decision, ::testing::ValuesIn(kDecisions));

struct FaultCase
{
    const char* text;
    const char* named; ///< what the message must name
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c)
{
    return out << c.text;
}

const FaultCase kFaults[] = {
    {"%G-2 ''2D^'A^xF", "a chord, ''2D^'A^xF, at character 5"},
    {";pe2%G-2 2^'AxF>/2^AxF>/", "a chord, 2^'AxF>, at character 2"},
    {"%G-2 'G_A", "_ at character 3 of its notes, Version 2's tie"},
    {";pe2%G-2 'G+G", "+ at character 3 of its notes, Version 1's tie"},
    {"%G-2 'CwD", "\"w\" at character 3 of its notes"},
    {"%G-2 \u20194C",
     "\"\u2019\" at character 1 of its notes, which is no sign of the code: it is written in plain ASCII"},
    {";pe2%G-2 ''C'GC,GC,,G",
     "the note ,G at character 8 of its notes, in octave 3, outside this movement's two "
     "octaves: ' (octave 4) and '' (octave 5)"},
    {"%Q-2 'C", "the clef \"Q-2\""},
    {"%G-2$yF 'C", "the key signature \"yF\""},
    {"%G-2 'x/C", "the accidental x at character 2 of its notes with no note after it"},
    {"%G-2 'xbC", "two accidentals"},
    {"%G-2 =5/", "gives no notes"},
    {"%G-2 !'AB!/", "no f follows"},
    {"%G-2 !'AB", "never closes"},
    {"%G-2 'ABi/", "i at character 4"},
    {"%G-2 'ABrC", "r at character 4"},
    {"%G-2 'ABf", "f at character 4"},
    {"%G-2 'Ag/", "a grace sign with no note after it"},
    {"%G-2 'AqqBC", "never closed with r"},
    {"%G-2 '''''C", "the octave mark \"'''''\""},
    {"%G-2 'A~", "~ at character 3"},
    {"@clef:G-2\n@foo:1\n@data:'C", "the field @foo:"},
    {"@clef:G-2\n@keysig:bB", "no notes: they are given in the field @data:"},
    {"@clef:G-2\n@data:'C\n@data:'D", "@data: twice"},
    {"@clef:G-2\n@data:'C\n@version:pe3", "the version \"pe3\""},
    {"{\"clef\": \"G-2\", \"data\": 4}", "the value of \"data\" is no text in quotes"},
    {"{\"clef\": \"G-2\"", "a } is missing"},
    {"{\"clef\": \"G-2\", \"dta\": \"'C\"}", "the field \"dta\""},
    {"{\"data\": \"'C\"} x", "text follows the object"},
    {"{\"data\": \"\\u00e9C\"}", "outside ASCII"},
    {";pe3%G-2 'C", "starts with \";pe3\""},
};

class Fault : public ::testing::TestWithParam<FaultCase>
{
};

TEST_P(Fault, IsNamedAndNothingIsRead)
{
    const FaultCase& c = GetParam();
    const auto read = readPae(c.text, 4, vocabulary());
    ASSERT_FALSE(read.ok()) << joined(read->spellings);
    EXPECT_EQ(read.message().rfind("The Plaine & Easie Code ", 0), 0u) << read.message();
    EXPECT_NE(read.message().find(c.named), std::string::npos) << read.message();
    EXPECT_EQ(read.message().back(), '.') << read.message();
}

INSTANTIATE_TEST_SUITE_P(Constructs, Fault, ::testing::ValuesIn(kFaults));

TEST(PlaineEasie, ASpellingTheVocabularyLacksIsNamed)
{
    const auto read = readPae("%G-2 'C'bbB", 4, vocabulary(false));
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.message().find("the note 'bbB at character 6 of its notes, the spelling \"B//\", which this "
                                  "catalogue's pitches lack (an older catalogue has no double flats)."),
              std::string::npos)
        << read.message();
    EXPECT_TRUE(readPae("%G-2 'C'bbB", 4, vocabulary(true)).ok());
}

TEST(PlaineEasie, RepetitionsThatWouldWriteOutMillionsOfNotesAreRefused)
{
    const std::string many = "%G-2 !'" + std::string(2000, 'C') + "!" + std::string(2000, 'f');
    const auto read = readPae(many, 4, vocabulary());
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.message(),
              "The Plaine & Easie Code writes out more than 100000 notes with its repetitions, far "
              "more than an incipit holds.");
    const std::string enough = "%G-2 !'" + std::string(1000, 'C') + "!" + std::string(99, 'f');
    EXPECT_EQ(readPae(enough, 4, vocabulary())->pitchIds.size(), 100000u);
}

TEST(PlaineEasie, TheSummaryCountsGraceNotes)
{
    const auto read = readPae(";pe2%G-2 '4Ay''{'8B''8C}r{''8D'8B}", 4, vocabulary());
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->summary(), "3 pitches read from the Plaine & Easie Code; 2 grace notes were left out.");
    EXPECT_EQ(readPae("%G-2 g'AB", 4, vocabulary())->summary(),
              "1 pitch read from the Plaine & Easie Code; 1 grace note was left out.");
    EXPECT_EQ(readPae("%G-2 'AB", 4, vocabulary())->summary(), "2 pitches read from the Plaine & Easie Code.");
}

TEST(PlaineEasie, TheEntryBoxReadsOnlyTextsThatStartAsTheCode)
{
    for (const char* text : {"%G-2 'C", ";pe2%G-2 'C", "@clef:G-2", "@3/4 'C", "{\"data\":\"C\"}", "  %G-2 'C"}) {
        EXPECT_TRUE(looksLikePae(text)) << text;
    }
    for (const char* text : {"c", "C*", "c d e", "'4C", "$bB 'B", ";pe1", "", "  "}) {
        EXPECT_FALSE(looksLikePae(text)) << text;
    }
}

struct WriteCase
{
    std::vector<std::string> spellings;
    int capitalOctave;
    const char* text;
};

class Writing : public ::testing::TestWithParam<WriteCase>
{
};

TEST_P(Writing, MarksOctavesAndAccidentalsWhereNeeded)
{
    const WriteCase& c = GetParam();
    const auto written = writePae(notateLine(c.spellings, c.capitalOctave));
    ASSERT_TRUE(written.ok()) << written.message();
    EXPECT_EQ(written.value(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    OctaveSettings,
    Writing,
    ::testing::Values(
        // A natural where a later note of the letter cancels an accidental, in any octave; none repeated.
        WriteCase {{"c*", "c", "C", "e/", "e/", "E"}, 4, "%G-2 ''4xCnC'C''bEE'nE"},
        WriteCase {{"G", "a", "B/", "b//"}, 2, "%F-4 ,,4G,A,,bB,bbB"},
        WriteCase {{"B*", "c", "d**"}, 3, "%g-2 ,4xB'CxxD"}));

TEST(PlaineEasie, WritingFailsForPitchesWithoutAHeight)
{
    const auto written = writePae(notateLine({"c", "xyz"}, 4));
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.message(),
              "Pitch 2 of the line, \"xyz\", is no letter with an accidental, so the line cannot be written in "
              "Plaine & Easie Code.");
    EXPECT_FALSE(writePae(notateLine({}, 4)).ok());
}

TEST(PlaineEasie, WrittenLinesReadBackAsTheSameSequenceInEveryOctaveSetting)
{
    const PitchLookup lookup = vocabulary();
    std::mt19937 random(20261207);
    const auto& references = store::referencePitches();
    std::uniform_int_distribution<std::size_t> pick(0, references.size() - 1);
    std::uniform_int_distribution<std::size_t> length(1, 40);
    for (int octave = kLowestCapitalOctave; octave <= kHighestCapitalOctave; ++octave) {
        for (int round = 0; round < 300; ++round) {
            std::vector<std::string> spellings(length(random));
            for (auto& spelling : spellings) {
                spelling = references[pick(random)].spelling;
            }
            const auto written = writePae(notateLine(spellings, octave));
            ASSERT_TRUE(written.ok()) << written.message();
            const auto read = readPae(written.value(), octave, lookup);
            ASSERT_TRUE(read.ok()) << written.value() << ": " << read.message();
            ASSERT_EQ(read->spellings, spellings) << written.value();
        }
    }
}

} // namespace
} // namespace velk::pitches
