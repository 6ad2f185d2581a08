// velk-catalogue melody: the melodic search of the Find By Melody window on the command line, and the rebuilding
// of the melody index it reads.

#include "tools/Commands.h"

#include "melody/MelodyIndex.h"
#include "melody/MelodySearch.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Text.h"

#include <iostream>
#include <stdexcept>

namespace
{

int reindex(const std::string& file)
{
    velk::store::Connection connection
        = velk::store::Connection::open(velk::store::connectionStringForFile(file), velk::store::AccessMode::ReadWrite);
    if (connection.isReadOnly()) {
        throw std::runtime_error("The catalogue " + connection.path()
                                 + " is read-only, so its melody index cannot be rebuilt.");
    }
    velk::melody::rebuildMelodyIndex(connection);
    const auto rows = velk::melody::melodyIndexSize(connection);
    std::cout << "The melody index of " << connection.path() << " was rebuilt: " << rows
              << (rows == 1 ? " position" : " positions") << " indexed.\n";
    return 0;
}

int runMelodyCommand(const std::vector<std::string>& args)
{
    const auto arguments = velk::tools::parseArguments(args, {"--classes", "--transposed", "--reindex"}, 1, 2);
    if (arguments.has("--reindex")) {
        if (arguments.positional.size() != 1 || arguments.has("--classes") || arguments.has("--transposed")) {
            throw velk::tools::UsageError("--reindex takes the catalogue file alone");
        }
        return reindex(arguments.positional[0]);
    }
    if (arguments.positional.size() != 2) {
        throw velk::tools::UsageError("give the catalogue file and the spellings of the melody");
    }
    velk::tools::requireUtf8("the melody", arguments.positional[1]);
    if (arguments.has("--classes") && arguments.has("--transposed")) {
        throw velk::tools::UsageError("--classes and --transposed exclude each other");
    }
    const auto mode = arguments.has("--transposed") ? velk::melody::Mode::Transposed
        : arguments.has("--classes")                ? velk::melody::Mode::Classes
                                                    : velk::melody::Mode::Exact;
    // One search: reading the catalogue once costs less than keeping its sequences in memory.
    const auto result = velk::melody::findMelodyInCatalogue(
        velk::store::connectionStringForFile(arguments.positional[0]), arguments.positional[1], mode);
    if (!result) {
        throw std::runtime_error(result.message());
    }
    // The window's column headers.
    const auto& headers = velk::melody::resultHeaders();
    for (std::size_t i = 0; i < headers.size(); ++i) {
        std::cout << (i == 0 ? "" : "\t") << headers[i];
    }
    std::cout << '\n';
    for (const auto& row : result->rows) {
        const auto cells = row.cells();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            std::cout << (i == 0 ? "" : "\t") << cells[i];
        }
        std::cout << '\n';
    }
    std::cout << velk::store::shownText(result->statusText) << '\n';
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"melody",
                       "finds a melody in the pitch sequences (exact spellings unless --classes or --transposed), or "
                       "rebuilds the melody index",
                       "FILE \"SPELLINGS\" [--classes|--transposed] | FILE --reindex", &runMelodyCommand});
