#include "tools/CatalogueCheck.h"

#include "melody/MelodyIndex.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/Text.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"

#include <filesystem>
#include <map>
#include <system_error>

namespace velk::tools
{

namespace
{

using store::Value;

std::string lowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

void checkReferenceData(store::Connection& connection, std::vector<std::string>& problems)
{
    const auto count = [&](const std::string& sql) {
        return connection.query(sql).rows().at(0).at(0).toInt64();
    };

    if (count("select count(*) from tblPitchLookup") == 0) {
        problems.push_back("tblPitchLookup holds no pitches.");
    }
    connection.forEachRow("select iPitchID from tblPitchLookup where txtPitch is null or txtPitch = '' order by "
                          "iPitchID",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("Pitch " + row[0].toText() + " has no spelling.");
                          });
    connection.forEachRow("select txtPitch, count(*) from tblPitchLookup where txtPitch <> '' group by txtPitch "
                          "having count(*) > 1 order by txtPitch",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("The spelling \"" + row[0].toText() + "\" is used by "
                                                 + row[1].toText() + " pitches.");
                          });

    const std::int64_t classes = count("select count(*) from tblClassLookup");
    if (classes != 12) {
        problems.push_back("tblClassLookup holds " + std::to_string(classes) + " pitch classes instead of 12.");
    }
    connection.forEachRow("select iClassID from tblClassLookup where iClassID not between 1 and 12 order by iClassID",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("The pitch class " + row[0].toText() + " lies outside 1 to 12.");
                          });
    connection.forEachRow("select c.iClassID, c.iPitchID from tblClassLookup c left join tblPitchLookup p on "
                          "p.iPitchID = c.iPitchID where p.iPitchID is null order by c.iClassID",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("The pitch class " + row[0].toText() + " stands for pitch "
                                                 + row[1].toText() + ", which is not in tblPitchLookup.");
                          });
    // A pitch in no class is allowed: it counts in a movement's total but in no class (old catalogues have one).
    connection.forEachRow("select j.iPitchID, count(*) from tblPitchClassJoin j group by j.iPitchID having count(*) > "
                          "1 order by j.iPitchID",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("Pitch " + row[0].toText() + " belongs to " + row[1].toText()
                                                 + " pitch classes.");
                          });
}

void checkSequences(store::Connection& connection, std::vector<std::string>& problems)
{
    connection.forEachRow("select j.iMovementPitchID, j.iMovementID from tblMovementPitchJoin j where not exists "
                          "(select 1 from tblMovement m where m.iMovementID = j.iMovementID) order by "
                          "j.iMovementPitchID",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("Sequence row " + row[0].toText() + " belongs to movement "
                                                 + row[1].toText() + ", which does not exist.");
                          });
    connection.forEachRow("select j.iMovementPitchID, j.iPitchID from tblMovementPitchJoin j where not exists "
                          "(select 1 from tblPitchLookup p where p.iPitchID = j.iPitchID) order by "
                          "j.iMovementPitchID",
                          {}, [&](const std::vector<Value>& row) {
                              problems.push_back("Sequence row " + row[0].toText() + " names pitch " + row[1].toText()
                                                 + ", which is not in tblPitchLookup.");
                          });
}

void checkDeviations(store::Connection& connection, const std::string& file, std::vector<std::string>& problems)
{
    for (const auto& stale : tabulations::staleDeviations(connection)) {
        const std::string stored = stale.stored
            ? "the deviation " + store::formatSingle(static_cast<float>(*stale.stored))
            : std::string("no deviation");
        problems.push_back("Movement " + std::to_string(stale.movementId) + " (KTN " + stale.ktn + ", Mvt. "
                           + stale.mvmt + ") stores " + stored + ", but its pitches give "
                           + store::formatSingle(stale.deviation) + "; velk-catalogue tabulate " + file
                           + " --store mends it.");
    }
}

/// Text that is not UTF-8, which another program can store: the window would show it garbled and could not
/// search for it as typed.
void checkTextEncoding(store::Connection& connection, std::vector<std::string>& problems)
{
    struct TextColumns
    {
        const char* table;
        const char* key;
        const char* what;
        std::vector<const char*> columns;
    };
    const std::vector<TextColumns> tables {
        {"tblMovement",
         "iMovementID",
         "Movement",
         {"txtComposed", "strOpeningKey", "strClosingKey", "Sub1", "Sub2", "Sub3", "Sub4", "Sub5", "Sub6",
          "Description", "txtComments"}},
        {"tblPitchLookup", "iPitchID", "Pitch", {"txtPitch", "txtVelkFont"}},
    };
    for (const TextColumns& table : tables) {
        std::string sql = std::string("select ") + table.key;
        for (const char* column : table.columns) {
            sql += std::string(", ") + column;
        }
        sql += std::string(" from ") + table.table + " order by " + table.key;
        connection.forEachRow(sql, {}, [&](const std::vector<Value>& row) {
            for (std::size_t i = 0; i < table.columns.size(); ++i) {
                const Value& value = row[i + 1];
                if (value.isText() && !store::isUtf8(value.toText())) {
                    problems.push_back(std::string(table.what) + " " + row[0].toText() + ": " + table.columns[i]
                                       + " holds text that is not UTF-8: \"" + value.toText() + "\".");
                }
            }
        });
    }
}

