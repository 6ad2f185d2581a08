#pragma once

#include "melody/MelodySearch.h"
#include "sound/Player.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace velk::sound
{
class PlaybackBar;
}

namespace velk::ui
{
class FlexGrid;
}

namespace velk::melody
{

/// The melodic search window: finds the movements whose pitch sequence holds a typed melody, by exact
/// spellings, by pitch classes or transposed. It only reads the catalogue named by its connection string.
class frmFindByMelody : public QDialog
{
    Q_OBJECT

public:
    explicit frmFindByMelody(QWidget* parent = nullptr);
    ~frmFindByMelody() override;

    /// The catalogue the search reads; set by the opener before each opening.
    void setConnectionString(const std::string& connectionString);

    /// Creates the shared window if there is none, points it at the catalogue, loads it afresh and shows it
    /// modally over owner. Returns when the window has been closed.
    static void ShowFindByMelody(QWidget* owner, const std::string& connectionString);

    /// Starts an opening afresh: empty melody and result grid, Exact spellings chosen, empty status; starts reading
    /// the catalogue's sequences into memory in the background (prepareSequencesInMemory).
    void load();

    /// Runs the search with the current melody and option, as the Find button and Enter in the melody box do.
    /// A melody that cannot be searched (unknown spelling, too few pitches, unreadable catalogue) is reported in
    /// a message and leaves the grid and status of the last search as they were.
    void find();

    /// The text the status bar shows.
    QString statusText() const;

    /// Plays the run the selected result found (the first result when none is selected), as Play and F5 do;
    /// the play controls' label says what plays or why nothing does.
    void playRun(int tempo);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    void connectSignals();
    void SetupResultGrid();
    void showMessage(const QString& text);
    void showOutcome(const std::optional<QString>& outcome);

    std::string m_connectionString;
    QLineEdit* m_melodyText = nullptr;
    QRadioButton* m_exactOption = nullptr;
    QRadioButton* m_classesOption = nullptr;
    QRadioButton* m_transposedOption = nullptr;
    QPushButton* m_findButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_printButton = nullptr;
    std::vector<std::int64_t> m_resultMovementIds; ///< the movements the last search found, in result order
    QLabel* m_noteLabel = nullptr;
    velk::ui::FlexGrid* m_resultGrid = nullptr;
    QStatusBar* m_statusBar = nullptr;
    velk::sound::PlaybackBar* m_playback = nullptr;
    std::vector<MelodyRow> m_found;
    std::size_t m_runLength = 0;
    velk::sound::Player m_player;
};

} // namespace velk::melody
