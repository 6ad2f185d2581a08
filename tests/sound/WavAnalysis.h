#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velk::test
{

/// A WAV file as the tests read it: its format fields and its first channel as samples from -1 to 1.
struct WavSound
{
    int format = 0; ///< 1 for PCM
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<double> samples;
};

/// Reads a RIFF WAV file of 16-bit samples; nothing when it is not one or its data chunk is short.
std::optional<WavSound> readWav(const std::filesystem::path& path);

/// The fundamental frequency of the sound in the window of the given length centred on the sample centre, by the
/// normalised difference function of the autocorrelation method: the first period (from 50 Hz to 1.5 kHz) whose
/// normalised difference dips below a threshold, refined between its neighbours. Taking the first dip, not the
/// deepest, keeps a period and its multiples apart (an octave too low); a window with no clear period gives
/// nothing.
std::optional<double> fundamental(const WavSound& sound, std::size_t centre, std::size_t window = 4096);

/// The root mean square of the samples in the window around centre.
double loudness(const WavSound& sound, std::size_t centre, std::size_t window = 4096);

/// The distance between two frequencies in cents (hundredths of an equal-tempered semitone).
double centsBetween(double frequency, double reference);

/// The equal-tempered frequency of a MIDI key, A above middle C (key 69) at 440 Hz.
double keyFrequency(int key);

} // namespace velk::test
