#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::pitches
{

/// A spelling read as written music. A spelling holds a letter and an accidental; its register (a capital or a
/// small letter) gives one of two neighbouring octaves, and which two is the movement's octave setting: the
/// octave of the capitals (scientific numbering, middle C is C4), the small letters an octave above them.
struct WrittenPitch
{
    char step = 'C'; ///< 'A' to 'G'
    int alter = 0; ///< -2 double flat, -1 flat, 0 natural, 1 sharp, 2 double sharp
    int octave = 4; ///< the octave of the written letter (a B sharp keeps its B's octave)

    bool operator==(const WrittenPitch&) const = default;
};

/// The octaves a movement's capitals may stand for.
inline constexpr int kLowestCapitalOctave = 2;
inline constexpr int kHighestCapitalOctave = 4;

/// The voice parts of a movement, which give its default octave setting.
struct Voices
{
    bool soprano = false;
    bool alto = false;
    bool tenor = false;
    bool bass = false;
};

/// The octave of the capitals when a movement has none stored: 2 for a bass line alone (capitals C2-B2, small
/// letters C3-B3), 3 for a tenor without soprano or alto, 4 otherwise (capitals from middle C).
int defaultCapitalOctave(const Voices& voices);

/// The stored setting when it is one of 2, 3 and 4, the default from the voices otherwise (Null, or a value
/// another program wrote that Velk does not use).
int capitalOctave(std::optional<std::int64_t> stored, const Voices& voices);

/// The spelling as a written pitch: a letter A-G or a-g, then nothing, "*", "**", "/" or "//". Nothing for any
/// other text (a spelling outside that scheme, which an imported vocabulary may hold): such a pitch has no height.
std::optional<WrittenPitch> writtenPitch(std::string_view spelling, int capitalOctave);

/// The spelling of a written pitch in the two octaves of the setting; nothing when its octave is neither.
std::optional<std::string> spellingOf(const WrittenPitch& pitch, int capitalOctave);

/// The MIDI key number of the pitch as it sounds (middle C is 60); a B sharp sounds in the octave above its B.
int midiKey(const WrittenPitch& pitch);

/// The equal-tempered frequency of a MIDI key, A4 (key 69) = 440 Hz.
double frequencyOf(int midiKey);

/// The clef a line is written in, from its octave setting.
enum class Clef
{
    Treble, ///< capitals from middle C
    TrebleOctaveDown, ///< a tenor's treble clef with an 8 below: sounds an octave lower than written
    Bass ///< capitals from C2
};

Clef clefFor(int capitalOctave);

/// The note's place on the five-line staff of the clef, in diatonic steps above the bottom line: 0 is the
/// bottom line, 1 the space above it, 8 the top line; below the staff it is negative, above it more than 8.
int staffStep(const WrittenPitch& pitch, Clef clef);

/// One position of a line drawn or played: its spelling and, when the spelling follows the scheme, its pitch.
struct LineNote
{
    std::string spelling;
    std::optional<WrittenPitch> pitch;
};

/// A movement's line ready to draw, play or write out: the clef and each position's note.
struct NotatedLine
{
    int capitalOctave = 4;
    Clef clef = Clef::Treble;
    std::vector<LineNote> notes;
};

NotatedLine notateLine(const std::vector<std::string>& spellings, int capitalOctave);

} // namespace velk::pitches
