#pragma once

#include <cstdint>

namespace velk::movement
{

/// Tells a key pressed from a key held down, from every press and release of that key the platform reports.
///
/// The toolkit's own mark is not enough: an X server repeats a held key as a release and a press at the same
/// instant (or, for a client that asks, as presses alone), and a toolkit that looks ahead for the press after a
/// release can miss it and report each repeat as a new press. Time stamps are the platform's, in milliseconds;
/// 0 means none.
class KeyRepeat
{
public:
    /// A press of the key; true when it repeats the key held down: the toolkit says so, the press came at the
    /// very instant of the last release, or no release came since a press shortly before.
    bool pressIsRepeat(bool markedRepeat, std::uint64_t timestamp);
    /// A release of the key.
    void released(std::uint64_t timestamp);

private:
    bool m_down = false;
    std::uint64_t m_pressedAt = 0;
    std::uint64_t m_releasedAt = 0;
};

} // namespace velk::movement
