#pragma once

#include "exchange/CatalogueEntries.h"
#include "pitches/Notation.h"
#include "store/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::exchange
{

/// What a MusicXML score says about the movement besides its notes.
struct ScoreHeading
{
    std::optional<std::int64_t> ktn;
    std::optional<std::int64_t> mvmt;
    std::vector<std::string> subjects; ///< the subjects that are filled in, in order
    std::string partName; ///< the voices, e.g. "Soprano, Alto"; "Voice" when none is ticked
};

/// The notes of a MusicXML measure: the line is written as unstemmed quarter notes of equal length, four to a
/// measure, under a common time that is not printed and bar lines that are not drawn.
inline constexpr int kNotesPerMeasure = 4;

/// The movement's line as a MusicXML 4.0 partwise score: one part on one staff, the clef of its octave setting
/// (treble, treble with an 8 below, bass), the title from KTN and movement number and the subjects as credit text.
/// Each note carries the step, alteration and octave of its written pitch; an accidental is printed where the
/// alteration differs from the last note of that step and octave in the measure, and a cautionary one where it
/// differs from the last such note of an earlier measure (the bar lines are not drawn). A line holding a position whose
/// spelling follows no scheme (an imported vocabulary's) is refused with a message naming it and its position.
store::Result<std::string> musicXml(const ScoreHeading& heading, const pitches::NotatedLine& line);

/// The heading of a movement read from the catalogue.
ScoreHeading scoreHeading(const CatalogueEntries& entries, const MovementEntry& entry);

/// Writes one movement's line as MusicXML to outputPath. A movement that does not exist, a catalogue that cannot be
/// read or a file that cannot be written gives a finished message; nothing is thrown.
store::Result<>
exportMusicXml(const std::string& connectionString, std::int64_t movementId, const std::string& outputPath);

/// "KTN 4, movement 3" (a Null number shown as "?").
std::string movementName(const std::optional<std::int64_t>& ktn, const std::optional<std::int64_t>& mvmt);

} // namespace velk::exchange
