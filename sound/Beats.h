#pragma once

#include "pitches/Notation.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::sound
{

/// Tempi in beats a minute: a line sounds one note a beat.
inline constexpr int kDefaultTempo = 72;
inline constexpr int kSlowestTempo = 20;
inline constexpr int kFastestTempo = 240;

/// The part of its beat a note sounds: the rest lets a repeated pitch be heard as two notes.
inline constexpr double kSoundedPart = 0.9;

/// One beat of a line as it sounds.
struct Beat
{
    std::size_t position = 0; ///< 0-based position in the line
    std::optional<int> key; ///< the MIDI key that sounds; nothing for a spelling without a height (a silent beat)
};

/// The beats of the positions from (0-based) on, at most count of them; none when from is past the end.
std::vector<Beat>
beatsOf(const pitches::NotatedLine& line, std::size_t from = 0, std::size_t count = static_cast<std::size_t>(-1));

/// The length of one beat in seconds; the tempo is clamped to kSlowestTempo..kFastestTempo.
double beatSeconds(int tempo);

/// The tempo clamped to kSlowestTempo..kFastestTempo.
int clampedTempo(int tempo);

/// "Playing positions 5 to 24 at 72 beats a minute." for beats that are not empty.
std::string playingText(const std::vector<Beat>& beats, int tempo);

/// The message for a line without positions.
inline constexpr const char* kNothingToPlay = "The movement has no pitches to play.";

} // namespace velk::sound
