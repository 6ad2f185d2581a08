#pragma once

#include "sound/Beats.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velk::sound
{

/// How a line is rendered to a file.
struct RenderOptions
{
    int tempo = kDefaultTempo; ///< beats a minute, clamped to kSlowestTempo..kFastestTempo
    bool effects = false; ///< reverb and chorus; a dry sound without them
};

/// What was written.
struct RenderedFile
{
    std::size_t beats = 0;
    double seconds = 0; ///< the file's length
    std::string soundFont; ///< the SoundFont that sounded
};

/// The seconds of sound after the last beat, in which its note dies away.
inline constexpr double kTailSeconds = 1.0;
/// The samples a second of a rendered file; it has one channel of 16-bit samples.
inline constexpr int kWavSampleRate = 44100;

/// Renders the beats, one a beat at the tempo with the first at the file's start, into a WAV file (RIFF, PCM,
/// mono, 16 bits, 44.1 kHz) with the voice of the SoundFont found by findSoundFont. The file is written beside its
/// name and put in its place only when complete, so a failure leaves an existing file as it was. Throws SoundError
/// with a finished message (no SoundFont, nothing to render, a file too long for WAV, a failed write).
RenderedFile renderWav(const std::vector<Beat>& beats, const RenderOptions& options, const std::string& path);

} // namespace velk::sound
