#pragma once

#include "search/SubjectSearch.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace velk::ui
{
class FlexGrid;
}

/// The subject search window: lists the subjects in use, runs the search and shows the matching movements.
/// It only reads the catalogue named by ConnectionString.
class frmFindBySubject : public QDialog
{
    Q_OBJECT

public:
    explicit frmFindBySubject(QWidget* parent = nullptr);
    ~frmFindBySubject() override;

    /// The catalogue every connection of the window opens; set by the opener before each opening.
    QString ConnectionString;
    void setConnectionString(const std::string& connectionString);

    /// Receives every message the window would show in a box (title, text) instead of the box, when set.
    static std::function<void(const QString& title, const QString& text)> messageHook;

    /// Creates the shared window if there is none, points it at the catalogue, loads it afresh and shows it
    /// modally over owner. Returns when the window has been closed.
    static void ShowFindBySubject(QWidget* owner, const std::string& connectionString);

    /// Starts an opening afresh: empty result grid and search text, Wildcard off, Priority on, empty status,
    /// and the subject list read from the catalogue now. A catalogue that cannot be read is reported and
    /// leaves the list empty.
    void load();

    /// Runs the search with the current settings, as the Search button and Enter in the subject box do.
    void search();

    /// The text the status bar shows.
    QString statusText() const;

    /// Ends an opening: closes the connection the opening read the catalogue through.
    void unload();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectSignals();
    void SetupResultGrid();
    void showMessage(const QString& text, bool warning);

    QMenuBar* m_menuBar = nullptr;
    QMenu* mnuSearchMenu = nullptr;
    QAction* mnuLoad = nullptr;
    QAction* mnuSave = nullptr;
    QFrame* fraSearch = nullptr;
    QComboBox* cboSearch = nullptr;
    QCheckBox* chkUseWildcard = nullptr;
    QLabel* lblSortBy = nullptr;
    QRadioButton* optSortPriority = nullptr;
    QRadioButton* optSortDeviation = nullptr;
    QPushButton* cmdSearch = nullptr;
    velk::ui::FlexGrid* fgSearchResult = nullptr;
    QStatusBar* sbrSubjectCount = nullptr;
    // One read-only connection for an opening, from load() to unload(): the movement window cannot write while
    // this modal window is open, and a search then finds the pages the subject list and earlier searches
    // read still in its cache (on a large catalogue a fresh connection per search costs half as much again).
    std::unique_ptr<velk::store::Connection> m_reader;
    bool m_enterInList = false; // the last key in the open subject list was Enter
};
