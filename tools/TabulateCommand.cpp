// velk-catalogue tabulate: the tabulations page of the movement window, on the command line.

#include "tools/Commands.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ResultSet.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"

#include <cstdint>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velk::tools
{

namespace
{

struct MovementName
{
    std::int64_t id;
    std::string ktn;
    std::string mvmt;
};

/// The movements to tabulate, in catalogue order: all of them, or the one with the given id.
std::vector<MovementName> movementsToTabulate(const std::string& connectionString,
                                              const std::optional<std::int64_t>& id)
{
    auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
    const std::string columns = "select iMovementID, iKTN, iMvmt from tblMovement";
    const store::ResultSet rows = id ? connection.query(columns + " where iMovementID = ?", {store::Value(*id)})
                                     : connection.query(columns + " order by iKTN, imvmt, iOrder");
    std::vector<MovementName> movements;
    for (const auto& row : rows.rows()) {
        movements.push_back({row.at(0).toInt64(), row.at(1).toText(), row.at(2).toText()});
    }
    connection.close();
    return movements;
}

void printRows(const char* header, const std::vector<tabulations::TabulationRow>& rows)
{
    std::cout << header << "\tCount\t%\n";
    for (const auto& row : rows) {
        std::cout << row.glyph << '\t' << row.countText << '\t' << row.percentText << '\n';
    }
}

void printTabulation(const MovementName& movement, const tabulations::Tabulation& tabulation)
{
    std::cout << "KTN:\t" << movement.ktn << "\tMvt.:\t" << movement.mvmt << "\tid:\t" << movement.id << '\n';
    std::cout << "Total Pitch Count:\t" << tabulation.total << '\n';
    printRows("Class", tabulation.classRows);
    printRows("Pitch", tabulation.realRows);
    std::cout << "Average Deviation from 8.3%:\t" << tabulation.deviationText << '\n';
}

/// Writes each figure whose stored value differs from it; returns how many were written.
int storeDeviations(const std::string& connectionString, const std::vector<std::pair<std::int64_t, double>>& values)
{
    auto connection = store::Connection::open(connectionString, store::AccessMode::ReadWrite);
    int changed = 0;
    {
        store::Transaction transaction(connection);
        for (const auto& [id, deviation] : values) {
            changed += connection.execute(
                "update tblMovement set Deviation = ? where iMovementID = ? and Deviation is not ?",
                {store::Value(deviation), store::Value(id), store::Value(deviation)});
        }
        transaction.commit();
    }
    connection.close();
    return changed;
}

std::string storedMessage(int changed, std::size_t movements)
{
    const std::string of = std::to_string(movements) + (movements == 1 ? " movement" : " movements");
    if (changed == 0) {
        return "Every stored deviation was up to date (" + of + "); nothing was changed.";
    }
    return "Deviation changed for " + std::to_string(changed) + " of " + of + ".";
}

int runTabulate(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {"--store"}, 1, 2);
    const std::string connectionString = store::connectionStringForFile(arguments.positional[0]);
    std::optional<std::int64_t> id;
    if (arguments.positional.size() == 2) {
        id = store::parseWholeNumber(arguments.positional[1]);
        if (!id) {
            throw UsageError("the movement id " + arguments.positional[1]
                             + (store::isOutOfRangeWholeNumber(arguments.positional[1]) ? " is too large"
                                                                                        : " is not a whole number"));
        }
    }

    const std::vector<MovementName> movements = movementsToTabulate(connectionString, id);
    if (id && movements.empty()) {
        throw std::runtime_error(arguments.positional[0] + " holds no movement with the id " + std::to_string(*id)
                                 + ".");
    }
    std::vector<std::pair<std::int64_t, double>> deviations;
    for (std::size_t i = 0; i < movements.size(); ++i) {
        const tabulations::Tabulation tabulation = tabulations::tabulate(connectionString, movements[i].id);
        if (i > 0) {
            std::cout << '\n';
        }
        printTabulation(movements[i], tabulation);
        deviations.emplace_back(movements[i].id, tabulations::storedDeviation(tabulation.deviation));
    }
    if (arguments.has("--store")) {
        const int changed = storeDeviations(connectionString, deviations);
        std::cout << (movements.empty() ? "" : "\n") << storedMessage(changed, movements.size()) << '\n';
    }
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"tabulate",
                       "print the pitch tabulations and deviation of one movement or of all (--store writes the "
                       "deviations)",
                       "FILE [ID] [--store]", &runTabulate});

} // namespace velk::tools
