#include "tools/CatalogueImport.h"

#include "legacy/LegacyDatabase.h"
#include "melody/MelodyIndex.h"
#include "pitches/PitchSequence.h"
#include "store/Connection.h"
#include "store/ReferenceData.h"
#include "store/StoreError.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"
#include "tools/CatalogueFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <sstream>
#include <system_error>
#include <unordered_map>

namespace velk::tools
{

namespace
{

namespace fs = std::filesystem;
using legacy::ColumnKind;
using legacy::LegacyDatabase;
using legacy::LegacyError;
using store::Value;

enum class Want
{
    Integer,
    Real,
    Text,
    Boolean
};

struct TargetColumn
{
    const char* name;
    Want want;
    bool required; ///< without it the table means nothing
};

struct TableSpec
{
    const char* name;
    std::vector<TargetColumn> columns;
};

// The five tables in the order they are read (reference data first, the long sequence table last) and the columns
// each brings, in the order of the catalogue's own tables.
const std::array<TableSpec, 5>& tableSpecs()
{
    static const std::array<TableSpec, 5> specs {{
        {"tblPitchLookup",
         {{"iPitchID", Want::Integer, true}, {"txtPitch", Want::Text, true}, {"txtVelkFont", Want::Text, false}}},
        {"tblClassLookup", {{"iClassID", Want::Integer, true}, {"iPitchID", Want::Integer, true}}},
        {"tblPitchClassJoin", {{"iPitchID", Want::Integer, true}, {"iClassID", Want::Integer, true}}},
        {"tblMovement", {{"iMovementID", Want::Integer, true}, {"iKTN", Want::Integer, false},
                         {"iMvmt", Want::Integer, false},      {"iOrder", Want::Integer, false},
                         {"txtComposed", Want::Text, false},   {"iLength", Want::Integer, false},
                         {"i12in", Want::Integer, false},      {"strOpeningKey", Want::Text, false},
                         {"strClosingKey", Want::Text, false}, {"chkSoprano", Want::Boolean, false},
                         {"chkAlto", Want::Boolean, false},    {"chkTenor", Want::Boolean, false},
                         {"chkBass", Want::Boolean, false},    {"chkAccompanied", Want::Boolean, false},
                         {"Sub1", Want::Text, false},          {"Sub2", Want::Text, false},
                         {"Sub3", Want::Text, false},          {"Sub4", Want::Text, false},
                         {"Sub5", Want::Text, false},          {"Sub6", Want::Text, false},
                         {"Description", Want::Text, false},   {"txtComments", Want::Text, false},
                         {"Deviation", Want::Real, false}}},
        {"tblMovementPitchJoin",
         {{"iMovementPitchID", Want::Integer, true},
          {"iMovementID", Want::Integer, true},
          {"iPitchID", Want::Integer, true}}},
    }};
    return specs;
}

// Positions of the tables in tableSpecs().
constexpr std::size_t kPitches = 0;
constexpr std::size_t kClasses = 1;
constexpr std::size_t kClassJoins = 2;
constexpr std::size_t kMovements = 3;
constexpr std::size_t kSequences = 4;
// The Deviation column of tblMovement, the last one.
constexpr std::size_t kDeviationColumn = 22;
// Shares of the progress: reading the old file, then writing, then the melody index.
constexpr int kReadShare = 60;
constexpr int kWriteShare = 30;

const char* wantName(Want want)
{
    switch (want) {
    case Want::Integer:
        return "a whole number";
    case Want::Real:
        return "a number";
    case Want::Text:
        return "a text";
    case Want::Boolean:
        return "a Yes/No value";
    }
    return "";
}

bool accepts(Want want, ColumnKind kind)
{
    switch (want) {
    case Want::Integer:
        return kind == ColumnKind::Integer;
    case Want::Real:
        return kind == ColumnKind::Integer || kind == ColumnKind::Single || kind == ColumnKind::Double;
    case Want::Text:
        return kind == ColumnKind::Text;
    case Want::Boolean:
        return kind == ColumnKind::Boolean || kind == ColumnKind::Integer;
    }
    return false;
}

/// A table projected onto the columns of its spec: every row has one value per spec column, Null where the old
/// file has no such column (0 for a Yes/No).
struct Projected
{
    std::vector<std::vector<Value>> rows;
};

struct OldCatalogue
{
    std::string format;
    std::array<Projected, 5> tables;
    std::vector<std::string> missingColumns;
    std::vector<std::string> extraColumns;
};

std::string joined(const std::vector<std::string>& items, const char* separator = ", ")
{
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : separator) + item;
    }
    return text;
}

