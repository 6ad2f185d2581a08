#include "pitches/Notation.h"

#include <cmath>

namespace velk::pitches
{
namespace
{

// Diatonic index of a letter within its octave, C = 0.
int letterIndex(char step)
{
    switch (step) {
    case 'C':
        return 0;
    case 'D':
        return 1;
    case 'E':
        return 2;
    case 'F':
        return 3;
    case 'G':
        return 4;
    case 'A':
        return 5;
    case 'B':
        return 6;
    default:
        return -1;
    }
}

// Semitones of a natural letter above its octave's C.
constexpr int kLetterSemitones[7] = {0, 2, 4, 5, 7, 9, 11};

int diatonicNumber(const WrittenPitch& pitch)
{
    return pitch.octave * 7 + letterIndex(pitch.step);
}

bool validOctave(int octave)
{
    return octave >= kLowestCapitalOctave && octave <= kHighestCapitalOctave;
}

} // namespace

int defaultCapitalOctave(const Voices& voices)
{
    if (voices.bass && !voices.soprano && !voices.alto && !voices.tenor) {
        return 2;
    }
    if (voices.tenor && !voices.soprano && !voices.alto) {
        return 3;
    }
    return 4;
}

int capitalOctave(std::optional<std::int64_t> stored, const Voices& voices)
{
    if (stored && validOctave(static_cast<int>(*stored)) && *stored == static_cast<int>(*stored)) {
        return static_cast<int>(*stored);
    }
    return defaultCapitalOctave(voices);
}

std::optional<WrittenPitch> writtenPitch(std::string_view spelling, int capitalOctave)
{
    if (spelling.empty() || !validOctave(capitalOctave)) {
        return std::nullopt;
    }
    const char letter = spelling.front();
    WrittenPitch pitch;
    if (letter >= 'A' && letter <= 'G') {
        pitch.step = letter;
        pitch.octave = capitalOctave;
    } else if (letter >= 'a' && letter <= 'g') {
        pitch.step = static_cast<char>(letter - 'a' + 'A');
        pitch.octave = capitalOctave + 1;
    } else {
        return std::nullopt;
    }
    const std::string_view accidental = spelling.substr(1);
    if (accidental.empty()) {
        pitch.alter = 0;
    } else if (accidental == "*") {
        pitch.alter = 1;
    } else if (accidental == "**") {
        pitch.alter = 2;
    } else if (accidental == "/") {
        pitch.alter = -1;
    } else if (accidental == "//") {
        pitch.alter = -2;
    } else {
        return std::nullopt;
    }
    return pitch;
}

std::optional<std::string> spellingOf(const WrittenPitch& pitch, int capitalOctave)
{
    if (letterIndex(pitch.step) < 0 || pitch.alter < -2 || pitch.alter > 2) {
        return std::nullopt;
    }
    std::string text;
    if (pitch.octave == capitalOctave) {
        text += pitch.step;
    } else if (pitch.octave == capitalOctave + 1) {
        text += static_cast<char>(pitch.step - 'A' + 'a');
    } else {
        return std::nullopt;
    }
    if (pitch.alter > 0) {
        text.append(static_cast<std::size_t>(pitch.alter), '*');
    } else if (pitch.alter < 0) {
        text.append(static_cast<std::size_t>(-pitch.alter), '/');
    }
    return text;
}

int midiKey(const WrittenPitch& pitch)
{
    return (pitch.octave + 1) * 12 + kLetterSemitones[letterIndex(pitch.step)] + pitch.alter;
}

double frequencyOf(int midiKey)
{
    return 440.0 * std::pow(2.0, (midiKey - 69) / 12.0);
}

Clef clefFor(int capitalOctave)
{
    switch (capitalOctave) {
    case 2:
        return Clef::Bass;
    case 3:
        return Clef::TrebleOctaveDown;
    default:
        return Clef::Treble;
    }
}

int staffStep(const WrittenPitch& pitch, Clef clef)
{
    // The bottom line's note as it sounds: E4 in the treble clef, E3 under the tenor's treble clef, G2 in the bass.
    constexpr int kE4 = 4 * 7 + 2;
    constexpr int kE3 = 3 * 7 + 2;
    constexpr int kG2 = 2 * 7 + 4;
    const int bottom = clef == Clef::Bass ? kG2 : clef == Clef::TrebleOctaveDown ? kE3 : kE4;
    return diatonicNumber(pitch) - bottom;
}

NotatedLine notateLine(const std::vector<std::string>& spellings, int capitalOctave)
{
    NotatedLine line;
    line.capitalOctave = validOctave(capitalOctave) ? capitalOctave : 4;
    line.clef = clefFor(line.capitalOctave);
    line.notes.reserve(spellings.size());
    for (const std::string& spelling : spellings) {
        line.notes.push_back({spelling, writtenPitch(spelling, line.capitalOctave)});
    }
    return line;
}

} // namespace velk::pitches
