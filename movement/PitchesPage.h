#pragma once

#include "movement/MovementRecords.h"
#include "movement/MovementView.h"
#include "pitches/MovementLine.h"
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
/// entry (append, replace, insert, delete, store). The movement is the records' last one shown. Every change of
/// the sequence is stored through pitches::savePitches, with the whole new sequence.
///
/// What the entry box takes: one spelling, or, when the whole text is no spelling, a run of spellings separated
/// by blanks, which is entered as a whole or (when a part is unknown) not at all.
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
    /// The pitch box's Enter with the box's text: appends, or replaces the target (the first pitch of a run
    /// replaces it, the rest go after it) and stores. A text that starts as Plaine & Easie Code
    /// (pitches::looksLikePae) is read as an incipit in the movement's octave setting: its pitches are appended, or
    /// in replace mode take the target's place; a fault of the code is told and the box keeps the text.
    void enterPitch(const std::string& text);
    /// Insert, with the box's text: the typed pitch or run goes before the current position (at the end when
    /// there is none) and the sequence is stored, as a replacement is. The pitch that was current stays current.
    /// Only while the box is open.
    void insertPitches(const std::string& text);
    /// Backspace pressed in the pitch box with its text; true when the key is the page's, that is when the box is
    /// empty while appending. A press (not a key held down, autoRepeat) then takes back the last pitch appended
    /// since New and not yet stored; stored pitches are never taken back.
    bool pitchBackspace(const std::string& text, bool autoRepeat);
    void SetPitchEditing(bool on);
    void NewPitches();
    void EditPitches();
    void DeletePitch();
    void UndoPitchEdit();
    store::Result<> SavePitches();
    /// The page's sequence in Plaine & Easie Code in the movement's octave setting, for the clipboard; a failure
    /// says why there is none. Throws store::StoreError.
    store::Result<std::string> CopyAsPae();
    /// Stores the movement's octave setting at once (nothing: the default from its voices) and draws the staff in
    /// it. A failure is told and keeps the setting as it was.
    store::Result<> SetCapitalOctave(std::optional<int> octave);

    bool bPitchEditMode() const;
    bool bPitchesDirty() const;
    const std::vector<pitches::SequenceEntry>& pitchRows() const;
    std::optional<std::size_t> pitchRow() const;
    /// The pitch box's Tag: empty in append mode, the target row in replace mode.
    const std::string& pitchTag() const;
    const std::string& pitchText() const;
    /// How many of the last positions were appended since New and are not yet stored.
    std::size_t appendedSinceNew() const;
    /// The octave of the capitals the staff is drawn in.
    int capitalOctave() const;
    /// The line the page shows (its rows, stored or not) in the movement's octave setting, as the staff draws it,
    /// the player plays it and Copy as PAE writes it.
    pitches::NotatedLine notatedLine() const;

private:
    void enterPae(const std::string& text);
    void setCurrentPitchRow(std::optional<std::size_t> row, bool scrollIntoView);
    /// Appends positions to the line shown, the last one current; nothing is stored.
    void appendPositions(const std::vector<pitches::SequenceEntry>& entries);
    /// Shows the message of a refused entry and keeps the typed text in the open box.
    void refuseEntry(const std::string& message, const std::string& typed);
    void refreshEntryBox(bool editing);
    void showAccidentalCounts();
    std::int64_t movementId() const;
    void loadOctaveSetting(std::int64_t movementId);
    void showOctaveChoice();
    /// Draws the staff from the rows and the octave setting; called after every change of either.
    void showStaff();

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
    std::size_t m_appendedSinceNew = 0;
    std::optional<pitches::OctaveSetting> m_octave; ///< nothing without a stored movement shown
};

} // namespace velk::movement
