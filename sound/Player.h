#pragma once

#include "sound/Beats.h"
#include "store/Result.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velk::sound
{

/// An audio driver of FluidSynth to try, with the settings it needs.
struct AudioDriver
{
    std::string name; ///< FluidSynth's name: "pulseaudio", "alsa", "file", ...
    std::string label; ///< as a message names it: "PulseAudio"
    std::vector<std::pair<std::string, std::string>> settings; ///< further text settings, e.g. a device name
};

/// The drivers a player tries, in order: PulseAudio, then ALSA. Never JACK, whose server it must not start.
std::vector<AudioDriver> audioDrivers();
/// Replaces the drivers players try from their next play on (tests write to a file instead of a sound device).
void setAudioDrivers(std::vector<AudioDriver> drivers);

/// Plays beats on the sound device. The device is opened when play is called and closed when the beats have
/// sounded or stop is called; the SoundFont is read at the first play and kept. Nothing here throws: each call
/// answers with a finished message.
class Player
{
public:
    /// A player that tries the drivers of audioDrivers() as they are at each play.
    Player();
    /// A player that tries the given drivers.
    explicit Player(std::vector<AudioDriver> drivers);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    /// Stops what plays and starts the beats, one a beat at the tempo. The value is the status text ("Playing
    /// positions 5 to 24 at 72 beats a minute."); a failure says why nothing plays: no beats, no SoundFont, no
    /// sound device.
    store::Result<std::string> play(const std::vector<Beat>& beats, int tempo);

    /// While the beats sound: the position (Beat::position) of the one sounding now. Nothing once they have all
    /// sounded (the device is then closed) or when nothing plays.
    std::optional<std::size_t> poll();

    /// Stops at once and closes the device; the position that was sounding, nothing when nothing played.
    std::optional<std::size_t> stop();

    bool playing() const;

private:
    struct Session;

    std::optional<std::vector<AudioDriver>> m_drivers;
    std::unique_ptr<class Synthesizer> m_synthesizer;
    std::unique_ptr<Session> m_session;
};

/// The status text once the beats have all sounded.
inline constexpr const char* kPlayedToTheEnd = "Played to the end.";

/// "Stopped at position 12." for the 0-based position stop gave.
std::string stoppedText(std::size_t position);

} // namespace velk::sound
