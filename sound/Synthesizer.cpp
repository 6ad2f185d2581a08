#include "sound/Synthesizer.h"

#include "sound/SoundFont.h"

#include <mutex>

namespace velk::sound
{
namespace
{

constexpr int kChannel = 0;
constexpr int kVelocity = 100;
// The controllers that send a channel to the reverberation and the chorus.
constexpr int kReverbSend = 91;
constexpr int kChorusSend = 93;
// One voice at a time: loud enough to be heard beside other programs, with room for a release overlapping the
// next note.
constexpr double kGain = 0.6;

thread_local std::string t_lastError;

void keepError(int /*level*/, const char* message, void* /*data*/)
{
    t_lastError = message ? message : "";
}

void forget(int /*level*/, const char* /*message*/, void* /*data*/)
{
}

// FluidSynth prints to stderr by default; its errors become part of the messages built here instead.
void quietenLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, keepError, nullptr);
        fluid_set_log_function(FLUID_ERR, keepError, nullptr);
        fluid_set_log_function(FLUID_WARN, forget, nullptr);
        fluid_set_log_function(FLUID_INFO, forget, nullptr);
        fluid_set_log_function(FLUID_DBG, forget, nullptr);
    });
}

} // namespace

std::string takeSynthError()
{
    std::string error;
    error.swap(t_lastError);
    return error;
}

Synthesizer::Synthesizer(const std::string& soundFont, bool effects)
    : m_soundFont(soundFont)
{
    quietenLog();
    m_settings = new_fluid_settings();
    if (!m_settings) {
        throw SoundError("The synthesizer could not be set up (out of memory).");
    }
    fluid_settings_setnum(m_settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(m_settings, "synth.gain", kGain);
    fluid_settings_setint(m_settings, "synth.reverb.active", effects ? 1 : 0);
    fluid_settings_setint(m_settings, "synth.chorus.active", effects ? 1 : 0);
    if (effects) {
        // A hall rather than FluidSynth's small room, whose echo a single voice hardly shows.
        fluid_settings_setnum(m_settings, "synth.reverb.room-size", 0.7);
        fluid_settings_setnum(m_settings, "synth.reverb.damp", 0.3);
        fluid_settings_setnum(m_settings, "synth.reverb.width", 1.0);
        fluid_settings_setnum(m_settings, "synth.reverb.level", 0.8);
    }
    m_synth = new_fluid_synth(m_settings);
    if (!m_synth) {
        delete_fluid_settings(m_settings);
        throw SoundError("The synthesizer could not be set up: " + takeSynthError());
    }
    const int font = fluid_synth_sfload(m_synth, soundFont.c_str(), 1);
    if (font == FLUID_FAILED) {
        const auto error = takeSynthError();
        delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
        throw SoundError("The SoundFont " + soundFont + " could not be read"
                         + (error.empty() ? std::string(".") : ": " + error + "."));
    }
    if (fluid_synth_program_select(m_synth, kChannel, font, 0, kVoiceProgram) != FLUID_OK) {
        delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
        throw SoundError("The SoundFont " + soundFont + " has no " + kVoiceName + " voice (General MIDI program "
                         + std::to_string(kVoiceProgram + 1) + ").");
    }
    if (effects) {
        fluid_synth_cc(m_synth, kChannel, kReverbSend, 96);
        fluid_synth_cc(m_synth, kChannel, kChorusSend, 48);
    }
}

Synthesizer::~Synthesizer()
{
    delete_fluid_synth(m_synth);
    delete_fluid_settings(m_settings);
}

fluid_settings_t* Synthesizer::settings() const
{
    return m_settings;
}

fluid_synth_t* Synthesizer::synth() const
{
    return m_synth;
}

const std::string& Synthesizer::soundFont() const
{
    return m_soundFont;
}

void Synthesizer::noteOn(int key) const
{
    fluid_synth_noteon(m_synth, kChannel, key, kVelocity);
}

void Synthesizer::noteOff(int key) const
{
    fluid_synth_noteoff(m_synth, kChannel, key);
}

void Synthesizer::silence() const
{
    fluid_synth_all_sounds_off(m_synth, -1);
}

} // namespace velk::sound