std::string quoted(const Value& value)
{
    return value.isNull() ? std::string("(none)") : "\"" + value.toText() + "\"";
}

/// Where each column of the catalogue's tables comes from in the old file's tables.
struct Layout
{
    std::array<std::vector<std::optional<std::size_t>>, 5> sources;
    std::vector<std::string> missingColumns;
    std::vector<std::string> extraColumns;
};

std::string notCatalogue(const std::string& source)
{
    return source + " is not an old Velk catalogue: ";
}

/// Names the missing tables in one sentence (in the order the old program's documentation lists them). Throws.
[[noreturn]] void
missingTables(const std::string& source, std::vector<std::string> missing, const std::vector<std::string>& present)
{
    const std::array<std::string, 5> listed {"tblMovement", "tblPitchLookup", "tblMovementPitchJoin",
                                             "tblPitchClassJoin", "tblClassLookup"};
    std::sort(missing.begin(), missing.end(), [&](const std::string& a, const std::string& b) {
        return std::find(listed.begin(), listed.end(), a) < std::find(listed.begin(), listed.end(), b);
    });
    if (missing.size() == tableSpecs().size()) {
        if (present.empty()) {
            throw LegacyError(source + " holds no tables at all; it is damaged or empty.");
        }
        throw LegacyError(notCatalogue(source) + "it has none of the tables " + joined(missing) + " (it holds "
                          + joined(present) + ").");
    }
    throw LegacyError(notCatalogue(source) + (missing.size() == 1 ? "the table " : "the tables ") + joined(missing)
                      + (missing.size() == 1 ? " is" : " are") + " missing.");
}

/// Matches the old tables' columns to the catalogue's. Throws for a column the catalogue cannot do without, or one
/// whose values are of another kind.
Layout layoutOf(const std::string& source, const std::array<std::vector<legacy::LegacyColumn>, 5>& columns)
{
    Layout layout;
    for (std::size_t t = 0; t < tableSpecs().size(); ++t) {
        const TableSpec& spec = tableSpecs()[t];
        legacy::LegacyTable shape;
        shape.columns = columns[t];
        for (const TargetColumn& target : spec.columns) {
            const auto index = shape.columnIndex(target.name);
            if (!index) {
                if (target.required) {
                    throw LegacyError(notCatalogue(source) + "the table " + spec.name + " has no column " + target.name
                                      + ".");
                }
                layout.missingColumns.push_back(std::string(spec.name) + "." + target.name);
            } else if (!accepts(target.want, columns[t][*index].kind)) {
                throw LegacyError(notCatalogue(source) + "the column " + spec.name + "." + target.name + " holds "
                                  + columns[t][*index].typeName + " values instead of " + wantName(target.want) + ".");
            }
            layout.sources[t].push_back(index);
        }
        for (const auto& column : columns[t]) {
            legacy::LegacyTable one;
            one.columns = {column};
            const bool known = std::any_of(spec.columns.begin(), spec.columns.end(), [&](const TargetColumn& target) {
                return one.columnIndex(target.name).has_value();
            });
            if (!known) {
                layout.extraColumns.push_back(std::string(spec.name) + "." + column.name);
            }
        }
    }
    return layout;
}

/// A table's rows on the catalogue's columns (Null where the old file has none; a Yes/No as 0 or 1).
Projected project(legacy::LegacyTable& table, std::size_t t, const Layout& layout)
{
    const TableSpec& spec = tableSpecs()[t];
    Projected projected;
    projected.rows.reserve(table.rows.size());
    for (auto& row : table.rows) {
        std::vector<Value> values;
        values.reserve(spec.columns.size());
        for (std::size_t c = 0; c < spec.columns.size(); ++c) {
            const auto& source = layout.sources[t][c];
            Value value = source ? std::move(row[*source]) : Value();
            if (spec.columns[c].want == Want::Boolean) {
                value = Value(std::int64_t {value.toInt64() != 0 ? 1 : 0});
            }
            values.push_back(std::move(value));
        }
        projected.rows.push_back(std::move(values));
    }
    return projected;
}

