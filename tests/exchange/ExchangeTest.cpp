#include "exchange/CatalogueEntries.h"
#include "exchange/Csv.h"
#include "exchange/OutputFile.h"
#include "store/Connection.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace velk::exchange
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::runProgram;
using test::ToolRun;

ToolRun tool(const std::vector<std::string>& args)
{
    return runProgram(VELK_CATALOGUE_EXE, args);
}

// Adds a movement with the given fields and its line from spellings; returns its id.
std::int64_t addMovement(store::Connection& c,
                         const std::vector<std::pair<std::string, store::Value>>& fields,
                         const std::vector<std::string>& spellings)
{
    std::string columns;
    std::string marks;
    std::vector<store::Value> values;
    for (const auto& [column, value] : fields) {
        columns += (columns.empty() ? "" : ", ") + column;
        marks += marks.empty() ? "?" : ", ?";
        values.push_back(value);
    }
    c.execute("INSERT INTO tblMovement (" + columns + ") VALUES (" + marks + ")", values);
    const auto id = c.lastInsertId();
    for (const auto& spelling : spellings) {
        EXPECT_EQ(c.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) "
                            "SELECT ?, iPitchID FROM tblPitchLookup WHERE txtPitch = ?",
                            {store::Value(id), store::Value(spelling)}),
                  1)
            << spelling;
    }
    return id;
}

// ------------------------------------------------------------------------------------------------------------
// Which movements a selection reads, and in what order

struct SelectionCase
{
    const char* name;
    Selection selection;
    std::vector<std::int64_t> ids; // by the order of insertion below: 1 (KTN 2/1), 2 (KTN 1/2), 3 (KTN 1/1)
};

class Selections : public ::testing::TestWithParam<SelectionCase>
{
};

void PrintTo(const SelectionCase& param, std::ostream* out)
{
    *out << param.name;
}

TEST_P(Selections, ReadTheirMovementsInOrderEachOnce)
{
    test::TempCatalogue catalogue;
    auto c = catalogue.writer();
    addMovement(c, {{"iKTN", store::Value(2)}, {"iMvmt", store::Value(1)}}, {"c", "d"});
    addMovement(c, {{"iKTN", store::Value(1)}, {"iMvmt", store::Value(2)}}, {"e"});
    addMovement(c, {{"iKTN", store::Value(1)}, {"iMvmt", store::Value(1)}}, {});
    const CatalogueEntries entries = readEntries(c, GetParam().selection);
    std::vector<std::int64_t> ids;
    for (const auto& entry : entries.entries) {
        ids.push_back(entries.field(entry, "iMovementID").toInt64());
        const auto expected = ids.back() == 1 ? std::vector<std::string> {"c", "d"}
            : ids.back() == 2                 ? std::vector<std::string> {"e"}
                                              : std::vector<std::string> {};
        EXPECT_EQ(entry.spellings, expected) << ids.back();
    }
    EXPECT_EQ(ids, GetParam().ids);
    EXPECT_TRUE(entries.columnIndex("Description"));
}

