#include "pitches/PitchLookup.h"

#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace velk::pitches
{
namespace
{

struct SpellingCase
{
    std::string spelling;
    std::size_t characters;
    bool sharp;
    bool flat;
};

/// Prints the spelling with every byte outside printable ASCII as <NN>, so test names stay plain.
void PrintTo(const SpellingCase& c, std::ostream* os)
{
    static const char* const kHex = "0123456789ABCDEF";
    *os << '"';
    for (const char ch : c.spelling) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte < 0x7F) {
            *os << ch;
        } else {
            *os << '<' << kHex[byte >> 4] << kHex[byte & 0xF] << '>';
        }
    }
    *os << '"';
}

class SpellingRules : public ::testing::TestWithParam<SpellingCase>
{
};

TEST_P(SpellingRules, CountsCharactersAndClassifiesAccidentals)
{
    const SpellingCase& c = GetParam();
    EXPECT_EQ(codePointCount(c.spelling), c.characters);
    EXPECT_EQ(isSharpSpelling(c.spelling), c.sharp);
    EXPECT_EQ(isFlatSpelling(c.spelling), c.flat);
}

INSTANTIATE_TEST_SUITE_P(Spellings,
                         SpellingRules,
                         ::testing::Values(SpellingCase {"", 0, false, false},
                                           SpellingCase {"c", 1, false, false},
                                           SpellingCase {"*", 1, false, false},
                                           SpellingCase {"/", 1, false, false},
                                           SpellingCase {"c*", 2, true, false},
                                           SpellingCase {"C*", 2, true, false},
                                           SpellingCase {"**", 2, true, false},
                                           SpellingCase {"c/", 2, false, true},
                                           SpellingCase {"cx", 2, false, false},
                                           SpellingCase {"*c", 2, false, false},
                                           SpellingCase {"c**", 3, true, false},
                                           SpellingCase {"c//", 3, false, true},
                                           SpellingCase {"c*/", 3, false, false},
                                           SpellingCase {"c/*", 3, false, false},
                                           SpellingCase {"cc*", 3, false, false},
                                           SpellingCase {"c***", 4, false, false},
                                           SpellingCase {"c///", 4, false, false},
                                           SpellingCase {"cc**", 4, false, false},
                                           SpellingCase {" c*", 3, false, false},
                                           SpellingCase {"c* ", 3, false, false},
                                           // Non-ASCII first characters count once, however many bytes they take.
                                           SpellingCase {"\xC3\xA4*", 2, true, false}, // ä*
                                           SpellingCase {"\xC3\xA4/", 2, false, true}, // ä/
                                           SpellingCase {"\xC3\xA4**", 3, true, false}, // ä**
                                           SpellingCase {"\xE2\x99\xAF*", 2, true, false}, // ♯*
                                           SpellingCase {"\xF0\x9D\x84\x9E/", 2, false, true}, // 𝄞/
                                           SpellingCase {"\xC3\xA4\xC3\xA4*", 3, false, false},
                                           // A stray continuation byte is one character, as SQLite reads it.
                                           SpellingCase {"\x80*", 2, true, false},
                                           // SQLite's LIKE stops at the first NUL.
                                           SpellingCase {std::string("c*\0x", 4), 2, true, false}));

Pitch pitch(std::int32_t id, std::optional<std::string> spelling, std::string glyph)
{
    return Pitch {id, std::move(spelling), std::move(glyph)};
}

class Lookup : public ::testing::Test
{
protected:
    // Deliberately out of order: the lookup keeps ascending ids whatever order it was given.
    PitchLookup m_lookup {std::vector<Pitch> {pitch(30, "c", "lower c again"), pitch(10, "c", "lower c"),
                                              pitch(20, "C", "upper c"), pitch(40, "d*", "d sharp"),
                                              pitch(50, std::nullopt, "no spelling"), pitch(60, "", "empty spelling"),
                                              pitch(70, "\xC3\xA4*", "a umlaut sharp")}};
};

