// Hostile text typed into the movement window: quotes, SQL, LIKE wildcards, control characters, non-ASCII and
// very long texts are saved as they are, read back byte for byte and found by the searches as the user typed
// them; none of it ever becomes SQL.

#include "melody/MelodySearch.h"
#include "movement/MovementController.h"
#include "pitches/PlaineEasie.h"
#include "search/SubjectSearch.h"
#include "store/Connection.h"
#include "tests/movement/FakeMovementView.h"
#include "tests/support/TempCatalogue.h"
#include "tools/CatalogueCheck.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace velk;
using movement::Button;
using movement::MovementController;
using movement::RichBox;

namespace
{

struct HostileText
{
    const char* name;
    std::string text;
};

void PrintTo(const HostileText& h, std::ostream* out)
{
    *out << h.name;
}

const HostileText kHostileTexts[] = {
    {"AlwaysTrue", "x' OR '1'='1"},
    {"AlwaysTrueDoubleQuoted", "x\" OR \"1\"=\"1"},
    {"StatementAfterQuote", "'); DELETE FROM tblMovement; --"},
    {"Comment", "Joy /* and */ -- more"},
    {"Backslashes", "C:\\Velk\\'\\\""},
    {"Parameter", "? ?1 :name @x $y"},
    {"ControlCharacters", std::string("a\x01\x02\x1b[31m\x7f z")},
    {"TabsAndLineBreaks", "line one\tcell\r\nline two\n"},
    {"German", "Grüß Gott"},
    {"French", "ça ira"},
    {"Chinese", "\xE6\xAD\xA1\xE5\x96\x9C"}, // 歡喜
    {"Emoji", "\xF0\x9F\x8E\xB5 \xE2\x99\xAF"},
    {"RtfLike", "{\\rtf1 \\b not rich\\b0 }"},
};

class HostileInput : public ::testing::Test
{
protected:
    test::TempCatalogue catalogue;
    test::FakeMovementView view;
    std::unique_ptr<MovementController> ctl;

    void SetUp() override
    {
        auto c = db();
        for (int ktn = 1; ktn <= 3; ++ktn) {
            // No pitches, so the deviation of an empty sequence.
            c.execute("insert into tblMovement (iKTN, iMvmt, iOrder, Sub1, Sub2, Deviation) values (?, 1, 1, 'Joy', "
                      "'Night', 0)",
                      {store::Value(ktn)});
        }
        c.close();
        ctl = std::make_unique<MovementController>(view, catalogue.connectionString());
        ASSERT_TRUE(ctl->Load().ok());
    }

    store::Connection db()
    {
        return store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadWrite);
    }

    store::Value stored(const std::string& sql, const std::vector<store::Value>& params = {})
    {
        auto c = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadOnly);
        return c.query(sql, params).rows().at(0).at(0);
    }

    /// Saves the text as subject 3 and 6 of a new movement (KTN 10), through the window's logic.
    std::int64_t saveNewMovementWith(const std::string& text)
    {
        ctl->ToolbarClick(Button::New);
        ctl->SetBoundText("iKTN", "10");
        ctl->SetBoundText("iMvmt", "1");
        ctl->SetBoundText("Sub3", text);
        ctl->SetBoundText("Sub6", text);
        ctl->SetBoundText("txtComposed", text);
        EXPECT_TRUE(ctl->records().SaveMovement().ok()) << (view.told.empty() ? "" : view.told.back().text);
        return ctl->records().iLastMovementID();
    }

    std::vector<std::string> ktns(const store::Result<search::SearchMatches>& result)
    {
        std::vector<std::string> keys;
        for (const auto& row : result->rows) {
            keys.push_back(row[0]);
        }
        return keys;
    }
};

class HostileSubjects : public HostileInput, public ::testing::WithParamInterface<HostileText>
{
};

