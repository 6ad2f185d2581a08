#pragma once

#include "movement/MovementRecords.h"
#include "movement/MovementView.h"
#include "pitches/PitchLookup.h"
#include "pitches/PitchSequence.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::movement
{

/// The pitches page: the sequence of the movement shown, the current position, the accidental counts, and
/// entry (append, replace, delete, store). The movement is the records' last one shown.
///
/// Catalogue errors (store::StoreError) of loading leave these calls; the window's entry points catch them.
class PitchesPage
{
public:
    PitchesPage(WindowView& window,
                PitchesPageView& view,
                const MovementRecords& records,
                std::string connectionString);

    void setLookup(pitches::PitchLookup lookup);
    const pitches::PitchLookup& pitchLookup() const;

    void LoadMovementPitches(std::int64_t movementId);
    /// Shows the page of the last movement on entering it: its pitches, the first one current.
    void enter();
    /// The pitch grid's current row changed (by the user or the program).
    void PitchSelectionChanged(std::optional<std::size_t> row);
    /// Makes a position current and scrolls it into view, as a click on its row does (the line being played);
    /// nothing for a row past the end.
    void selectPosition(std::size_t row);
    /// The pitch box's Enter with the box's text.
    void enterPitch(const std::string& text);
    void SetPitchEditing(bool on);
    void NewPitches();
    void EditPitches();
    void DeletePitch();
    void UndoPitchEdit();
    store::Result<> SavePitches();

    bool bPitchEditMode() const;
    bool bPitchesDirty() const;
    const std::vector<pitches::SequenceEntry>& pitchRows() const;
    std::optional<std::size_t> pitchRow() const;
    /// The pitch box's Tag: empty in append mode, the target row in replace mode.
    const std::string& pitchTag() const;
    const std::string& pitchText() const;

private:
    void setCurrentPitchRow(std::optional<std::size_t> row, bool scrollIntoView);
    void refreshEntryBox(bool editing);
    void showAccidentalCounts();
    std::int64_t movementId() const;

    WindowView& m_window;
    PitchesPageView& m_view;
    const MovementRecords& m_records;
    std::string m_connectionString;
    pitches::PitchLookup m_pitchLookup;

    bool m_pitchEditMode = false;
    bool m_pitchesDirty = false;
    std::vector<pitches::SequenceEntry> m_pitchRows;
    std::optional<std::size_t> m_pitchRow;
    std::string m_pitchTag;
    std::string m_pitchText;
};

} // namespace velk::movement
