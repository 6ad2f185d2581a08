#include "legacy/LegacyDatabase.h"
#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ReferenceData.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"
#include "tests/legacy/MdbJsonOracle.h"
#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"
#include "tools/CatalogueCheck.h"
#include "tools/CatalogueImport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace velk::tools
{
namespace
{

namespace fs = std::filesystem;
using legacy::LegacyDatabase;
using store::Value;

std::string fixture(const std::string& name)
{
    return std::string(VELK_LEGACY_DATA) + "/" + name;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// What the stored Single reads as: the printed text parsed as a 32-bit float, in its shortest form.
std::string shortestSingle(const std::string& printed)
{
    float value = 0;
    std::from_chars(printed.data(), printed.data() + printed.size(), value);
    return store::formatSingle(value);
}

/// The catalogue's rows of a table, keyed by their first column.
std::map<std::int64_t, std::vector<Value>> rowsById(store::Connection& connection, const std::string& sql)
{
    std::map<std::int64_t, std::vector<Value>> rows;
    connection.forEachRow(sql, {}, [&](const std::vector<Value>& row) { rows[row[0].toInt64()] = row; });
    return rows;
}

const std::vector<std::string> kMovementColumns = {
    "iMovementID",   "iKTN",       "iMvmt",   "iOrder",   "txtComposed", "iLength",        "i12in",    "strOpeningKey",
    "strClosingKey", "chkSoprano", "chkAlto", "chkTenor", "chkBass",     "chkAccompanied", "Sub1",     "Sub2",
    "Sub3",          "Sub4",       "Sub5",    "Sub6",     "Description", "txtComments",    "Deviation"};

/// An import of a fixture into a temporary folder, made once per fixture.
struct Imported
{
    test::TempFolder folder;
    std::string file;
    ImportReport report;
};

const Imported& imported(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<Imported>> done;
    auto& slot = done[name];
    if (!slot) {
        slot = std::make_unique<Imported>();
        slot->file = (slot->folder.path() / "Velk.db").string();
        slot->report = importCatalogue(fixture(name), slot->file, false);
    }
    return *slot;
}

store::Connection reader(const Imported& import)
{
    return store::Connection::openRaw(import.file, store::AccessMode::ReadOnly);
}

// ---- Field by field against mdbtools' own reading, for every catalogue fixture -------------------------------------

class FieldByField : public ::testing::TestWithParam<const char*>
{
};

// Every value of tblMovement: texts exactly (accents, trailing blanks, CRLF, RTF byte for byte, whole long memos),
// numbers, Yes/No as 0/1; a column mdb-json leaves out is Null or, where the file says so, a zero-length text.
TEST_P(FieldByField, MovementsMatchTheOldFile)
{
    const auto oracle = test::oracleRows(fixture(GetParam()), "tblMovement");
    if (!oracle) {
        GTEST_SKIP() << "mdb-json is not installed";
    }
    const Imported& import = imported(GetParam());
    auto connection = reader(import);
    const auto rows = rowsById(connection, "SELECT * FROM tblMovement");
    ASSERT_EQ(rows.size(), oracle->size());
    const auto deviationChanged = [&](std::int64_t id) {
        for (const auto& change : import.report.deviations) {
            if (change.movementId == id) {
                return change.oldText;
            }
        }
        return std::optional<std::string>();
    };
    for (const auto& old : *oracle) {
        const std::int64_t id = std::stoll(old.at("iMovementID").text);
        ASSERT_EQ(rows.count(id), 1u) << "movement " << id;
        const auto& row = rows.at(id);
        for (std::size_t c = 0; c < kMovementColumns.size(); ++c) {
            const std::string& column = kMovementColumns[c];
            const auto found = old.find(column);
            SCOPED_TRACE("movement " + std::to_string(id) + " " + column);
            if (column == "Deviation") {
                // Recomputed; the old figure is the one the report gives where they differ.
                const auto oldText = deviationChanged(id);
                const auto& missing = import.report.missingColumns;
                if (std::find(missing.begin(), missing.end(), "tblMovement.Deviation") != missing.end()) {
                    EXPECT_TRUE(import.report.deviations.empty()); // no figures to compare with
                } else if (found == old.end()) {
                    EXPECT_FALSE(oldText.has_value());
                    EXPECT_TRUE(std::any_of(import.report.deviations.begin(), import.report.deviations.end(),
                                            [&](const DeviationChange& change) { return change.movementId == id; }));
                } else {
                    EXPECT_EQ(oldText.value_or(row[c].toText()), shortestSingle(found->second.text));
                }
                continue;
            }
            if (found == old.end()) {
                EXPECT_TRUE(row[c].isNull() || row[c] == Value(std::string()));
            } else if (found->second.isText) {
                ASSERT_TRUE(row[c].isText());
                EXPECT_EQ(row[c].toText(), found->second.text);
            } else {
                ASSERT_TRUE(row[c].isInteger());
                EXPECT_EQ(row[c].toText(), found->second.text);
            }
        }
    }
}

// Pitches, classes, class rows and sequences keep their ids and values; sequences lose only the orphan rows.
TEST_P(FieldByField, ReferenceDataAndSequencesMatchTheOldFile)
{
    const auto pitches = test::oracleRows(fixture(GetParam()), "tblPitchLookup");
    if (!pitches) {
        GTEST_SKIP() << "mdb-json is not installed";
    }
    const Imported& import = imported(GetParam());
    auto connection = reader(import);

    const auto newPitches = rowsById(connection, "SELECT iPitchID, txtPitch, txtOldVelkFont FROM tblPitchLookup");
    ASSERT_EQ(newPitches.size(), pitches->size());
    for (const auto& old : *pitches) {
        const auto& row = newPitches.at(std::stoll(old.at("iPitchID").text));
        EXPECT_EQ(row[1].toText(), old.at("txtPitch").text);
        EXPECT_EQ(row[2].toText(), old.at("txtVelkFont").text);
    }

    const auto classes = test::oracleRows(fixture(GetParam()), "tblClassLookup").value();
    const auto joins = test::oracleRows(fixture(GetParam()), "tblPitchClassJoin").value();
    const auto oldMovements = test::oracleRows(fixture(GetParam()), "tblMovement").value();
    const auto positions = test::oracleRows(fixture(GetParam()), "tblMovementPitchJoin").value();
    const auto newClasses = rowsById(connection, "SELECT iClassID, iPitchID FROM tblClassLookup");
    ASSERT_EQ(newClasses.size(), classes.size());
    for (const auto& old : classes) {
        EXPECT_EQ(newClasses.at(std::stoll(old.at("iClassID").text))[1].toText(), old.at("iPitchID").text);
    }

    std::set<std::pair<std::string, std::string>> oldJoins;
    for (const auto& old : joins) {
        oldJoins.insert({old.at("iPitchID").text, old.at("iClassID").text});
    }
    std::set<std::pair<std::string, std::string>> newJoins;
    connection.forEachRow("SELECT iPitchID, iClassID FROM tblPitchClassJoin", {}, [&](const std::vector<Value>& row) {
        newJoins.insert({row[0].toText(), row[1].toText()});
    });
    EXPECT_EQ(newJoins, oldJoins);

    // Each movement's sequence in ascending iMovementPitchID, whatever the file order.
    std::map<std::string, std::vector<std::pair<std::int64_t, std::string>>> oldSequences;
    std::set<std::string> movements;
    for (const auto& old : oldMovements) {
        movements.insert(old.at("iMovementID").text);
    }
    std::size_t orphans = 0;
    for (const auto& old : positions) {
        if (movements.count(old.at("iMovementID").text) == 0) {
            ++orphans;
            continue;
        }
        oldSequences[old.at("iMovementID").text].push_back(
            {std::stoll(old.at("iMovementPitchID").text), old.at("iPitchID").text});
    }
    std::map<std::string, std::vector<std::pair<std::int64_t, std::string>>> newSequences;
    connection.forEachRow(
        "SELECT iMovementID, iMovementPitchID, iPitchID FROM tblMovementPitchJoin ORDER BY iMovementPitchID", {},
        [&](const std::vector<Value>& row) {
            newSequences[row[0].toText()].push_back({row[1].toInt64(), row[2].toText()});
        });
    for (auto& [movement, sequence] : oldSequences) {
        std::sort(sequence.begin(), sequence.end());
    }
    EXPECT_EQ(newSequences, oldSequences);
    std::size_t reported = 0;
    for (const auto& [movement, rows] : import.report.orphanRows) {
        reported += rows;
    }
    EXPECT_EQ(reported, orphans);
}

// The new catalogue passes the catalogue check (schema, reference data, sequences, melody index, integrity).
TEST_P(FieldByField, NewCatalogueIsSound)
{
    const auto problems = catalogueProblems(imported(GetParam()).file);
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
}

// Each stored Deviation is what the tabulations page computes for the movement.
TEST_P(FieldByField, DeviationIsWhatTheTabulationsGive)
{
    const Imported& import = imported(GetParam());
    auto connection = reader(import);
    const std::string connectionString = store::connectionStringForFile(import.file);
    connection.forEachRow("SELECT iMovementID, Deviation FROM tblMovement", {}, [&](const std::vector<Value>& row) {
        const auto tabulation = tabulations::tabulate(connectionString, row[0].toInt64());
        EXPECT_EQ(row[1].toText(), tabulation.deviationText) << "movement " << row[0].toText();
    });
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures,
    FieldByField,
    ::testing::Values("Velk.mdb", "Velk-old-schema.mdb", "Velk-2003.mdb", "Velk.accdb", "Velk-empty.mdb"),
    [](const auto& info) {
        std::string name = info.param;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

// ---- The ways mdbtools loses data silently, each checked on its own ------------------------------------------------

TEST(LegacyReader, ZeroLengthTextsAreNotNull)
{
    auto connection = reader(imported("Velk.mdb"));
    std::set<std::string> empty;
    for (const char* column : {"txtComposed", "strOpeningKey", "strClosingKey", "Sub1", "Sub2", "Sub3", "Sub4", "Sub5",
                               "Sub6", "Description", "txtComments"}) {
        connection.forEachRow(std::string("SELECT iMovementID FROM tblMovement WHERE ") + column + " = ''", {},
                              [&](const std::vector<Value>& row) { empty.insert(row[0].toText() + " " + column); });
    }
    EXPECT_EQ(empty, (std::set<std::string> {"30 Sub3", "40 Description", "23 txtComments"}));
}

TEST(LegacyReader, NullsStayNull)
{
    auto connection = reader(imported("Velk.mdb"));
    const std::vector<std::pair<const char*, int>> expected
        = {{"txtComposed", 5}, {"iLength", 6},     {"i12in", 29},       {"strOpeningKey", 1}, {"strClosingKey", 1},
           {"Sub1", 3},        {"Sub2", 14},       {"Sub3", 22},        {"Sub4", 32},         {"Sub5", 38},
           {"Sub6", 39},       {"Description", 5}, {"txtComments", 18}, {"iOrder", 1}};
    for (const auto& [column, count] : expected) {
        EXPECT_EQ(connection.query(std::string("SELECT Count(*) FROM tblMovement WHERE ") + column + " IS NULL")
                      .rows()[0][0]
                      .toInt64(),
                  count)
            << column;
    }
}

TEST(LegacyReader, LongMemoComesWhole)
{
    auto connection = reader(imported("Velk.mdb"));
    const auto row = connection.query("SELECT txtComments FROM tblMovement WHERE iMovementID = 53").rows()[0];
    // Far beyond the library's default bind size of 16,384 bytes, which would cut it at 16,383 without a word.
    EXPECT_EQ(row[0].toText().size(), 18765u);
    EXPECT_EQ(row[0].toText().substr(row[0].toText().size() - 3), "}\r\n");
}

TEST(LegacyReader, YesNoIsZeroOrOneAndSinglesAreShortest)
{
    const auto database = LegacyDatabase::open(fixture("Velk.mdb"));
    const auto table = database.readTable("tblMovement");
    const auto id = *table.columnIndex("iMovementID");
    const auto deviation = *table.columnIndex("Deviation");
    const auto soprano = *table.columnIndex("chkSoprano");
    std::map<std::int64_t, std::string> figures;
    for (const auto& row : table.rows) {
        figures[row[id].toInt64()] = row[deviation].toText();
        EXPECT_TRUE(row[soprano] == Value(0) || row[soprano] == Value(1));
    }
    EXPECT_EQ(figures[1], "6.77406"); // printed 6.7740598 by the library
    EXPECT_EQ(figures[33], "15");
    EXPECT_EQ(figures[9], "0");
    EXPECT_EQ(figures[2], "");
}

TEST(LegacyReader, RowsComeInFileOrderButSequencesInIdOrder)
{
    const auto database = LegacyDatabase::open(fixture("Velk.mdb"));
    const auto movements = database.readTable("tblMovement");
    std::vector<std::int64_t> lastThree;
    for (std::size_t i = movements.rows.size() - 3; i < movements.rows.size(); ++i) {
        lastThree.push_back(movements.rows[i][0].toInt64());
    }
    EXPECT_EQ(lastThree, (std::vector<std::int64_t> {5, 9, 11})); // the file's order, which the import must not keep

    auto connection = reader(imported("Velk.mdb"));
    for (const int movement : {49, 52}) {
        std::int64_t previous = 0;
        connection.forEachRow("SELECT iMovementPitchID FROM tblMovementPitchJoin WHERE iMovementID = ? ORDER BY rowid",
                              {Value(movement)}, [&](const std::vector<Value>& row) {
                                  EXPECT_GT(row[0].toInt64(), previous);
                                  previous = row[0].toInt64();
                              });
    }
}

// ---- What the import derives and reports ---------------------------------------------------------------------------

TEST(LegacyImport, GlyphsAndSemitonesAreDerivedFromTheSpellings)
{
    auto connection = reader(imported("Velk.mdb"));
    connection.forEachRow("SELECT txtPitch, txtVelkFont FROM tblPitchLookup", {}, [&](const std::vector<Value>& row) {
        const auto* pitch = store::referencePitchOf(row[0].toText());
        ASSERT_NE(pitch, nullptr) << row[0].toText();
        EXPECT_EQ(row[1].toText(), pitch->glyph);
    });
    // Classes numbered from A, as the old file has them: class 1 is A (9 semitones above C), class 4 is C.
    const auto semitones = rowsById(connection, "SELECT iClassID, iSemitone FROM tblClassLookup");
    EXPECT_EQ(semitones.at(1)[1], Value(9));
    EXPECT_EQ(semitones.at(4)[1], Value(0));
    EXPECT_EQ(semitones.at(12)[1], Value(8));
    // The melodic search takes each pitch's class from the semitone, not from the old numbering.
    const auto classes = melody::PitchClasses::load(connection);
    const auto pitchId = [&](const char* spelling) {
        return static_cast<std::int32_t>(
            connection.query("SELECT iPitchID FROM tblPitchLookup WHERE txtPitch = ?", {Value(spelling)})
                .rows()
                .at(0)
                .at(0)
                .toInt64());
    };
    EXPECT_EQ(classes.classOf(pitchId("c")), 0);
    EXPECT_EQ(classes.classOf(pitchId("a")), 9);
    EXPECT_EQ(classes.classOf(pitchId("B*")), 0);
    EXPECT_EQ(classes.classOf(pitchId("e*")), std::nullopt);
    // The old glyph of f* is kept beside the new one.
    const auto sharp = connection.query("SELECT txtOldVelkFont FROM tblPitchLookup WHERE txtPitch = 'f*'").rows();
    EXPECT_EQ(sharp.at(0).at(0).toText(), "'t");
}

struct ReportCase
{
    const char* file;
    std::vector<std::size_t> read; ///< tblMovement, tblPitchLookup, tblClassLookup, tblPitchClassJoin, sequences
    std::vector<std::size_t> written;
    std::map<std::int64_t, std::size_t> orphans;
    std::vector<std::int64_t> deviationsChanged;
    std::vector<std::string> missingColumns;
    std::string unclassed; ///< the note on the spelling in no class
};

class ImportReportCounts : public ::testing::TestWithParam<ReportCase>
{
};

TEST_P(ImportReportCounts, CountsWhatWasReadWrittenAndDropped)
{
    const ReportCase& expected = GetParam();
    const ImportReport& report = imported(expected.file).report;
    ASSERT_EQ(report.tables.size(), 5u);
    for (std::size_t t = 0; t < 5; ++t) {
        EXPECT_EQ(report.tables[t].read, expected.read[t]) << report.tables[t].table;
        EXPECT_EQ(report.tables[t].written, expected.written[t]) << report.tables[t].table;
    }
    EXPECT_EQ(report.orphanRows, expected.orphans);
    std::vector<std::int64_t> changed;
    for (const auto& change : report.deviations) {
        changed.push_back(change.movementId);
    }
    EXPECT_EQ(changed, expected.deviationsChanged);
    EXPECT_EQ(report.missingColumns, expected.missingColumns);
    EXPECT_TRUE(report.notDerived.empty());
    EXPECT_NE(report.text().find(expected.unclassed), std::string::npos) << report.text();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures,
    ImportReportCounts,
    ::testing::Values(
        ReportCase {"Velk.mdb",
                    {40, 45, 12, 44, 5582},
                    {40, 45, 12, 44, 5561},
                    {{3, 18}, {4, 3}},
                    {1, 2, 5, 8, 10, 11, 14, 19},
                    {},
                    "pitch 49 \"e*\" belongs to no pitch class"},
        ReportCase {"Velk-old-schema.mdb",
                    {10, 36, 12, 35, 899},
                    {10, 36, 12, 35, 887},
                    {{2, 12}},
                    {},
                    {"tblMovement.Sub5", "tblMovement.Sub6", "tblMovement.Deviation"},
                    "pitch 40 \"g**\" belongs to no pitch class"},
        ReportCase {"Velk-empty.mdb", {0, 45, 12, 44, 0}, {0, 45, 12, 44, 0}, {}, {}, {}, "\"e*\" belongs to no"}),
    [](const auto& info) {
        std::string name = info.param.file;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

TEST(LegacyImport, ReportGivesOldAndNewDeviation)
{
    const std::string text = imported("Velk.mdb").report.text();
    EXPECT_NE(text.find("movement 1: 6.77406 -> 6.8"), std::string::npos) << text;
    EXPECT_NE(text.find("movement 2: none -> "), std::string::npos) << text;
    EXPECT_NE(text.find("21 sequence rows of 2 movements that no longer exist: 3 (18), 4 (3)"), std::string::npos)
        << text;
}

TEST(LegacyImport, LaterInsertsGetHigherIds)
{
    const Imported& import = imported("Velk.mdb");
    test::TempFolder folder;
    const auto copy = folder.path() / "Velk.db";
    fs::copy_file(import.file, copy);
    auto connection = store::Connection::openRaw(copy.string(), store::AccessMode::ReadWrite);
    connection.execute("INSERT INTO tblMovement (iKTN) VALUES (1)");
    EXPECT_EQ(connection.lastInsertId(), 54);
    connection.execute("INSERT INTO tblMovementPitchJoin (iMovementID, iPitchID) VALUES (54, 1)");
    EXPECT_GT(connection.lastInsertId(), 8886);
}

// ---- Refusals: one clear line, nothing written ----------------------------------------------------------------------

struct RefusalCase
{
    const char* name;
    std::function<std::string(const fs::path&)> oldFile; ///< makes the old file in the folder
    const char* message; ///< a part of the message
};

class ImportRefusal : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(ImportRefusal, SaysWhyAndWritesNothing)
{
    test::TempFolder folder;
    const std::string old = GetParam().oldFile(folder.path());
    const auto target = folder.path() / "Velk.db";
    const test::ToolRun run = test::runProgram(VELK_CATALOGUE_EXE, {"import", old, target.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()),
              fs::exists(old) && fs::path(old).parent_path() == folder.path() ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    ImportRefusal,
    ::testing::Values(
        RefusalCase {"Foreign", [](const fs::path&) { return fixture("not-a-catalogue.mdb"); },
                     "is not an old Velk catalogue: it has none of the tables tblMovement, tblPitchLookup, "
                     "tblMovementPitchJoin, tblPitchClassJoin, tblClassLookup (it holds tblContacts, tblPhones)."},
        RefusalCase {"Missing", [](const fs::path& dir) { return (dir / "Velk.mdb").string(); }, "does not exist."},
        RefusalCase {"Text",
                     [](const fs::path& dir) {
                         std::ofstream(dir / "Velk.mdb") << "shopping list\n";
                         return (dir / "Velk.mdb").string();
                     },
                     "is not an Access database (.mdb or .accdb)."},
        RefusalCase {"Empty",
                     [](const fs::path& dir) {
                         std::ofstream(dir / "Velk.mdb").flush();
                         return (dir / "Velk.mdb").string();
                     },
                     "is not an Access database"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LegacyImport, RefusesToOverwriteWithoutForceAndNeverWritesTheOldFile)
{
    test::TempFolder folder;
    const auto old = folder.path() / "Velk.mdb";
    fs::copy_file(fixture("Velk-2003.mdb"), old);
    const std::string oldBytes = readFile(old);
    const auto target = folder.path() / "Velk.db";
    std::ofstream(target) << "keep me";

    const test::ToolRun refused = test::runProgram(VELK_CATALOGUE_EXE, {"import", old.string(), target.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("already exists; it was left as it is (--force replaces it)."), std::string::npos);
    EXPECT_EQ(readFile(target), "keep me");

    const test::ToolRun same = test::runProgram(VELK_CATALOGUE_EXE, {"import", old.string(), old.string(), "--force"});
    EXPECT_EQ(same.exitCode, 1);
    EXPECT_NE(same.err.find("is the old file itself"), std::string::npos) << same.err;

    const test::ToolRun forced
        = test::runProgram(VELK_CATALOGUE_EXE, {"import", old.string(), target.string(), "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_NE(forced.out.find("tblMovementPitchJoin"), std::string::npos);
    EXPECT_TRUE(forced.err.empty()) << forced.err; // no progress unless on a terminal
    EXPECT_TRUE(catalogueProblems(target.string()).empty());
    EXPECT_EQ(readFile(old), oldBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2);
}

} // namespace
} // namespace velk::tools

namespace velk::tools
{
namespace
{

// ---- Oddities no fixture has: the tables of Velk-2003.mdb, changed one way each ----------------------------------

using Tables = std::vector<legacy::LegacyTable>;

legacy::LegacyTable& table(Tables& tables, const std::string& name)
{
    return *std::find_if(tables.begin(), tables.end(), [&](const auto& t) { return t.name == name; });
}

void removeColumn(legacy::LegacyTable& t, const std::string& column)
{
    const std::size_t at = *t.columnIndex(column);
    t.columns.erase(t.columns.begin() + static_cast<std::ptrdiff_t>(at));
    for (auto& row : t.rows) {
        row.erase(row.begin() + static_cast<std::ptrdiff_t>(at));
    }
}

void setValue(legacy::LegacyTable& t, std::int64_t id, const std::string& column, Value value)
{
    for (auto& row : t.rows) {
        if (row[0].toInt64() == id) {
            row[*t.columnIndex(column)] = std::move(value);
        }
    }
}

struct OddityCase
{
    const char* name;
    std::function<void(Tables&)> change;
    const char* expected; ///< a part of the report's text, or of the error message
    bool refused = false;
};

class Oddity : public ::testing::TestWithParam<OddityCase>
{
};

TEST_P(Oddity, IsReportedOrRefused)
{
    static const Tables original = [] {
        const auto database = LegacyDatabase::open(fixture("Velk-2003.mdb"));
        Tables read;
        for (const char* name :
             {"tblMovement", "tblPitchLookup", "tblMovementPitchJoin", "tblPitchClassJoin", "tblClassLookup"}) {
            read.push_back(database.readTable(name));
        }
        return read;
    }();
    Tables tables = original;
    GetParam().change(tables);
    test::TempFolder folder;
    const auto target = folder.path() / "Velk.db";
    if (GetParam().refused) {
        try {
            importTables(tables, "old.mdb", target.string(), false);
            ADD_FAILURE() << "not refused";
        } catch (const std::exception& error) {
            EXPECT_NE(std::string(error.what()).find(GetParam().expected), std::string::npos) << error.what();
        }
        EXPECT_FALSE(fs::exists(target));
        return;
    }
    const ImportReport report = importTables(tables, "old.mdb", target.string(), false);
    EXPECT_NE(report.text().find(GetParam().expected), std::string::npos) << report.text();
}

INSTANTIATE_TEST_SUITE_P(
    Tables,
    Oddity,
    ::testing::Values(
        OddityCase {"SpellingOutsideTheScheme",
                    [](Tables& t) { setValue(table(t, "tblPitchLookup"), 1, "txtPitch", Value("H")); },
                    "pitch 1 \"H\": its spelling follows no scheme; its glyph text is the spelling itself"},
        OddityCase {"RepeatedSpelling",
                    [](Tables& t) { setValue(table(t, "tblPitchLookup"), 2, "txtPitch", Value("C")); },
                    "the spelling \"C\" is used by 2 pitches, as in the old file; typing it finds pitch 1"},
        OddityCase {"ClassWithoutASemitone",
                    [](Tables& t) {
                        table(t, "tblPitchLookup").rows.push_back({Value(60), Value("X"), Value("x")});
                        table(t, "tblClassLookup").rows.push_back({Value(13), Value(60)});
                        table(t, "tblPitchClassJoin").rows.push_back({Value(60), Value(13)});
                    },
                    "class 13: no spelling of its pitches follows the scheme, so it has no semitone"},
        OddityCase {"ClassRowNamingNoPitch",
                    [](Tables& t) {
                        table(t, "tblPitchClassJoin").rows.push_back({Value(99), Value(1)});
                    },
                    "1 row of tblPitchClassJoin naming a pitch or class that does not exist"},
        OddityCase {"PositionNamingNoPitch",
                    [](Tables& t) {
                        table(t, "tblMovementPitchJoin").rows.push_back({Value(99999), Value(1), Value(77)});
                    },
                    "1 row of tblMovementPitchJoin naming a pitch that is not in tblPitchLookup"},
        OddityCase {"PositionWithoutAnId",
                    [](Tables& t) {
                        table(t, "tblMovementPitchJoin").rows.push_back({Value(), Value(1), Value(1)});
                    },
                    "1 row of tblMovementPitchJoin without an id"},
        OddityCase {"RepeatedMovementId",
                    [](Tables& t) {
                        auto& movements = table(t, "tblMovement");
                        movements.rows.push_back(movements.rows.front());
                    },
                    "1 row of tblMovement repeating an id of another row"},
        OddityCase {"MissingAndExtraColumns",
                    [](Tables& t) {
                        auto& movements = table(t, "tblMovement");
                        removeColumn(movements, "txtComposed");
                        movements.columns.push_back({"Notes", legacy::ColumnKind::Text, "Memo"});
                        for (auto& row : movements.rows) {
                            row.push_back(Value("a note"));
                        }
                    },
                    "the column tblMovement.Notes, which the catalogue does not have"},
        OddityCase {"MissingKeyColumn", [](Tables& t) { removeColumn(table(t, "tblPitchClassJoin"), "iPitchID"); },
                    "old.mdb is not an old Velk catalogue: the table tblPitchClassJoin has no column iPitchID.", true},
        OddityCase {"NumberColumnHoldingText",
                    [](Tables& t) {
                        table(t, "tblMovement").columns[1] = {"iKTN", legacy::ColumnKind::Text, "Text"};
                    },
                    "the column tblMovement.iKTN holds Text values instead of a whole number.", true},
        OddityCase {"MissingTable", [](Tables& t) { t.erase(t.begin() + 4); },
                    "old.mdb is not an old Velk catalogue: the table tblClassLookup is missing.", true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velk::tools
