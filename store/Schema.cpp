#include "store/Schema.h"

#include "store/StoreError.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <string>
#include <string_view>

namespace velk::store
{

namespace
{

const char* const kSchemaScript = R"sql(
CREATE TABLE tblPitchLookup (
    iPitchID INTEGER PRIMARY KEY,
    txtPitch TEXT,
    txtVelkFont TEXT NOT NULL,
    txtOldVelkFont TEXT
) STRICT;

CREATE TABLE tblClassLookup (
    iClassID INTEGER PRIMARY KEY,
    iPitchID INTEGER NOT NULL REFERENCES tblPitchLookup (iPitchID),
    iSemitone INTEGER CHECK (iSemitone BETWEEN 0 AND 11)
) STRICT;

CREATE TABLE tblPitchClassJoin (
    iPitchID INTEGER NOT NULL REFERENCES tblPitchLookup (iPitchID),
    iClassID INTEGER NOT NULL REFERENCES tblClassLookup (iClassID),
    PRIMARY KEY (iPitchID, iClassID)
) STRICT;

CREATE TABLE tblMovement (
    iMovementID INTEGER PRIMARY KEY AUTOINCREMENT,
    iKTN INTEGER,
    iMvmt INTEGER,
    iOrder INTEGER,
    txtComposed TEXT,
    iLength INTEGER,
    i12in INTEGER,
    strOpeningKey TEXT,
    strClosingKey TEXT,
    chkSoprano INTEGER NOT NULL DEFAULT 0 CHECK (chkSoprano IN (0, 1)),
    chkAlto INTEGER NOT NULL DEFAULT 0 CHECK (chkAlto IN (0, 1)),
    chkTenor INTEGER NOT NULL DEFAULT 0 CHECK (chkTenor IN (0, 1)),
    chkBass INTEGER NOT NULL DEFAULT 0 CHECK (chkBass IN (0, 1)),
    chkAccompanied INTEGER NOT NULL DEFAULT 0 CHECK (chkAccompanied IN (0, 1)),
    Sub1 TEXT,
    Sub2 TEXT,
    Sub3 TEXT,
    Sub4 TEXT,
    Sub5 TEXT,
    Sub6 TEXT,
    Description TEXT,
    txtComments TEXT,
    Deviation REAL,
    iCapitalOctave INTEGER CHECK (iCapitalOctave IN (2, 3, 4))
) STRICT;

CREATE TABLE tblMovementPitchJoin (
    iMovementPitchID INTEGER PRIMARY KEY AUTOINCREMENT,
    iMovementID INTEGER NOT NULL REFERENCES tblMovement (iMovementID) ON DELETE CASCADE,
    iPitchID INTEGER NOT NULL REFERENCES tblPitchLookup (iPitchID)
) STRICT;

CREATE INDEX idxMovementPitchJoinPitch ON tblMovementPitchJoin (iPitchID);
CREATE INDEX idxMovementOrder ON tblMovement (iKTN, iMvmt, iOrder);
)sql";

struct QuickIndex
{
    const char* name;
    const char* definition; // after "ON "
};

// The indexes every catalogue should have beyond kSchemaScript's:
//  - a movement's sequence in order, with each position's pitch, so that the display, the counts and the
//    tabulations read only the index;
//  - the six subjects, in the collation LIKE compares with, so that the subject search reads the movements
//    whose subjects match instead of every movement six times: a pattern without a leading wildcard seeks in
//    them, any other pattern scans them rather than the much wider movement table.
const std::array<QuickIndex, 7> kQuickIndexes {{
    {"idxMovementPitchJoinSequence", "tblMovementPitchJoin (iMovementID, iMovementPitchID, iPitchID)"},
    {"idxMovementSub1", "tblMovement (Sub1 COLLATE NOCASE)"},
    {"idxMovementSub2", "tblMovement (Sub2 COLLATE NOCASE)"},
    {"idxMovementSub3", "tblMovement (Sub3 COLLATE NOCASE)"},
    {"idxMovementSub4", "tblMovement (Sub4 COLLATE NOCASE)"},
    {"idxMovementSub5", "tblMovement (Sub5 COLLATE NOCASE)"},
    {"idxMovementSub6", "tblMovement (Sub6 COLLATE NOCASE)"},
}};
// Catalogues made before the sequence index carried the pitch have this one instead of it.
constexpr const char* kReplacedIndex = "idxMovementPitchJoinMovement";

void createQuickIndexes(Connection& connection)
{
    std::string script = std::string("DROP INDEX IF EXISTS ") + kReplacedIndex + ";\n";
    for (const QuickIndex& index : kQuickIndexes) {
        script += std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " + index.definition + ";\n";
    }
    connection.executeScript(script);
}

struct ExpectedColumn
{
    const char* name;
    const char* type;
};

struct ExpectedTable
{
    const char* name;
    std::vector<ExpectedColumn> columns;
};

const std::vector<ExpectedTable>& expectedTables()
{
    static const std::vector<ExpectedTable> tables = {
        {"tblMovement", {{"iMovementID", "INTEGER"}, {"iKTN", "INTEGER"},
                         {"iMvmt", "INTEGER"},       {"iOrder", "INTEGER"},
                         {"txtComposed", "TEXT"},    {"iLength", "INTEGER"},
                         {"i12in", "INTEGER"},       {"strOpeningKey", "TEXT"},
                         {"strClosingKey", "TEXT"},  {"chkSoprano", "INTEGER"},
                         {"chkAlto", "INTEGER"},     {"chkTenor", "INTEGER"},
                         {"chkBass", "INTEGER"},     {"chkAccompanied", "INTEGER"},
                         {"Sub1", "TEXT"},           {"Sub2", "TEXT"},
                         {"Sub3", "TEXT"},           {"Sub4", "TEXT"},
                         {"Sub5", "TEXT"},           {"Sub6", "TEXT"},
                         {"Description", "TEXT"},    {"txtComments", "TEXT"},
                         {"Deviation", "REAL"}}},
        {"tblPitchLookup", {{"iPitchID", "INTEGER"}, {"txtPitch", "TEXT"}, {"txtVelkFont", "TEXT"}}},
        {"tblMovementPitchJoin",
         {{"iMovementPitchID", "INTEGER"}, {"iMovementID", "INTEGER"}, {"iPitchID", "INTEGER"}}},
        {"tblPitchClassJoin", {{"iPitchID", "INTEGER"}, {"iClassID", "INTEGER"}}},
        {"tblClassLookup", {{"iClassID", "INTEGER"}, {"iPitchID", "INTEGER"}}},
    };
    return tables;
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

void createSchema(Connection& connection)
{
    Transaction transaction(connection);
    connection.executeScript(kSchemaScript);
    connection.executeScript(kMelodyIndexSchema);
    connection.executeScript(kMelodyIndexTracking);
    createQuickIndexes(connection);
    connection.executeScript("PRAGMA application_id = " + std::to_string(kApplicationId)
                             + "; PRAGMA user_version = 1;");
    transaction.commit();
}

bool hasColumn(Connection& connection, const char* table, const char* column)
{
    return connection
               .query("SELECT 1 FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE",
                      {Value(std::string(table)), Value(std::string(column))})
               .recordCount()
        > 0;
}

void ensureColumns(Connection& connection)
{
    const bool oldGlyphs = hasColumn(connection, "tblPitchLookup", "txtOldVelkFont");
    const bool semitones = hasColumn(connection, "tblClassLookup", "iSemitone");
    const bool octaves = hasColumn(connection, "tblMovement", "iCapitalOctave");
    if (oldGlyphs && semitones && octaves) {
        return;
    }
    Transaction transaction(connection);
    if (!oldGlyphs) {
        connection.execute("ALTER TABLE tblPitchLookup ADD COLUMN txtOldVelkFont TEXT");
    }
    if (!semitones) {
        // Catalogues made by Velk number their classes from C.
        connection.execute(
            "ALTER TABLE tblClassLookup ADD COLUMN iSemitone INTEGER CHECK (iSemitone BETWEEN 0 AND 11)");
        connection.execute("UPDATE tblClassLookup SET iSemitone = iClassID - 1 WHERE iClassID BETWEEN 1 AND 12");
    }
    if (!octaves) {
        // Null: the octave of the capitals follows the movement's voices.
        connection.execute(
            "ALTER TABLE tblMovement ADD COLUMN iCapitalOctave INTEGER CHECK (iCapitalOctave IN (2, 3, 4))");
    }
    transaction.commit();
}

void ensureIndexes(Connection& connection)
{
    // Only a catalogue that lacks one of them is written to (and locked): another program may be reading or
    // writing it, and nothing needs doing.
    std::set<std::string> present;
    const ResultSet indexes = connection.query("SELECT name FROM sqlite_master WHERE type = 'index'");
    for (const auto& row : indexes.rows()) {
        present.insert(row.at(0).toText());
    }
    const bool upToDate = present.count(kReplacedIndex) == 0
        && std::all_of(kQuickIndexes.begin(), kQuickIndexes.end(),
                       [&present](const QuickIndex& index) { return present.count(index.name) > 0; });
    if (upToDate) {
        return;
    }
    Transaction transaction(connection);
    createQuickIndexes(connection);
    transaction.commit();
}

std::vector<std::string> schemaProblems(Connection& connection)
{
    std::vector<std::string> problems;
    const std::int64_t applicationId = connection.query("PRAGMA application_id").rows().at(0).at(0).toInt64();
    for (const ExpectedTable& table : expectedTables()) {
        const ResultSet columns
            = connection.query("SELECT name, type FROM pragma_table_info(?)", {Value(std::string(table.name))});
        if (columns.recordCount() == 0) {
            problems.push_back("The table " + std::string(table.name) + " is missing.");
            continue;
        }
        for (const ExpectedColumn& expected : table.columns) {
            const auto& rows = columns.rows();
            const auto found = std::find_if(rows.begin(), rows.end(), [&](const std::vector<Value>& row) {
                return sameName(row[0].toText(), expected.name);
            });
            if (found == rows.end()) {
                problems.push_back("The table " + std::string(table.name) + " has no column " + expected.name + ".");
            } else if (!sameName((*found)[1].toText(), expected.type)) {
                problems.push_back("The column " + std::string(table.name) + "." + expected.name + " is declared "
                                   + (*found)[1].toText() + " instead of " + expected.type + ".");
            }
        }
    }
    if (problems.size() == expectedTables().size()) {
        // Nothing of a catalogue at all: one sentence says more than five.
        return {kNoCatalogueTables};
    }
    if (applicationId != kApplicationId) {
        problems.push_back("The file's application id is " + std::to_string(applicationId) + " instead of "
                           + std::to_string(kApplicationId) + ".");
    }
    return problems;
}

} // namespace velk::store
