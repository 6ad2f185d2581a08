#include "store/ReferenceData.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "tests/support/TempCatalogue.h"

#include <gtest/gtest.h>

#include <ostream>

#include <map>
#include <set>

namespace velk::store
{
namespace
{

// The marks the sharp and flat counts rely on.
bool isSharp(const std::string& s)
{
    return (s.size() == 2 && s[1] == '*') || (s.size() == 3 && s.substr(1) == "**");
}

bool isFlat(const std::string& s)
{
    return (s.size() == 2 && s[1] == '/') || (s.size() == 3 && s.substr(1) == "//");
}

TEST(ReferenceData, SeventyDistinctSpellingsInRegisterOrder)
{
    const auto& pitches = referencePitches();
    ASSERT_EQ(pitches.size(), 70u);
    std::set<std::string> spellings;
    for (std::size_t i = 0; i < pitches.size(); ++i) {
        EXPECT_EQ(pitches[i].id, static_cast<std::int32_t>(i + 1));
        EXPECT_FALSE(pitches[i].spelling.empty());
        spellings.insert(pitches[i].spelling);
    }
    EXPECT_EQ(spellings.size(), 70u);
    EXPECT_EQ(pitches.front().spelling, "C//");
    EXPECT_EQ(pitches[2].spelling, "C");
    EXPECT_EQ(pitches[34].spelling, "B**");
    EXPECT_EQ(pitches[35].spelling, "c//");
    EXPECT_EQ(pitches.back().spelling, "b**");
}

TEST(ReferenceData, MarksAndGlyphsAgree)
{
    int sharps = 0;
    int flats = 0;
    for (const ReferencePitch& pitch : referencePitches()) {
        const std::string& s = pitch.spelling;
        ASSERT_TRUE(s.size() >= 1 && s.size() <= 3) << s;
        const std::string accidental = s.substr(1);
        EXPECT_EQ(isSharp(s), accidental == "*" || accidental == "**") << s;
        EXPECT_EQ(isFlat(s), accidental == "/" || accidental == "//") << s;
        EXPECT_FALSE(isSharp(s) && isFlat(s)) << s;
        sharps += isSharp(s);
        flats += isFlat(s);
        static const std::map<std::string, std::string> signs
            = {{"", ""}, {"*", "\u266F"}, {"**", "\U0001D12A"}, {"/", "\u266D"}, {"//", "\U0001D12B"}};
        EXPECT_EQ(pitch.glyph, s.substr(0, 1) + signs.at(accidental)) << s;
    }
    EXPECT_EQ(sharps, 28);
    EXPECT_EQ(flats, 28);
}

struct ClassCase
{
    const char* spelling;
    int classId;
};

void PrintTo(const ClassCase& c, std::ostream* out)
{
    *out << c.spelling;
}

class PitchClassTest : public ::testing::TestWithParam<ClassCase>
{
};

TEST_P(PitchClassTest, ClassFollowsTheSemitone)
{
    for (const ReferencePitch& pitch : referencePitches()) {
        if (pitch.spelling == GetParam().spelling) {
            EXPECT_EQ(pitch.classId, GetParam().classId);
            return;
        }
    }
    FAIL() << "no pitch " << GetParam().spelling;
}

INSTANTIATE_TEST_SUITE_P(Spellings,
                         PitchClassTest,
                         ::testing::Values(ClassCase {"c", 1},
                                           ClassCase {"C", 1},
                                           ClassCase {"b*", 1},
                                           ClassCase {"d//", 1},
                                           ClassCase {"c*", 2},
                                           ClassCase {"D/", 2},
                                           ClassCase {"e/", 4},
                                           ClassCase {"f//", 4},
                                           ClassCase {"e*", 6},
                                           ClassCase {"g**", 10},
                                           ClassCase {"c/", 12},
                                           ClassCase {"C//", 11},
                                           ClassCase {"a/", 9}));

TEST(ReferenceData, TwelveClassesWithBlackKeyRepresentatives)
{
    const auto& classes = referenceClasses();
    ASSERT_EQ(classes.size(), 12u);
    const char* expected[] = {"c", "c*", "d", "e/", "e", "f", "f*", "g", "a/", "a", "b/", "b"};
    for (std::size_t i = 0; i < classes.size(); ++i) {
        EXPECT_EQ(classes[i].id, static_cast<std::int32_t>(i + 1));
        const ReferencePitch& pitch = referencePitches().at(static_cast<std::size_t>(classes[i].pitchId - 1));
        EXPECT_EQ(pitch.spelling, expected[i]);
        EXPECT_EQ(pitch.classId, classes[i].id);
    }
}

TEST(ReferenceData, CatalogueHoldsEveryPitchWithItsClass)
{
    test::TempCatalogue catalogue;
    Connection connection = Connection::open(catalogue.connectionString(), AccessMode::ReadOnly);
    const ResultSet pitches = connection.query("select p.iPitchID, p.txtPitch, p.txtVelkFont, j.iClassID from "
                                               "tblPitchLookup p left join tblPitchClassJoin j on j.iPitchID = "
                                               "p.iPitchID order by p.iPitchID");
    ASSERT_EQ(pitches.recordCount(), 70u);
    std::set<std::int64_t> classes;
    for (std::size_t i = 0; i < pitches.recordCount(); ++i) {
        const auto& row = pitches.rows()[i];
        const ReferencePitch& expected = referencePitches()[i];
        EXPECT_EQ(row[0].toInt64(), expected.id);
        EXPECT_EQ(row[1].toText(), expected.spelling);
        EXPECT_EQ(row[2].toText(), expected.glyph);
        ASSERT_FALSE(row[3].isNull()) << expected.spelling << " has no class";
        EXPECT_EQ(row[3].toInt64(), expected.classId);
        classes.insert(row[3].toInt64());
    }
    EXPECT_EQ(classes.size(), 12u);
    EXPECT_EQ(connection.query("select count(*) from tblClassLookup c join tblPitchLookup p on p.iPitchID = c.iPitchID")
                  .rows()[0][0]
                  .toInt64(),
              12);
}

TEST(ReferenceData, SpellingsOutsideTheSchemeHaveNoMeaning)
{
    ASSERT_NE(referencePitchOf("f*"), nullptr);
    EXPECT_EQ(referencePitchOf("f*")->glyph, "f\xE2\x99\xAF");
    EXPECT_EQ(referencePitchOf("e*")->classId, 6); // sounds F
    for (const char* foreign : {"", "x", "f***", "H", " c", "c "}) {
        EXPECT_EQ(referencePitchOf(foreign), nullptr) << foreign;
    }
}

TEST(SchemaUpgrade, ACatalogueMadeBeforeTheNewColumnsGetsThemOnce)
{
    test::TempCatalogue catalogue;
    {
        Connection connection = catalogue.writer();
        EXPECT_EQ(connection.query("select count(*) from tblClassLookup where iSemitone = iClassID - 1").rows()[0][0],
                  Value(12));
        connection.executeScript("ALTER TABLE tblClassLookup DROP COLUMN iSemitone;"
                                 "ALTER TABLE tblPitchLookup DROP COLUMN txtOldVelkFont;");
        ASSERT_FALSE(hasColumn(connection, "tblClassLookup", "iSemitone"));
    }
    for (int run = 0; run < 2; ++run) {
        Connection connection = catalogue.writer();
        ensureColumns(connection);
        EXPECT_TRUE(hasColumn(connection, "tblPitchLookup", "TXTOLDVELKFONT"));
        const auto semitones = connection.query("select iClassID, iSemitone from tblClassLookup order by iClassID");
        ASSERT_EQ(semitones.recordCount(), 12u);
        for (const auto& row : semitones.rows()) {
            EXPECT_EQ(row[1].toInt64(), row[0].toInt64() - 1); // Velk numbers its classes from C
        }
        EXPECT_EQ(connection.query("select count(*) from tblPitchLookup where txtOldVelkFont is not null").rows()[0][0],
                  Value(0));
    }
    Connection readOnly = Connection::open(catalogue.connectionString(), AccessMode::ReadOnly);
    EXPECT_NO_THROW(ensureColumns(readOnly)); // nothing to do, so nothing is written
}

} // namespace
} // namespace velk::store
