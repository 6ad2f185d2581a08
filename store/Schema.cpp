#include "store/Schema.h"

#include "store/StoreError.h"
#include "store/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
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

// The six subject columns of a row (NEW or OLD in a trigger, nothing for the table itself) as one column s.
std::string subjectValues(const std::string& row)
{
    std::string sql;
    for (int n = 1; n <= 6; ++n) {
        sql += (n == 1 ? "SELECT " : " UNION ALL SELECT ") + row + "Sub" + std::to_string(n) + (n == 1 ? " AS s" : "")
            + (row.empty() ? " FROM tblMovement" : "");
    }
    return sql;
}

std::string addUses(const std::string& row)
{
    return "INSERT INTO tblSubjectUse (Subject, nUses) SELECT s, count(*) FROM (" + subjectValues(row)
        + ") WHERE s IS NOT NULL GROUP BY s ON CONFLICT (Subject) DO UPDATE SET nUses = nUses + excluded.nUses;\n";
}

std::string removeUses()
{
    const std::string olds = "OLD.Sub1, OLD.Sub2, OLD.Sub3, OLD.Sub4, OLD.Sub5, OLD.Sub6";
    return "UPDATE tblSubjectUse SET nUses = nUses - (SELECT count(*) FROM (" + subjectValues("OLD.")
        + ") WHERE s = tblSubjectUse.Subject) WHERE Subject IN (" + olds + ");\n"
        + "DELETE FROM tblSubjectUse WHERE Subject IN (" + olds + ") AND nUses <= 0;\n";
}

constexpr std::array<const char*, 3> kSubjectUseTriggers {"trgSubjectUseInsert", "trgSubjectUseUpdate",
                                                          "trgSubjectUseDelete"};

std::string subjectUseScript()
{
    return "CREATE TABLE tblSubjectUse (Subject TEXT PRIMARY KEY NOT NULL, nUses INTEGER NOT NULL) STRICT, "
           "WITHOUT ROWID;\n"
           "CREATE TRIGGER trgSubjectUseInsert AFTER INSERT ON tblMovement BEGIN\n"
        + addUses("NEW.")
        + "END;\n"
          "CREATE TRIGGER trgSubjectUseUpdate AFTER UPDATE OF Sub1, Sub2, Sub3, Sub4, Sub5, Sub6 ON tblMovement "
          "BEGIN\n"
        + removeUses() + addUses("NEW.")
        + "END;\n"
          "CREATE TRIGGER trgSubjectUseDelete AFTER DELETE ON tblMovement BEGIN\n"
        + removeUses() + "END;\n";
}

// The subject-use rows the table should hold, and those it holds that differ, either way.
const char* const kSubjectUseDifferences = R"sql(
WITH expected AS (SELECT s AS Subject, count(*) AS nUses FROM (%VALUES%) WHERE s IS NOT NULL GROUP BY s)
SELECT 'missing', Subject, nUses FROM (SELECT * FROM expected EXCEPT SELECT Subject, nUses FROM tblSubjectUse)
UNION ALL
SELECT 'stored', Subject, nUses FROM (SELECT Subject, nUses FROM tblSubjectUse EXCEPT SELECT * FROM expected)
)sql";

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
    connection.executeScript(subjectUseScript());
    connection.executeScript("PRAGMA application_id = " + std::to_string(kApplicationId)
                             + "; PRAGMA user_version = 1;");
    transaction.commit();
}

bool hasSubjectUse(Connection& connection)
{
    const ResultSet objects = connection.query(
        "SELECT count(*) FROM sqlite_master WHERE (type = 'table' AND name = 'tblSubjectUse') OR (type = "
        "'trigger' AND tbl_name = 'tblMovement' AND name IN (?, ?, ?))",
        {Value(std::string(kSubjectUseTriggers[0])), Value(std::string(kSubjectUseTriggers[1])),
         Value(std::string(kSubjectUseTriggers[2]))});
    return objects.rows().at(0).at(0).toInt64() == 1 + static_cast<std::int64_t>(kSubjectUseTriggers.size());
}

void rebuildSubjectUse(Connection& connection)
{
    std::string script;
    for (const char* trigger : kSubjectUseTriggers) {
        script += std::string("DROP TRIGGER IF EXISTS ") + trigger + ";\n";
    }
    script += "DROP TABLE IF EXISTS tblSubjectUse;\n" + subjectUseScript();
    script += "INSERT INTO tblSubjectUse (Subject, nUses) SELECT s, count(*) FROM (" + subjectValues("")
        + ") WHERE s IS NOT NULL GROUP BY s;\n";
    connection.executeScript(script);
}

std::vector<std::string> subjectUseProblems(Connection& connection)
{
    std::vector<std::string> problems;
    const bool table
        = connection.query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'tblSubjectUse'").recordCount()
        > 0;
    if (!table) {
        return problems;
    }
    if (!hasSubjectUse(connection)) {
        problems.push_back("The list of subjects in use (tblSubjectUse) has lost a trigger that keeps it in step with "
                           "tblMovement; searches read the movements instead.");
    }
    std::string sql = kSubjectUseDifferences;
    sql.replace(sql.find("%VALUES%"), 8, subjectValues(""));
    connection.forEachRow(sql, {}, [&problems](const std::vector<Value>& row) {
        const std::string subject = "\"" + shownText(row[1].toText()) + "\"";
        problems.push_back(row[0].toText() == "missing"
                               ? "The list of subjects in use (tblSubjectUse) lacks or miscounts the subject " + subject
                                   + ", used " + row[2].toText() + " times."
                               : "The list of subjects in use (tblSubjectUse) holds the subject " + subject + " with "
                                   + row[2].toText() + " uses that tblMovement does not have.");
    });
    return problems;
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
