#pragma once

#include "movement/MovementView.h"
#include "store/MovementRecordset.h"
#include "store/Result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velk::movement
{

/// The movement records: the recordset, moves and what follows them, the bound fields, and the movement
/// commands New, Edit, Save, Undo and Delete. It draws the movement's fields and the caption; the pitches and
/// tabulations of the movement shown are left to their pages through the listener.
///
/// Catalogue errors (store::StoreError) leave these calls; the window's entry points catch them.
class MovementRecords
{
public:
    /// What the other pages are told of and asked by the records.
    struct Listener
    {
        /// A movement (0: none) is shown now; its pitches and figures follow.
        std::function<void(std::int64_t movementId)> movementShown;
        /// True while a page holds the record (a pitch edit in progress).
        std::function<bool()> holdsRecord;
    };

    static constexpr const char* kDesignCaption = "Velk - Movements";

    MovementRecords(WindowView& window, MovementPageView& view);

    /// Takes the window's recordset and makes its first movement current; throws store::StoreError.
    void open(std::unique_ptr<store::MovementRecordset> recordset, Listener listener);

    /// A line chosen in the movement grid; false when the move was refused.
    bool GridRowChosen(std::size_t row);
    /// Moves as a navigation button (First, Prev, Next, Last) does; past either end it does nothing.
    void navigate(Button button);

    /// Writes a bound text box into the current row: an empty box is Null; integer fields keep a typed text
    /// that is no whole number until the save refuses it.
    void SetBoundText(const std::string& field, const std::string& text);
    void SetBoundCheck(const std::string& field, bool checked);
    /// What a bound control shows for the current row (empty without one).
    std::string BoundText(const std::string& field) const;
    bool BoundCheck(const std::string& field) const;

    void NewMovement();
    /// Opens the fields, with the focus in the first field of the given page.
    void EditMovement(FocusTarget first);
    store::Result<> SaveMovement();
    void UndoMovementEdit();
    void DeleteMovement();
    void SetMovementFieldsEnabled(bool enable);

    std::int64_t iLastMovementID() const;
    bool bMovementEditMode() const;
    const std::string& caption() const;
    store::MovementRecordset* recordset() const;
    /// The id of the current row when it is a stored movement.
    std::optional<std::int64_t> currentMovementId() const;

private:
    bool moveGuard(store::MoveReason reason) const;
    void moveCompletion(store::MoveReason reason);
    void showNoMovement();
    /// Shows the rich text and the pitch page of a stored movement of the recordset, current or not.
    void showStoredMovement(std::int64_t movementId);
    void reloadRichText();
    /// The snapshot's row of a stored movement; nothing once it has left the snapshot (and so the file).
    std::optional<std::size_t> rowOf(std::int64_t movementId) const;
    void updateCaption();
    void showMovement(std::int64_t movementId);

    WindowView& m_window;
    MovementPageView& m_view;
    Listener m_listener;
    std::unique_ptr<store::MovementRecordset> m_recordset;
    std::int64_t m_lastMovementId = 0;
    std::int64_t m_movementIdBeforeNew = 0;
    bool m_movementEditMode = false;
    std::string m_caption = kDesignCaption;
};

} // namespace velk::movement