void checkStorage(store::Connection& connection, std::vector<std::string>& problems)
{
    connection.forEachRow("PRAGMA integrity_check", {}, [&](const std::vector<Value>& row) {
        if (row[0].toText() != "ok") {
            problems.push_back("The integrity check reports: " + row[0].toText() + ".");
        }
    });
    // The sequence rows were reported above, in words.
    connection.forEachRow("PRAGMA foreign_key_check", {}, [&](const std::vector<Value>& row) {
        if (row[0].toText() != "tblMovementPitchJoin") {
            problems.push_back("Row " + row[1].toText() + " of " + row[0].toText() + " points at a row of "
                               + row[2].toText() + " that does not exist.");
        }
    });
}

} // namespace

namespace
{

std::vector<std::string> problemsOf(const std::string& file, bool requireMark)
{
    store::Connection connection = store::Connection::openRaw(file, store::AccessMode::ReadOnly);
    std::error_code error;
    if (std::filesystem::file_size(file, error) == 0 && !error) {
        throw store::StoreError(connection.path() + " is not a Velk catalogue: the file is empty.");
    }
    std::vector<std::string> problems;
    std::int64_t applicationId = 0;
    try {
        applicationId = connection.query("PRAGMA application_id").rows().at(0).at(0).toInt64();
        problems = store::schemaProblems(connection);
    } catch (const store::StoreError& failure) {
        if (!failure.isNotADatabase()) {
            throw;
        }
        throw store::StoreError(connection.path() + " is not a Velk catalogue: file is not a database.");
    }
    if (applicationId != store::kApplicationId) {
        if (requireMark || problems.size() != 1 || applicationId != 0) {
            throw store::StoreError(connection.path() + " is not a Velk catalogue: " + lowerFirst(problems.front())
                                    + ".");
        }
        problems.clear(); // the missing mark is all that is wrong with the schema
    }
    if (!problems.empty()) {
        return problems; // the remaining checks need the tables
    }
    checkReferenceData(connection, problems);
    checkSequences(connection, problems);
    checkDeviations(connection, file, problems);
    checkTextEncoding(connection, problems);
    // Older catalogues have no melody index; one that exists must agree with the sequences.
    if (melody::hasMelodyIndex(connection)) {
        for (auto& problem : melody::melodyIndexProblems(connection)) {
            problems.push_back(std::move(problem));
        }
    }
    // Older catalogues have no list of subjects in use; one that exists must agree with the movements.
    for (auto& problem : store::subjectUseProblems(connection)) {
        problems.push_back(std::move(problem));
    }
    checkStorage(connection, problems);
    return problems;
}

} // namespace

std::vector<std::string> catalogueProblems(const std::string& file)
{
    return problemsOf(file, true);
}

std::vector<std::string> unmarkedCatalogueProblems(const std::string& file)
{
    return problemsOf(file, false);
}

std::string problemKind(const std::string& problem)
{
    std::string kind;
    bool quoted = false;
    for (const char c : problem) {
        if (c == '"') {
            quoted = !quoted;
            kind += c;
        } else if (quoted) {
            continue;
        } else if (c >= '0' && c <= '9') {
            if (kind.empty() || kind.back() != '#') {
                kind += '#';
            }
        } else {
            kind += c;
        }
    }
    return kind;
}

std::vector<std::string> shownProblems(const std::vector<std::string>& problems, std::size_t perKind)
{
    std::vector<std::string> kinds;
    std::map<std::string, std::vector<const std::string*>> byKind;
    for (const std::string& problem : problems) {
        auto& ofKind = byKind[problemKind(problem)];
        if (ofKind.empty()) {
            kinds.push_back(problemKind(problem));
        }
        ofKind.push_back(&problem);
    }
    std::vector<std::string> lines;
    for (const std::string& kind : kinds) {
        const auto& ofKind = byKind[kind];
        for (std::size_t i = 0; i < ofKind.size() && i < perKind; ++i) {
            lines.push_back(store::shownText(*ofKind[i]));
        }
        if (ofKind.size() > perKind) {
            const std::size_t rest = ofKind.size() - perKind;
            lines.push_back("... and " + std::to_string(rest) + " more " + (rest == 1 ? "problem" : "problems")
                            + " of this kind.");
        }
    }
    return lines;
}

} // namespace velk::tools
