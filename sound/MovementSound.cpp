#include "sound/MovementSound.h"

#include "pitches/MovementLine.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/StoreError.h"

namespace velk::sound
{

store::Result<pitches::NotatedLine> readMovementLine(const std::string& connectionString, std::int64_t movementId)
{
    try {
        auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        auto line = pitches::loadMovementLine(connection, movementId);
        connection.close();
        if (!line) {
            return store::Result<pitches::NotatedLine>::failure(
                "The catalogue " + store::catalogueFileFromConnectionString(connectionString)
                + " has no movement with the id " + std::to_string(movementId) + ".");
        }
        return std::move(line->line);
    } catch (const store::StoreError& error) {
        return store::Result<pitches::NotatedLine>::failure(error.what());
    }
}

store::Result<std::string> playRun(Player& player,
                                   const std::string& connectionString,
                                   std::int64_t movementId,
                                   std::int64_t first,
                                   std::size_t count,
                                   int tempo)
{
    const auto line = readMovementLine(connectionString, movementId);
    if (!line) {
        player.stop();
        return store::Result<std::string>::failure(line.message());
    }
    if (first < 1 || static_cast<std::size_t>(first) > line->notes.size()) {
        player.stop();
        return store::Result<std::string>::failure("The movement's line no longer has a position "
                                                   + std::to_string(first) + ": search again.");
    }
    return player.play(beatsOf(line.value(), static_cast<std::size_t>(first - 1), count), tempo);
}

} // namespace velk::sound
