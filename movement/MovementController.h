#pragma once

#include "movement/CommandState.h"
#include "movement/MovementRecords.h"
#include "movement/MovementView.h"
#include "movement/PitchesPage.h"
#include "movement/PitchesPlayback.h"
#include "movement/TabulationsPage.h"
#include "store/ConnectionString.h"
#include "store/Result.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace velk::movement
{

/// The movement window's logic: start-up, the toolbar, the keys and the tabs, routed to the unit of the page
/// that owns the command (the records, the pitches page, the tabulations page), the command state and closing.
/// Nothing here needs a display.
///
/// Every event of the window enters through one of these calls, and a catalogue error (store::StoreError) of any
/// unit ends here, told to the user; the data and the user's pending edits stay as they were.
class MovementController
{
public:
    static constexpr const char* kDesignCaption = MovementRecords::kDesignCaption;

    /// One view for the whole window (the tests' fake).
    explicit MovementController(MovementView& view, std::string connectionString = store::kConnectionString);
    /// A view per page (the window's page widgets).
    MovementController(MovementViews views, std::string connectionString);
    MovementController(const MovementController&) = delete;
    MovementController& operator=(const MovementController&) = delete;

    /// The load handler. Fails (with a finished message naming the file and folder) when the catalogue is
    /// missing or not a catalogue, or when it has no pitches; the window then ends the program.
    store::Result<> Load();

    /// A click on toolbar button 1 to 11: navigation by Key, commands by Tag and page, then the refresh.
    void ToolbarClick(int button);
    /// The window's key-press handler: Ctrl+D, E, N, S, U click their button, when it is enabled.
    void KeyPress(int code);
    /// A click on a tab, given the tab's key.
    void TabClick(const std::string& key);
    /// A line chosen in the movement grid; false when the move was refused.
    bool GridRowChosen(std::size_t row);
    /// The pitch grid's current row changed (by the user or the program).
    void PitchSelectionChanged(std::optional<std::size_t> row);
    /// The octave setting chosen on the pitches page (nothing: the default from the voices).
    void CapitalOctaveChosen(std::optional<int> octave);
    /// The pitch box's key-press handler; acts on Enter with the box's text.
    void PitchKeyPress(int code, const std::string& text);
    /// The Pitches page's Copy as PAE: the movement's line in Plaine & Easie Code for the clipboard; nothing after
    /// telling the user why there is none.
    std::optional<std::string> CopyAsPae();
    /// Backspace in the pitch box, with the box's text; true when the page took the key (see
    /// PitchesPage::pitchBackspace), so the box must not see it.
    bool PitchBackspace(const std::string& text, bool autoRepeat);
    /// The pitches page's Insert, with the pitch box's text; only while the box is open on that page.
    void InsertPitches(const std::string& text);
    /// Play on the pitches page with the tempo chosen; true when the line plays, and the window then ticks.
    bool PlayPitches(int tempo);
    /// Stop on the pitches page.
    void StopPlaying();
    /// A tick of the window while the line plays; false once it has ended (or was stopped).
    bool PlaybackTick();
    /// Typing in a bound text box or a click on a bound check box.
    void SetBoundText(const std::string& field, const std::string& text);
    void SetBoundCheck(const std::string& field, bool checked);
    /// The unload handler; true when the window may close.
    bool Unload();

    void RefreshCommandState();

    MovementRecords& records();
    PitchesPage& pitches();
    TabulationsPage& tabulations();
    Tab selectedTab() const;
    const ButtonFlags& buttons() const;
    const std::string& connectionString() const;

private:
    /// Runs the work of one event; a catalogue error it throws is told, and the answer is then `failed`.
    template <typename T>
    T guarded(const std::function<T()>& work, T failed);
    void route(int button);
    void ShowFindBySubject();
    void undo(bool pitches);
    void enterTab(Tab tab);
    void movementShown(std::int64_t movementId);
    /// The catalogue's file name, without its folder.
    std::string catalogueName() const;

    WindowView& m_window;
    std::string m_connectionString;
    MovementRecords m_records;
    PitchesPage m_pitches;
    TabulationsPage m_tabulations;
    /// Stopped by every command, move and change of page, so that what plays never meets what they change.
    PitchesPlayback m_playback;
    Tab m_selectedTab = Tab::MovementData;
    ButtonFlags m_buttons {};
};

} // namespace velk::movement