TEST_P(HostileSubjects, AreStoredAsTypedAndFoundOnlyWhereTheyAre)
{
    const std::string& text = GetParam().text;
    const auto id = saveNewMovementWith(text);
    ASSERT_GT(id, 0);
    EXPECT_EQ(stored("select Sub3 from tblMovement where iMovementID = ?", {id}).toText(), text);
    EXPECT_EQ(stored("select txtComposed from tblMovement where iMovementID = ?", {id}).toText(), text);
    EXPECT_EQ(stored("select count(*) from tblMovement").toInt64(), 4) << "no row was added or taken";
    EXPECT_EQ(stored("select count(*) from tblMovement where Sub1 = 'Joy'").toInt64(), 3);

    // Found exactly and with the wildcard, in both positions, and nowhere else.
    const auto exact = search::runSearch(catalogue.connectionString(), {text, false, false});
    ASSERT_TRUE(exact.ok()) << exact.message();
    EXPECT_EQ(ktns(exact), (std::vector<std::string> {"10", "10"}));
    const auto part = search::runSearch(catalogue.connectionString(), {text, true, true});
    ASSERT_TRUE(part.ok()) << part.message();
    EXPECT_EQ(ktns(part), (std::vector<std::string> {"10", "10"}));
    const auto list = search::subjectList(catalogue.connectionString());
    EXPECT_EQ(std::count(list.begin(), list.end(), text), 1);

    // A melody search for it names the text as no spelling and finds nothing.
    const auto melody = melody::findMelody(catalogue.connectionString(), "c " + text, melody::Mode::Exact);
    EXPECT_FALSE(melody.ok());
    EXPECT_THROW(static_cast<void>(melody.value()), std::logic_error) << "a failure hands back no rows";
    // The pitch box refuses it: as no spelling, or, where it starts as Plaine & Easie Code does, as no incipit.
    ctl->TabClick(movement::kTabPitches);
    ctl->ToolbarClick(Button::New);
    ctl->PitchKeyPress(13, text);
    if (pitches::looksLikePae(text)) {
        EXPECT_EQ(view.told.back().text.rfind("The Plaine & Easie Code ", 0), 0u) << view.told.back().text;
    } else {
        // As one text, or as a run of spellings with unknown parts.
        EXPECT_EQ(view.told.back().text.rfind("Entry not found !", 0), 0u) << view.told.back().text;
    }
    EXPECT_TRUE(ctl->pitches().pitchRows().empty());

    // It reads back into the window as it was typed, and the file is sound.
    view.answers = {true};
    ctl->ToolbarClick(Button::Undo);
    ctl->TabClick(movement::kTabMovementData);
    ctl->ToolbarClick(Button::First);
    ctl->ToolbarClick(Button::Last);
    EXPECT_EQ(ctl->records().BoundText("Sub6"), text);
    EXPECT_TRUE(tools::catalogueProblems(catalogue.file()).empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileSubjects, ::testing::ValuesIn(kHostileTexts), [](const auto& info) {
    return std::string(info.param.name);
});

TEST_F(HostileInput, WildcardCharactersInASubjectAreFoundByTheirOwnText)
{
    // "%" and "_" stay wildcards in a search (as documented); a subject holding them is still found by itself.
    saveNewMovementWith("100% _sure_");
    const auto own = search::runSearch(catalogue.connectionString(), {"100% _sure_", false, false});
    ASSERT_TRUE(own.ok()) << own.message();
    EXPECT_EQ(ktns(own), (std::vector<std::string> {"10", "10"}));
    const auto wider = search::runSearch(catalogue.connectionString(), {"%", false, false});
    EXPECT_EQ(wider->matchCount, 3u * 2 + 2) << "a lone % is a wildcard and finds every subject";
    EXPECT_EQ(stored("select Sub3 from tblMovement where iKTN = 10").toText(), "100% _sure_");
}

TEST_F(HostileInput, AMegabyteOfRichTextIsStoredAndReadBack)
{
    std::string description = "{\\rtf1\\ansi ";
    while (description.size() < (1u << 20)) {
        description += "Gr\\'fc\\'df {\\b Gott} \\u27489? ' \" % _ \\par ";
    }
    description += "}";
    const std::string comments = "{\\rtf1 " + std::string(1u << 20, 'c') + "}";
    ctl->ToolbarClick(Button::Edit);
    view.edits[RichBox::Description] = description;
    view.edits[RichBox::Comments] = comments;
    ASSERT_TRUE(ctl->records().SaveMovement().ok()) << view.told.back().text;
    const auto id = ctl->records().iLastMovementID();
    EXPECT_EQ(stored("select Description from tblMovement where iMovementID = ?", {id}).toText(), description);
    EXPECT_EQ(stored("select txtComments from tblMovement where iMovementID = ?", {id}).toText(), comments);
    // Moving away and back shows it again, byte for byte; the subject search shows its text.
    ctl->ToolbarClick(Button::Next);
    ctl->ToolbarClick(Button::First);
    EXPECT_EQ(view.rich[RichBox::Description], description);
    EXPECT_EQ(view.rich[RichBox::Comments], comments);
    const auto found = search::runSearch(catalogue.connectionString(), {"Joy", false, false});
    ASSERT_TRUE(found.ok()) << found.message();
    ASSERT_EQ(found->matchCount, 3u);
    EXPECT_EQ(found->rows[0].back().rfind("Grüß Gott", 0), 0u) << found->rows[0].back().substr(0, 40);
    EXPECT_TRUE(tools::catalogueProblems(catalogue.file()).empty());
}

TEST_F(HostileInput, ASearchTextPastTheLinkedLibrarysPatternLimitIsRefusedWithAMessage)
{
    // The limit the search checks is the one the linked SQLite enforces.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    const int limit = sqlite3_limit(raw, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1);
    sqlite3_close(raw);
    EXPECT_EQ(static_cast<std::size_t>(limit), search::kMaxPatternBytes);

    for (const std::size_t size : {search::kMaxPatternBytes + 1, std::size_t {1} << 20}) {
        for (const bool wildcard : {false, true}) {
            const auto result
                = search::runSearch(catalogue.connectionString(), {std::string(size, 'x'), wildcard, false});
            EXPECT_FALSE(result.ok()) << size;
            EXPECT_NE(result.message().find("too long"), std::string::npos) << result.message().substr(0, 200);
            EXPECT_LT(result.message().size(), 300u) << "the message does not repeat the text";
            EXPECT_THROW(static_cast<void>(result.value()), std::logic_error) << "a failure hands back no rows";
        }
    }
    // Multi-byte letters count by their bytes, as SQLite counts them.
    std::string german;
    while (german.size() <= search::kMaxPatternBytes) {
        german += "ü";
    }
    EXPECT_FALSE(search::runSearch(catalogue.connectionString(), {german, false, false}).ok());
    german.resize(search::kMaxPatternBytes);
    const auto longest = search::runSearch(catalogue.connectionString(), {german, false, false});
    EXPECT_TRUE(longest.ok()) << longest.message().substr(0, 200);
    EXPECT_EQ(longest->matchCount, 0u);
}

TEST_F(HostileInput, AMegabyteMelodyIsAnsweredWithAMessage)
{
    std::string typed;
    while (typed.size() < (1u << 20)) {
        typed += "c d* e/ ";
    }
    const auto known = melody::findMelody(catalogue.connectionString(), typed, melody::Mode::Transposed);
    EXPECT_TRUE(known.ok()) << known.message().substr(0, 200);
    EXPECT_TRUE(known->rows.empty());
    const auto unknown = melody::findMelody(catalogue.connectionString(), typed + "h", melody::Mode::Exact);
    EXPECT_FALSE(unknown.ok());
    EXPECT_NE(unknown.message().find("“h” is not a pitch spelling"), std::string::npos)
        << unknown.message().substr(0, 200);
}

} // namespace
