#include "sound/Beats.h"

#include <algorithm>

namespace velk::sound
{

std::vector<Beat> beatsOf(const pitches::NotatedLine& line, std::size_t from, std::size_t count)
{
    std::vector<Beat> beats;
    if (from >= line.notes.size()) {
        return beats;
    }
    const std::size_t end = from + std::min(count, line.notes.size() - from);
    beats.reserve(end - from);
    for (std::size_t i = from; i < end; ++i) {
        const auto& pitch = line.notes[i].pitch;
        beats.push_back({i, pitch ? std::optional<int>(pitches::midiKey(*pitch)) : std::nullopt});
    }
    return beats;
}

int clampedTempo(int tempo)
{
    return std::clamp(tempo, kSlowestTempo, kFastestTempo);
}

double beatSeconds(int tempo)
{
    return 60.0 / clampedTempo(tempo);
}

std::string playingText(const std::vector<Beat>& beats, int tempo)
{
    if (beats.empty()) {
        return kNothingToPlay;
    }
    const auto first = std::to_string(beats.front().position + 1);
    const auto last = std::to_string(beats.back().position + 1);
    const std::string what = beats.size() == 1 ? "position " + first : "positions " + first + " to " + last;
    return "Playing " + what + " at " + std::to_string(clampedTempo(tempo)) + " beats a minute.";
}

} // namespace velk::sound