INSTANTIATE_TEST_SUITE_P(
    All,
    Selections,
    ::testing::Values(SelectionCase {"Everything", Selection::all(), {3, 2, 1}},
                      SelectionCase {"OneWork", Selection::work(1), {3, 2}},
                      SelectionCase {"NoSuchWork", Selection::work(5), {}},
                      SelectionCase {"SearchResults", Selection::movements({1, 3, 1, 99, 2}), {1, 3, 2}},
                      SelectionCase {"NoResults", Selection::movements({}), {}}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------------------------------------------------
// MusicXML, validated by xmllint against the MusicXML 4.0 schema and read back by its XPath

struct WrittenNote
{
    std::string step;
    int alter;
    int octave;
};

struct MusicXmlCase
{
    const char* name;
    std::vector<std::pair<std::string, store::Value>> voices; // chk columns and iCapitalOctave
    std::vector<std::string> spellings;
    const char* clef; // "G2", "G2-1" or "F4"
    std::vector<WrittenNote> notes;
};

void PrintTo(const MusicXmlCase& param, std::ostream* out)
{
    *out << param.name;
}

class MusicXmlExport : public ::testing::TestWithParam<MusicXmlCase>
{
};

std::string xpath(const std::string& file, const std::string& expression)
{
    const ToolRun run = runProgram("xmllint", {"--nonet", "--xpath", expression, file});
    std::string out = run.out;
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

TEST_P(MusicXmlExport, ValidatesAndHoldsEveryWrittenPitch)
{
    const MusicXmlCase& param = GetParam();
    test::TempCatalogue catalogue;
    auto c = catalogue.writer();
    auto fields = param.voices;
    fields.emplace_back("iKTN", store::Value(7));
    fields.emplace_back("iMvmt", store::Value(2));
    fields.emplace_back("Sub1", store::Value("Love & <death>"));
    fields.emplace_back("Sub3", store::Value("Grief"));
    const auto id = addMovement(c, fields, param.spellings);
    c.close();
    const std::string out = (catalogue.folder() / "line.musicxml").string();

    const ToolRun exported = tool({"export", catalogue.file(), std::to_string(id), "--musicxml", out});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const ToolRun valid
        = runProgram("xmllint", {"--noout", "--nonet", "--schema", VELK_TEST_DATA "/musicxml/musicxml.xsd", out});
    ASSERT_EQ(valid.exitCode, 0) << valid.err << readFile(out);

    // Every note, in order: <pitch><step>C</step><alter>1</alter><octave>4</octave></pitch> as xmllint prints it.
    const std::string pitches = xpath(out, "//note/pitch");
    const std::regex pitch(
        "<pitch>\\s*<step>([A-G])</step>\\s*(?:<alter>(-?[0-9])</alter>\\s*)?<octave>([0-9])</octave>"
        "\\s*</pitch>");
    std::vector<WrittenNote> found;
    for (std::sregex_iterator it(pitches.begin(), pitches.end(), pitch), end; it != end; ++it) {
        found.push_back({(*it)[1].str(), (*it)[2].matched ? std::stoi((*it)[2].str()) : 0, std::stoi((*it)[3].str())});
    }
    ASSERT_EQ(found.size(), param.notes.size()) << pitches;
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].step, param.notes[i].step) << "note " << i + 1;
        EXPECT_EQ(found[i].alter, param.notes[i].alter) << "note " << i + 1;
        EXPECT_EQ(found[i].octave, param.notes[i].octave) << "note " << i + 1;
    }
    const std::string clef = xpath(out, "string(//clef/sign)") + xpath(out, "string(//clef/line)")
        + xpath(out, "string(//clef/clef-octave-change)");
    EXPECT_EQ(clef, param.clef);
    EXPECT_EQ(xpath(out, "string(//movement-title)"), "KTN 7, movement 2");
    EXPECT_EQ(xpath(out, "string(//credit[credit-type='subtitle']/credit-words)"), "Love & <death>; Grief");
    EXPECT_EQ(xpath(out, "count(//note)"), std::to_string(param.notes.size()));
    // Equal notes without a printed time: one duration, no time signature shown.
    EXPECT_EQ(xpath(out, "count(//note[duration != 1])"), "0");
    EXPECT_EQ(xpath(out, "string(//time/@print-object)"), "no");
}

