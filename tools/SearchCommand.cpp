// velk-catalogue search: the subject search of the search window, on the command line.

#include "tools/Commands.h"

#include "search/SubjectSearch.h"
#include "store/ConnectionString.h"
#include "store/Text.h"

#include <iostream>
#include <stdexcept>

namespace
{

/// One output line of cells: tabs and line breaks inside a cell become blanks so that each row stays one line,
/// and control characters and bytes that are not UTF-8 are shown escaped.
std::string outputLine(const std::vector<std::string>& cells)
{
    std::vector<std::string> shown;
    shown.reserve(cells.size());
    for (const auto& cell : cells) {
        shown.push_back(velk::store::shownText(velk::search::joinCells({cell}, true)));
    }
    return velk::search::joinCells(shown, true);
}

int runSearchCommand(const std::vector<std::string>& args)
{
    const auto arguments = velk::tools::parseArguments(args, {"--exact", "--by-deviation"}, 2, 2);
    velk::tools::requireUtf8("the search text", arguments.positional[1]);
    const velk::search::SearchRequest request {arguments.positional[1], !arguments.has("--exact"),
                                               arguments.has("--by-deviation")};
    const auto result = velk::search::runSearch(velk::store::connectionStringForFile(arguments.positional[0]), request);
    if (!result) {
        throw std::runtime_error(result.message());
    }
    std::cout << outputLine(velk::search::resultHeaders()) << '\n';
    for (const auto& row : result->rows) {
        std::cout << outputLine(row) << '\n';
    }
    std::cout << velk::store::shownText(result->statusText) << '\n';
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"search", "list the movements that carry a subject (containing the text unless --exact)",
                       "FILE TEXT [--exact] [--by-deviation]", &runSearchCommand});
