#pragma once

#include "melody/MelodyIndex.h"
#include "pitches/PitchLookup.h"
#include "store/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::melody
{

/// How a run of a sequence must resemble the melody searched for.
enum class Mode
{
    Exact, ///< the same pitch ids in a row
    Classes, ///< the same pitch classes in a row: enharmonic spellings are equal
    Transposed ///< the same steps between pitch classes (semitones modulo 12) from any starting class
};

/// The message for a melody without pitches.
inline constexpr const char* kTooFewPitches = "A melody needs at least 1 pitch: type the spellings separated by "
                                              "blanks, for example “c d e”.";

/// The message for a transposed search of one pitch, which would match every position that has a pitch class.
inline constexpr const char* kTransposedNeedsTwoPitches
    = "A transposed search needs at least 2 pitches: it compares the steps between them, and one pitch alone "
      "would match every position. Search for one pitch by exact spelling or by pitch class.";

/// The message for a text that is no spelling of the pitch table.
std::string unknownSpellingMessage(const std::string& spelling);

/// A melody as typed, looked up in the pitch table.
struct ParsedMelody
{
    std::vector<std::int32_t> pitchIds; ///< in order
    std::string shown; ///< the spellings joined by single blanks, as the status text quotes them
};

/// Splits the text at blanks (spaces, tabs, line breaks) and looks each spelling up exactly as the pitch entry
/// does (PitchLookup::find). Needs at least 1 pitch. A failure's message is unknownSpellingMessage of the first
/// unknown spelling, or kTooFewPitches.
store::Result<ParsedMelody> parseMelody(const pitches::PitchLookup& lookup, const std::string& spellings);

/// True when the melody occurs in the sequence starting at the 0-based index start.
bool occursAt(const std::vector<std::int32_t>& sequence,
              std::size_t start,
              const std::vector<std::int32_t>& melody,
              Mode mode,
              const PitchClasses& classes);

/// Every 1-based position at which the melody occurs in the sequence, overlapping occurrences included, in
/// ascending order. A pitch without a class never matches in Classes and Transposed. An empty melody occurs
/// nowhere; one pitch occurs wherever that pitch (Exact) or its class (Classes, Transposed) stands.
std::vector<std::int64_t> occurrences(const std::vector<std::int32_t>& sequence,
                                      const std::vector<std::int32_t>& melody,
                                      Mode mode,
                                      const PitchClasses& classes);

/// One occurrence of the melody.
struct MelodyRow
{
    std::int64_t movementId = 0;
    std::optional<std::int64_t> ktn; ///< iKTN, nothing when Null
    std::optional<std::int64_t> mvmt; ///< iMvmt, nothing when Null
    std::optional<std::int64_t> order; ///< iOrder, for ordering only
    std::int64_t position = 0; ///< 1-based position where the run starts
    std::string deviationText; ///< store::formatSingle of Deviation; empty when Null

    /// KTN, Mvt., position and deviation as text (Null as the empty text).
    std::vector<std::string> cells() const;
};

/// What one melody search found.
struct MelodyMatches
{
    /// One row per occurrence, ordered by KTN, Mvt., iOrder, iMovementID and position (Null first).
    std::vector<MelodyRow> rows;
    /// The pitches of the melody searched for: the length of each run found.
    std::size_t melodyLength = 0;
    /// "3 occurrences of “c d e” found", "1 occurrence of ...", "No occurrences of “c d e” found."; when every
    /// sequence was read, followed by why in brackets (and, without an index, how to build it).
    std::string statusText;
    bool indexMissing = false; ///< the catalogue had no melody index, so every sequence was read
    /// The melody index was behind the stored sequences and could not be brought up to date (a catalogue that
    /// cannot be written), so every sequence was read.
    bool indexBehind = false;
    bool fromMemory = false; ///< answered from the program's copy of the sequences in memory (findMelody)
};

/// The headers of the result grid: "KTN", "MVMT", "Position", "Deviation".
const std::vector<std::string>& resultHeaders();

/// Finds every occurrence of the melody in the catalogue by reading it, on connections of its own that are closed
/// before returning. Never answers from an index that is behind the stored sequences: uses the melody index when it is
/// current; when any program changed a sequence or a pitch class since it was written, first brings it up to date
/// (the changed movements only, where they can be told) on a writable connection and answers there in the same
/// transaction; reads every sequence (same rows) when the catalogue has no index or cannot be written. A melody of one
/// pitch is found by exact spelling or by class; transposed it is refused (kTransposedNeedsTwoPitches). Changes nothing
/// in the catalogue but the melody index. Failures (unknown spelling, too few pitches, a file that cannot be read) come
/// back as a failure with a finished message; nothing is thrown.
store::Result<MelodyMatches>
findMelodyInCatalogue(const std::string& connectionString, const std::string& spellings, Mode mode);

/// Finds what findMelodyInCatalogue finds, the same rows in the same order with the same status, from a copy of
/// the catalogue's sequences kept in memory (a few milliseconds at 5,000,000 positions). The program keeps one such
/// copy, of the catalogue searched last, with a read-only connection held open to the file. Its first search of a
/// catalogue reads the catalogue and starts reading the copy on a thread of its own; so does the first search after
/// any program changed the file (told by the connection's data version, or another file at the path). The copy
/// answers only while the melody index is current; otherwise the catalogue is read, which brings the index up to
/// date first or says why it cannot.
store::Result<MelodyMatches> findMelody(const std::string& connectionString, const std::string& spellings, Mode mode);

/// Reads the catalogue's sequences into the program's copy in memory afresh (dropping the copy it had and stopping a
/// reading under way), and waits until done. True when findMelody
/// answers from it (false when the file cannot be read, holds more than 255 distinct pitches in its sequences, changed
/// during the reading, or its melody index is not current).
bool keepSequencesInMemory(const std::string& connectionString);

/// Starts reading the catalogue's sequences into the program's copy in memory on a thread of its own, as the melodic
/// search window does when it opens, so that the searches typed meanwhile find the copy read; never waits. Does
/// nothing while a reading is under way or when the copy kept is of this catalogue and nothing changed it since.
void prepareSequencesInMemory(const std::string& connectionString);

/// Waits until the reading of the copy in memory under way, if any, is done. True when findMelody answers from the
/// copy of this catalogue.
bool waitForSequencesInMemory(const std::string& connectionString);

/// Drops the program's copy in memory (stopping a reading under way).
void forgetSequencesInMemory();

} // namespace velk::melody
