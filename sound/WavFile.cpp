#include "sound/WavFile.h"

#include "sound/SoundFont.h"
#include "sound/Synthesizer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

namespace velk::sound
{
namespace
{

constexpr std::size_t kBlock = 4096;
constexpr std::uint64_t kHeaderBytes = 44;

struct FileCloser
{
    void operator()(std::FILE* file) const
    {
        std::fclose(file);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void putLittleEndian(std::string& bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// The RIFF header of a mono 16-bit PCM file of the given number of samples.
std::string wavHeader(std::uint32_t samples)
{
    const std::uint32_t dataBytes = samples * 2;
    std::string header = "RIFF";
    putLittleEndian(header, static_cast<std::uint32_t>(kHeaderBytes - 8) + dataBytes, 4);
    header += "WAVEfmt ";
    putLittleEndian(header, 16, 4); // the format chunk's size
    putLittleEndian(header, 1, 2); // PCM
    putLittleEndian(header, 1, 2); // one channel
    putLittleEndian(header, kWavSampleRate, 4);
    putLittleEndian(header, kWavSampleRate * 2, 4); // bytes a second
    putLittleEndian(header, 2, 2); // bytes a sample frame
    putLittleEndian(header, 16, 2); // bits a sample
    header += "data";
    putLittleEndian(header, dataBytes, 4);
    return header;
}

std::string writeFailure(const std::string& path, int error)
{
    return "The WAV file " + path + " could not be written: " + std::strerror(error) + ".";
}

// Renders the synthesizer's next samples into the file, mixed to one channel.
class Renderer
{
public:
    Renderer(const Synthesizer& synthesizer, std::FILE* file)
        : m_synthesizer(synthesizer)
        , m_file(file)
    {
    }

    /// Renders until the sample count reaches end; false when the file could not take them.
    bool renderTo(std::uint64_t end)
    {
        while (m_done < end) {
            const auto n = static_cast<int>(std::min<std::uint64_t>(kBlock, end - m_done));
            fluid_synth_write_float(m_synthesizer.synth(), n, m_left.data(), 0, 1, m_right.data(), 0, 1);
            for (int i = 0; i < n; ++i) {
                const double mixed = std::clamp((m_left[i] + m_right[i]) / 2.0, -1.0, 1.0);
                const auto sample = static_cast<std::int16_t>(std::lround(mixed * 32767.0));
                m_bytes[2 * i] = static_cast<unsigned char>(sample & 0xFF);
                m_bytes[2 * i + 1] = static_cast<unsigned char>((sample >> 8) & 0xFF);
            }
            if (std::fwrite(m_bytes.data(), 2, static_cast<std::size_t>(n), m_file) != static_cast<std::size_t>(n)) {
                return false;
            }
            m_done += static_cast<std::uint64_t>(n);
        }
        return true;
    }

private:
    const Synthesizer& m_synthesizer;
    std::FILE* m_file;
    std::uint64_t m_done = 0;
    std::array<float, kBlock> m_left {};
    std::array<float, kBlock> m_right {};
    std::array<unsigned char, 2 * kBlock> m_bytes {};
};

} // namespace

RenderedFile renderWav(const std::vector<Beat>& beats, const RenderOptions& options, const std::string& path)
{
    if (beats.empty()) {
        throw SoundError(kNothingToPlay);
    }
    const auto soundFont = findSoundFont();
    if (!soundFont) {
        throw SoundError(soundFont.message());
    }
    const double beatSamples = beatSeconds(options.tempo) * kWavSampleRate;
    const auto total = static_cast<std::uint64_t>(std::llround(static_cast<double>(beats.size()) * beatSamples))
        + static_cast<std::uint64_t>(kTailSeconds * kWavSampleRate);
    if (kHeaderBytes + 2 * total > std::numeric_limits<std::uint32_t>::max()) {
        throw SoundError("The WAV file would last " + std::to_string(total / kWavSampleRate / 3600)
                         + " hours, more than a WAV file can hold: render part of the line with --from or at a "
                           "faster tempo.");
    }
    const Synthesizer synthesizer(soundFont.value(), options.effects);

    const std::string partial = path + ".part";
    File file(std::fopen(partial.c_str(), "wb"));
    if (!file) {
        throw SoundError(writeFailure(path, errno));
    }
    const auto fail = [&](int error) {
        const auto message = writeFailure(path, error);
        file.reset();
        std::remove(partial.c_str());
        return SoundError(message);
    };
    const std::string header = wavHeader(static_cast<std::uint32_t>(total));
    if (std::fwrite(header.data(), 1, header.size(), file.get()) != header.size()) {
        throw fail(errno);
    }
    Renderer renderer(synthesizer, file.get());
    for (std::size_t i = 0; i < beats.size(); ++i) {
        if (!beats[i].key) {
            continue;
        }
        const double start = static_cast<double>(i) * beatSamples;
        if (!renderer.renderTo(static_cast<std::uint64_t>(std::llround(start)))) {
            throw fail(errno);
        }
        synthesizer.noteOn(*beats[i].key);
        if (!renderer.renderTo(static_cast<std::uint64_t>(std::llround(start + kSoundedPart * beatSamples)))) {
            throw fail(errno);
        }
        synthesizer.noteOff(*beats[i].key);
    }
    if (!renderer.renderTo(total)) {
        throw fail(errno);
    }
    if (std::fflush(file.get()) != 0) {
        throw fail(errno);
    }
    if (std::fclose(file.release()) != 0) {
        const int error = errno;
        std::remove(partial.c_str());
        throw SoundError(writeFailure(path, error));
    }
    std::error_code renamed;
    std::filesystem::rename(partial, path, renamed);
    if (renamed) {
        std::remove(partial.c_str());
        throw SoundError("The WAV file " + path + " could not be written: " + renamed.message() + ".");
    }
    return {beats.size(), static_cast<double>(total) / kWavSampleRate, soundFont.value()};
}

} // namespace velk::sound
