#include "tools/CatalogueCheck.h"

#include "melody/MelodyIndex.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"

#include <filesystem>
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

std::vector<std::string> catalogueProblems(const std::string& file)
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
        throw store::StoreError(connection.path() + " is not a Velk catalogue: " + lowerFirst(problems.front()) + ".");
    }
    if (!problems.empty()) {
        return problems; // the remaining checks need the tables
    }
    checkReferenceData(connection, problems);
    checkSequences(connection, problems);
    checkDeviations(connection, file, problems);
    // Older catalogues have no melody index; one that exists must agree with the sequences.
    if (melody::hasMelodyIndex(connection)) {
        for (auto& problem : melody::melodyIndexProblems(connection)) {
            problems.push_back(std::move(problem));
        }
    }
    checkStorage(connection, problems);
    return problems;
}

} // namespace velk::tools
