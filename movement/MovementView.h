#pragma once

#include "movement/Toolbar.h"
#include "pitches/Notation.h"
#include "pitches/PitchSequence.h"
#include "tabulations/Tabulation.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velk::movement
{

/// The four pages of the movement window.
enum class Page
{
    None,
    MovementData,
    Pitches,
    Tabulations,
    Subjects
};

enum class RichBox
{
    Description,
    Comments
};

/// Controls that can take the keyboard focus.
enum class FocusTarget
{
    KTN,
    Sub1,
    PitchGrid,
    PitchBox
};

enum class MessageIcon
{
    None,
    Question,
    Warning
};

/// A message box: text, title, icon; a question has the buttons Yes and No with No as the default.
struct Message
{
    std::string text;
    std::string title = "Velk";
    MessageIcon icon = MessageIcon::None;
};

/// What the window shows around its pages: caption, page, tabs, toolbar, status line, messages, the search.
class WindowView
{
public:
    virtual ~WindowView() = default;

    virtual void setCaption(const std::string& caption) = 0;
    /// Shows one page and hides the others (None hides all).
    virtual void showPage(Page page) = 0;
    virtual void setTabsEnabled(bool enabled) = 0;
    virtual void setButtonsEnabled(const ButtonFlags& enabled) = 0;
    /// A short note in the window's status line (empty clears it).
    virtual void setStatus(const std::string& text) = 0;
    /// Opens the subject search window modally and returns when it has been closed.
    virtual void showFindBySubject(const std::string& connectionString) = 0;
    /// Asks a Yes/No question with No as the default button; true only for Yes.
    virtual bool ask(const Message& question) = 0;
    /// Shows a message with an OK button.
    virtual void tell(const Message& message) = 0;
};

/// The movement's fields, on the data and subjects pages: the grid of movements, the bound boxes and the two
/// rich-text boxes.
class MovementPageView
{
public:
    virtual ~MovementPageView() = default;

    /// Opens or closes the movement's fields, in the classic order.
    virtual void setMovementFieldsEnabled(bool enabled) = 0;
    /// Shows the bound fields of the current row again (or empty fields when there is none).
    virtual void showBoundFields() = 0;
    /// Makes the movement grid's current line follow the recordset.
    virtual void syncMovementGrid(std::optional<std::size_t> row) = 0;
    virtual void setRichText(RichBox box, const std::string& rtf) = 0;
    virtual void setRichPlainText(RichBox box, const std::string& text) = 0;
    /// The box's content as RTF if the user edited it since it was last set or saved; nothing otherwise.
    virtual std::optional<std::string> editedRichText(RichBox box) = 0;
    /// The box's content counts as stored now.
    virtual void markRichTextSaved(RichBox box) = 0;
    /// Puts the keyboard focus in the bound text box of a column ("iKTN", "iLength", ...), its text selected.
    virtual void focusField(const std::string& field) = 0;
    /// Puts the keyboard focus in the first field of a page (KTN or Sub1).
    virtual void setFocus(FocusTarget target) = 0;
};

/// The pitch box: its text, and whether it is the entry box (enabled, reading font) or shows a glyph.
struct EntryBox
{
    std::string text;
    bool editing = false;
};

/// The octave setting's control on the pitches page: the octave of the capitals the voices give, the one chosen
/// (nothing: the voices' default), and whether it can be changed (only for a stored movement).
struct OctaveChoice
{
    int fromVoices = pitches::kHighestCapitalOctave;
    std::optional<int> chosen;
    bool enabled = false;
};

/// The pitches page: the sequence (rows are positions, number i+1 beside the glyph), the current position,
/// the accidental counts and the entry box.
class PitchesPageView
{
public:
    virtual ~PitchesPageView() = default;

    /// The whole sequence, each position numbered from 1; the page has no current position then.
    virtual void showSequence(const std::vector<pitches::SequenceEntry>& entries) = 0;
    /// A position added at the end, made current.
    virtual void appendPosition(const pitches::SequenceEntry& entry) = 0;
    virtual void replacePosition(std::size_t row, const pitches::SequenceEntry& entry) = 0;
    /// A position removed; the positions after it are numbered again.
    virtual void removePosition(std::size_t row) = 0;
    /// The current position (nothing: none), scrolled into view when asked.
    virtual void showCurrentPosition(std::optional<std::size_t> row, bool scrollIntoView) = 0;
    /// The number of sharp and flat positions.
    virtual void showCounts(const std::string& sharps, const std::string& flats) = 0;
    virtual void showEntryBox(const EntryBox& box) = 0;
    /// Puts the keyboard focus in the pitch grid or the entry box.
    virtual void setFocus(FocusTarget target) = 0;
    /// The sequence as written music, position for position with the grid's rows.
    virtual void showStaff(const pitches::NotatedLine& line) = 0;
    virtual void showOctaveChoice(const OctaveChoice& choice) = 0;
};

/// What the tabulations page shows, finished: the rows of both grids, the bars of the class chart (glyph and
/// percentage of all pitches) and the two figures below.
struct TabulationsDisplay
{
    std::vector<tabulations::TabulationRow> classRows;
    std::vector<tabulations::TabulationRow> realRows;
    std::vector<std::pair<std::string, double>> classBars;
    std::string total;
    std::string average;
};

class TabulationsPageView
{
public:
    virtual ~TabulationsPageView() = default;

    virtual void showTabulations(const TabulationsDisplay& display) = 0;
};

/// The whole window, for the fake of the tests; the real window hands each unit its own page.
class MovementView : public WindowView, public MovementPageView, public PitchesPageView, public TabulationsPageView
{
};

/// The views the units of the window draw on.
struct MovementViews
{
    WindowView& window;
    MovementPageView& movement;
    PitchesPageView& pitches;
    TabulationsPageView& tabulations;
};

} // namespace velk::movement
