// velk-catalogue tabulate: the tabulations page of the movement window, on the command line.

#include "tools/Commands.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ResultSet.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"

#include <charconv>
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

/// The deviation as the window stores it: the double that the single-precision figure reads as.
double storedDeviation(const tabulations::Tabulation& tabulation)
{
    double value = 0;
    const std::string& text = tabulation.deviationText;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

int storeDeviations(const std::string& connectionString, const std::vector<std::pair<std::int64_t, double>>& values)
{
    auto connection = store::Connection::open(connectionString, store::AccessMode::ReadWrite);
    int updated = 0;
    {
        store::Transaction transaction(connection);
        for (const auto& [id, deviation] : values) {
            updated += connection.execute("update tblMovement set Deviation = ? where iMovementID = ?",
                                          {store::Value(deviation), store::Value(id)});
        }
        transaction.commit();
    }
    connection.close();
    return updated;
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
        deviations.emplace_back(movements[i].id, storedDeviation(tabulation));
    }
    if (arguments.has("--store")) {
        const int updated = storeDeviations(connectionString, deviations);
        std::cout << (movements.empty() ? "" : "\n") << "Deviation stored for " << updated
                  << (updated == 1 ? " movement.\n" : " movements.\n");
    }
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"tabulate",
                       "print the pitch tabulations and deviation of one movement or of all (--store writes the "
                       "deviations)",
                       "FILE [ID] [--store]", &runTabulate});

} // namespace velk::tools
