#include "movement/MovementController.h"

#include "melody/MelodyIndex.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <array>
#include <filesystem>
#include <memory>
#include <utility>

namespace velk::movement
{
namespace
{

using store::StoreError;

constexpr const char* kSaveQuestion = "Edit in progress, do you want to save changes before exiting?";
constexpr const char* kUndoQuestion = "Are you sure you want to undo your changes?";

constexpr unsigned onTab(Tab tab)
{
    return 1U << static_cast<unsigned>(tab);
}
constexpr unsigned kRecordPages = onTab(Tab::MovementData) | onTab(Tab::Subjects);
constexpr unsigned kEveryPage = kRecordPages | onTab(Tab::Pitches) | onTab(Tab::Tabulations);

// The tool's name with a non-breaking hyphen (U+2011), so that a message box never wraps it at the hyphen.
constexpr const char* kTool = "velk\xE2\x80\x91"
                              "catalogue";

std::string quoted(const std::string& command)
{
    return "\xE2\x80\x9C" + command + "\xE2\x80\x9D";
}

/// What to do about a catalogue that could not be opened, fitted to what is wrong with it.
std::string startupAdvice(store::FileFault fault, const std::string& file)
{
    const std::string tool = kTool;
    switch (fault) {
    case store::FileFault::Missing:
        return "Make a catalogue with " + quoted(tool + " new " + file) + " (empty) or "
            + quoted(tool + " demo " + file) + " (with sample movements) in this folder, or take an old catalogue "
            + "over with " + quoted(tool + " import Velk.mdb " + file) + ".";
    case store::FileFault::Empty:
        return "It holds nothing to keep: replace it with " + quoted(tool + " new --force " + file) + " (empty) or "
            + quoted(tool + " demo --force " + file) + " (with sample movements).";
    case store::FileFault::Locked:
        return "Another program holds the catalogue locked. Close that program (or let it finish) and start Velk "
               "again.";
    case store::FileFault::Damaged:
        return "The catalogue is damaged. " + quoted(tool + " check " + file) + " says what is wrong; "
            + quoted(tool + " salvage " + file + " Salvaged.db") + " then copies what can still be read into a "
            + "new catalogue and says what was lost, leaving " + file + " as it is; put the new one in its place "
            + "to open it.";
    case store::FileFault::Foreign:
        return "It looks like a catalogue made by another tool, without the mark Velk gives its catalogues. "
            + quoted(tool + " adopt " + file) + " checks it and marks it if it is sound.";
    case store::FileFault::NotACatalogue:
        return "Move it elsewhere, then make a catalogue with " + quoted(tool + " new " + file) + " (empty) or "
            + quoted(tool + " demo " + file) + " (with sample movements). If it was a catalogue, "
            + quoted(tool + " salvage " + file + " Salvaged.db") + " copies what can still be read.";
    case store::FileFault::None:
        break;
    }
    return quoted(tool + " check " + file) + " says more.";
}

} // namespace

MovementController::MovementController(MovementView& view, std::string connectionString)
    : MovementController(MovementViews {view, view, view, view}, std::move(connectionString))
{
}

MovementController::MovementController(MovementViews views, std::string connectionString)
    : m_window(views.window)
    , m_connectionString(std::move(connectionString))
    , m_records(views.window, views.movement)
    , m_pitches(views.window, views.pitches, m_records, m_connectionString)
    , m_tabulations(views.window, views.tabulations, m_records, m_connectionString)
    , m_playback(views.window, m_pitches)
{
    m_buttons.fill(true);
}

store::Result<> MovementController::Load()
{
    m_window.showPage(Page::MovementData);
    m_pitches.SetPitchEditing(false);
    m_records.SetMovementFieldsEnabled(false);

    try {
        auto recordset = std::make_unique<store::MovementRecordset>(
            store::Connection::open(m_connectionString, store::AccessMode::ReadWrite));
        if (!recordset->connection().isReadOnly()) {
            store::ensureColumns(recordset->connection());
            melody::ensureMelodyIndex(recordset->connection());
            store::ensureIndexes(recordset->connection());
        }
        auto lookupConnection = store::Connection::open(m_connectionString, store::AccessMode::ReadOnly);
        auto lookup = pitches::PitchLookup::load(lookupConnection);
        if (lookup.empty()) {
            const auto file = store::catalogueFileFromConnectionString(m_connectionString);
            return store::Result<>::failure("The catalogue " + file
                                            + " has no pitches in tblPitchLookup, so no pitch sequence can be shown or "
                                              "entered. Make a new catalogue with "
                                            + quoted(std::string(kTool) + " new") + ".");
        }
        m_pitches.setLookup(std::move(lookup));
        m_records.open(std::move(recordset),
                       {[this](std::int64_t id) { movementShown(id); },
                        [this] {
                            return m_pitches.bPitchEditMode() || m_pitches.bPitchesDirty();
                        }});
        m_pitches.LoadMovementPitches(m_records.iLastMovementID());
    } catch (const StoreError& error) {
        return store::Result<>::failure(std::string(error.what()) + "\n"
                                        + startupAdvice(error.fault(), catalogueName()));
    }
    RefreshCommandState();
    return {};
}

std::string MovementController::catalogueName() const
{
    // As the user would type it in the catalogue's folder.
    return std::filesystem::path(store::catalogueFileFromConnectionString(m_connectionString)).filename().string();
}

template <typename T>
T MovementController::guarded(const std::function<T()>& work, T failed)
{
    try {
        return work();
    } catch (const StoreError& error) {
        m_window.tell({error.what(), "Velk", MessageIcon::Warning});
        return failed;
    }
}

void MovementController::movementShown(std::int64_t movementId)
{
    m_playback.Stop();
    m_pitches.LoadMovementPitches(movementId);
    if (movementId < 1) {
        m_tabulations.clearDeviation();
    } else if (m_selectedTab == Tab::Tabulations) {
        // The figures shown follow the record; a move writes nothing.
        m_tabulations.showTabulationsOf(movementId);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Events

bool MovementController::GridRowChosen(std::size_t row)
{
    if (!m_records.recordset()) {
        return false;
    }
    // A move whose row could not be shown in full has still been made.
    const bool moved = guarded<bool>([&] { return m_records.GridRowChosen(row); }, false)
        || m_records.recordset()->currentIndex() == row;
    // Refreshed after every completed move, whatever made it, so a grid click after a move past either end
    // enables the commands of the row it reached.
    RefreshCommandState();
    return moved;
}

void MovementController::ToolbarClick(int button)
{
    if (!m_records.recordset() || button < 1 || button > kButtonCount) {
        return;
    }
    m_playback.Stop();
    guarded<bool>(
        [&] {
            route(button);
            return true;
        },
        false);
    RefreshCommandState();
}

void MovementController::route(int button)
{
    using Action = void (*)(MovementController&);
    struct Route
    {
        unsigned pages; ///< the tabs (onTab) whose page does the command
        int button;
        Action action;
    };
    // Navigation and the search work on every page; each other command is done by the page it is clicked on, or
    // not at all.
    // clang-format off
    static const std::array<Route, 16> routes {{
        {kEveryPage, First, [](MovementController& c) { c.m_records.navigate(First); }},
        {kEveryPage, Prev, [](MovementController& c) { c.m_records.navigate(Prev); }},
        {kEveryPage, Next, [](MovementController& c) { c.m_records.navigate(Next); }},
        {kEveryPage, Last, [](MovementController& c) { c.m_records.navigate(Last); }},
        {kEveryPage, Find, [](MovementController& c) { c.ShowFindBySubject(); }},
        {kRecordPages, New, [](MovementController& c) { c.m_records.NewMovement(); }},
        {kRecordPages, Save, [](MovementController& c) { c.m_records.SaveMovement(); }},
        {onTab(Tab::MovementData), Edit, [](MovementController& c) { c.m_records.EditMovement(FocusTarget::KTN); }},
        {onTab(Tab::Subjects), Edit, [](MovementController& c) { c.m_records.EditMovement(FocusTarget::Sub1); }},
        {kRecordPages, Undo, [](MovementController& c) { c.undo(false); }},
        {kRecordPages, Delete, [](MovementController& c) { c.m_records.DeleteMovement(); }},
        {onTab(Tab::Pitches), New, [](MovementController& c) { c.m_pitches.NewPitches(); }},
        {onTab(Tab::Pitches), Save, [](MovementController& c) { c.m_pitches.SavePitches(); }},
        {onTab(Tab::Pitches), Edit, [](MovementController& c) { c.m_pitches.EditPitches(); }},
        {onTab(Tab::Pitches), Undo, [](MovementController& c) { c.undo(true); }},
        {onTab(Tab::Pitches), Delete, [](MovementController& c) { c.m_pitches.DeletePitch(); }},
    }};
    // clang-format on
    for (const auto& r : routes) {
        if (r.button == button && (r.pages & onTab(m_selectedTab)) != 0) {
            r.action(*this);
            return;
        }
    }
}

void MovementController::undo(bool pitches)
{
    if (!m_window.ask({kUndoQuestion, "Confirm Delete", MessageIcon::Question})) {
        return;
    }
    if (pitches) {
        m_pitches.UndoPitchEdit();
    } else {
        m_records.UndoMovementEdit();
    }
}

void MovementController::ShowFindBySubject()
{
    m_window.showFindBySubject(m_connectionString);
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
    const auto tab = tabForKey(key);
    if (!m_records.recordset() || !tab) {
        return;
    }
    m_playback.Stop();
    m_selectedTab = *tab;
    m_window.showPage(Page::None);
    guarded<bool>(
        [&] {
            enterTab(*tab);
            return true;
        },
        false);
    RefreshCommandState();
}

void MovementController::enterTab(Tab tab)
{
    switch (tab) {
    case Tab::MovementData:
        m_window.showPage(Page::MovementData);
        break;
    case Tab::Pitches:
        for (int b = New; b <= Delete; ++b) {
            m_buttons[b] = false;
        }
        m_pitches.enter();
        m_window.showPage(Page::Pitches);
        break;
    case Tab::Tabulations:
        for (int b = New; b <= Delete; ++b) {
            m_buttons[b] = false;
        }
        m_tabulations.LoadTabulations(m_records.currentMovementId());
        m_window.showPage(Page::Tabulations);
        break;
    case Tab::Subjects:
        m_window.showPage(Page::Subjects);
        break;
    }
}

void MovementController::PitchSelectionChanged(std::optional<std::size_t> row)
{
    m_pitches.PitchSelectionChanged(row);
}

void MovementController::CapitalOctaveChosen(std::optional<int> octave)
{
    m_pitches.SetCapitalOctave(octave);
}

void MovementController::PitchKeyPress(int code, const std::string& text)
{
    if (code != Enter || !m_pitches.bPitchEditMode()) {
        return;
    }
    m_playback.Stop();
    guarded<bool>(
        [&] {
            m_pitches.enterPitch(text);
            return true;
        },
        false);
    RefreshCommandState();
}

std::optional<std::string> MovementController::CopyAsPae()
{
    return guarded<std::optional<std::string>>(
        [&]() -> std::optional<std::string> {
            const auto written = m_pitches.CopyAsPae();
            if (!written) {
                m_window.tell({written.message(), "Velk", MessageIcon::Warning});
                return std::nullopt;
            }
            m_window.setStatus("The line was copied as Plaine & Easie Code.");
            return written.value();
        },
        std::nullopt);
}

bool MovementController::PitchBackspace(const std::string& text, bool autoRepeat)
{
    if (m_selectedTab != Tab::Pitches) {
        return false;
    }
    const bool taken = m_pitches.pitchBackspace(text, autoRepeat);
    if (taken) {
        RefreshCommandState();
    }
    return taken;
}

void MovementController::InsertPitches(const std::string& text)
{
    if (m_selectedTab != Tab::Pitches || !m_pitches.bPitchEditMode()) {
        return;
    }
    guarded<bool>(
        [&] {
            m_pitches.insertPitches(text);
            return true;
        },
        false);
    RefreshCommandState();
}

void MovementController::SetBoundText(const std::string& field, const std::string& text)
{
    guarded<bool>(
        [&] {
            m_records.SetBoundText(field, text);
            return true;
        },
        false);
}

void MovementController::SetBoundCheck(const std::string& field, bool checked)
{
    guarded<bool>(
        [&] {
            m_records.SetBoundCheck(field, checked);
            return true;
        },
        false);
}

bool MovementController::PlayPitches(int tempo)
{
    return m_records.recordset() && m_selectedTab == Tab::Pitches && m_playback.Play(tempo);
}

void MovementController::StopPlaying()
{
    m_playback.Stop();
}

bool MovementController::PlaybackTick()
{
    return m_playback.Tick();
}

bool MovementController::Unload()
{
    m_playback.Stop();
    const auto mayClose = [this] {
        if (m_records.bMovementEditMode()) {
            if (m_window.ask({kSaveQuestion})) {
                // Closing after a failed save would lose what the user just asked to keep.
                if (!m_records.SaveMovement()) {
                    return false;
                }
            } else {
                m_records.UndoMovementEdit();
            }
        }
        if (m_pitches.bPitchEditMode() || m_pitches.bPitchesDirty()) {
            if (m_window.ask({kSaveQuestion})) {
                if (!m_pitches.SavePitches()) {
                    return false;
                }
            }
        }
        return true;
    };
    // After a failure the window closes only when nothing the user typed is still pending.
    return guarded<bool>(mayClose, false)
        || (!m_records.bMovementEditMode() && !m_pitches.bPitchEditMode() && !m_pitches.bPitchesDirty());
}

void MovementController::RefreshCommandState()
{
    CommandStateInputs in;
    if (const auto* rs = m_records.recordset()) {
        in.bof = rs->bof();
        in.eof = rs->eof();
        in.editState = rs->editState();
        in.recordCount = rs->recordCount();
    }
    in.tab = m_selectedTab;
    in.bMovementEditMode = m_records.bMovementEditMode();
    in.bPitchEditMode = m_pitches.bPitchEditMode();
    in.bPitchesDirty = m_pitches.bPitchesDirty();
    in.pitchRows = static_cast<long>(m_pitches.pitchRows().size());
    in.hasStoredMovement = m_records.iLastMovementID() >= 1;
    velk::movement::RefreshCommandState(in, m_buttons);
    m_window.setButtonsEnabled(m_buttons);
}

MovementRecords& MovementController::records()
{
    return m_records;
}

PitchesPage& MovementController::pitches()
{
    return m_pitches;
}

TabulationsPage& MovementController::tabulations()
{
    return m_tabulations;
}

Tab MovementController::selectedTab() const
{
    return m_selectedTab;
}

const ButtonFlags& MovementController::buttons() const
{
    return m_buttons;
}

const std::string& MovementController::connectionString() const
{
    return m_connectionString;
}

} // namespace velk::movement
