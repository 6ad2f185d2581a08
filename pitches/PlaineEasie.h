#pragma once

#include "pitches/Notation.h"
#include "pitches/PitchLookup.h"
#include "store/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk::pitches
{

/// True when the pitch entry box reads a text as Plaine & Easie Code: it starts, after any blanks, with "%" (a
/// clef), ";pe2" (a Version 2 line), "@" (a time signature or the "@clef:" and "@data:" lines) or "{" (JSON).
bool looksLikePae(std::string_view text);

/// The sounded pitches of an incipit, in order.
struct PaeReading
{
    int version = 1; ///< 2 for a text marked ";pe2" or with the version "pe2", 1 otherwise
    std::vector<std::int32_t> pitchIds;
    std::vector<std::string> spellings; ///< the spelling of each pitch, beside pitchIds
    std::size_t graceNotes = 0; ///< grace notes left out

    /// "12 pitches read from the Plaine & Easie Code" and, when some were left out, "; 2 grace notes were left out".
    std::string summary() const;
};

/// Reads an incipit in Plaine & Easie Code (Version 1 or 2: the single line "%G-2$bB@3/2 '4BnB/B", the line
/// marked ";pe2", the "@clef:"/"@data:" lines or a JSON object; a text of notes alone is read too) into the pitches
/// it sounds, as spellings of the catalogue's vocabulary in the movement's octave setting (capitalOctave: the
/// octave of the capitals, see Notation.h).
///
/// The key signature and the accidentals apply (an accidental lasts to the next bar line for every later note of
/// its letter, in any octave, in both versions); a tied note is one pitch (Version 1 writes "+" after the first
/// note, Version 2 "_" for the second); repeated figures "!...!f" and repeated measures "/i/" are written out,
/// repeat signs are not; grace notes are left out and counted; rhythm, rests, beams, groups, fermatas, trills,
/// bar lines and changes of clef and time are passed over. A spelling comes from the written letter and octave (a
/// B sharp written in octave 4 is the B of octave 4, sharp).
///
/// Fails with a finished message naming the construct or the note at fault: a chord, a sign the code does not
/// have (or the other version's tie), a note outside the movement's two octaves, a spelling the vocabulary
/// lacks, a malformed clef, key signature, JSON object or field, or an incipit without notes.
store::Result<PaeReading> readPae(std::string_view text, int capitalOctave, const PitchLookup& lookup);

/// A movement's line in Plaine & Easie Code, Version 1's single line: the clef of the octave setting ("%G-2" for
/// capitals from middle C, "%g-2" for a tenor's capitals from C3, "%F-4" for a bass's from C2), a blank, then the
/// notes as quarters without key signature, time signature or bar lines: an octave mark before the first note and
/// wherever the octave changes, and an accidental wherever the note's alteration differs from the last one
/// written for its letter (a natural "n" where a note cancels an earlier accidental). readPae gives the
/// same spellings back. Fails naming the position of a spelling outside the scheme (an imported vocabulary's) and
/// for a line without pitches.
store::Result<std::string> writePae(const NotatedLine& line);

} // namespace velk::pitches
