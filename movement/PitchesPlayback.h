#pragma once

#include "movement/MovementView.h"
#include "movement/PitchesPage.h"
#include "sound/Player.h"

#include <cstddef>
#include <optional>
#include <string>

namespace velk::movement
{

/// Playing the pitches page's line: from its current position, or from the start when none is current, in the
/// movement's octave setting, with the position sounding made current as it sounds. Nothing plays while the page
/// takes pitches. What it says goes to the window's status line; nothing is thrown.
class PitchesPlayback
{
public:
    PitchesPlayback(WindowView& window, PitchesPage& page);

    /// Play: true when the line plays (the window then ticks); otherwise the status line says why not.
    bool Play(int tempo);
    /// Stop, or anything else the user does that is no move within the line: stops and says where. Nothing
    /// happens when nothing plays.
    void Stop();
    /// A tick of the window while playing: the position sounding becomes current. False once the line has been
    /// played to its end; the position it was played from is then current again, so that Play plays it again.
    bool Tick();
    bool playing() const;

private:
    WindowView& m_window;
    PitchesPage& m_page;
    sound::Player m_player;
    std::size_t m_startRow = 0;
    std::optional<std::size_t> m_shownRow;
};

} // namespace velk::movement
