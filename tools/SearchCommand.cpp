// velk-catalogue search: the subject search of the search window, on the command line.

#include "tools/Commands.h"

#include "search/SubjectSearch.h"
#include "store/ConnectionString.h"

#include <iostream>
#include <stdexcept>

namespace
{

int runSearchCommand(const std::vector<std::string>& args)
{
    const auto arguments = velk::tools::parseArguments(args, {"--exact", "--by-deviation"}, 2, 2);
    const velk::search::SearchRequest request {arguments.positional[1], !arguments.has("--exact"),
                                               arguments.has("--by-deviation")};
    const auto result = velk::search::runSearch(velk::store::connectionStringForFile(arguments.positional[0]), request);
    if (!result.ok) {
        throw std::runtime_error(result.error);
    }
    // One line per row: tabs and line breaks inside a cell become blanks so that each row stays one line.
    std::cout << velk::search::joinCells(velk::search::resultHeaders(), true) << '\n';
    for (const auto& row : result.rows) {
        std::cout << velk::search::joinCells(row, true) << '\n';
    }
    std::cout << result.statusText << '\n';
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"search", "list the movements that carry a subject (containing the text unless --exact)",
                       "FILE TEXT [--exact] [--by-deviation]", &runSearchCommand});