INSTANTIATE_TEST_SUITE_P(
    Lines,
    MusicXmlExport,
    ::testing::Values(MusicXmlCase {"TrebleFromMiddleC",
                                    {{"chkSoprano", store::Value(1)}},
                                    {"C", "e/", "f*", "B//", "b**", "c"},
                                    "G2",
                                    {{"C", 0, 4}, {"E", -1, 5}, {"F", 1, 5}, {"B", -2, 4}, {"B", 2, 5}, {"C", 0, 5}}},
                      MusicXmlCase {"TenorTrebleOctaveDown",
                                    {{"chkTenor", store::Value(1)}},
                                    {"D*", "d", "A/", "g", "E", "e"},
                                    "G2-1",
                                    {{"D", 1, 3}, {"D", 0, 4}, {"A", -1, 3}, {"G", 0, 4}, {"E", 0, 3}, {"E", 0, 4}}},
                      MusicXmlCase {"BassAlone",
                                    {{"chkBass", store::Value(1)}},
                                    {"G", "c", "B/", "f*", "D"},
                                    "F4",
                                    {{"G", 0, 2}, {"C", 0, 3}, {"B", -1, 2}, {"F", 1, 3}, {"D", 0, 2}}},
                      MusicXmlCase {"StoredOctaveOverridesVoices",
                                    {{"chkSoprano", store::Value(1)}, {"iCapitalOctave", store::Value(2)}},
                                    {"C", "c*"},
                                    "F4",
                                    {{"C", 0, 2}, {"C", 1, 3}}},
                      MusicXmlCase {"EmptyLine", {{"chkAlto", store::Value(1)}}, {}, "G2", {}},
                      MusicXmlCase {"SeveralMeasures",
                                    {},
                                    {"c", "d", "e", "f", "g", "a", "b", "C", "D", "E"},
                                    "G2",
                                    {{"C", 0, 5},
                                     {"D", 0, 5},
                                     {"E", 0, 5},
                                     {"F", 0, 5},
                                     {"G", 0, 5},
                                     {"A", 0, 5},
                                     {"B", 0, 5},
                                     {"C", 0, 4},
                                     {"D", 0, 4},
                                     {"E", 0, 4}}}),
    [](const ::testing::TestParamInfo<MusicXmlCase>& info) { return std::string(info.param.name); });

TEST(MusicXmlAccidentals, AreWrittenAsAReaderOfALineWithoutBarLinesNeedsThem)
{
    test::TempCatalogue catalogue;
    auto c = catalogue.writer();
    // Two measures of four notes; the second measure's first G follows the first measure's G sharp.
    const auto id = addMovement(c, {{"iKTN", store::Value(1)}, {"iMvmt", store::Value(1)}},
                                {"g*", "g", "g*", "c", "g", "g*", "g*", "g/"});
    c.close();
    const std::string out = (catalogue.folder() / "line.musicxml").string();
    const ToolRun exported = tool({"export", catalogue.file(), std::to_string(id), "--musicxml", out});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const ToolRun valid
        = runProgram("xmllint", {"--noout", "--nonet", "--schema", VELK_TEST_DATA "/musicxml/musicxml.xsd", out});
    EXPECT_EQ(valid.exitCode, 0) << valid.err;
    const std::vector<std::string> expected {"sharp", "natural", "sharp", "", "natural (cautionary)",
                                             "sharp", "",        "flat"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string note = "(//note)[" + std::to_string(i + 1) + "]";
        std::string shown = xpath(out, "string(" + note + "/accidental)");
        if (xpath(out, "string(" + note + "/accidental/@cautionary)") == "yes") {
            shown += " (cautionary)";
        }
        EXPECT_EQ(shown, expected[i]) << "note " << i + 1;
    }
}

