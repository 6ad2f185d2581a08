// velk-catalogue pitches: a movement's sequence as its spellings, or replaced by an incipit in Plaine & Easie Code.

#include "tools/Commands.h"

#include "melody/MelodyIndex.h"
#include "pitches/MovementLine.h"
#include "pitches/PitchLookup.h"
#include "pitches/PitchSequence.h"
#include "pitches/PlaineEasie.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"

#include <cstdint>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

void printSpellings(const std::vector<std::string>& spellings)
{
    for (std::size_t i = 0; i < spellings.size(); ++i) {
        std::cout << (i == 0 ? "" : " ") << spellings[i];
    }
    std::cout << '\n';
}

int runPitchesCommand(const std::vector<std::string>& args)
{
    const auto arguments = velk::tools::parseArguments(args, {}, {"--pae"}, 2, 2);
    const std::string& file = arguments.positional[0];
    velk::tools::requireFileName(file);
    const std::int64_t id = velk::tools::wholeNumberArgument("the movement id", arguments.positional[1], 1,
                                                             std::numeric_limits<std::int64_t>::max());
    const auto code = arguments.value("--pae");
    if (code) {
        velk::tools::requireUtf8("the Plaine & Easie Code", *code);
    }
    auto connection
        = velk::store::Connection::open(velk::store::connectionStringForFile(file),
                                        code ? velk::store::AccessMode::ReadWrite : velk::store::AccessMode::ReadOnly);
    const auto movement = velk::pitches::loadMovementLine(connection, id);
    if (!movement) {
        throw std::runtime_error("The catalogue " + connection.path() + " has no movement with the id "
                                 + std::to_string(id) + ".");
    }
    if (!code) {
        std::vector<std::string> spellings;
        for (const auto& note : movement->line.notes) {
            spellings.push_back(note.spelling);
        }
        printSpellings(spellings);
        return 0;
    }
    if (connection.isReadOnly()) {
        throw std::runtime_error("The catalogue " + connection.path()
                                 + " is read-only, so the movement's pitches cannot be replaced.");
    }
    const auto lookup = velk::pitches::PitchLookup::load(connection);
    const auto read = velk::pitches::readPae(*code, movement->line.capitalOctave, lookup);
    if (!read) {
        throw std::runtime_error(read.message() + " The movement's pitches were left as they were.");
    }
    // The whole sequence is replaced through the one store path that keeps the deviation and the melody index in
    // step with it.
    const std::vector<std::int32_t>& ids = read->pitchIds;
    const auto stored = velk::pitches::savePitches(connection, id, ids, [id, &ids](velk::store::Connection& writer) {
        velk::melody::indexMovement(writer, id, ids);
    });
    if (!stored) {
        throw std::runtime_error(stored.message());
    }
    std::cout << read->summary() << '\n';
    printSpellings(read->spellings);
    std::cout << "Deviation:\t" << stored->deviation << '\n';
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"pitches",
                       "prints a movement's pitch sequence as spellings, or replaces it by an incipit in Plaine & "
                       "Easie Code",
                       "FILE MOVEMENT_ID [--pae \"CODE\"]", &runPitchesCommand});
