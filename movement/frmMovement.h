#pragma once

#include "movement/MovementController.h"
#include "movement/MovementView.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTabBar;
class QToolBar;
class QWidget;

namespace velk::ui
{
class DataGrid;
class FlexGrid;
class MovementGridModel;
class RichTextBox;
class ClassChart;
} // namespace velk::ui

/// The movement window: the start-up window of the program. Its handlers read the controls, make one call
/// into the movement logic and show what it asks for; the logic lives in velk::movement::MovementController.
class frmMovement : public QMainWindow, public velk::movement::MovementView
{
    Q_OBJECT

public:
    /// Answers message boxes instead of showing them (for tests): receives the message and whether it is a
    /// question, returns true for Yes.
    static std::function<bool(const velk::movement::Message&, bool question)> messageHook;
    /// Replaces the modal search window (for tests).
    static std::function<void(const std::string& connectionString)> findHook;

    explicit frmMovement(std::string connectionString = velk::store::kConnectionString, QWidget* parent = nullptr);
    ~frmMovement() override;

    /// Runs the load handler; on failure returns its message and the window must not be shown.
    velk::store::Outcome load();

    velk::movement::MovementController& controller();

    // MovementView
    void setCaption(const std::string& caption) override;
    void showPage(velk::movement::Page page) override;
    void setTabsEnabled(bool enabled) override;
    void setMovementFieldsEnabled(bool enabled) override;
    void showBoundFields() override;
    void syncMovementGrid(std::optional<std::size_t> row) override;
    void setRichText(velk::movement::RichBox box, const std::string& rtf) override;
    void setRichPlainText(velk::movement::RichBox box, const std::string& text) override;
    std::optional<std::string> editedRichText(velk::movement::RichBox box) override;
    void markRichTextSaved(velk::movement::RichBox box) override;
    void pitchGridReset(const std::vector<velk::pitches::SequenceEntry>& entries) override;
    void pitchGridAppend(const velk::pitches::SequenceEntry& entry) override;
    void pitchGridReplace(std::size_t row, const velk::pitches::SequenceEntry& entry) override;
    void pitchGridRemove(std::size_t row) override;
    void pitchGridSetCurrent(std::optional<std::size_t> row, bool scrollIntoView) override;
    void setPitchCounts(const std::string& sharps, const std::string& flats) override;
    void setPitchBox(const std::string& text, bool editing) override;
    void clearTabulations() override;
    void showTabulations(const velk::tabulations::Tabulation& tabulation) override;
    void setTabulationLabels(const std::string& total, const std::string& average) override;
    void setButtonsEnabled(const velk::movement::ButtonFlags& enabled) override;
    void setFocus(velk::movement::FocusTarget target) override;
    void focusField(const std::string& field) override;
    void setStatus(const std::string& text) override;
    void showFindBySubject(const std::string& connectionString) override;
    bool ask(const velk::movement::Message& question) override;
    void tell(const velk::movement::Message& message) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void tbrMovementButtonClick(int button);
    void tsMovementClick(int index);
    void fgPitchesSelChange();

private:
    struct BoundText
    {
        QLineEdit* box;
        const char* field;
    };
    struct BoundCheck
    {
        QCheckBox* box;
        const char* field;
    };

    void setupUi();
    QWidget* setupMovementPage();
    QWidget* setupSubjectsPage();
    QWidget* setupPitchesPage();
    QWidget* setupTabulationsPage();
    void setupToolbar();
    void connectSignals();
    QLineEdit* addBoundText(const char* objectName, const char* field);
    QCheckBox* addBoundCheck(const char* objectName, const char* caption, const char* field);
    velk::ui::RichTextBox* richBox(velk::movement::RichBox box) const;
    void resetTabulationGrid(velk::ui::FlexGrid* grid, const char* first);
    void fitTabulationGrid(velk::ui::FlexGrid* grid);

    std::unique_ptr<velk::movement::MovementController> m_controller;

    QToolBar* tbrMovement = nullptr;
    std::array<QAction*, velk::movement::kButtonCount + 1> m_actions {};
    QTabBar* tsMovement = nullptr;
    QStackedWidget* m_pages = nullptr;
    QWidget* fraMovementData = nullptr;
    QWidget* fraMovementPitches = nullptr;
    QWidget* fraMovementTabs = nullptr;
    QWidget* fraMovementSubjects = nullptr;
    QWidget* m_noPage = nullptr;

    velk::ui::DataGrid* dbgMovements = nullptr;
    std::vector<BoundText> m_boundTexts;
    std::vector<BoundCheck> m_boundChecks;
    std::vector<QWidget*> m_movementFields;
    velk::ui::RichTextBox* txtDescription = nullptr;
    velk::ui::RichTextBox* txtComments = nullptr;

    velk::ui::FlexGrid* fgPitches = nullptr;
    QLineEdit* txtPitch = nullptr;
    QLabel* lblSharpCount = nullptr;
    QLabel* lblFlatCount = nullptr;
    bool m_inPitchSelChange = false;

    velk::ui::FlexGrid* fgTabsClass = nullptr;
    velk::ui::FlexGrid* fgTabsReal = nullptr;
    QLabel* lblTotalPitchCount = nullptr;
    QLabel* lblAvgDev = nullptr;
    velk::ui::ClassChart* m_classChart = nullptr;
};
