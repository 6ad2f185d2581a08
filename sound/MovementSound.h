#pragma once

#include "pitches/Notation.h"
#include "sound/Player.h"
#include "store/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velk::sound
{

/// A movement's line in its octave setting, read on a read-only connection of its own. A failure's message names
/// the catalogue (it cannot be read, or has no movement of that id).
store::Result<pitches::NotatedLine> readMovementLine(const std::string& connectionString, std::int64_t movementId);

/// What Play says in the melodic search before anything was found.
inline constexpr const char* kNoRunToPlay = "Find a melody first: Play plays the run of the selected result.";

/// Plays count positions of a movement's line from the 1-based position first (a run the melodic search found).
/// The value is the status text; a failure says why nothing plays.
store::Result<std::string> playRun(Player& player,
                                   const std::string& connectionString,
                                   std::int64_t movementId,
                                   std::int64_t first,
                                   std::size_t count,
                                   int tempo);

} // namespace velk::sound