/// Checks that the old file is a catalogue of the old program and reads its five tables.
OldCatalogue readOld(const LegacyDatabase& database, const std::function<void(const ImportProgress&)>& progress)
{
    std::vector<std::string> missing;
    std::array<std::vector<legacy::LegacyColumn>, 5> columns;
    for (std::size_t t = 0; t < tableSpecs().size(); ++t) {
        auto found = database.columns(tableSpecs()[t].name);
        if (!found) {
            missing.emplace_back(tableSpecs()[t].name);
        } else {
            columns[t] = std::move(*found);
        }
    }
    if (!missing.empty()) {
        missingTables(database.file(), missing, database.tableNames());
    }
    const Layout layout = layoutOf(database.file(), columns);

    OldCatalogue old;
    old.format = database.formatName();
    old.missingColumns = layout.missingColumns;
    old.extraColumns = layout.extraColumns;
    std::size_t announced = 0;
    for (const TableSpec& spec : tableSpecs()) {
        announced += database.announcedRows(spec.name);
    }
    std::size_t done = 0;
    for (std::size_t t = 0; t < tableSpecs().size(); ++t) {
        const std::string stage = std::string("reading ") + tableSpecs()[t].name;
        const auto onRows = [&](std::size_t rows) {
            if (progress) {
                const std::size_t share = announced == 0 ? 0 : (done + rows) * kReadShare / announced;
                progress({static_cast<int>(std::min<std::size_t>(share, kReadShare)), stage});
            }
        };
        onRows(0);
        legacy::LegacyTable table = database.readTable(tableSpecs()[t].name, onRows);
        done += table.rows.size();
        old.tables[t] = project(table, t, layout);
    }
    return old;
}

