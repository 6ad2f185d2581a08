#pragma once

#include "movement/MovementView.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velk::test
{

/// A movement window without widgets: it records what the logic shows and answers questions from a queue
/// (No when the queue is empty).
class FakeMovementView : public movement::MovementView
{
public:
    std::string caption;
    movement::Page page = movement::Page::None;
    bool tabsEnabled = true;
    bool fieldsEnabled = false;
    int boundRefreshes = 0;
    std::optional<std::size_t> gridRow;
    std::map<movement::RichBox, std::string> rich;
    std::map<movement::RichBox, std::optional<std::string>> edits; ///< set by a test to play the user's typing
    std::vector<pitches::SequenceEntry> pitchGrid;
    std::optional<std::size_t> pitchCurrent;
    std::string sharps = "0";
    std::string flats = "0";
    std::string pitchBox;
    bool pitchBoxEditing = false;
    pitches::NotatedLine staff;
    movement::OctaveChoice octaveChoice;
    std::vector<tabulations::TabulationRow> classRows;
    std::vector<tabulations::TabulationRow> realRows;
    std::vector<std::pair<std::string, double>> classBars;
    std::string total;
    std::string average;
    movement::ButtonFlags buttons {};
    std::optional<movement::FocusTarget> focus;
    std::string focusedField;
    std::string status;
    std::vector<movement::Message> asked;
    std::vector<movement::Message> told;
    std::deque<bool> answers;
    int searches = 0;

    void setCaption(const std::string& text) override
    {
        caption = text;
    }
    void showPage(movement::Page p) override
    {
        page = p;
    }
    void setTabsEnabled(bool enabled) override
    {
        tabsEnabled = enabled;
    }
    void setMovementFieldsEnabled(bool enabled) override
    {
        fieldsEnabled = enabled;
    }
    void showBoundFields() override
    {
        ++boundRefreshes;
    }
    void syncMovementGrid(std::optional<std::size_t> row) override
    {
        gridRow = row;
    }
    void setRichText(movement::RichBox box, const std::string& rtf) override
    {
        rich[box] = rtf;
        edits[box].reset();
    }
    void setRichPlainText(movement::RichBox box, const std::string& text) override
    {
        rich[box] = text;
        edits[box].reset();
    }
    std::optional<std::string> editedRichText(movement::RichBox box) override
    {
        return edits[box];
    }
    void markRichTextSaved(movement::RichBox box) override
    {
        if (edits[box]) {
            rich[box] = *edits[box];
        }
        edits[box].reset();
    }
    void showSequence(const std::vector<pitches::SequenceEntry>& entries) override
    {
        pitchGrid = entries;
        pitchCurrent.reset();
    }
    void appendPosition(const pitches::SequenceEntry& entry) override
    {
        pitchGrid.push_back(entry);
    }
    void replacePosition(std::size_t row, const pitches::SequenceEntry& entry) override
    {
        pitchGrid.at(row) = entry;
    }
    void removePosition(std::size_t row) override
    {
        pitchGrid.erase(pitchGrid.begin() + static_cast<std::ptrdiff_t>(row));
    }
    void showCurrentPosition(std::optional<std::size_t> row, bool) override
    {
        pitchCurrent = row;
    }
    void showCounts(const std::string& s, const std::string& f) override
    {
        sharps = s;
        flats = f;
    }
    void showEntryBox(const movement::EntryBox& box) override
    {
        pitchBox = box.text;
        pitchBoxEditing = box.editing;
    }
    void showStaff(const pitches::NotatedLine& line) override
    {
        staff = line;
    }
    void showOctaveChoice(const movement::OctaveChoice& choice) override
    {
        octaveChoice = choice;
    }
    void showTabulations(const movement::TabulationsDisplay& shown) override
    {
        classRows = shown.classRows;
        realRows = shown.realRows;
        classBars = shown.classBars;
        total = shown.total;
        average = shown.average;
    }
    void setButtonsEnabled(const movement::ButtonFlags& enabled) override
    {
        buttons = enabled;
    }
    void focusField(const std::string& field) override
    {
        focusedField = field;
    }
    void setFocus(movement::FocusTarget target) override
    {
        focus = target;
    }
    void setStatus(const std::string& text) override
    {
        status = text;
    }
    void showFindBySubject(const std::string&) override
    {
        ++searches;
    }
    bool ask(const movement::Message& question) override
    {
        asked.push_back(question);
        if (answers.empty()) {
            return false;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void tell(const movement::Message& message) override
    {
        told.push_back(message);
    }
};

} // namespace velk::test
