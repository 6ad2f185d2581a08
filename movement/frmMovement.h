#pragma once

#include "movement/KeyRepeat.h"
#include "movement/MovementController.h"
#include "movement/MovementView.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QStackedWidget;
class QTabBar;
class QToolBar;
class QWidget;

namespace velk::movement
{
class MovementDataWidget;
class PitchesWidget;
class SubjectsWidget;
class TabulationsWidget;

/// The movement window: the start-up window of the program, with the toolbar, the tabs and one widget per
/// page. Its handlers read the controls and make one call into the movement logic
/// (MovementController); each page widget shows what the logic's unit for that page asks for.
class frmMovement : public QMainWindow, public WindowView
{
    Q_OBJECT

public:
    /// Answers message boxes instead of showing them (for tests): receives the message and whether it is a
    /// question, returns true for Yes.
    /// Replaces the modal search window (for tests).
    static std::function<void(const std::string& connectionString)> findHook;

    explicit frmMovement(std::string connectionString = store::kConnectionString, QWidget* parent = nullptr);
    ~frmMovement() override;

    /// Runs the load handler; on failure returns its message and the window must not be shown.
    store::Result<> load();

    MovementController& controller();

    // WindowView
    void setCaption(const std::string& caption) override;
    void showPage(Page page) override;
    void setTabsEnabled(bool enabled) override;
    void setButtonsEnabled(const ButtonFlags& enabled) override;
    void setStatus(const std::string& text) override;
    void showFindBySubject(const std::string& connectionString) override;
    bool ask(const Message& question) override;
    void tell(const Message& message) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void tbrMovementButtonClick(int button);
    void tsMovementClick(int index);
    void mnuExportMusicXmlClick();
    void mnuExportCsvClick();
    void mnuPrintClick();

private:
    void setupUi();
    void setupToolbar();
    void setupMenu();
    void showOutcome(const std::optional<QString>& outcome);
    void connectSignals();

    std::unique_ptr<MovementController> m_controller;

    QToolBar* m_toolbar = nullptr;
    std::array<QAction*, kButtonCount + 1> m_actions {};
    QTabBar* m_tabs = nullptr;
    QStackedWidget* m_pages = nullptr;
    MovementDataWidget* m_movementPage = nullptr;
    PitchesWidget* m_pitchesPage = nullptr;
    TabulationsWidget* m_tabulationsPage = nullptr;
    SubjectsWidget* m_subjectsPage = nullptr;
    QWidget* m_noPage = nullptr;
    /// Backspace held down in the pitch entry box repeats; only a press takes a pitch back.
    KeyRepeat m_backspaceRepeat;
};

} // namespace velk::movement
