#include "sound/Player.h"

#include "sound/SoundFont.h"
#include "sound/Synthesizer.h"

#include <cmath>
#include <cstdlib>
#include <mutex>

namespace velk::sound
{
namespace
{

// The first note starts a little after the device opens, so that it is not cut by the device's first buffers.
constexpr unsigned kLeadMilliseconds = 60;
// The last note dies away before the device closes.
constexpr unsigned kTailMilliseconds = 400;

std::mutex g_driversMutex;
std::vector<AudioDriver> g_drivers {{"pulseaudio", "PulseAudio", {}}, {"alsa", "ALSA", {}}};

std::string joined(const std::vector<AudioDriver>& drivers)
{
    std::string text;
    for (std::size_t i = 0; i < drivers.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == drivers.size() ? " and " : ", ") + drivers[i].label;
    }
    return text;
}

} // namespace

std::vector<AudioDriver> audioDrivers()
{
    const std::lock_guard lock(g_driversMutex);
    return g_drivers;
}

void setAudioDrivers(std::vector<AudioDriver> drivers)
{
    const std::lock_guard lock(g_driversMutex);
    g_drivers = std::move(drivers);
}

/// One playing: the sequencer that holds the beats' events and the open device. The device goes first, so that
/// nothing renders while the sequencer goes.
struct Player::Session
{
    fluid_sequencer_t* sequencer = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    std::vector<std::size_t> positions; ///< the beats' positions
    unsigned start = 0; ///< the sequencer's tick of the first beat
    double beatMilliseconds = 0;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session()
    {
        if (driver) {
            delete_fluid_audio_driver(driver);
        }
        if (sequencer) {
            delete_fluid_sequencer(sequencer);
        }
    }

    /// The index of the beat sounding at the sequencer's present tick; beats.size() once all have sounded.
    std::size_t beatNow() const
    {
        const unsigned tick = fluid_sequencer_get_tick(sequencer);
        if (tick < start) {
            return 0;
        }
        const double elapsed = tick - start;
        if (elapsed >= positions.size() * beatMilliseconds + kTailMilliseconds) {
            return positions.size();
        }
        return std::min(positions.size() - 1, static_cast<std::size_t>(elapsed / beatMilliseconds));
    }
};

Player::Player() = default;

Player::Player(std::vector<AudioDriver> drivers)
    : m_drivers(std::move(drivers))
{
}

Player::~Player()
{
    m_session.reset();
}

store::Result<std::string> Player::play(const std::vector<Beat>& beats, int tempo)
{
    stop();
    if (beats.empty()) {
        return store::Result<std::string>::failure(kNothingToPlay);
    }
    if (!m_synthesizer) {
        const auto soundFont = findSoundFont();
        if (!soundFont) {
            return store::Result<std::string>::failure(soundFont.message());
        }
        try {
            m_synthesizer = std::make_unique<Synthesizer>(soundFont.value(), false);
        } catch (const SoundError& error) {
            return store::Result<std::string>::failure(error.what());
        }
    }
    auto session = std::make_unique<Session>();
    session->sequencer = new_fluid_sequencer2(0);
    if (!session->sequencer) {
        return store::Result<std::string>::failure("The line could not be played: " + takeSynthError());
    }
    // The sequencer keeps the synthesizer's own time, so the notes keep their beat whatever the window does.
    const fluid_seq_id_t synth = fluid_sequencer_register_fluidsynth(session->sequencer, m_synthesizer->synth());
    session->beatMilliseconds = beatSeconds(tempo) * 1000.0;
    session->start = fluid_sequencer_get_tick(session->sequencer) + kLeadMilliseconds;
    fluid_event_t* event = new_fluid_event();
    fluid_event_set_source(event, -1);
    fluid_event_set_dest(event, synth);
    for (std::size_t i = 0; i < beats.size(); ++i) {
        session->positions.push_back(beats[i].position);
        if (!beats[i].key) {
            continue;
        }
        const double on = session->start + static_cast<double>(i) * session->beatMilliseconds;
        fluid_event_noteon(event, 0, static_cast<short>(*beats[i].key), 100);
        fluid_sequencer_send_at(session->sequencer, event, static_cast<unsigned>(std::lround(on)), 1);
        fluid_event_noteoff(event, 0, static_cast<short>(*beats[i].key));
        fluid_sequencer_send_at(session->sequencer, event,
                                static_cast<unsigned>(std::lround(on + kSoundedPart * session->beatMilliseconds)), 1);
    }
    delete_fluid_event(event);

    // A sound server is never started for the program's sake (set once: the environment is shared with threads).
    static std::once_flag noServer;
    std::call_once(noServer, [] { setenv("JACK_NO_START_SERVER", "1", 1); });
    const auto drivers = m_drivers ? *m_drivers : audioDrivers();
    std::string errors;
    for (const auto& driver : drivers) {
        fluid_settings_setstr(m_synthesizer->settings(), "audio.driver", driver.name.c_str());
        for (const auto& [name, value] : driver.settings) {
            fluid_settings_setstr(m_synthesizer->settings(), name.c_str(), value.c_str());
        }
        takeSynthError();
        session->driver = new_fluid_audio_driver(m_synthesizer->settings(), m_synthesizer->synth());
        if (session->driver) {
            m_session = std::move(session);
            return playingText(beats, tempo);
        }
        const auto error = takeSynthError();
        errors += (errors.empty() ? " " : "; ") + driver.label + (error.empty() ? "" : ": " + error);
    }
    return store::Result<std::string>::failure("No sound device could be opened (tried " + joined(drivers)
                                               + "), so the line cannot be heard." + errors);
}

std::optional<std::size_t> Player::poll()
{
    if (!m_session) {
        return std::nullopt;
    }
    const std::size_t beat = m_session->beatNow();
    if (beat >= m_session->positions.size()) {
        m_session.reset();
        m_synthesizer->silence();
        return std::nullopt;
    }
    return m_session->positions[beat];
}

std::optional<std::size_t> Player::stop()
{
    if (!m_session) {
        return std::nullopt;
    }
    const std::size_t beat = m_session->beatNow();
    const auto position = m_session->positions[std::min(beat, m_session->positions.size() - 1)];
    m_session.reset();
    m_synthesizer->silence();
    return position;
}

bool Player::playing() const
{
    return m_session != nullptr;
}

std::string stoppedText(std::size_t position)
{
    return "Stopped at position " + std::to_string(position + 1) + ".";
}

} // namespace velk::sound
