#include "movement/MovementController.h"

#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"

#include <array>
#include <utility>

namespace velk::movement
{
namespace
{

using store::MoveReason;
using store::Outcome;
using store::StoreError;
using store::Value;

constexpr const char* kSaveQuestion = "Edit in progress, do you want to save changes before exiting?";
constexpr const char* kUndoQuestion = "Are you sure you want to undo your changes?";
constexpr const char* kDeleteQuestion = "Are you sure you want to delete this movement?";
constexpr const char* kSelectMovement = "Please select a movement from the grid on the movement tab.";
constexpr const char* kEntryNotFound = "Entry not found !";

// The label a user knows an integer field by, for the save message.
struct IntegerField
{
    const char* field;
    const char* label;
};
constexpr std::array<IntegerField, 5> kIntegerFields {{
    {"iKTN", "KTN"},
    {"iMvmt", "Mvt."},
    {"iOrder", "Order #"},
    {"iLength", "Mm."},
    {"i12in", "12 in"},
}};

constexpr std::array<const char*, 5> kVoiceFields {"chkSoprano", "chkAlto", "chkTenor", "chkBass", "chkAccompanied"};

// The value a single-precision deviation is stored as: the double of its shortest text, so 12.6f is kept as
// 12.6 and not as 12.600000381469727.
double storedDeviation(float deviation)
{
    return std::stod(store::formatSingle(deviation));
}

std::string fieldText(const Value& value)
{
    return value.toText();
}

} // namespace

MovementController::MovementController(MovementView& view, std::string connectionString)
    : m_view(view)
    , m_connectionString(std::move(connectionString))
{
    m_buttons.fill(true);
}

MovementController::~MovementController() = default;

Outcome MovementController::Load()
{
    m_view.showPage(Page::MovementData);
    SetPitchEditing(false);
    SetMovementFieldsEnabled(false);

    try {
        m_recordset = std::make_unique<store::MovementRecordset>(
            store::Connection::open(m_connectionString, store::AccessMode::ReadWrite));
        if (!m_recordset->connection().isReadOnly()) {
            melody::ensureMelodyIndex(m_recordset->connection());
            store::ensureIndexes(m_recordset->connection());
        }
        auto lookupConnection = store::Connection::open(m_connectionString, store::AccessMode::ReadOnly);
        m_pitchLookup = pitches::PitchLookup::load(lookupConnection);
    } catch (const StoreError& error) {
        m_recordset.reset();
        return Outcome::failure(
            std::string(error.what())
            + "\nMake a catalogue with \xE2\x80\x9Cvelk-catalogue new Velk.db\xE2\x80\x9D (empty) or "
              "\xE2\x80\x9Cvelk-catalogue demo Velk.db\xE2\x80\x9D (with sample movements) in "
              "this folder.");
    }
    if (m_pitchLookup.empty()) {
        const auto file = store::catalogueFileFromConnectionString(m_connectionString);
        m_recordset.reset();
        return Outcome::failure("The catalogue " + file
                                + " has no pitches in tblPitchLookup, so no pitch sequence can be shown or "
                                  "entered. Make a new catalogue with \xE2\x80\x9Cvelk-catalogue new\xE2\x80\x9D.");
    }

    m_recordset->setWillMove([this](MoveReason reason) { return moveGuard(reason); });
    m_recordset->setMoveComplete([this](MoveReason reason) { moveCompletion(reason); });

    try {
        if (!m_recordset->bof() && !m_recordset->eof()) {
            m_recordset->moveFirst();
            m_lastMovementId = m_recordset->field("iMovementID").toInt64();
        } else {
            m_lastMovementId = 0;
            m_view.showBoundFields();
        }
        LoadMovementPitches(m_lastMovementId);
    } catch (const StoreError& error) {
        return Outcome::failure(error.what());
    }
    RefreshCommandState();
    return Outcome::success();
}

// ---------------------------------------------------------------------------------------------------------
// Record moves

bool MovementController::moveGuard(MoveReason) const
{
    // A move during a pitch edit would reload the grid and drop the appended pitches, or store a pending
    // replacement under the next movement, so pitch edits hold the record as movement edits do.
    return !m_movementEditMode && !m_pitchEditMode && !m_pitchesDirty;
}

void MovementController::moveCompletion(MoveReason reason)
{
    const bool acts = reason == MoveReason::Requery || reason == MoveReason::Move || reason == MoveReason::MoveFirst
        || reason == MoveReason::MoveNext || reason == MoveReason::MovePrevious || reason == MoveReason::MoveLast;
    if (acts && m_recordset->position() > 0) {
        const Value& id = m_recordset->field("iMovementID");
        if (!id.isNull()) {
            m_lastMovementId = id.toInt64();
            m_view.setRichText(RichBox::Comments, fieldText(m_recordset->field("txtComments")));
            m_view.setRichText(RichBox::Description, fieldText(m_recordset->field("Description")));
            LoadMovementPitches(m_lastMovementId);
            updateCaption();
            // The figures shown follow the record; a move writes nothing.
            if (m_selectedTab == kTabTabulations) {
                showTabulationsOf(m_lastMovementId);
            }
        } else {
            m_lastMovementId = 0;
            m_view.setRichPlainText(RichBox::Description, "");
            m_view.setRichPlainText(RichBox::Comments, "");
            LoadMovementPitches(m_lastMovementId);
            m_deviation = 0;
        }
    }
    m_view.showBoundFields();
    m_view.syncMovementGrid(m_recordset->currentIndex());
    // Refreshed after every completed move, whatever made it, so a grid click after a move past either end
    // enables the commands of the row it reached.
    RefreshCommandState();
}

void MovementController::updateCaption()
{
    m_caption = "Velk Movements - KTN:  " + m_recordset->field("iKTN").toText()
        + " - MVMT:  " + m_recordset->field("iMvmt").toText();
    m_view.setCaption(m_caption);
}

void MovementController::navigate(const std::string& key)
{
    auto& rs = *m_recordset;
    const bool empty = rs.bof() && rs.eof();
    if (key == "first" && !empty) {
        rs.moveFirst();
    } else if (key == "prev" && !rs.bof()) {
        rs.movePrevious();
    } else if (key == "next" && !rs.eof()) {
        rs.moveNext();
    } else if (key == "last" && !empty) {
        rs.moveLast();
    }
}

bool MovementController::GridRowChosen(std::size_t row)
{
    if (!m_recordset) {
        return false;
    }
    try {
        const bool moved = m_recordset->moveTo(row);
        if (!moved) {
            m_view.syncMovementGrid(m_recordset->currentIndex());
        }
        return moved;
    } catch (const StoreError& error) {
        reportStoreError(error.what());
        return false;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Toolbar, keys and tabs

void MovementController::ToolbarClick(int button)
{
    if (!m_recordset || button < 1 || button > kButtonCount) {
        return;
    }
    const std::string key = toolbarButtons()[button].key;
    try {
        if (key == "first" || key == "prev" || key == "next" || key == "last") {
            navigate(key);
        } else {
            routeCommand(key);
        }
    } catch (const StoreError& error) {
        reportStoreError(error.what());
    }
    RefreshCommandState();
}

void MovementController::routeCommand(const std::string& tag)
{
    if (m_selectedTab == kTabMovementData || m_selectedTab == kTabSubjects) {
        if (tag == "new") {
            NewMovement();
        } else if (tag == "save") {
            SaveMovement();
        } else if (tag == "edit") {
            EditMovement();
        } else if (tag == "undo") {
            if (m_view.ask({kUndoQuestion, "Confirm Delete", MessageIcon::Question})) {
                UndoMovementEdit();
            }
        } else if (tag == "delete") {
            DeleteMovement();
        } else if (tag == "find") {
            ShowFindBySubject();
        }
    } else if (m_selectedTab == kTabPitches) {
        if (tag == "new") {
            NewPitches();
        } else if (tag == "save") {
            SavePitches();
        } else if (tag == "edit") {
            EditPitches();
        } else if (tag == "undo") {
            if (m_view.ask({kUndoQuestion, "Confirm Delete", MessageIcon::Question})) {
                UndoPitchEdit();
            }
        } else if (tag == "delete") {
            DeletePitch();
        } else if (tag == "find") {
            ShowFindBySubject();
        }
    } else if (m_selectedTab == kTabTabulations && tag == "find") {
        ShowFindBySubject();
    }
}

void MovementController::KeyPress(int code)
{
    const auto button = buttonForKeyCode(code);
    // A shortcut stands for a click on its button, so it does nothing while the button is disabled: the
    // commands themselves assume the state in which their button is offered.
    if (button && m_buttons[*button]) {
        ToolbarClick(*button);
    }
}

void MovementController::TabClick(const std::string& key)
{
    if (!m_recordset) {
        return;
    }
    m_selectedTab = key;
    m_view.showPage(Page::None);
    try {
        if (key == kTabMovementData) {
            m_view.showPage(Page::MovementData);
        } else if (key == kTabPitches) {
            for (int b = New; b <= Delete; ++b) {
                m_buttons[b] = false;
            }
            if (m_lastMovementId < 1) {
                m_pitchRows.clear();
                m_view.pitchGridReset(m_pitchRows);
                setCurrentPitchRow(std::nullopt, false);
                m_view.tell({kSelectMovement});
            } else {
                LoadMovementPitches(m_lastMovementId);
                m_view.showPage(Page::Pitches);
                if (!m_pitchRows.empty()) {
                    setCurrentPitchRow(0, true);
                    m_view.setFocus(FocusTarget::PitchGrid);
                } else {
                    m_pitchText.clear();
                    m_view.setPitchBox(m_pitchText, m_pitchEditMode);
                }
            }
            m_view.showPage(Page::Pitches);
        } else if (key == kTabTabulations) {
            for (int b = New; b <= Delete; ++b) {
                m_buttons[b] = false;
            }
            std::optional<std::int64_t> id;
            if (m_recordset->position() > 0 && !m_recordset->field("iMovementID").isNull()) {
                id = m_recordset->field("iMovementID").toInt64();
            }
            LoadTabulations(id);
            m_view.showPage(Page::Tabulations);
        } else if (key == kTabSubjects) {
            m_view.showPage(Page::Subjects);
        }
    } catch (const StoreError& error) {
        reportStoreError(error.what());
    }
    RefreshCommandState();
}

void MovementController::RefreshCommandState()
{
    CommandStateInputs in;
    if (m_recordset) {
        in.bof = m_recordset->bof();
        in.eof = m_recordset->eof();
        in.editState = static_cast<int>(m_recordset->editState());
        in.recordCount = m_recordset->recordCount();
    }
    in.tabKey = m_selectedTab;
    in.bMovementEditMode = m_movementEditMode;
    in.bPitchEditMode = m_pitchEditMode;
    in.bPitchesDirty = m_pitchesDirty;
    in.pitchRows = static_cast<long>(m_pitchRows.size());
    in.hasStoredMovement = m_lastMovementId >= 1;
    velk::movement::RefreshCommandState(in, m_buttons);
    m_view.setButtonsEnabled(m_buttons);
}

// ---------------------------------------------------------------------------------------------------------
// Data binding

void MovementController::SetBoundText(const std::string& field, const std::string& text)
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

void MovementController::SetBoundCheck(const std::string& field, bool checked)
{
    if (m_recordset && m_recordset->position() > 0) {
        m_recordset->setField(field, Value(checked));
    }
}

std::string MovementController::BoundText(const std::string& field) const
{
    if (!m_recordset || m_recordset->position() < 1) {
        return {};
    }
    return m_recordset->field(field).toText();
}

bool MovementController::BoundCheck(const std::string& field) const
{
    if (!m_recordset || m_recordset->position() < 1) {
        return false;
    }
    return m_recordset->field(field).toBool();
}

// ---------------------------------------------------------------------------------------------------------
// Movement commands

void MovementController::NewMovement()
{
    // An undo of the new row comes back to what was shown before, also from a position past either end.
    m_movementIdBeforeNew = m_lastMovementId;
    m_recordset->addNew();
    LoadMovementPitches(0);
    for (const char* field : kVoiceFields) {
        m_recordset->setField(field, Value(false));
    }
    m_view.showBoundFields();
    SetMovementFieldsEnabled(true);
    m_view.setFocus(FocusTarget::KTN);
}

void MovementController::EditMovement()
{
    SetMovementFieldsEnabled(true);
    if (m_selectedTab == kTabMovementData) {
        m_view.setFocus(FocusTarget::KTN);
    } else if (m_selectedTab == kTabSubjects) {
        m_view.setFocus(FocusTarget::Sub1);
    }
}

Outcome MovementController::SaveMovement()
{
    auto fail = [this](const std::string& description) {
        const std::string text = "Error Saving:  " + description;
        m_view.tell({text});
        return Outcome::failure(text);
    };
    if (!m_recordset || m_recordset->position() < 1) {
        return fail("There is no movement to save.");
    }
    auto& rs = *m_recordset;
    for (const auto& [field, label] : kIntegerFields) {
        const Value& value = rs.field(field);
        if (value.isText()) {
            const auto outcome = fail(std::string(label) + " must be a whole number; \xE2\x80\x9C" + value.toText()
                                      + "\xE2\x80\x9D is not one.");
            m_view.focusField(field);
            return outcome;
        }
    }
    // The stored deviation belongs to the movement it was computed for: only the tabulations write it. A new
    // row starts with the window's figure, which is 0 for a row not yet stored.
    if (rs.editState() == store::EditState::Added) {
        rs.setField("Deviation", Value(storedDeviation(m_deviation)));
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
    } catch (const StoreError& error) {
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
    return Outcome::success();
}

void MovementController::UndoMovementEdit()
{
    auto& rs = *m_recordset;
    bool addedRowCancelled = false;
    if (!(rs.bof() && rs.eof())) {
        const auto state = rs.editState();
        if (state == store::EditState::InProgress || state == store::EditState::Added
            || state == store::EditState::Deleted) {
            addedRowCancelled = state == store::EditState::Added;
            rs.cancelBatch();
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

void MovementController::DeleteMovement()
{
    if (m_view.ask({kDeleteQuestion, "Confirm Delete", MessageIcon::Question})) {
        auto& rs = *m_recordset;
        rs.deleteCurrent();
        try {
            rs.updateBatch(store::Affect::All);
        } catch (const StoreError& error) {
            rs.cancelBatch();
            SetMovementFieldsEnabled(false);
            m_view.tell({std::string("The movement was not deleted: ") + error.what(), "Velk", MessageIcon::Warning});
            return;
        }
        if (rs.bof() && rs.eof()) {
            showNoMovement();
        }
    }
    SetMovementFieldsEnabled(false);
}

void MovementController::SetMovementFieldsEnabled(bool enable)
{
    m_view.setTabsEnabled(!enable);
    m_movementEditMode = enable;
    m_view.setMovementFieldsEnabled(enable);
}

void MovementController::ShowFindBySubject()
{
    m_view.showFindBySubject(m_connectionString);
}

void MovementController::reloadRichText()
{
    m_view.setRichText(RichBox::Comments, fieldText(m_recordset->field("txtComments")));
    m_view.setRichText(RichBox::Description, fieldText(m_recordset->field("Description")));
}

void MovementController::showStoredMovement(std::int64_t movementId)
{
    auto& rs = *m_recordset;
    const int idColumn = rs.columnIndex("iMovementID");
    for (std::size_t row = 0; idColumn >= 0 && row < static_cast<std::size_t>(rs.recordCount()); ++row) {
        const Value& id = rs.fieldAt(row, static_cast<std::size_t>(idColumn));
        if (!id.isNull() && id.toInt64() == movementId) {
            for (const auto& [box, field] :
                 {std::pair {RichBox::Comments, "txtComments"}, std::pair {RichBox::Description, "Description"}}) {
                const int column = rs.columnIndex(field);
                m_view.setRichText(
                    box, column < 0 ? std::string() : fieldText(rs.fieldAt(row, static_cast<std::size_t>(column))));
            }
            m_lastMovementId = movementId;
            LoadMovementPitches(m_lastMovementId);
            return;
        }
    }
}

void MovementController::showNoMovement()
{
    m_lastMovementId = 0;
    m_deviation = 0;
    m_view.setRichPlainText(RichBox::Description, "");
    m_view.setRichPlainText(RichBox::Comments, "");
    m_caption = kDesignCaption;
    m_view.setCaption(m_caption);
    LoadMovementPitches(0);
    m_view.showBoundFields();
    m_view.syncMovementGrid(std::nullopt);
}

bool MovementController::Unload()
{
    if (m_movementEditMode) {
        if (m_view.ask({kSaveQuestion})) {
            // Closing after a failed save would lose what the user just asked to keep.
            if (!SaveMovement()) {
                return false;
            }
        } else {
            UndoMovementEdit();
        }
    }
    if (m_pitchEditMode || m_pitchesDirty) {
        if (m_view.ask({kSaveQuestion})) {
            if (!SavePitches()) {
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Pitch sequence

void MovementController::LoadMovementPitches(std::int64_t movementId)
{
    m_pitchRows.clear();
    m_pitchRow.reset();
    const auto loaded = pitches::loadMovementPitches(m_connectionString, movementId);
    m_pitchRows = loaded.entries;
    m_view.pitchGridReset(m_pitchRows);
    m_view.setPitchCounts(std::to_string(loaded.sharpCount), std::to_string(loaded.flatCount));
    m_pitchesDirty = false;
    if (!m_pitchRows.empty()) {
        setCurrentPitchRow(0, true);
    } else {
        setCurrentPitchRow(std::nullopt, false);
        m_pitchText.clear();
        m_view.setPitchBox(m_pitchText, m_pitchEditMode);
    }
}

void MovementController::setCurrentPitchRow(std::optional<std::size_t> row, bool scrollIntoView)
{
    m_view.pitchGridSetCurrent(row, scrollIntoView);
    PitchSelectionChanged(row);
}

void MovementController::PitchSelectionChanged(std::optional<std::size_t> row)
{
    if (row && *row >= m_pitchRows.size()) {
        row.reset();
    }
    m_pitchRow = row;
    if (row) {
        m_pitchText = m_pitchRows[*row].glyph;
        m_view.setPitchBox(m_pitchText, m_pitchEditMode);
    }
}

void MovementController::SetPitchEditing(bool on)
{
    m_view.setTabsEnabled(!on);
    if (on) {
        m_pitchText.clear();
    } else {
        m_pitchTag.clear();
    }
    m_pitchEditMode = on;
    m_view.setPitchBox(m_pitchText, on);
    if (on) {
        m_view.setFocus(FocusTarget::PitchBox);
    }
}

void MovementController::NewPitches()
{
    if (m_lastMovementId < 1) {
        return;
    }
    SetPitchEditing(true);
    m_pitchesDirty = true;
    m_pitchTag.clear();
    m_pitchText.clear();
    m_view.setPitchBox(m_pitchText, true);
}

void MovementController::EditPitches()
{
    if (m_lastMovementId < 1 || !m_pitchRow) {
        return;
    }
    m_pitchTag = std::to_string(*m_pitchRow);
    SetPitchEditing(true);
    m_pitchesDirty = true;
}

void MovementController::PitchKeyPress(int code, const std::string& text)
{
    if (code != 13 || !m_pitchEditMode) {
        return;
    }
    const pitches::Pitch* found = m_pitchLookup.find(text);
    if (!m_pitchTag.empty()) {
        const auto target = store::parseWholeNumber(m_pitchTag);
        if (found && target && *target >= 0 && static_cast<std::size_t>(*target) < m_pitchRows.size()) {
            const auto r = static_cast<std::size_t>(*target);
            m_pitchRows[r] = {found->id, found->glyph};
            m_view.pitchGridReplace(r, m_pitchRows[r]);
            setCurrentPitchRow(r, true);
            SavePitches();
        } else {
            m_view.tell({kEntryNotFound});
        }
    } else {
        if (found) {
            m_pitchRows.push_back({found->id, found->glyph});
            m_view.pitchGridAppend(m_pitchRows.back());
            m_view.pitchGridSetCurrent(m_pitchRows.size() - 1, true);
            m_pitchRow = m_pitchRows.size() - 1;
        } else {
            m_view.tell({kEntryNotFound});
        }
        m_pitchText.clear();
        m_view.setPitchBox(m_pitchText, true);
        m_view.setFocus(FocusTarget::PitchBox);
    }
    RefreshCommandState();
}

void MovementController::DeletePitch()
{
    if (m_lastMovementId < 1) {
        return;
    }
    const std::optional<std::size_t> deleted = m_pitchRow;
    m_pitchesDirty = true;
    if (deleted && m_pitchRows.size() > 1) {
        m_pitchRows.erase(m_pitchRows.begin() + static_cast<std::ptrdiff_t>(*deleted));
        m_view.pitchGridRemove(*deleted);
    } else {
        m_pitchRows.clear();
        m_view.pitchGridReset(m_pitchRows);
    }
    m_pitchRow.reset();
    m_pitchText.clear();
    m_pitchTag.clear();
    m_view.setPitchBox(m_pitchText, m_pitchEditMode);
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
void MovementController::showAccidentalCounts()
{
    std::int64_t sharps = 0;
    std::int64_t flats = 0;
    for (const auto& entry : m_pitchRows) {
        const pitches::Pitch* pitch = m_pitchLookup.byId(entry.pitchId);
        const std::string spelling = pitch && pitch->spelling ? *pitch->spelling : std::string();
        sharps += pitches::isSharpSpelling(spelling) ? 1 : 0;
        flats += pitches::isFlatSpelling(spelling) ? 1 : 0;
    }
    m_view.setPitchCounts(std::to_string(sharps), std::to_string(flats));
}

void MovementController::UndoPitchEdit()
{
    SetPitchEditing(false);
    LoadMovementPitches(m_lastMovementId);
}

Outcome MovementController::SavePitches()
{
    const auto current = m_pitchRow;
    std::vector<std::int32_t> ids;
    ids.reserve(m_pitchRows.size());
    for (const auto& entry : m_pitchRows) {
        ids.push_back(entry.pitchId);
    }
    // Stored first and only then closed: a failed store keeps the grid, the flags and the entry box as they
    // were, so the user can try again or close with the question still asked.
    const auto indexMelody = [this, &ids](store::Connection& connection) {
        melody::indexMovement(connection, m_lastMovementId, ids);
    };
    // Through the window's own read-write connection where there is one: its page cache still holds what the
    // last store read, which makes storing a long sequence in a large catalogue about a sixth quicker. A
    // read-only catalogue goes the way of a connection of the store's own, which says why it cannot write.
    const bool ownConnection = m_recordset && !m_recordset->connection().isReadOnly();
    const Outcome stored = ownConnection
        ? pitches::savePitches(m_recordset->connection(), m_lastMovementId, ids, indexMelody)
        : pitches::savePitches(m_connectionString, m_lastMovementId, ids, indexMelody);
    if (!stored) {
        m_view.tell({stored.message, "Velk", MessageIcon::Warning});
        return stored;
    }
    SetPitchEditing(false);
    m_pitchesDirty = false;
    setCurrentPitchRow(m_pitchRows.empty() ? std::nullopt : current, true);
    showAccidentalCounts();
    return stored;
}

// ---------------------------------------------------------------------------------------------------------
// Tabulations

void MovementController::LoadTabulations(std::optional<std::int64_t> movementId)
{
    if (showTabulationsOf(movementId)) {
        storeDeviation();
    }
}

bool MovementController::showTabulationsOf(std::optional<std::int64_t> movementId)
{
    if (!movementId || *movementId <= 0) {
        // No stored movement is current: there is nothing to tabulate and no row to store a figure in.
        m_deviation = 0;
        m_view.clearTabulations();
        m_view.setTabulationLabels("", "");
        return false;
    }
    m_view.clearTabulations();
    const auto tabulation = tabulations::tabulate(m_connectionString, *movementId);
    if (tabulation.total < 1) {
        m_deviation = 0;
        m_view.setTabulationLabels("0", "0");
    } else {
        m_view.showTabulations(tabulation);
        m_deviation = tabulation.deviation;
        m_view.setTabulationLabels(std::to_string(tabulation.total), store::formatSingle(m_deviation));
    }
    return true;
}

void MovementController::storeDeviation()
{
    auto& rs = *m_recordset;
    if (rs.position() < 1 || rs.editState() != store::EditState::None) {
        return;
    }
    const double value = storedDeviation(m_deviation);
    const Value& stored = rs.field("Deviation");
    if (!stored.isNull() && stored.toDouble() == value) {
        return;
    }
    rs.setField("Deviation", Value(value));
    try {
        rs.updateBatch(store::Affect::Current);
        m_view.setStatus("");
    } catch (const StoreError& error) {
        // The figures stay on screen; the row keeps nothing pending.
        rs.cancelBatch();
        m_view.setStatus(std::string("The average deviation could not be stored: ") + error.what());
    }
}

void MovementController::reportStoreError(const std::string& what)
{
    m_view.tell({what, "Velk", MessageIcon::Warning});
}

// ---------------------------------------------------------------------------------------------------------
// State

std::int64_t MovementController::iLastMovementID() const
{
    return m_lastMovementId;
}

float MovementController::sDeviation() const
{
    return m_deviation;
}

bool MovementController::bMovementEditMode() const
{
    return m_movementEditMode;
}

bool MovementController::bPitchEditMode() const
{
    return m_pitchEditMode;
}

bool MovementController::bPitchesDirty() const
{
    return m_pitchesDirty;
}

const std::string& MovementController::selectedTab() const
{
    return m_selectedTab;
}

const ButtonFlags& MovementController::buttons() const
{
    return m_buttons;
}

const std::string& MovementController::caption() const
{
    return m_caption;
}

const std::string& MovementController::connectionString() const
{
    return m_connectionString;
}

store::MovementRecordset* MovementController::recordset() const
{
    return m_recordset.get();
}

const pitches::PitchLookup& MovementController::pitchLookup() const
{
    return m_pitchLookup;
}

const std::vector<pitches::SequenceEntry>& MovementController::pitchRows() const
{
    return m_pitchRows;
}

std::optional<std::size_t> MovementController::pitchRow() const
{
    return m_pitchRow;
}

const std::string& MovementController::pitchTag() const
{
    return m_pitchTag;
}

const std::string& MovementController::pitchText() const
{
    return m_pitchText;
}

} // namespace velk::movement
