// velk-catalogue export: a movement's line or the whole catalogue written for other programs.

#include "tools/Commands.h"

#include "exchange/Csv.h"
#include "exchange/MusicXml.h"
#include "pitches/MovementLine.h"
#include "pitches/PlaineEasie.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"

#include <iostream>
#include <limits>
#include <stdexcept>

namespace
{

int runExportCommand(const std::vector<std::string>& args)
{
    const auto arguments = velk::tools::parseArguments(args, {"--pae"}, {"--musicxml", "--csv"}, 1, 2);
    const std::string& file = arguments.positional[0];
    velk::tools::requireFileName(file);
    const std::string connectionString = velk::store::connectionStringForFile(file);
    const int outputs
        = (arguments.has("--musicxml") ? 1 : 0) + (arguments.has("--csv") ? 1 : 0) + (arguments.has("--pae") ? 1 : 0);
    if (outputs != 1) {
        throw velk::tools::UsageError("Name one output: --musicxml OUT.musicxml or --pae with a movement id, or "
                                      "--csv OUT.csv.");
    }
    if (arguments.has("--pae")) {
        if (arguments.positional.size() != 2) {
            throw velk::tools::UsageError("--pae writes one movement: give its id after the file.");
        }
        const auto id = velk::tools::wholeNumberArgument("the movement id", arguments.positional[1], 1,
                                                         std::numeric_limits<std::int64_t>::max());
        auto connection = velk::store::Connection::open(connectionString, velk::store::AccessMode::ReadOnly);
        const auto movement = velk::pitches::loadMovementLine(connection, id);
        if (!movement) {
            throw std::runtime_error("The catalogue " + connection.path() + " has no movement with the id "
                                     + std::to_string(id) + ".");
        }
        const auto code = velk::pitches::writePae(movement->line);
        if (!code) {
            throw std::runtime_error(code.message());
        }
        std::cout << code.value() << '\n';
        return 0;
    }
    if (const auto out = arguments.value("--musicxml")) {
        if (arguments.positional.size() != 2) {
            throw velk::tools::UsageError("--musicxml writes one movement: give its id after the file.");
        }
        velk::tools::requireFileName(*out);
        const auto id = velk::tools::wholeNumberArgument("the movement id", arguments.positional[1], 1,
                                                         std::numeric_limits<std::int64_t>::max());
        const auto written = velk::exchange::exportMusicXml(connectionString, id, *out);
        if (!written) {
            throw std::runtime_error(written.message());
        }
        return 0;
    }
    const auto out = arguments.value("--csv");
    if (arguments.positional.size() != 1) {
        throw velk::tools::UsageError("--csv writes every movement: give no movement id.");
    }
    velk::tools::requireFileName(*out);
    const auto written = velk::exchange::exportCsv(connectionString, velk::exchange::Selection::all(), *out);
    if (!written) {
        throw std::runtime_error(written.message());
    }
    std::cout << written.value() << " movement(s) written to " << *out << '\n';
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"export", "write a movement's line as MusicXML or Plaine & Easie Code, or every movement as CSV",
                       "FILE ID --musicxml OUT.musicxml | FILE ID --pae | FILE --csv OUT.csv", &runExportCommand});
