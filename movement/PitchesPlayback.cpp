#include "movement/PitchesPlayback.h"

#include "pitches/MovementLine.h"
#include "store/Connection.h"
#include "store/StoreError.h"

#include <utility>
#include <vector>

namespace velk::movement
{
namespace
{

constexpr const char* kFinishEntryFirst
    = "The pitches are being entered: store them (Save) or drop them (Undo) before playing the line.";

} // namespace

PitchesPlayback::PitchesPlayback(WindowView& window,
                                 PitchesPage& page,
                                 const MovementRecords& records,
                                 std::string connectionString)
    : m_window(window)
    , m_page(page)
    , m_records(records)
    , m_connectionString(std::move(connectionString))
{
}

pitches::NotatedLine PitchesPlayback::pageLine() const
{
    const std::int64_t id = m_records.iLastMovementID();
    std::optional<pitches::MovementLine> movement;
    if (auto* recordset = m_records.recordset()) {
        movement = pitches::loadMovementLine(recordset->connection(), id);
    } else {
        auto connection = store::Connection::open(m_connectionString, store::AccessMode::ReadOnly);
        movement = pitches::loadMovementLine(connection, id);
    }
    const int octave = movement ? pitches::capitalOctave(movement->storedOctave, movement->voices)
                                : pitches::defaultCapitalOctave({});
    // The rows the page shows, which the grid's row numbers count.
    std::vector<std::string> spellings;
    spellings.reserve(m_page.pitchRows().size());
    for (const auto& entry : m_page.pitchRows()) {
        const pitches::Pitch* pitch = m_page.pitchLookup().byId(entry.pitchId);
        spellings.push_back(pitch && pitch->spelling ? *pitch->spelling : std::string());
    }
    return pitches::notateLine(spellings, octave);
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
        started = m_player.play(sound::beatsOf(pageLine(), m_startRow), tempo);
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
