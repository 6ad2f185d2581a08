#pragma once

#include "search/SubjectSearch.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

namespace velk::search
{

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
    void showOutcome(const std::optional<QString>& outcome);
    /// The cells of result rows first to first + count - 1 (0-based), read from the catalogue as the grid shows them.
    std::vector<QStringList> resultRowTexts(std::size_t first, std::size_t count);

    QMenuBar* m_menuBar = nullptr;
    QMenu* m_searchMenu = nullptr;
    QAction* m_loadAction = nullptr;
    QAction* m_saveAction = nullptr;
    QFrame* m_searchFrame = nullptr;
    QComboBox* m_subjectBox = nullptr;
    QCheckBox* m_wildcardCheck = nullptr;
    QLabel* m_sortByLabel = nullptr;
    QRadioButton* m_sortByPriority = nullptr;
    QRadioButton* m_sortByDeviation = nullptr;
    QPushButton* m_searchButton = nullptr;
    velk::ui::FlexGrid* m_resultGrid = nullptr;
    QStatusBar* m_statusBar = nullptr;
    // One opening's reading of the catalogue, from load() to unload(): the movement window cannot write while
    // this modal window is open, so one connection serves the subject list and every search.
    SubjectSearchSession m_session;
    bool m_enterInList = false; // the last key in the open subject list was Enter
    std::vector<std::int64_t> m_resultMovementIds; // the movements of the last search's rows, in result order
};

} // namespace velk::search
