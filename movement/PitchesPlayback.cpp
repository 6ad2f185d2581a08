#include "movement/PitchesPlayback.h"

#include "store/StoreError.h"

#include <vector>

namespace velk::movement
{
namespace
{

constexpr const char* kFinishEntryFirst
    = "The pitches are being entered: store them (Save) or drop them (Undo) before playing the line.";

} // namespace

PitchesPlayback::PitchesPlayback(WindowView& window, PitchesPage& page)
    : m_window(window)
    , m_page(page)
{
}

bool PitchesPlayback::Play(int tempo)
{
    Stop();
    if (m_page.bPitchEditMode()) {
        m_window.setStatus(kFinishEntryFirst);
        return false;
    }
    const auto current = m_page.pitchRow();
    m_startRow = current && *current < m_page.pitchRows().size() ? *current : 0;
    store::Result<std::string> started;
    try {
        started = m_player.play(sound::beatsOf(m_page.notatedLine(), m_startRow), tempo);
    } catch (const store::StoreError& error) {
        started = store::Result<std::string>::failure(error.what());
    }
    m_window.setStatus(started ? started.value() : started.message());
    m_shownRow.reset();
    return started.ok();
}

void PitchesPlayback::Stop()
{
    if (const auto position = m_player.stop()) {
        m_window.setStatus(sound::stoppedText(*position));
    }
}

bool PitchesPlayback::Tick()
{
    if (!m_player.playing()) {
        return false;
    }
    const auto position = m_player.poll();
    if (!position) {
        m_page.selectPosition(m_startRow);
        m_window.setStatus(sound::kPlayedToTheEnd);
        return false;
    }
    if (position != m_shownRow) {
        m_shownRow = position;
        m_page.selectPosition(*position);
    }
    return true;
}

bool PitchesPlayback::playing() const
{
    return m_player.playing();
}

} // namespace velk::movement
