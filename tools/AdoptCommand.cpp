// velk-catalogue adopt: marks a complete catalogue made by another tool as a Velk catalogue, once it passes the check.

#include "tools/CatalogueCheck.h"
#include "tools/Commands.h"

#include "store/Connection.h"
#include "store/Schema.h"
#include "store/Text.h"

#include <iostream>

namespace velk::tools
{

namespace
{

int runAdopt(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {}, 1, 1);
    const std::string& file = arguments.positional[0];
    requireFileName(file);
    const std::string shown = store::shownText(file);
    {
        store::Connection connection = store::Connection::openRaw(file, store::AccessMode::ReadOnly);
        if (connection.query("PRAGMA application_id").rows().at(0).at(0).toInt64() == store::kApplicationId) {
            std::cout << shown << ": already a Velk catalogue; nothing was changed\n";
            return 0;
        }
    }
    const std::vector<std::string> problems = unmarkedCatalogueProblems(file);
    if (!problems.empty()) {
        for (const std::string& line : shownProblems(problems, 20)) {
            std::cout << shown << ": " << line << '\n';
        }
        std::cout << shown << ": not adopted; nothing was changed\n";
        return 1;
    }
    store::Connection connection = store::Connection::openRaw(file, store::AccessMode::ReadWrite);
    if (connection.isReadOnly()) {
        throw std::runtime_error("The catalogue " + connection.path() + " is read-only, so it cannot be marked.");
    }
    connection.executeScript("PRAGMA application_id = " + std::to_string(store::kApplicationId));
    connection.close();
    std::cout << shown << ": sound, and now marked as a Velk catalogue\n";
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"adopt", "mark a complete catalogue made by another tool as a Velk catalogue, if it is sound",
                       "FILE", &runAdopt});

} // namespace velk::tools
