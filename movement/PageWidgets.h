#pragma once

#include "movement/MovementFields.h"
#include "movement/MovementView.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velk::tabulations
{
class ClassChart;
} // namespace velk::tabulations

namespace velk::pitches
{
class StaffView;
} // namespace velk::pitches
namespace velk::sound
{
class PlaybackBar;
} // namespace velk::sound

namespace velk::ui
{
class FlexGrid;
class RichTextBox;
} // namespace velk::ui

namespace velk::movement
{

class DataGrid;
class MovementController;

/// A page of bound boxes: each box shows a column of the current row and writes what the user types into it.
class BoundFieldsWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BoundFieldsWidget(QWidget* parent);
    /// The logic the page's boxes read from and write to; before the first event.
    void attach(MovementController& controller);

    /// Shows the bound columns of the current row again.
    void showBoundFields();
    /// Puts the focus in the box of a column, its text selected; false when the page has no such box.
    bool focusField(const std::string& column);

protected:
    QLineEdit* addBoundText(const MovementField& field);
    QCheckBox* addBoundCheck(const MovementField& field);
    bool eventFilter(QObject* watched, QEvent* event) override;

    MovementController* m_controller = nullptr;

private:
    struct BoundText
    {
        QLineEdit* box;
        const char* column;
    };
    struct BoundCheck
    {
        QCheckBox* box;
        const char* column;
    };
    std::vector<BoundText> m_boundTexts;
    std::vector<BoundCheck> m_boundChecks;
};

/// The subjects page: six subjects and the comments.
class SubjectsWidget : public BoundFieldsWidget
{
    Q_OBJECT

public:
    explicit SubjectsWidget(QWidget* parent);
    ui::RichTextBox* comments() const;

private:
    ui::RichTextBox* m_comments = nullptr;
};

/// The movement data page: the grid of movements, the fields, the voices and the description. It shows the
/// movement's fields of both pages, the subjects page's among them.
class MovementDataWidget : public BoundFieldsWidget, public MovementPageView
{
    Q_OBJECT

public:
    MovementDataWidget(SubjectsWidget& subjects, QWidget* parent);
    void attach(MovementController& controller);
    DataGrid* grid() const;

    void setMovementFieldsEnabled(bool enabled) override;
    void showBoundFields() override;
    void syncMovementGrid(std::optional<std::size_t> row) override;
    void setRichText(RichBox box, const std::string& rtf) override;
    void setRichPlainText(RichBox box, const std::string& text) override;
    std::optional<std::string> editedRichText(RichBox box) override;
    void markRichTextSaved(RichBox box) override;
    void focusField(const std::string& field) override;
    void setFocus(FocusTarget target) override;

private:
    ui::RichTextBox* richBox(RichBox box) const;

    SubjectsWidget& m_subjects;
    DataGrid* m_movementsGrid = nullptr;
    ui::RichTextBox* m_description = nullptr;
};

/// The pitches page: the sequence, its staff and octave setting, the entry box, the accidental counts, the
/// spelling chart and the play controls.
class PitchesWidget : public QWidget, public PitchesPageView
{
    Q_OBJECT

public:
    explicit PitchesWidget(QWidget* parent);
    void attach(MovementController& controller);
    /// The entry box, whose Enter the window hands to the logic.
    QLineEdit* entryBox() const;
    /// The Insert button beside the entry box, open while the box is; the window gives it its keys.
    QPushButton* insertButton() const;

    void showSequence(const std::vector<pitches::SequenceEntry>& entries) override;
    void appendPosition(const pitches::SequenceEntry& entry) override;
    void replacePosition(std::size_t row, const pitches::SequenceEntry& entry) override;
    void removePosition(std::size_t row) override;
    void showCurrentPosition(std::optional<std::size_t> row, bool scrollIntoView) override;
    void showCounts(const std::string& sharps, const std::string& flats) override;
    void showEntryBox(const EntryBox& box) override;
    void setFocus(FocusTarget target) override;
    void showStaff(const pitches::NotatedLine& line) override;
    void showOctaveChoice(const OctaveChoice& choice) override;

private:
    QWidget* besideGrid(QWidget* entry);
    void selChange();
    /// Copy as PAE (its button, Ctrl+Shift+C on the page): the line on the clipboard in Plaine & Easie Code.
    void copyAsPae();
    void staffNoteClicked(std::size_t index);

    MovementController* m_controller = nullptr;
    ui::FlexGrid* m_sequenceGrid = nullptr;
    pitches::StaffView* m_staff = nullptr;
    QComboBox* m_capitalOctave = nullptr;
    QLineEdit* m_entryBox = nullptr;
    QPushButton* m_insertButton = nullptr;
    QLabel* m_sharpCount = nullptr;
    QLabel* m_flatCount = nullptr;
    sound::PlaybackBar* m_playback = nullptr;
    bool m_inPitchSelChange = false;
};

/// The tabulations page: both grids, the class chart and the two figures.
class TabulationsWidget : public QWidget, public TabulationsPageView
{
    Q_OBJECT

public:
    explicit TabulationsWidget(QWidget* parent);

    void showTabulations(const TabulationsDisplay& shown) override;

private:
    static void resetGrid(ui::FlexGrid* grid, const char* first);
    static void fitGrid(ui::FlexGrid* grid);

    ui::FlexGrid* m_classGrid = nullptr;
    ui::FlexGrid* m_realGrid = nullptr;
    QLabel* m_totalPitchCount = nullptr;
    QLabel* m_averageDeviation = nullptr;
    tabulations::ClassChart* m_classChart = nullptr;
};

/// The point size of the glyphs in the pitch and tabulation grids.
inline constexpr double kGlyphPointSize = 16;

QString pageText(const std::string& text);
/// A label with an object name and a UTF-8 text.
QLabel* pageLabel(const char* objectName, const char* text, QWidget* parent);

} // namespace velk::movement