TEST(MusicXmlExportFailure, NamesWhatIsWrongAndWritesNothing)
{
    test::TempCatalogue catalogue;
    auto c = catalogue.writer();
    c.execute("INSERT INTO tblPitchLookup (iPitchID, txtPitch, txtVelkFont) VALUES (900, 'x7', 'x7')");
    const auto id = addMovement(c, {{"iKTN", store::Value(3)}, {"iMvmt", store::Value(1)}}, {"c", "x7"});
    c.close();
    const std::string out = (catalogue.folder() / "line.musicxml").string();
    struct Case
    {
        std::string id;
        std::string message;
    };
    for (const Case& wrong : {Case {std::to_string(id), "pitch 2 “x7” is no letter"},
                              Case {"999", "There is no movement with the id 999"}}) {
        const ToolRun run = tool({"export", catalogue.file(), wrong.id, "--musicxml", out});
        EXPECT_EQ(run.exitCode, 1) << wrong.id;
        EXPECT_NE(run.err.find(wrong.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
    const ToolRun usage = tool({"export", catalogue.file(), "--musicxml", out});
    EXPECT_EQ(usage.exitCode, 2) << usage.err;
}

// ------------------------------------------------------------------------------------------------------------
// CSV, read back by Python's csv module

std::string hexDecoded(const std::string& hex)
{
    if (hex == "-") {
        return {};
    }
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

std::vector<std::vector<std::string>> readCsv(const std::string& file)
{
    const ToolRun run = runProgram(VELK_CSV_READER, {file});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::vector<std::string>> records;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> record;
        std::string word;
        while (words >> word) {
            record.push_back(hexDecoded(word));
        }
        records.push_back(record);
    }
    return records;
}

const std::vector<std::string> kHeader {"iMovementID",   "iKTN",
                                        "iMvmt",         "iOrder",
                                        "txtComposed",   "iLength",
                                        "i12in",         "strOpeningKey",
                                        "strClosingKey", "chkSoprano",
                                        "chkAlto",       "chkTenor",
                                        "chkBass",       "chkAccompanied",
                                        "Sub1",          "Sub2",
                                        "Sub3",          "Sub4",
                                        "Sub5",          "Sub6",
                                        "Description",   "Description RTF",
                                        "txtComments",   "txtComments RTF",
                                        "Deviation",     "iCapitalOctave",
                                        "Pitches"};

TEST(CsvExport, EveryFieldReadsBackAsStored)
{
    test::TempCatalogue catalogue;
    auto c = catalogue.writer();
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Book Antiqua;}}\\f0 A \\b bold\\b0  line,\\par "
                            "second \"quoted\"\\par}";
    addMovement(c,
                {{"iKTN", store::Value(2)},
                 {"iMvmt", store::Value(1)},
                 {"iOrder", store::Value(1)},
                 {"txtComposed", store::Value("1720, Leipzig")},
                 {"iLength", store::Value(48)},
                 {"i12in", store::Value(3)},
                 {"strOpeningKey", store::Value("D")},
                 {"strClosingKey", store::Value("b")},
                 {"chkSoprano", store::Value(1)},
                 {"chkAccompanied", store::Value(1)},
                 {"Sub1", store::Value("Say \"yes\", then no")},
                 {"Sub2", store::Value("two\r\nlines")},
                 {"Sub3", store::Value(" padded ")},
                 {"Sub4", store::Value("Größe – ♯")},
                 {"Description", store::Value(rtf)},
                 {"txtComments", store::Value("plain comment")},
                 {"Deviation", store::Value(12.625)},
                 {"iCapitalOctave", store::Value(3)}},
                {"c", "f*", "B/"});
    addMovement(c, {{"iKTN", store::Value(1)}, {"iMvmt", store::Value(4)}, {"Sub1", store::Value("bad \xC3 byte")}},
                {});
    c.close();
    const std::string out = (catalogue.folder() / "catalogue.csv").string();
    const ToolRun run = tool({"export", catalogue.file(), "--csv", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const auto records = readCsv(out);
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(records[0], kHeader);
    // The movement list's order: KTN 1 before KTN 2.
    const std::vector<std::string> first {
        "2", "1", "4", "", "", "", "", "", "", "0", "0", "0", "0", "0", "bad \xEF\xBF\xBD byte",
        "",  "",  "",  "", "", "", "", "", "", "",  "",  ""};
    EXPECT_EQ(records[1], first);
    const std::vector<std::string> second {"1",
                                           "2",
                                           "1",
                                           "1",
                                           "1720, Leipzig",
                                           "48",
                                           "3",
                                           "D",
                                           "b",
                                           "1",
                                           "0",
                                           "0",
                                           "0",
                                           "1",
                                           "Say \"yes\", then no",
                                           "two\r\nlines",
                                           " padded ",
                                           "Größe – ♯",
                                           "",
                                           "",
                                           "A bold line,\nsecond \"quoted\"",
                                           rtf,
                                           "plain comment",
                                           records[2].size() > 23 ? records[2][23] : "",
                                           "12.625",
                                           "3",
                                           "c f* B/"};
    EXPECT_EQ(records[2], second);
    // A plain text stored in a rich-text column is given as RTF holding that text.
    ASSERT_GT(records[2].size(), 23U);
    EXPECT_EQ(records[2][23].rfind("{\\rtf", 0), 0U) << records[2][23];
    EXPECT_NE(records[2][23].find("plain comment"), std::string::npos);
    // Records end with CR LF, as RFC 4180 has them.
    const std::string bytes = readFile(out);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

struct FieldCase
{
    const char* text;
    const char* field;
};

class CsvFieldQuoting : public ::testing::TestWithParam<FieldCase>
{
};

TEST_P(CsvFieldQuoting, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(csvField(GetParam().text), GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(Fields,
                         CsvFieldQuoting,
                         ::testing::Values(FieldCase {"", ""},
                                           FieldCase {"plain", "plain"},
                                           FieldCase {"a,b", "\"a,b\""},
                                           FieldCase {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                           FieldCase {"line\nbreak", "\"line\nbreak\""},
                                           FieldCase {"cr\r", "\"cr\r\""},
                                           FieldCase {" lead", "\" lead\""},
                                           FieldCase {"trail ", "\"trail \""},
                                           FieldCase {"'quote' ; semi", "'quote' ; semi"}));

TEST(Utf8Text, ReplacesOnlyBytesThatAreNotUtf8)
{
    EXPECT_EQ(utf8Text("Größe"), "Größe");
    EXPECT_EQ(utf8Text("a\xFF"
                       "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(utf8Text("\xE2\x99"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(utf8Text("\xF0\x9D\x84\x9E"), "\xF0\x9D\x84\x9E");
}

TEST(OutputFile, AFailedWriteKeepsWhatTheNameHeld)
{
    test::TempFolder folder;
    const fs::path target = folder.path() / "kept.csv";
    ASSERT_TRUE(writeOutputFile(target.string(), "old"));
    const auto missing = writeOutputFile((folder.path() / "no" / "such.csv").string(), "new");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.message().find("no/such.csv"), std::string::npos) << missing.message();
    const auto folderNamed = writeOutputFile(folder.path().string(), "new");
    EXPECT_FALSE(folderNamed);
    EXPECT_EQ(readFile(target), "old");
    ASSERT_TRUE(writeOutputFile(target.string(), "new"));
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(OutputFile, APipeOrALinkIsWrittenThroughNeverReplaced)
{
    test::TempFolder folder;
    // Something that is no file of its own (here a named pipe; a device or a terminal alike) takes the bytes as it
    // stands and is never replaced by a file.
    const fs::path pipe = folder.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(writeOutputFile(pipe.string(), "bytes"));
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 5);
    ::close(reader);
    EXPECT_EQ(std::string(buffer), "bytes");
    EXPECT_TRUE(fs::is_fifo(pipe));
    // A link to a file stays a link; its file gets the bytes.
    const fs::path file = folder.path() / "target.csv";
    const fs::path link = folder.path() / "link.csv";
    ASSERT_TRUE(writeOutputFile(file.string(), "old"));
    fs::create_symlink(file, link);
    ASSERT_TRUE(writeOutputFile(link.string(), "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(file), "new");
}

// ------------------------------------------------------------------------------------------------------------
// The printed catalogue, read back by pdftotext

std::string pdfText(const std::string& pdf)
{
    const ToolRun run = runProgram("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
}

// The texts appear in this order; returns the first one that does not.
std::string firstOutOfOrder(const std::string& text, const std::vector<std::string>& expected)
{
    std::size_t at = 0;
    for (const auto& piece : expected) {
        const auto found = text.find(piece, at);
        if (found == std::string::npos) {
            return piece;
        }
        at = found + piece.size();
    }
    return {};
}

class PrintedCatalogueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto c = m_catalogue.writer();
        addMovement(c,
                    {{"iKTN", store::Value(5)},
                     {"iMvmt", store::Value(2)},
                     {"txtComposed", store::Value("1724")},
                     {"strOpeningKey", store::Value("G")},
                     {"strClosingKey", store::Value("e")},
                     {"chkBass", store::Value(1)},
                     {"Sub1", store::Value("Lament")},
                     {"Description", store::Value("{\\rtf1\\ansi Opening \\b aria\\b0  for bass.\\par}")},
                     {"Deviation", store::Value(3.5)}},
                    {"G", "c", "B/"});
        addMovement(c,
                    {{"iKTN", store::Value(5)},
                     {"iMvmt", store::Value(1)},
                     {"txtComposed", store::Value("1723")},
                     {"strOpeningKey", store::Value("C")},
                     {"strClosingKey", store::Value("C")},
                     {"chkSoprano", store::Value(1)},
                     {"chkAlto", store::Value(1)},
                     {"chkAccompanied", store::Value(1)},
                     {"Sub1", store::Value("Joy")},
                     {"Sub2", store::Value("Light")},
                     {"Description", store::Value("A chorus in two parts.")}},
                    {"c", "e", "g*"});
        addMovement(c, {{"iKTN", store::Value(9)}, {"iMvmt", store::Value(1)}, {"Sub1", store::Value("Farewell")}},
                    {"d"});
    }

    test::TempCatalogue m_catalogue;
};

TEST_F(PrintedCatalogueTest, WorksStartOnNewPagesWithEveryEntryInOrder)
{
    const std::string out = (m_catalogue.folder() / "catalogue.pdf").string();
    const ToolRun run = tool({"print", m_catalogue.file(), "--pdf", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = pdfText(out);
    EXPECT_EQ(firstOutOfOrder(text,
                              {"Thematic catalogue",
                               "KTN 5",
                               "KTN 5 · Movement 1",
                               "TC/FP",
                               "1723",
                               "Keys",
                               "C",
                               "Voices",
                               "Soprano, Alto; accompanied",
                               "Subjects",
                               "Joy; Light",
                               "A chorus in two parts.",
                               "KTN 5 · Movement 2",
                               "1724",
                               "Keys",
                               "G",
                               "–",
                               "e",
                               "Bass",
                               "Lament",
                               "Opening aria for bass.",
                               "Deviation 3.5",
                               "1",
                               "\f",
                               "Thematic catalogue",
                               "KTN 9",
                               "KTN 9 · Movement 1",
                               "Farewell",
                               "2"}),
              "")
        << text;
    // Two works, two pages: the second work starts the second page.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 2) << text;
}

TEST_F(PrintedCatalogueTest, ALongDescriptionGoesOnOverPagesUnderTheWorksHeader)
{
    std::string rtf = "{\\rtf1\\ansi ";
    std::vector<std::string> paragraphs;
    for (int i = 1; i <= 200; ++i) {
        paragraphs.push_back("Paragraph " + std::to_string(i) + " of the long note.");
        rtf += paragraphs.back() + "\\par ";
    }
    rtf += "}";
    auto c = m_catalogue.writer();
    addMovement(c, {{"iKTN", store::Value(7)}, {"iMvmt", store::Value(1)}, {"Description", store::Value(rtf)}}, {"c"});
    c.close();
    const std::string out = (m_catalogue.folder() / "long.pdf").string();
    const ToolRun run = tool({"print", m_catalogue.file(), "--pdf", out, "--ktn", "7"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = pdfText(out);
    EXPECT_EQ(firstOutOfOrder(text, paragraphs), "") << text;
    for (const auto& paragraph : paragraphs) {
        EXPECT_EQ(text.find(paragraph), text.rfind(paragraph)) << paragraph << " printed twice";
    }
    // Every page carries the running header and its number.
    const auto pages = std::count(text.begin(), text.end(), '\f');
    EXPECT_GE(pages, 3) << text;
    std::vector<std::string> headers;
    for (int page = 1; page <= pages; ++page) {
        headers.push_back("KTN 7");
        headers.push_back(std::to_string(page) + "\n");
    }
    EXPECT_EQ(firstOutOfOrder(text, headers), "") << text;
}

TEST_F(PrintedCatalogueTest, OneWorkOrAClearMessage)
{
    const std::string out = (m_catalogue.folder() / "work.pdf").string();
    const ToolRun work = tool({"print", m_catalogue.file(), "--pdf", out, "--ktn", "9"});
    ASSERT_EQ(work.exitCode, 0) << work.err;
    const std::string text = pdfText(out);
    EXPECT_NE(text.find("KTN 9 · Movement 1"), std::string::npos) << text;
    EXPECT_EQ(text.find("KTN 5"), std::string::npos) << text;

    const ToolRun none = tool({"print", m_catalogue.file(), "--pdf", out + "2", "--ktn", "4"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("There is no movement of KTN 4"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(out + "2"));
    const ToolRun missing = tool({"print", (m_catalogue.folder() / "none.db").string(), "--pdf", out + "3"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(out + "3"));
}

} // namespace
} // namespace velk::exchange
