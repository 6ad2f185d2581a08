#include "movement/PitchesPage.h"

#include "melody/MelodyIndex.h"
#include "pitches/MovementLine.h"
#include "pitches/Notation.h"
#include "pitches/PlaineEasie.h"
#include "store/Connection.h"
#include "store/StoreError.h"
#include "store/Value.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace velk::movement
{
namespace
{

constexpr const char* kEntryNotFound = "Entry not found !";
constexpr const char* kSelectMovement = "Please select a movement from the grid on the movement tab.";

/// The most positions a line holds: they are numbered with 16-bit integers.
constexpr std::size_t kMostPositions = 32767;

/// What the entry box's text stands for.
struct TypedPitches
{
    std::vector<pitches::SequenceEntry> entries; ///< in order; none when the text is refused
    bool run = false; ///< a run of spellings, not one spelling
    std::string message; ///< why the text was refused
};

/// A part of the text as a message names it: at most a few characters of it, so that a paste of anything at all
/// makes a message that fits on the screen, and control characters shown as the replacement character.
std::string shownPart(std::string_view part)
{
    constexpr std::size_t kLongest = 24;
    std::string shown = "\xE2\x80\x9C";
    std::size_t i = 0;
    for (std::size_t characters = 0; i < part.size() && characters < kLongest; ++characters) {
        const auto lead = static_cast<unsigned char>(part[i]);
        const std::size_t start = i++;
        while (i < part.size() && (static_cast<unsigned char>(part[i]) & 0xC0) == 0x80) {
            ++i;
        }
        shown += lead < 0x20 || lead == 0x7F ? std::string_view("\xEF\xBF\xBD") : part.substr(start, i - start);
    }
    return shown + (i < part.size() ? "\xE2\x80\xA6" : "") + "\xE2\x80\x9D";
}

/// "Entry not found !", then the unknown parts of a run (each once, the first few by name).
std::string unknownPartsMessage(const std::vector<std::string_view>& unknown)
{
    constexpr std::size_t kNamed = 5;
    const std::size_t named = std::min(unknown.size(), kNamed);
    std::string names;
    for (std::size_t i = 0; i < named; ++i) {
        const bool lastNamed = i + 1 == named && unknown.size() <= kNamed;
        names += (i == 0 ? "" : lastNamed ? " and " : ", ") + shownPart(unknown[i]);
    }
    if (unknown.size() > kNamed) {
        names += " and " + std::to_string(unknown.size() - kNamed) + " more";
    }
    return std::string(kEntryNotFound) + "\n" + names
        + (unknown.size() == 1 ? " is not a pitch spelling" : " are not pitch spellings") + ", so nothing was entered.";
}

/// One spelling when the whole text is one (the lookup's exact match); otherwise a run of at least two
/// spellings separated by blanks, every one of them known.
TypedPitches readTyped(const pitches::PitchLookup& lookup, const std::string& text)
{
    if (const pitches::Pitch* whole = lookup.find(text)) {
        return {{{whole->id, whole->glyph}}, false, {}};
    }
    const std::vector<std::string_view> parts = pitches::splitAtBlanks(text);
    if (parts.size() < 2) {
        return {{}, false, kEntryNotFound};
    }
    TypedPitches typed;
    typed.run = true;
    typed.entries.reserve(parts.size());
    std::vector<std::string_view> unknown;
    std::unordered_set<std::string_view> seen;
    for (const std::string_view part : parts) {
        if (const pitches::Pitch* pitch = lookup.find(part)) {
            typed.entries.push_back({pitch->id, pitch->glyph});
        } else if (seen.insert(part).second) {
            unknown.push_back(part);
        }
    }
    if (!unknown.empty()) {
        typed.entries.clear();
        typed.message = unknownPartsMessage(unknown);
    }
    return typed;
}

std::string tooLongMessage(std::size_t positions)
{
    return "The line would have " + std::to_string(positions)
        + " pitches, more than the 32,767 a line can hold, so nothing was entered.";
}

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
    m_appendedSinceNew = 0;
    m_pitchRow.reset();
    pitches::MovementPitches loaded;
    try {
        loaded = pitches::loadMovementPitches(m_connectionString, movementId);
    } catch (const store::StoreError&) {
        // Never the pitches of another movement: the page shows none, as it holds none.
        m_view.showSequence(m_pitchRows);
        m_view.showCounts("0", "0");
        m_octave.reset();
        showOctaveChoice();
        showStaff();
        m_pitchesDirty = false;
        m_pitchText.clear();
        setCurrentPitchRow(std::nullopt, false);
        refreshEntryBox(m_pitchEditMode);
        throw;
    }
    m_pitchRows = loaded.entries;
    m_view.showSequence(m_pitchRows);
    loadOctaveSetting(movementId);
    showStaff();
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
        m_octave.reset();
        showOctaveChoice();
        showStaff();
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
    m_appendedSinceNew = 0;
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
    if (pitches::looksLikePae(text)) {
        enterPae(text);
        return;
    }
    const TypedPitches typed = readTyped(m_pitchLookup, text);
    if (!m_pitchTag.empty()) {
        const auto target = store::parseWholeNumber(m_pitchTag);
        if (typed.entries.empty() || !target || *target < 0
            || static_cast<std::size_t>(*target) >= m_pitchRows.size()) {
            m_window.tell({typed.message.empty() ? kEntryNotFound : typed.message});
            return;
        }
        const auto r = static_cast<std::size_t>(*target);
        const std::size_t positions = m_pitchRows.size() + typed.entries.size() - 1;
        if (typed.run && positions > kMostPositions) {
            m_window.tell({tooLongMessage(positions)});
            return;
        }
        m_appendedSinceNew = 0;
        m_pitchRows[r] = typed.entries.front();
        if (typed.run) {
            m_pitchRows.insert(m_pitchRows.begin() + static_cast<std::ptrdiff_t>(r) + 1, typed.entries.begin() + 1,
                               typed.entries.end());
            m_view.showSequence(m_pitchRows);
        } else {
            m_view.replacePosition(r, m_pitchRows[r]);
        }
        showStaff();
        setCurrentPitchRow(r, true);
        SavePitches();
        return;
    }
    if (typed.run) {
        const std::size_t positions = m_pitchRows.size() + typed.entries.size();
        if (typed.entries.empty() || positions > kMostPositions) {
            // The whole run stays in the box, to be corrected there.
            refuseEntry(typed.entries.empty() ? typed.message : tooLongMessage(positions), text);
            return;
        }
    }
    if (!typed.entries.empty()) {
        appendPositions(typed.entries);
    } else {
        m_window.tell({kEntryNotFound});
    }
    m_pitchText.clear();
    refreshEntryBox(true);
    m_view.setFocus(FocusTarget::PitchBox);
}

void PitchesPage::enterPae(const std::string& text)
{
    const auto read = pitches::readPae(text, capitalOctave(), m_pitchLookup);
    if (!read) {
        // The box keeps the code, to be mended.
        m_window.setStatus("");
        m_window.tell({read.message(), "Velk", MessageIcon::Warning});
        return;
    }
    std::vector<pitches::SequenceEntry> entries;
    for (const std::int32_t id : read->pitchIds) {
        entries.push_back({id, m_pitchLookup.byId(id)->glyph});
    }
    if (!m_pitchTag.empty()) {
        const auto target = store::parseWholeNumber(m_pitchTag);
        if (!target || *target < 0 || static_cast<std::size_t>(*target) >= m_pitchRows.size()) {
            m_window.tell({kEntryNotFound});
            return;
        }
        // The target gives way to the incipit's pitches; they are stored at once, as one replaced pitch is.
        const auto r = static_cast<std::size_t>(*target);
        const auto at = m_pitchRows.begin() + static_cast<std::ptrdiff_t>(r);
        m_appendedSinceNew = 0;
        m_pitchRows.insert(m_pitchRows.erase(at), entries.begin(), entries.end());
        m_view.showSequence(m_pitchRows);
        showStaff();
        setCurrentPitchRow(r + entries.size() - 1, true);
        if (SavePitches()) {
            m_window.setStatus(read->summary());
        }
        return;
    }
    // Shown afresh in one go: an incipit may bring many pitches at once.
    m_pitchRows.insert(m_pitchRows.end(), entries.begin(), entries.end());
    m_appendedSinceNew += entries.size();
    m_view.showSequence(m_pitchRows);
    showStaff();
    m_view.showCurrentPosition(m_pitchRows.size() - 1, true);
    m_pitchRow = m_pitchRows.size() - 1;
    m_pitchText.clear();
    refreshEntryBox(true);
    m_view.setFocus(FocusTarget::PitchBox);
    m_window.setStatus(read->summary());
}

store::Result<std::string> PitchesPage::CopyAsPae()
{
    if (movementId() < 1) {
        return store::Result<std::string>::failure(kSelectMovement);
    }
    return pitches::writePae(notatedLine());
}

void PitchesPage::appendPositions(const std::vector<pitches::SequenceEntry>& entries)
{
    for (const auto& entry : entries) {
        m_pitchRows.push_back(entry);
        m_view.appendPosition(entry);
    }
    showStaff();
    m_appendedSinceNew += entries.size();
    m_view.showCurrentPosition(m_pitchRows.size() - 1, true);
    m_pitchRow = m_pitchRows.size() - 1;
}

void PitchesPage::refuseEntry(const std::string& message, const std::string& typed)
{
    m_window.tell({message});
    m_pitchText = typed;
    refreshEntryBox(true);
    m_view.setFocus(FocusTarget::PitchBox);
}

void PitchesPage::insertPitches(const std::string& text)
{
    if (!m_pitchEditMode) {
        return;
    }
    const TypedPitches typed = readTyped(m_pitchLookup, text);
    const std::size_t positions = m_pitchRows.size() + typed.entries.size();
    if (typed.entries.empty() || positions > kMostPositions) {
        refuseEntry(typed.entries.empty() ? typed.message : tooLongMessage(positions), text);
        return;
    }
    const std::size_t at = m_pitchRow ? *m_pitchRow : m_pitchRows.size();
    m_appendedSinceNew = 0;
    m_pitchRows.insert(m_pitchRows.begin() + static_cast<std::ptrdiff_t>(at), typed.entries.begin(),
                       typed.entries.end());
    m_view.showSequence(m_pitchRows);
    showStaff();
    // The pitch the new ones went before stays current, so a further insertion there follows them.
    setCurrentPitchRow(std::min(at + typed.entries.size(), m_pitchRows.size() - 1), true);
    SavePitches();
}

bool PitchesPage::pitchBackspace(const std::string& text, bool autoRepeat)
{
    if (!m_pitchEditMode || !m_pitchTag.empty() || !text.empty()) {
        return false;
    }
    // A key held down to clear the box goes on repeating once the box is empty: that must not take pitches back.
    if (autoRepeat || m_appendedSinceNew == 0 || m_pitchRows.empty()) {
        return true;
    }
    --m_appendedSinceNew;
    m_pitchRows.pop_back();
    if (m_pitchRows.empty()) {
        m_view.showSequence(m_pitchRows);
        m_view.showCurrentPosition(std::nullopt, false);
        m_pitchRow.reset();
    } else {
        m_view.removePosition(m_pitchRows.size());
        m_view.showCurrentPosition(m_pitchRows.size() - 1, true);
        m_pitchRow = m_pitchRows.size() - 1;
    }
    showStaff();
    // Removing the current row shows the next current glyph in the box; the box stays empty for the next press.
    m_pitchText.clear();
    refreshEntryBox(true);
    return true;
}

void PitchesPage::DeletePitch()
{
    if (movementId() < 1) {
        return;
    }
    const std::optional<std::size_t> deleted = m_pitchRow;
    m_pitchesDirty = true;
    m_appendedSinceNew = 0;
    if (deleted && m_pitchRows.size() > 1) {
        m_pitchRows.erase(m_pitchRows.begin() + static_cast<std::ptrdiff_t>(*deleted));
        m_view.removePosition(*deleted);
    } else {
        m_pitchRows.clear();
        m_view.showSequence(m_pitchRows);
    }
    showStaff();
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
    m_appendedSinceNew = 0;
    setCurrentPitchRow(m_pitchRows.empty() ? std::nullopt : current, true);
    showAccidentalCounts();
    return {};
}

void PitchesPage::loadOctaveSetting(std::int64_t movementId)
{
    auto* recordset = m_records.recordset();
    if (recordset) {
        m_octave = pitches::loadOctaveSetting(recordset->connection(), movementId);
    } else {
        store::Connection connection = store::Connection::open(m_connectionString, store::AccessMode::ReadOnly);
        m_octave = pitches::loadOctaveSetting(connection, movementId);
    }
    showOctaveChoice();
}

void PitchesPage::showOctaveChoice()
{
    OctaveChoice choice;
    if (m_octave) {
        choice.fromVoices = pitches::defaultCapitalOctave(m_octave->voices);
        // A stored value Velk does not use counts as no choice, as it does for the staff.
        if (m_octave->stored && *m_octave->stored >= pitches::kLowestCapitalOctave
            && *m_octave->stored <= pitches::kHighestCapitalOctave) {
            choice.chosen = static_cast<int>(*m_octave->stored);
        }
        choice.enabled = true;
    }
    m_view.showOctaveChoice(choice);
}

int PitchesPage::capitalOctave() const
{
    return m_octave ? m_octave->capitalOctave() : pitches::kHighestCapitalOctave;
}

pitches::NotatedLine PitchesPage::notatedLine() const
{
    std::vector<std::string> spellings;
    spellings.reserve(m_pitchRows.size());
    for (const auto& entry : m_pitchRows) {
        const pitches::Pitch* pitch = m_pitchLookup.byId(entry.pitchId);
        spellings.push_back(pitch && pitch->spelling ? *pitch->spelling : std::string());
    }
    return pitches::notateLine(spellings, capitalOctave());
}

void PitchesPage::showStaff()
{
    m_view.showStaff(notatedLine());
}

store::Result<> PitchesPage::SetCapitalOctave(std::optional<int> octave)
{
    const std::int64_t id = movementId();
    if (!m_octave || id < 1) {
        return store::Result<>::failure(kSelectMovement);
    }
    if (octave && (*octave < pitches::kLowestCapitalOctave || *octave > pitches::kHighestCapitalOctave)) {
        return store::Result<>::failure("The octave of the capitals is 2, 3 or 4.");
    }
    try {
        // Through the window's read-write connection where there is one, as the sequence is stored.
        auto* recordset = m_records.recordset();
        if (recordset && !recordset->connection().isReadOnly()) {
            pitches::storeCapitalOctave(recordset->connection(), id, octave);
        } else {
            store::Connection connection = store::Connection::open(m_connectionString, store::AccessMode::ReadWrite);
            pitches::storeCapitalOctave(connection, id, octave);
        }
        if (recordset && recordset->columnIndex(pitches::kCapitalOctaveColumn) >= 0) {
            recordset->takeStoredValue(id, pitches::kCapitalOctaveColumn,
                                       octave ? store::Value(std::int64_t {*octave}) : store::Value());
        }
    } catch (const store::StoreError& error) {
        m_window.tell({error.what(), "Velk", MessageIcon::Warning});
        showOctaveChoice();
        return store::Result<>::failure(error.what());
    }
    m_octave->stored = octave;
    showOctaveChoice();
    showStaff();
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

std::size_t PitchesPage::appendedSinceNew() const
{
    return m_appendedSinceNew;
}

} // namespace velk::movement
