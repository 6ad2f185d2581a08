#include "movement/PitchesPage.h"

#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/StoreError.h"
#include "store/Value.h"

#include <utility>

namespace velk::movement
{
namespace
{

constexpr const char* kEntryNotFound = "Entry not found !";
constexpr const char* kSelectMovement = "Please select a movement from the grid on the movement tab.";

} // namespace

PitchesPage::PitchesPage(WindowView& window,
                         PitchesPageView& view,
                         const MovementRecords& records,
                         std::string connectionString)
    : m_window(window)
    , m_view(view)
    , m_records(records)
    , m_connectionString(std::move(connectionString))
{
}

void PitchesPage::setLookup(pitches::PitchLookup lookup)
{
    m_pitchLookup = std::move(lookup);
}

const pitches::PitchLookup& PitchesPage::pitchLookup() const
{
    return m_pitchLookup;
}

std::int64_t PitchesPage::movementId() const
{
    return m_records.iLastMovementID();
}

void PitchesPage::refreshEntryBox(bool editing)
{
    m_view.showEntryBox({m_pitchText, editing});
}

void PitchesPage::LoadMovementPitches(std::int64_t movementId)
{
    m_pitchRows.clear();
    m_pitchRow.reset();
    pitches::MovementPitches loaded;
    try {
        loaded = pitches::loadMovementPitches(m_connectionString, movementId);
    } catch (const store::StoreError&) {
        // Never the pitches of another movement: the page shows none, as it holds none.
        m_view.showSequence(m_pitchRows);
        m_view.showCounts("0", "0");
        m_pitchesDirty = false;
        m_pitchText.clear();
        setCurrentPitchRow(std::nullopt, false);
        refreshEntryBox(m_pitchEditMode);
        throw;
    }
    m_pitchRows = loaded.entries;
    m_view.showSequence(m_pitchRows);
    m_view.showCounts(std::to_string(loaded.sharpCount), std::to_string(loaded.flatCount));
    m_pitchesDirty = false;
    if (!m_pitchRows.empty()) {
        setCurrentPitchRow(0, true);
    } else {
        setCurrentPitchRow(std::nullopt, false);
        m_pitchText.clear();
        refreshEntryBox(m_pitchEditMode);
    }
}

void PitchesPage::enter()
{
    if (movementId() < 1) {
        m_pitchRows.clear();
        m_view.showSequence(m_pitchRows);
        setCurrentPitchRow(std::nullopt, false);
        m_window.tell({kSelectMovement});
        return;
    }
    LoadMovementPitches(movementId());
    m_window.showPage(Page::Pitches);
    if (!m_pitchRows.empty()) {
        setCurrentPitchRow(0, true);
        m_view.setFocus(FocusTarget::PitchGrid);
    } else {
        m_pitchText.clear();
        refreshEntryBox(m_pitchEditMode);
    }
}

void PitchesPage::setCurrentPitchRow(std::optional<std::size_t> row, bool scrollIntoView)
{
    m_view.showCurrentPosition(row, scrollIntoView);
    PitchSelectionChanged(row);
}

void PitchesPage::PitchSelectionChanged(std::optional<std::size_t> row)
{
    if (row && *row >= m_pitchRows.size()) {
        row.reset();
    }
    m_pitchRow = row;
    if (row) {
        m_pitchText = m_pitchRows[*row].glyph;
        refreshEntryBox(m_pitchEditMode);
    }
}

void PitchesPage::selectPosition(std::size_t row)
{
    if (row < m_pitchRows.size()) {
        setCurrentPitchRow(row, true);
    }
}

void PitchesPage::SetPitchEditing(bool on)
{
    m_window.setTabsEnabled(!on);
    if (on) {
        m_pitchText.clear();
    } else {
        m_pitchTag.clear();
    }
    m_pitchEditMode = on;
    refreshEntryBox(on);
    if (on) {
        m_view.setFocus(FocusTarget::PitchBox);
    }
}

void PitchesPage::NewPitches()
{
    if (movementId() < 1) {
        return;
    }
    SetPitchEditing(true);
    m_pitchesDirty = true;
    m_pitchTag.clear();
    m_pitchText.clear();
    refreshEntryBox(true);
}

void PitchesPage::EditPitches()
{
    if (movementId() < 1 || !m_pitchRow) {
        return;
    }
    m_pitchTag = std::to_string(*m_pitchRow);
    SetPitchEditing(true);
    m_pitchesDirty = true;
}

void PitchesPage::enterPitch(const std::string& text)
{
    if (!m_pitchEditMode) {
        return;
    }
    const pitches::Pitch* found = m_pitchLookup.find(text);
    if (!m_pitchTag.empty()) {
        const auto target = store::parseWholeNumber(m_pitchTag);
        if (found && target && *target >= 0 && static_cast<std::size_t>(*target) < m_pitchRows.size()) {
            const auto r = static_cast<std::size_t>(*target);
            m_pitchRows[r] = {found->id, found->glyph};
            m_view.replacePosition(r, m_pitchRows[r]);
            setCurrentPitchRow(r, true);
            SavePitches();
        } else {
            m_window.tell({kEntryNotFound});
        }
        return;
    }
    if (found) {
        m_pitchRows.push_back({found->id, found->glyph});
        m_view.appendPosition(m_pitchRows.back());
        m_view.showCurrentPosition(m_pitchRows.size() - 1, true);
        m_pitchRow = m_pitchRows.size() - 1;
    } else {
        m_window.tell({kEntryNotFound});
    }
    m_pitchText.clear();
    refreshEntryBox(true);
    m_view.setFocus(FocusTarget::PitchBox);
}

void PitchesPage::DeletePitch()
{
    if (movementId() < 1) {
        return;
    }
    const std::optional<std::size_t> deleted = m_pitchRow;
    m_pitchesDirty = true;
    if (deleted && m_pitchRows.size() > 1) {
        m_pitchRows.erase(m_pitchRows.begin() + static_cast<std::ptrdiff_t>(*deleted));
        m_view.removePosition(*deleted);
    } else {
        m_pitchRows.clear();
        m_view.showSequence(m_pitchRows);
    }
    m_pitchRow.reset();
    m_pitchText.clear();
    m_pitchTag.clear();
    refreshEntryBox(m_pitchEditMode);
    if (m_pitchRows.empty()) {
        setCurrentPitchRow(std::nullopt, false);
    } else if (deleted && m_pitchRows.size() > *deleted) {
        setCurrentPitchRow(*deleted, true);
    } else {
        setCurrentPitchRow(m_pitchRows.size() - 1, true);
    }
    SavePitches();
}

// The counts of the stored sequence, from the same rules as the statements that count them on loading.
void PitchesPage::showAccidentalCounts()
{
    std::int64_t sharps = 0;
    std::int64_t flats = 0;
    for (const auto& entry : m_pitchRows) {
        const pitches::Pitch* pitch = m_pitchLookup.byId(entry.pitchId);
        const std::string spelling = pitch && pitch->spelling ? *pitch->spelling : std::string();
        sharps += pitches::isSharpSpelling(spelling) ? 1 : 0;
        flats += pitches::isFlatSpelling(spelling) ? 1 : 0;
    }
    m_view.showCounts(std::to_string(sharps), std::to_string(flats));
}

void PitchesPage::UndoPitchEdit()
{
    SetPitchEditing(false);
    LoadMovementPitches(movementId());
}

store::Result<> PitchesPage::SavePitches()
{
    const auto current = m_pitchRow;
    const std::int64_t id = movementId();
    std::vector<std::int32_t> ids;
    ids.reserve(m_pitchRows.size());
    for (const auto& entry : m_pitchRows) {
        ids.push_back(entry.pitchId);
    }
    // Stored first and only then closed: a failed store keeps the grid, the flags and the entry box as they
    // were, so the user can try again or close with the question still asked.
    const auto indexMelody = [id, &ids](store::Connection& connection) {
        melody::indexMovement(connection, id, ids);
    };
    // Through the window's own read-write connection where there is one: its page cache still holds what the
    // last store read, which makes storing a long sequence in a large catalogue about a sixth quicker. A
    // read-only catalogue goes the way of a connection of the store's own, which says why it cannot write.
    auto* recordset = m_records.recordset();
    const bool ownConnection = recordset && !recordset->connection().isReadOnly();
    const store::Result<pitches::SavedSequence> stored = ownConnection
        ? pitches::savePitches(recordset->connection(), id, ids, indexMelody)
        : pitches::savePitches(m_connectionString, id, ids, indexMelody);
    if (!stored) {
        m_window.tell({stored.message(), "Velk", MessageIcon::Warning});
        return store::Result<>::failure(stored.message());
    }
    // The deviation was stored with the pitches; the movement's row (and the grid's "Dev." column) show it now.
    if (recordset) {
        recordset->takeStoredValue(id, "Deviation", store::Value(stored->deviation));
    }
    SetPitchEditing(false);
    m_pitchesDirty = false;
    setCurrentPitchRow(m_pitchRows.empty() ? std::nullopt : current, true);
    showAccidentalCounts();
    return {};
}

bool PitchesPage::bPitchEditMode() const
{
    return m_pitchEditMode;
}

bool PitchesPage::bPitchesDirty() const
{
    return m_pitchesDirty;
}

const std::vector<pitches::SequenceEntry>& PitchesPage::pitchRows() const
{
    return m_pitchRows;
}

std::optional<std::size_t> PitchesPage::pitchRow() const
{
    return m_pitchRow;
}

const std::string& PitchesPage::pitchTag() const
{
    return m_pitchTag;
}

const std::string& PitchesPage::pitchText() const
{
    return m_pitchText;
}

} // namespace velk::movement
