#pragma once

#include <fluidsynth.h>

#include <stdexcept>
#include <string>

namespace velk::sound
{

/// A failure of the sound: its what() is a finished message.
class SoundError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// FluidSynth's settings and synthesizer with the voice of a SoundFont on channel 0. Used by this library only.
class Synthesizer
{
public:
    static constexpr double kSampleRate = 44100.0;

    /// Loads the SoundFont and chooses the voice. Reverb and chorus only when effects is true. Throws SoundError.
    Synthesizer(const std::string& soundFont, bool effects);
    ~Synthesizer();
    Synthesizer(const Synthesizer&) = delete;
    Synthesizer& operator=(const Synthesizer&) = delete;

    fluid_settings_t* settings() const;
    fluid_synth_t* synth() const;
    const std::string& soundFont() const;

    void noteOn(int key) const;
    void noteOff(int key) const;
    /// Silences every note at once.
    void silence() const;

private:
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    std::string m_soundFont;
};

/// The last error FluidSynth reported on this thread (its own messages are not printed), then forgotten.
std::string takeSynthError();

} // namespace velk::sound