std::string plural(std::size_t count, const std::string& one, const std::string& many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

/// Tells of rows not carried over, when there are any: "3 rows of tblX why".
void dropRows(ImportReport& report, std::size_t count, const char* table, const std::string& why)
{
    if (count > 0) {
        report.dropped.push_back(plural(count, "row", "rows") + " of " + table + " " + why);
    }
}

/// Rows keyed by their first column (the id), in ascending id; rows without an id or with an id seen before are
/// dropped and told.
std::vector<std::vector<Value>*> byId(Projected& table, const char* name, ImportReport& report)
{
    std::vector<std::vector<Value>*> rows;
    std::size_t nullIds = 0;
    for (auto& row : table.rows) {
        if (row[0].isNull()) {
            ++nullIds;
        } else {
            rows.push_back(&row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto* a, const auto* b) { return (*a)[0].toInt64() < (*b)[0].toInt64(); });
    std::vector<std::vector<Value>*> unique;
    std::size_t duplicates = 0;
    for (auto* row : rows) {
        if (!unique.empty() && (*unique.back())[0].toInt64() == (*row)[0].toInt64()) {
            ++duplicates;
        } else {
            unique.push_back(row);
        }
    }
    dropRows(report, nullIds, name, "without an id");
    dropRows(report, duplicates, name, "repeating an id of another row");
    return unique;
}

/// What the written reference data means for the sequences: each pitch's sense, spelling and classes.
struct PitchMeaning
{
    std::unordered_map<std::int64_t, const store::ReferencePitch*> meaning; ///< null where the spelling has none
    std::unordered_map<std::int64_t, std::string> spellingOf;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> classIndexesOf; ///< positions in ascending iClassID
    std::size_t classCount = 0;
};

/// Writes the old pitches, classes and class rows with their ids, deriving glyph texts and semitones.
PitchMeaning writeReferenceData(store::Connection& connection,
                                OldCatalogue& old,
                                ImportReport& report,
                                std::array<std::size_t, 5>& written)
{
    // Pitches: the old spellings and ids; the glyph text in our pitch font from the spelling.
    PitchMeaning result;
    auto& meaning = result.meaning;
    auto& spellingOf = result.spellingOf;
    for (auto* row : byId(old.tables[kPitches], "tblPitchLookup", report)) {
        const std::int64_t id = (*row)[0].toInt64();
        const Value& spelling = (*row)[1];
        const store::ReferencePitch* pitch = spelling.isNull() ? nullptr : store::referencePitchOf(spelling.toText());
        std::string glyph;
        if (pitch) {
            glyph = pitch->glyph;
            ++report.glyphsDerived;
        } else {
            glyph = spelling.toText();
            report.notDerived.push_back("pitch " + std::to_string(id) + " " + quoted(spelling)
                                        + ": its spelling follows no scheme; its glyph text is the spelling itself");
        }
        meaning[id] = pitch;
        spellingOf[id] = spelling.toText();
        connection.execute("INSERT INTO tblPitchLookup (iPitchID, txtPitch, txtVelkFont, txtOldVelkFont) "
                           "VALUES (?, ?, ?, ?)",
                           {Value(id), spelling, Value(glyph), (*row)[2]});
        ++written[kPitches];
    }

    std::map<std::string, std::vector<std::int64_t>> bySpelling;
    for (const auto& [id, spelling] : spellingOf) {
        bySpelling[spelling].push_back(id);
    }
    for (auto& [spelling, ids] : bySpelling) {
        if (ids.size() > 1) {
            std::sort(ids.begin(), ids.end());
            report.notes.push_back("the spelling \"" + spelling + "\" is used by " + std::to_string(ids.size())
                                   + " pitches, as in the old file; typing it finds pitch " + std::to_string(ids[0]));
        }
    }

    // Classes: the old ids and representatives; the semitone from the representative's spelling, or a member's.
    std::map<std::int64_t, std::vector<std::int64_t>> members; // class -> pitches
    std::set<std::pair<std::int64_t, std::int64_t>> joins;
    std::size_t unknownJoins = 0;
    std::size_t repeatedJoins = 0;
    std::size_t incompleteJoins = 0;
    std::set<std::int64_t> classIds;
    for (const auto& row : old.tables[kClasses].rows) {
        if (!row[0].isNull()) {
            classIds.insert(row[0].toInt64());
        }
    }
    for (const auto& row : old.tables[kClassJoins].rows) {
        if (row[0].isNull() || row[1].isNull()) {
            ++incompleteJoins;
        } else if (meaning.count(row[0].toInt64()) == 0 || classIds.count(row[1].toInt64()) == 0) {
            ++unknownJoins;
        } else if (!joins.insert({row[0].toInt64(), row[1].toInt64()}).second) {
            ++repeatedJoins;
        } else {
            members[row[1].toInt64()].push_back(row[0].toInt64());
        }
    }
    std::set<std::int64_t> writtenClasses;
    std::unordered_map<std::int64_t, int> semitoneOf;
    for (auto* row : byId(old.tables[kClasses], "tblClassLookup", report)) {
        const std::int64_t id = (*row)[0].toInt64();
        const Value& representative = (*row)[1];
        if (representative.isNull() || meaning.count(representative.toInt64()) == 0) {
            report.dropped.push_back("class " + std::to_string(id) + ": it stands for "
                                     + (representative.isNull()
                                            ? std::string("no pitch")
                                            : "pitch " + representative.toText() + ", which is not in tblPitchLookup"));
            continue;
        }
        std::vector<std::int64_t> candidates {representative.toInt64()};
        std::sort(members[id].begin(), members[id].end());
        candidates.insert(candidates.end(), members[id].begin(), members[id].end());
        Value semitone;
        for (const std::int64_t pitch : candidates) {
            if (meaning[pitch]) {
                semitone = Value(std::int64_t {meaning[pitch]->classId - 1});
                semitoneOf[id] = meaning[pitch]->classId - 1;
                ++report.semitonesDerived;
                break;
            }
        }
        if (semitone.isNull()) {
            report.notDerived.push_back("class " + std::to_string(id)
                                        + ": no spelling of its pitches follows the scheme, so it has no semitone "
                                          "and the melodic search does not see it");
        }
        connection.execute("INSERT INTO tblClassLookup (iClassID, iPitchID, iSemitone) VALUES (?, ?, ?)",
                           {Value(id), representative, semitone});
        writtenClasses.insert(id);
        ++written[kClasses];
    }
    auto& classIndexesOf = result.classIndexesOf;
    const std::vector<std::int64_t> classOrder(writtenClasses.begin(), writtenClasses.end());
    result.classCount = classOrder.size();
    for (const auto& [pitch, pitchClass] : joins) {
        if (writtenClasses.count(pitchClass) == 0) {
            ++unknownJoins;
            continue;
        }
        connection.execute("INSERT INTO tblPitchClassJoin (iPitchID, iClassID) VALUES (?, ?)",
                           {Value(pitch), Value(pitchClass)});
        ++written[kClassJoins];
        const auto at = std::lower_bound(classOrder.begin(), classOrder.end(), pitchClass) - classOrder.begin();
        classIndexesOf[pitch].push_back(static_cast<std::size_t>(at));
        const auto* sense = meaning[pitch];
        if (sense && semitoneOf.count(pitchClass) && semitoneOf[pitchClass] != sense->classId - 1) {
            report.notes.push_back("pitch " + std::to_string(pitch) + " \"" + spellingOf[pitch] + "\" is in class "
                                   + std::to_string(pitchClass) + ", which its spelling does not sound in");
        }
    }
    dropRows(report, incompleteJoins, "tblPitchClassJoin", "without a pitch or a class");
    dropRows(report, unknownJoins, "tblPitchClassJoin", "naming a pitch or class that does not exist");
    dropRows(report, repeatedJoins, "tblPitchClassJoin", "repeating another");
    for (const auto& [id, spelling] : std::map<std::int64_t, std::string>(spellingOf.begin(), spellingOf.end())) {
        if (classIndexesOf.count(id) == 0) {
            report.notes.push_back("pitch " + std::to_string(id) + " \"" + spelling
                                   + "\" belongs to no pitch class, as in the old file: it counts in a movement's "
                                     "total but in no class");
        }
    }

    return result;
}

/// The deviation the tabulations page gives a sequence: class counts in ascending iClassID (a pitch in two classes
/// counts in both, as the class statement counts), over the number of positions.
float deviationOf(const std::vector<std::int64_t>& sequence, const PitchMeaning& sense)
{
    std::vector<std::optional<std::int64_t>> counts(sense.classCount);
    for (const std::int64_t pitch : sequence) {
        const auto found = sense.classIndexesOf.find(pitch);
        if (found != sense.classIndexesOf.end()) {
            for (const std::size_t at : found->second) {
                counts[at] = counts[at].value_or(0) + 1;
            }
        }
    }
    return tabulations::averageDeviation(counts, static_cast<std::int64_t>(sequence.size()));
}

/// Writes the movements and their sequences with their ids, dropping sequence rows that belong nowhere, with each
/// Deviation computed from the pitches. Returns the highest iMovementPitchID the old file used.
std::int64_t writeMovements(store::Connection& connection,
                            OldCatalogue& old,
                            ImportReport& report,
                            std::array<std::size_t, 5>& written,
                            const PitchMeaning& sense)
{
    // Sequences, in id order: rows of movements that no longer exist, or naming unknown pitches, are dropped.
    const auto movements = byId(old.tables[kMovements], "tblMovement", report);
    std::set<std::int64_t> movementIds;
    for (const auto* row : movements) {
        movementIds.insert((*row)[0].toInt64());
    }
    std::int64_t highestPosition = 0;
    std::size_t unknownPitches = 0;
    std::size_t incompletePositions = 0;
    std::vector<pitches::StoredPosition> positions;
    std::unordered_map<std::int64_t, std::vector<std::int64_t>> sequenceOf;
    for (const auto* row : byId(old.tables[kSequences], "tblMovementPitchJoin", report)) {
        const std::int64_t id = (*row)[0].toInt64();
        highestPosition = std::max(highestPosition, id);
        if ((*row)[1].isNull() || (*row)[2].isNull()) {
            ++incompletePositions;
            continue;
        }
        const std::int64_t movement = (*row)[1].toInt64();
        const std::int64_t pitch = (*row)[2].toInt64();
        if (movementIds.count(movement) == 0) {
            ++report.orphanRows[movement];
        } else if (sense.meaning.count(pitch) == 0) {
            ++unknownPitches;
        } else {
            positions.push_back({id, movement, static_cast<std::int32_t>(pitch)});
            sequenceOf[movement].push_back(pitch);
        }
    }
    dropRows(report, incompletePositions, "tblMovementPitchJoin", "without a movement or a pitch");
    dropRows(report, unknownPitches, "tblMovementPitchJoin", "naming a pitch that is not in tblPitchLookup");

    // Movements with their ids; Deviation as the tabulations compute it from the pitches.
    std::string names;
    std::string marks;
    for (const TargetColumn& column : tableSpecs()[kMovements].columns) {
        names += (names.empty() ? "" : ", ") + std::string(column.name);
        marks += marks.empty() ? "?" : ", ?";
    }
    const std::string insert = "INSERT INTO tblMovement (" + names + ") VALUES (" + marks + ")";
    // A layout without the column has no figures to compare with; the report says the column was missing.
    const bool noDeviations = std::find(old.missingColumns.begin(), old.missingColumns.end(), "tblMovement.Deviation")
        != old.missingColumns.end();
    for (auto* row : movements) {
        const std::int64_t id = (*row)[0].toInt64();
        const auto& sequence = sequenceOf[id];
        const std::string newText = store::formatSingle(deviationOf(sequence, sense));
        Value& stored = (*row)[kDeviationColumn];
        const std::optional<std::string> oldText
            = stored.isNull() ? std::nullopt : std::optional<std::string>(store::formatNumber(stored.toDouble()));
        if (oldText != newText && !noDeviations) {
            report.deviations.push_back({id, oldText, newText});
        }
        stored = Value(std::stod(newText));
        connection.execute(insert, *row);
        ++written[kMovements];
    }

    pitches::insertStoredPositions(connection, positions);
    written[kSequences] = positions.size();
    return highestPosition;
}

/// Writes the old catalogue into the new file's connection, in one transaction.
void writeNew(store::Connection& connection,
              OldCatalogue& old,
              ImportReport& report,
              const std::function<void(const ImportProgress&)>& progress)
{
    const auto tell = [&](int percent, const std::string& stage) {
        if (progress) {
            progress({percent, stage});
        }
    };
    store::Transaction transaction(connection);
    std::array<std::size_t, 5> written {};
    tell(kReadShare, "writing the pitches");
    const PitchMeaning sense = writeReferenceData(connection, old, report, written);
    tell(kReadShare + kWriteShare / 2, "writing the movements and their sequences");
    const std::int64_t highestPosition = writeMovements(connection, old, report, written, sense);
    // Ids keep counting above every id the old file used, also those of sequence rows not carried over (the
    // movements' and the positions' own highest ids count already, as every row is written with its id).
    if (highestPosition > 0) {
        connection.execute("INSERT INTO sqlite_sequence (name, seq) SELECT 'tblMovementPitchJoin', 0 WHERE NOT EXISTS "
                           "(SELECT 1 FROM sqlite_sequence WHERE name = 'tblMovementPitchJoin')");
        connection.execute("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = 'tblMovementPitchJoin'",
                           {Value(highestPosition)});
    }

    tell(kReadShare + kWriteShare, "building the melody index");
    melody::rebuildMelodyIndex(connection);
    transaction.commit();

    for (std::size_t t = 0; t < tableSpecs().size(); ++t) {
        report.tables.push_back({tableSpecs()[t].name, old.tables[t].rows.size(), written[t]});
    }
    // The report lists the movements first, as the catalogue does.
    std::rotate(report.tables.begin(), report.tables.begin() + kMovements, report.tables.begin() + kSequences);
}

} // namespace

namespace
{

/// Refuses a target that is the old file itself, or that exists when it may not be replaced.
fs::path checkTarget(const std::string& oldFile, const std::string& newFile, bool replace)
{
    std::error_code error;
    const fs::path target = fs::absolute(newFile, error).lexically_normal();
    if (fs::exists(oldFile, error) && fs::exists(target, error) && fs::equivalent(oldFile, target, error)) {
        throw store::StoreError(target.string() + " is the old file itself; the new catalogue needs another name.");
    }
    if (!replace && fs::exists(target, error)) {
        throw store::StoreError(target.string() + " already exists; it was left as it is (--force replaces it).");
    }
    return target;
}

ImportReport writeImport(OldCatalogue& old,
                         const std::string& source,
                         const fs::path& target,
                         bool replace,
                         const std::function<void(const ImportProgress&)>& progress)
{
    ImportReport report;
    report.oldFile = source;
    report.newFile = target.string();
    report.format = old.format;
    report.missingColumns = old.missingColumns;
    for (const auto& column : old.extraColumns) {
        report.dropped.push_back("the column " + column + ", which the catalogue does not have");
    }
    createCatalogueFile(
        target.string(), replace, [&](store::Connection& connection) { writeNew(connection, old, report, progress); },
        false);
    if (progress) {
        progress({100, "done"});
    }
    return report;
}

} // namespace

ImportReport importCatalogue(const std::string& oldFile,
                             const std::string& newFile,
                             bool replace,
                             const std::function<void(const ImportProgress&)>& progress)
{
    const fs::path target = checkTarget(oldFile, newFile, replace);
    const LegacyDatabase database = LegacyDatabase::open(oldFile);
    OldCatalogue old = readOld(database, progress);
    return writeImport(old, database.file(), target, replace, progress);
}

ImportReport importTables(std::vector<legacy::LegacyTable> tables,
                          const std::string& source,
                          const std::string& newFile,
                          bool replace)
{
    const fs::path target = checkTarget(source, newFile, replace);
    std::array<legacy::LegacyTable*, 5> found {};
    std::array<std::vector<legacy::LegacyColumn>, 5> columns;
    std::vector<std::string> missing;
    std::vector<std::string> present;
    for (auto& table : tables) {
        present.push_back(table.name);
    }
    for (std::size_t t = 0; t < tableSpecs().size(); ++t) {
        for (auto& table : tables) {
            legacy::LegacyTable named;
            named.columns = {{table.name, legacy::ColumnKind::Other, {}}};
            if (named.columnIndex(tableSpecs()[t].name)) {
                found[t] = &table;
                columns[t] = table.columns;
            }
        }
        if (!found[t]) {
            missing.emplace_back(tableSpecs()[t].name);
        }
    }
    if (!missing.empty()) {
        missingTables(source, missing, present);
    }
    const Layout layout = layoutOf(source, columns);
    OldCatalogue old;
    old.format = "tables given";
    old.missingColumns = layout.missingColumns;
    old.extraColumns = layout.extraColumns;
    for (std::size_t t = 0; t < tableSpecs().size(); ++t) {
        old.tables[t] = project(*found[t], t, layout);
    }
    return writeImport(old, source, target, replace, {});
}

std::string ImportReport::text() const
{
    std::ostringstream out;
    out << "Imported " << oldFile << " (" << format << ")\n    into " << newFile << "\n\n";
    out << "Rows                        read   written\n";
    const auto padded = [](std::string text, std::size_t width, bool left) {
        const std::string fill(text.size() < width ? width - text.size() : 0, ' ');
        return left ? text + fill : fill + text;
    };
    for (const TableCount& count : tables) {
        out << "  " << padded(count.table, 22, true) << padded(std::to_string(count.read), 8, false)
            << padded(std::to_string(count.written), 10, false) << '\n';
    }
    out << "\nDropped:\n";
    std::size_t orphans = 0;
    std::vector<std::string> orphanList;
    for (const auto& [movement, rows] : orphanRows) {
        orphans += rows;
        orphanList.push_back(std::to_string(movement) + " (" + std::to_string(rows) + ")");
    }
    if (orphans > 0) {
        out << "  " << plural(orphans, "sequence row", "sequence rows") << " of "
            << plural(orphanRows.size(), "movement", "movements") << " that no longer exist: " << joined(orphanList)
            << '\n';
    }
    for (const auto& line : dropped) {
        out << "  " << line << '\n';
    }
    if (orphans == 0 && dropped.empty()) {
        out << "  nothing\n";
    }

    out << "\nChanged:\n";
    out << "  Deviation computed from the pitches of every movement; ";
    if (deviations.empty()) {
        out << "no stored figure differed\n";
    } else {
        out << plural(deviations.size(), "movement", "movements") << " had another figure stored (old -> new):\n";
    }
    for (const auto& change : deviations) {
        out << "    movement " << change.movementId << ": " << change.oldText.value_or("none") << " -> "
            << change.newText << '\n';
    }

    out << "\nDerived:\n";
    out << "  " << plural(glyphsDerived, "glyph text", "glyph texts")
        << " in the pitch font from the spellings (txtVelkFont); the old glyph texts are kept in txtOldVelkFont\n";
    out << "  " << plural(semitonesDerived, "class semitone", "class semitones")
        << " from the spellings (tblClassLookup.iSemitone)\n";
    if (notDerived.empty()) {
        out << "  everything else the catalogue needs was there\n";
    } else {
        out << "  could not be derived:\n";
        for (const auto& line : notDerived) {
            out << "    " << line << '\n';
        }
    }

    if (!missingColumns.empty() || !notes.empty()) {
        out << "\nNotes:\n";
        if (!missingColumns.empty()) {
            out << "  the old file has no column " << joined(missingColumns)
                << ": left Null (Yes/No as No, Deviation computed)\n";
        }
        for (const auto& line : notes) {
            out << "  " << line << '\n';
        }
    }
    return out.str();
}

} // namespace velk::tools
