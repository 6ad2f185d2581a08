#pragma once

#include "movement/Toolbar.h"
#include "pitches/PitchSequence.h"
#include "tabulations/Tabulation.h"

#include <cstddef>
#include <optional>
#include <string>
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

/// What the movement logic needs of its window. The window implements it with widgets; tests implement it
/// with a recording fake. Every call comes from the logic, on the user-interface thread.
class MovementView
{
public:
    virtual ~MovementView() = default;

    virtual void setCaption(const std::string& caption) = 0;
    /// Shows one page and hides the others (None hides all).
    virtual void showPage(Page page) = 0;
    virtual void setTabsEnabled(bool enabled) = 0;
    /// Opens or closes the movement data fields, in the classic order.
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

    /// The pitch grid: rows are positions (number i+1 in the fixed column, glyph in the pitch font).
    virtual void pitchGridReset(const std::vector<pitches::SequenceEntry>& entries) = 0;
    virtual void pitchGridAppend(const pitches::SequenceEntry& entry) = 0;
    virtual void pitchGridReplace(std::size_t row, const pitches::SequenceEntry& entry) = 0;
    /// Removes a row and renumbers the rows below it.
    virtual void pitchGridRemove(std::size_t row) = 0;
    /// Makes a row's glyph cell current (nothing: no current cell); scrolls it into view when asked.
    virtual void pitchGridSetCurrent(std::optional<std::size_t> row, bool scrollIntoView) = 0;
    virtual void setPitchCounts(const std::string& sharps, const std::string& flats) = 0;
    /// The pitch box: its text, whether it is the entry box (enabled, reading font) or shows a glyph.
    virtual void setPitchBox(const std::string& text, bool editing) = 0;

    /// Empties both tabulation grids to their header rows.
    virtual void clearTabulations() = 0;
    virtual void showTabulations(const tabulations::Tabulation& tabulation) = 0;
    virtual void setTabulationLabels(const std::string& total, const std::string& average) = 0;

    virtual void setButtonsEnabled(const ButtonFlags& enabled) = 0;
    virtual void setFocus(FocusTarget target) = 0;
    /// Puts the keyboard focus in the bound text box of a column ("iKTN", "iLength", ...).
    virtual void focusField(const std::string& field) = 0;
    /// A short note in the window's status line (empty clears it).
    virtual void setStatus(const std::string& text) = 0;

    /// Opens the subject search window modally and returns when it has been closed.
    virtual void showFindBySubject(const std::string& connectionString) = 0;

    /// Asks a Yes/No question with No as the default button; true only for Yes.
    virtual bool ask(const Message& question) = 0;
    /// Shows a message with an OK button.
    virtual void tell(const Message& message) = 0;
};

} // namespace velk::movement
