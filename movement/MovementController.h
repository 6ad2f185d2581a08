#pragma once

#include "movement/CommandState.h"
#include "movement/MovementView.h"
#include "pitches/PitchLookup.h"
#include "pitches/PitchSequence.h"
#include "store/ConnectionString.h"
#include "store/MovementRecordset.h"
#include "store/Outcome.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::movement
{

/// The logic of the movement window: start-up, record moves, tab pages, the toolbar commands, pitch entry,
/// tabulations and closing. It owns the movement recordset and the pitch lookup, keeps the window variables,
/// and drives its window through MovementView. Nothing here needs a display.
///
/// Catalogue failures are never fatal once the window runs: each is told to the user through the view and
/// leaves the data and the user's pending edits as they were.
class MovementController
{
public:
    static constexpr const char* kDesignCaption = "Velk - Movements";

    explicit MovementController(MovementView& view, std::string connectionString = store::kConnectionString);
    ~MovementController();
    MovementController(const MovementController&) = delete;
    MovementController& operator=(const MovementController&) = delete;

    /// The load handler. Fails (with a finished message naming the file and folder) when the catalogue is
    /// missing or not a catalogue, or when it has no pitches; the window then ends the program.
    store::Outcome Load();

    // Events of the window's controls.
    /// A click on toolbar button 1 to 11: navigation by Key, commands by Tag and page, then the refresh.
    void ToolbarClick(int button);
    /// The window's key-press handler: codes 4, 5, 14, 19, 21 click their button, when it is enabled.
    void KeyPress(int code);
    /// A click on a tab, given the tab's key.
    void TabClick(const std::string& key);
    /// A line chosen in the movement grid; false when the move was refused.
    bool GridRowChosen(std::size_t row);
    /// The pitch grid's current row changed (by the user or the program).
    void PitchSelectionChanged(std::optional<std::size_t> row);
    /// The pitch box's key-press handler; acts on Enter (13) with the box's text.
    void PitchKeyPress(int code, const std::string& text);
    /// The unload handler; true when the window may close.
    bool Unload();

    // Data binding of the text boxes and check boxes.
    /// Writes a bound text box into the current row: an empty box is Null; integer fields keep a typed text
    /// that is no whole number until the save refuses it.
    void SetBoundText(const std::string& field, const std::string& text);
    void SetBoundCheck(const std::string& field, bool checked);
    /// What a bound control shows for the current row (empty without one).
    std::string BoundText(const std::string& field) const;
    bool BoundCheck(const std::string& field) const;

    // Movement commands.
    void NewMovement();
    void EditMovement();
    store::Outcome SaveMovement();
    void UndoMovementEdit();
    void DeleteMovement();
    void SetMovementFieldsEnabled(bool enable);
    void RefreshCommandState();
    void ShowFindBySubject();

    // Pitch sequence display and entry.
    void LoadMovementPitches(std::int64_t movementId);
    void SetPitchEditing(bool on);
    void NewPitches();
    void EditPitches();
    void DeletePitch();
    void UndoPitchEdit();
    store::Outcome SavePitches();

    // Tabulations.
    void LoadTabulations(std::optional<std::int64_t> movementId);

    // Window variables and state, for the window and for tests.
    std::int64_t iLastMovementID() const;
    float sDeviation() const;
    bool bMovementEditMode() const;
    bool bPitchEditMode() const;
    bool bPitchesDirty() const;
    const std::string& selectedTab() const;
    const ButtonFlags& buttons() const;
    const std::string& caption() const;
    const std::string& connectionString() const;
    store::MovementRecordset* recordset() const;
    const pitches::PitchLookup& pitchLookup() const;
    const std::vector<pitches::SequenceEntry>& pitchRows() const;
    std::optional<std::size_t> pitchRow() const;
    /// The pitch box's Tag: empty in append mode, the target row in replace mode.
    const std::string& pitchTag() const;
    const std::string& pitchText() const;

private:
    bool moveGuard(store::MoveReason reason) const;
    void moveCompletion(store::MoveReason reason);
    void navigate(const std::string& key);
    void routeCommand(const std::string& tag);
    void showNoMovement();
    /// Shows the rich text and the pitch page of a stored movement of the recordset, current or not.
    void showStoredMovement(std::int64_t movementId);
    void reloadRichText();
    void setCurrentPitchRow(std::optional<std::size_t> row, bool scrollIntoView);
    /// Shows the tabulations of a stored movement (or empty ones); false when there is none to show.
    bool showTabulationsOf(std::optional<std::int64_t> movementId);
    void storeDeviation();
    void showAccidentalCounts();
    void updateCaption();
    void reportStoreError(const std::string& what);

    MovementView& m_view;
    std::string m_connectionString;
    std::unique_ptr<store::MovementRecordset> m_recordset;
    pitches::PitchLookup m_pitchLookup;

    std::int64_t m_lastMovementId = 0;
    std::int64_t m_movementIdBeforeNew = 0;
    float m_deviation = 0;
    bool m_movementEditMode = false;
    bool m_pitchEditMode = false;
    bool m_pitchesDirty = false;

    std::string m_selectedTab = kTabMovementData;
    ButtonFlags m_buttons {};
    std::string m_caption = kDesignCaption;

    std::vector<pitches::SequenceEntry> m_pitchRows;
    std::optional<std::size_t> m_pitchRow;
    std::string m_pitchTag;
    std::string m_pitchText;
};

} // namespace velk::movement
