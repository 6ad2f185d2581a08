#include "tests/sound/WavAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace velk::test
{
namespace
{

std::uint32_t littleEndian(const std::string& bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

constexpr double kLowest = 50.0;
constexpr double kHighest = 1500.0;
constexpr double kThreshold = 0.2;

} // namespace

std::optional<WavSound> readWav(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0
        || littleEndian(bytes, 4, 4) + 8 != bytes.size()) {
        return std::nullopt;
    }
    WavSound sound;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        const std::size_t size = littleEndian(bytes, at + 4, 4);
        const std::size_t body = at + 8;
        if (body + size > bytes.size()) {
            return std::nullopt;
        }
        if (id == "fmt " && size >= 16) {
            sound.format = static_cast<int>(littleEndian(bytes, body, 2));
            sound.channels = static_cast<int>(littleEndian(bytes, body + 2, 2));
            sound.sampleRate = static_cast<int>(littleEndian(bytes, body + 4, 4));
            sound.bitsPerSample = static_cast<int>(littleEndian(bytes, body + 14, 2));
        } else if (id == "data") {
            if (sound.bitsPerSample != 16 || sound.channels < 1) {
                return std::nullopt;
            }
            const std::size_t frame = 2 * static_cast<std::size_t>(sound.channels);
            for (std::size_t i = body; i + frame <= body + size; i += frame) {
                const auto value = static_cast<std::int16_t>(littleEndian(bytes, i, 2));
                sound.samples.push_back(value / 32768.0);
            }
            return sound;
        }
        at = body + size + (size % 2);
    }
    return std::nullopt;
}

std::optional<double> fundamental(const WavSound& sound, std::size_t centre, std::size_t window)
{
    const auto shortest = static_cast<std::size_t>(sound.sampleRate / kHighest);
    const auto longest = static_cast<std::size_t>(std::ceil(sound.sampleRate / kLowest));
    const std::size_t span = window + longest + 2;
    if (centre < span / 2 || centre + span / 2 > sound.samples.size()) {
        return std::nullopt;
    }
    const double* x = sound.samples.data() + (centre - span / 2);
    std::vector<double> difference(longest + 2, 0.0);
    for (std::size_t tau = 1; tau < difference.size(); ++tau) {
        double sum = 0;
        for (std::size_t j = 0; j < window; ++j) {
            const double d = x[j] - x[j + tau];
            sum += d * d;
        }
        difference[tau] = sum;
    }
    std::vector<double> normalised(difference.size(), 1.0);
    double running = 0;
    for (std::size_t tau = 1; tau < difference.size(); ++tau) {
        running += difference[tau];
        normalised[tau] = running > 0 ? difference[tau] * static_cast<double>(tau) / running : 1.0;
    }
    std::size_t period = 0;
    for (std::size_t tau = shortest; tau + 1 < normalised.size(); ++tau) {
        if (normalised[tau] < kThreshold) {
            while (tau + 2 < normalised.size() && normalised[tau + 1] < normalised[tau]) {
                ++tau;
            }
            period = tau;
            break;
        }
    }
    if (period == 0) {
        return std::nullopt;
    }
    // The parabola through the dip and its neighbours places the period between samples.
    const double before = normalised[period - 1];
    const double at = normalised[period];
    const double after = normalised[period + 1];
    const double bend = before - 2 * at + after;
    const double shift = bend > 0 ? 0.5 * (before - after) / bend : 0.0;
    return sound.sampleRate / (static_cast<double>(period) + shift);
}

double loudness(const WavSound& sound, std::size_t centre, std::size_t window)
{
    const std::size_t from = centre > window / 2 ? centre - window / 2 : 0;
    const std::size_t to = std::min(sound.samples.size(), from + window);
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) {
        sum += sound.samples[i] * sound.samples[i];
    }
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

double centsBetween(double frequency, double reference)
{
    return 1200.0 * std::log2(frequency / reference);
}

double keyFrequency(int key)
{
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

} // namespace velk::test