TEST_F(Lookup, KeepsAscendingIds)
{
    std::vector<std::int32_t> ids;
    for (const Pitch& p : m_lookup.pitches()) {
        ids.push_back(p.id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t> {10, 20, 30, 40, 50, 60, 70}));
}

TEST_F(Lookup, DuplicateSpellingFindsTheLowerId)
{
    const Pitch* found = m_lookup.find("c");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->id, 10);
    EXPECT_EQ(found->glyph, "lower c");
}

TEST_F(Lookup, MatchesExactlyWithoutCaseFoldingOrTrimming)
{
    ASSERT_NE(m_lookup.find("C"), nullptr);
    EXPECT_EQ(m_lookup.find("C")->id, 20);
    EXPECT_EQ(m_lookup.find("D*"), nullptr);
    EXPECT_EQ(m_lookup.find(" c"), nullptr);
    EXPECT_EQ(m_lookup.find("c "), nullptr);
    EXPECT_EQ(m_lookup.find("d"), nullptr);
    EXPECT_EQ(m_lookup.find("d**"), nullptr);
    ASSERT_NE(m_lookup.find("\xC3\xA4*"), nullptr);
    EXPECT_EQ(m_lookup.find("\xC3\xA4*")->id, 70);
    // The same letter decomposed (a + combining diaeresis) is another text.
    EXPECT_EQ(m_lookup.find("a\xCC\x88*"), nullptr);
}

TEST_F(Lookup, EmptyTextMatchesTheFirstNullOrEmptySpelling)
{
    const Pitch* found = m_lookup.find("");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->id, 50);
    const PitchLookup onlySpelled {{pitch(1, "c", "c")}};
    EXPECT_EQ(onlySpelled.find(""), nullptr);
}

TEST_F(Lookup, ById)
{
    ASSERT_NE(m_lookup.byId(40), nullptr);
    EXPECT_EQ(m_lookup.byId(40)->glyph, "d sharp");
    EXPECT_EQ(m_lookup.byId(41), nullptr);
    EXPECT_EQ(m_lookup.byId(0), nullptr);
    EXPECT_EQ(PitchLookup().byId(1), nullptr);
    EXPECT_TRUE(PitchLookup().empty());
    EXPECT_EQ(PitchLookup().find(""), nullptr);
}

TEST(LookupLoad, ReadsTheReferenceVocabularyInIdOrder)
{
    test::TempCatalogue catalogue;
    auto connection = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadOnly);
    const PitchLookup lookup = PitchLookup::load(connection);
    const auto& reference = store::referencePitches();
    ASSERT_EQ(lookup.pitches().size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i) {
        EXPECT_EQ(lookup.pitches()[i].id, reference[i].id);
        EXPECT_EQ(lookup.pitches()[i].spelling, reference[i].spelling);
        EXPECT_EQ(lookup.pitches()[i].glyph, reference[i].glyph);
    }
    for (const auto& p : reference) {
        const Pitch* found = lookup.find(p.spelling);
        ASSERT_NE(found, nullptr) << p.spelling;
        EXPECT_EQ(found->id, p.id) << "every reference spelling is unique";
    }
}

TEST(LookupLoad, KeepsANullSpellingApartFromAnEmptyOne)
{
    test::TempCatalogue catalogue;
    {
        auto connection = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadWrite);
        connection.execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (?, ?, ?)",
                           {store::Value(9001), store::Value(), store::Value("n")});
        connection.execute("insert into tblPitchLookup (iPitchID, txtPitch, txtVelkFont) values (?, ?, ?)",
                           {store::Value(9000), store::Value(""), store::Value("e")});
    }
    auto connection = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadOnly);
    const PitchLookup lookup = PitchLookup::load(connection);
    ASSERT_NE(lookup.byId(9001), nullptr);
    EXPECT_FALSE(lookup.byId(9001)->spelling.has_value());
    ASSERT_NE(lookup.byId(9000), nullptr);
    EXPECT_EQ(lookup.byId(9000)->spelling, std::optional<std::string>(""));
    ASSERT_NE(lookup.find(""), nullptr);
    EXPECT_EQ(lookup.find("")->id, 9000);
}

} // namespace
} // namespace velk::pitches
