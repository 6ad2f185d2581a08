// velk-catalogue incipit: a movement's line on a staff, as the Pitches page draws it, written to a file.

#include "tools/Commands.h"
#include "tools/Incipit.h"

#include "pitches/MovementLine.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"

#include <cstdint>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace velk::tools
{

namespace
{

int runIncipit(const std::vector<std::string>& args)
{
    const Arguments arguments = parseArguments(args, {}, {"--out", "--notes"}, 2, 2);
    const std::string& file = arguments.positional[0];
    requireFileName(file);
    const std::int64_t id
        = wholeNumberArgument("ID", arguments.positional[1], 1, std::numeric_limits<std::int64_t>::max());
    const std::optional<std::string> out = arguments.value("--out");
    if (!out) {
        throw UsageError("Say where the incipit goes with --out OUT.svg or --out OUT.png.");
    }
    requireFileName(*out);
    const IncipitFormat format = incipitFormatOf(*out);
    std::size_t notes = std::numeric_limits<std::size_t>::max();
    if (const auto given = arguments.value("--notes")) {
        notes = static_cast<std::size_t>(
            wholeNumberArgument("--notes", *given, 1, std::numeric_limits<std::int32_t>::max()));
    }

    auto connection = store::Connection::open(store::connectionStringForFile(file), store::AccessMode::ReadOnly);
    const std::optional<pitches::MovementLine> movement = pitches::loadMovementLine(connection, id);
    connection.close();
    if (!movement) {
        std::cerr << "The catalogue " << file << " has no movement with id " << id << ".\n";
        return 1;
    }
    writeIncipit(movement->line, *out, format, notes);
    const std::size_t drawn = std::min(notes, movement->line.notes.size());
    std::cout << "Wrote " << *out << ": " << drawn << (drawn == 1 ? " note" : " notes") << " of movement " << id
              << ".\n";
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"incipit", "draws a movement's line on a staff as an SVG or PNG file",
                       "FILE ID --out OUT.svg|OUT.png [--notes N]", &runIncipit});

} // namespace velk::tools
