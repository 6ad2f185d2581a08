#include "movement/MovementRecords.h"

#include "movement/MovementFields.h"
#include "store/StoreError.h"
#include "store/Value.h"

#include <exception>
#include <utility>

namespace velk::movement
{
namespace
{

using store::MoveReason;
using store::Value;

constexpr const char* kDeleteQuestion = "Are you sure you want to delete this movement?";

} // namespace

MovementRecords::MovementRecords(WindowView& window, MovementPageView& view)
    : m_window(window)
    , m_view(view)
{
}

void MovementRecords::open(std::unique_ptr<store::MovementRecordset> recordset, Listener listener)
{
    m_recordset = std::move(recordset);
    m_listener = std::move(listener);
    m_recordset->setWillMove([this](MoveReason reason) { return moveGuard(reason); });
    m_recordset->setMoveComplete([this](MoveReason reason) { moveCompletion(reason); });
    if (!m_recordset->bof() && !m_recordset->eof()) {
        m_recordset->moveFirst();
        m_lastMovementId = m_recordset->field("iMovementID").toInt64();
    } else {
        m_lastMovementId = 0;
        m_view.showBoundFields();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Record moves

bool MovementRecords::moveGuard(MoveReason) const
{
    // A move during a pitch edit would reload the grid and drop the appended pitches, or store a pending
    // replacement under the next movement, so pitch edits hold the record as movement edits do.
    return !m_movementEditMode && !(m_listener.holdsRecord && m_listener.holdsRecord());
}

void MovementRecords::moveCompletion(MoveReason reason)
{
    const bool acts = reason == MoveReason::Move || reason == MoveReason::MoveFirst || reason == MoveReason::MoveNext
        || reason == MoveReason::MovePrevious || reason == MoveReason::MoveLast;
    // The row is current whatever its pitches do: the fields and the grid follow it even when its pitches
    // cannot be read, and that failure is then passed on.
    std::exception_ptr failure;
    if (acts && m_recordset->position() > 0) {
        const Value& id = m_recordset->field("iMovementID");
        if (!id.isNull()) {
            m_lastMovementId = id.toInt64();
            reloadRichText();
            updateCaption();
        } else {
            m_lastMovementId = 0;
            m_view.setRichPlainText(RichBox::Description, "");
            m_view.setRichPlainText(RichBox::Comments, "");
        }
        try {
            showMovement(m_lastMovementId);
        } catch (const store::StoreError&) {
            failure = std::current_exception();
        }
    }
    m_view.showBoundFields();
    m_view.syncMovementGrid(m_recordset->currentIndex());
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void MovementRecords::showMovement(std::int64_t movementId)
{
    if (m_listener.movementShown) {
        m_listener.movementShown(movementId);
    }
}

void MovementRecords::updateCaption()
{
    m_caption = "Velk Movements - KTN:  " + m_recordset->field("iKTN").toText()
        + " - MVMT:  " + m_recordset->field("iMvmt").toText();
    m_window.setCaption(m_caption);
}

void MovementRecords::navigate(Button button)
{
    auto& rs = *m_recordset;
    const bool empty = rs.bof() && rs.eof();
    if (button == First && !empty) {
        rs.moveFirst();
    } else if (button == Prev && !rs.bof()) {
        rs.movePrevious();
    } else if (button == Next && !rs.eof()) {
        rs.moveNext();
    } else if (button == Last && !empty) {
        rs.moveLast();
    }
}

bool MovementRecords::GridRowChosen(std::size_t row)
{
    const bool moved = m_recordset->moveTo(row);
    if (!moved) {
        m_view.syncMovementGrid(m_recordset->currentIndex());
    }
    return moved;
}

// ---------------------------------------------------------------------------------------------------------
// Data binding

void MovementRecords::SetBoundText(const std::string& field, const std::string& text)
{
    if (!m_recordset || m_recordset->position() < 1) {
        return;
    }
    if (text.empty()) {
        m_recordset->setField(field, Value());
    } else if (m_recordset->isIntegerColumn(field)) {
        const auto number = store::parseWholeNumber(text);
        m_recordset->setField(field, number ? Value(*number) : Value(text));
    } else {
        m_recordset->setField(field, Value(text));
    }
}

void MovementRecords::SetBoundCheck(const std::string& field, bool checked)
{
    if (m_recordset && m_recordset->position() > 0) {
        m_recordset->setField(field, Value(checked));
    }
}

std::string MovementRecords::BoundText(const std::string& field) const
{
    if (!m_recordset || m_recordset->position() < 1) {
        return {};
    }
    return m_recordset->field(field).toText();
}

bool MovementRecords::BoundCheck(const std::string& field) const
{
    if (!m_recordset || m_recordset->position() < 1) {
        return false;
    }
    return m_recordset->field(field).toBool();
}

// ---------------------------------------------------------------------------------------------------------
// Movement commands

void MovementRecords::NewMovement()
{
    // An undo of the new row comes back to what was shown before, also from a position past either end.
    m_movementIdBeforeNew = m_lastMovementId;
    m_recordset->addNew();
    showMovement(0);
    for (const auto& field : movementFields()) {
        if (field.kind == FieldKind::Check) {
            m_recordset->setField(field.column, Value(false));
        }
    }
    m_view.showBoundFields();
    SetMovementFieldsEnabled(true);
    m_view.setFocus(FocusTarget::KTN);
}

void MovementRecords::EditMovement(FocusTarget first)
{
    SetMovementFieldsEnabled(true);
    m_view.setFocus(first);
}

store::Result<> MovementRecords::SaveMovement()
{
    auto fail = [this](const std::string& description) {
        const std::string text = "Error Saving:  " + description;
        m_window.tell({text});
        return store::Result<>::failure(text);
    };
    if (!m_recordset || m_recordset->position() < 1) {
        return fail("There is no movement to save.");
    }
    auto& rs = *m_recordset;
    for (const auto& field : movementFields()) {
        if (field.kind != FieldKind::WholeNumber) {
            continue;
        }
        const Value& value = rs.field(field.column);
        if (value.isText() && store::isOutOfRangeWholeNumber(value.toText())) {
            return fail(std::string(field.label) + " is too large; \xE2\x80\x9C" + value.toText()
                        + "\xE2\x80\x9D lies outside the whole numbers a catalogue holds.");
        }
        if (value.isText()) {
            const auto outcome = fail(std::string(field.label) + " must be a whole number; \xE2\x80\x9C"
                                      + value.toText() + "\xE2\x80\x9D is not one.");
            m_view.focusField(field.column);
            return outcome;
        }
    }
    // The stored deviation belongs to the movement's stored pitches: storing them writes it, and a save of the
    // fields writes only the fields that changed. A new row has no pitches yet, so it starts with the figure of
    // an empty sequence, 0, as its tabulations page shows.
    if (rs.editState() == store::EditState::Added) {
        rs.setField("Deviation", Value(0.0));
    }
    // A rich-text column is written only when its box was edited, so formatting that the box cannot show
    // stays in the stored text byte for byte.
    const auto comments = m_view.editedRichText(RichBox::Comments);
    const auto description = m_view.editedRichText(RichBox::Description);
    if (comments) {
        rs.setField("txtComments", Value(*comments));
    }
    if (description) {
        rs.setField("Description", Value(*description));
    }
    try {
        rs.updateBatch(store::Affect::Current);
    } catch (const store::StoreError& error) {
        // The edit stays open and pending, whatever the failure, so the user can correct it or undo it.
        return fail(error.what());
    }
    if (comments) {
        m_view.markRichTextSaved(RichBox::Comments);
    }
    if (description) {
        m_view.markRichTextSaved(RichBox::Description);
    }
    m_lastMovementId = rs.field("iMovementID").toInt64();
    // A new row, or one whose KTN, movement or order changed, takes its place in the catalogue order.
    rs.placeCurrentInOrder();
    m_view.syncMovementGrid(rs.currentIndex());
    updateCaption();
    SetMovementFieldsEnabled(false);
    m_view.showBoundFields();
    return {};
}

void MovementRecords::UndoMovementEdit()
{
    auto& rs = *m_recordset;
    bool addedRowCancelled = false;
    if (!(rs.bof() && rs.eof())) {
        const auto state = rs.editState();
        if (state == store::EditState::InProgress || state == store::EditState::Added
            || state == store::EditState::Deleted) {
            addedRowCancelled = state == store::EditState::Added;
            try {
                rs.cancelBatch();
            } catch (const store::StoreError&) {
                // The edit is undone; only showing the row it came back to failed.
                SetMovementFieldsEnabled(false);
                throw;
            }
        }
    }
    SetMovementFieldsEnabled(false);
    // Show the undone state: the boxes are not bound, so they are loaded again from the row, or emptied when
    // cancelling the only (added) row left no row at all. Back past either end, the window shows again the
    // movement it showed before the new row.
    if (rs.position() > 0) {
        reloadRichText();
    } else if (rs.bof() && rs.eof()) {
        showNoMovement();
    } else if (addedRowCancelled) {
        showStoredMovement(m_movementIdBeforeNew);
    }
    m_view.showBoundFields();
}

void MovementRecords::DeleteMovement()
{
    if (!m_window.ask({kDeleteQuestion, "Confirm Delete", MessageIcon::Question})) {
        SetMovementFieldsEnabled(false);
        return;
    }
    auto& rs = *m_recordset;
    const std::optional<std::int64_t> deleted = currentMovementId();
    rs.deleteCurrent();
    // The batch is committed first and only then leaves the snapshot and moves to the next row, whose pitches
    // are read: what the snapshot still holds tells whether the file still holds the movement.
    try {
        rs.updateBatch(store::Affect::All);
        if (rs.bof() && rs.eof()) {
            showNoMovement();
        }
    } catch (const store::StoreError& error) {
        const bool deletedNow = deleted && !rowOf(*deleted);
        if (!deletedNow) {
            rs.cancelBatch();
        }
        SetMovementFieldsEnabled(false);
        m_window.tell({deletedNow ? "The movement was deleted, but the movement shown now could not be read: "
                               + std::string(error.what())
                                  : "The movement was not deleted: " + std::string(error.what()),
                       "Velk", MessageIcon::Warning});
        return;
    }
    SetMovementFieldsEnabled(false);
}

std::optional<std::size_t> MovementRecords::rowOf(std::int64_t movementId) const
{
    const int idColumn = m_recordset->columnIndex("iMovementID");
    for (std::size_t row = 0; idColumn >= 0 && row < static_cast<std::size_t>(m_recordset->recordCount()); ++row) {
        const Value& id = m_recordset->fieldAt(row, static_cast<std::size_t>(idColumn));
        if (!id.isNull() && id.toInt64() == movementId) {
            return row;
        }
    }
    return std::nullopt;
}

void MovementRecords::SetMovementFieldsEnabled(bool enable)
{
    m_window.setTabsEnabled(!enable);
    m_movementEditMode = enable;
    m_view.setMovementFieldsEnabled(enable);
}

void MovementRecords::reloadRichText()
{
    m_view.setRichText(RichBox::Comments, m_recordset->field("txtComments").toText());
    m_view.setRichText(RichBox::Description, m_recordset->field("Description").toText());
}

void MovementRecords::showStoredMovement(std::int64_t movementId)
{
    auto& rs = *m_recordset;
    const auto row = rowOf(movementId);
    if (!row) {
        return;
    }
    for (const auto& [box, field] :
         {std::pair {RichBox::Comments, "txtComments"}, std::pair {RichBox::Description, "Description"}}) {
        const int column = rs.columnIndex(field);
        m_view.setRichText(box,
                           column < 0 ? std::string() : rs.fieldAt(*row, static_cast<std::size_t>(column)).toText());
    }
    m_lastMovementId = movementId;
    showMovement(m_lastMovementId);
}

void MovementRecords::showNoMovement()
{
    m_lastMovementId = 0;
    m_view.setRichPlainText(RichBox::Description, "");
    m_view.setRichPlainText(RichBox::Comments, "");
    m_caption = kDesignCaption;
    m_window.setCaption(m_caption);
    showMovement(0);
    m_view.showBoundFields();
    m_view.syncMovementGrid(std::nullopt);
}

std::int64_t MovementRecords::iLastMovementID() const
{
    return m_lastMovementId;
}

bool MovementRecords::bMovementEditMode() const
{
    return m_movementEditMode;
}

const std::string& MovementRecords::caption() const
{
    return m_caption;
}

store::MovementRecordset* MovementRecords::recordset() const
{
    return m_recordset.get();
}

std::optional<std::int64_t> MovementRecords::currentMovementId() const
{
    if (m_recordset && m_recordset->position() > 0 && !m_recordset->field("iMovementID").isNull()) {
        return m_recordset->field("iMovementID").toInt64();
    }
    return std::nullopt;
}

} // namespace velk::movement
