#include "movement/KeyRepeat.h"

namespace velk::movement
{
namespace
{

/// Longer than any key's delay before it starts repeating: a press this long after the last one, with no release
/// seen between them, is a new press whose release went to another program.
constexpr std::uint64_t kLongestRepeatDelayMs = 2000;

} // namespace

bool KeyRepeat::pressIsRepeat(bool markedRepeat, std::uint64_t timestamp)
{
    const bool atRelease = timestamp != 0 && timestamp == m_releasedAt;
    const bool stillDown = m_down
        && (timestamp == 0 || m_pressedAt == 0
            || (timestamp >= m_pressedAt && timestamp - m_pressedAt < kLongestRepeatDelayMs));
    m_down = true;
    m_pressedAt = timestamp;
    return markedRepeat || atRelease || stillDown;
}

void KeyRepeat::released(std::uint64_t timestamp)
{
    m_down = false;
    m_releasedAt = timestamp;
}

} // namespace velk::movement
