#include "melody/frmFindByMelody.h"

#include "exchange/ExchangeCommands.h"
#include "melody/MelodySearch.h"
#include "sound/MovementSound.h"
#include "sound/PlaybackBar.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QButtonGroup>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStringList>
#include <QVBoxLayout>

#include <vector>

namespace velk::melody
{

namespace
{

const QString kMessageTitle = QStringLiteral("Velk - Find By Melody");

// Column widths of the result grid in twips.
constexpr int kColumnWidths[] = {1200, 1200, 1300, 1500};

QString joinCells(const std::vector<std::string>& cells)
{
    QStringList parts;
    for (const auto& cell : cells) {
        parts.append(QString::fromStdString(cell));
    }
    return parts.join(QLatin1Char('\t'));
}

} // namespace

frmFindByMelody::frmFindByMelody(QWidget* parent)
    : QDialog(parent)
{
    createControls();
    connectSignals();
}

frmFindByMelody::~frmFindByMelody()
{
    // The window goes with the program's main window: a reading of the copy under way stops here, before the
    // program's own teardown.
    forgetSequencesInMemory();
}

void frmFindByMelody::setConnectionString(const std::string& connectionString)
{
    m_connectionString = connectionString;
}

void frmFindByMelody::createControls()
{
    setObjectName(QStringLiteral("frmFindByMelody"));
    setWindowTitle(QStringLiteral("Find By Melody"));
    const QFont font = ui::bookAntiqua(12, true);
    setFont(font);

    m_melodyText = new QLineEdit(this);
    m_melodyText->setObjectName(QStringLiteral("txtMelody"));
    m_melodyText->setFont(font);
    m_melodyText->setPlaceholderText(QStringLiteral("c d e f g"));

    m_findButton = new QPushButton(QStringLiteral("&Find"), this);
    m_findButton->setObjectName(QStringLiteral("cmdFind"));
    m_findButton->setFont(font);
    // Enter in the melody box runs the search itself; a default button would run it a second time.
    m_findButton->setAutoDefault(false);
    m_findButton->setDefault(false);

    // The results can go to a spreadsheet or to paper, as the catalogue can.
    m_exportButton = new QPushButton(QStringLiteral("E&xport..."), this);
    m_exportButton->setObjectName(QStringLiteral("cmdExport"));
    m_printButton = new QPushButton(QStringLiteral("P&rint..."), this);
    m_printButton->setObjectName(QStringLiteral("cmdPrint"));
    for (QPushButton* button : {m_exportButton, m_printButton}) {
        button->setFont(font);
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    auto* print = new QAction(this);
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction(print);
    connect(print, &QAction::triggered, m_printButton, &QPushButton::click);

    m_exactOption = new QRadioButton(QStringLiteral("Exact spellings"), this);
    m_exactOption->setObjectName(QStringLiteral("optExact"));
    m_classesOption = new QRadioButton(QStringLiteral("Same pitch classes"), this);
    m_classesOption->setObjectName(QStringLiteral("optClasses"));
    m_transposedOption = new QRadioButton(QStringLiteral("Transposed"), this);
    m_transposedOption->setObjectName(QStringLiteral("optTransposed"));
    auto* modes = new QButtonGroup(this);
    for (QRadioButton* option : {m_exactOption, m_classesOption, m_transposedOption}) {
        option->setFont(font);
        modes->addButton(option);
    }
    m_exactOption->setChecked(true);

    m_noteLabel = new QLabel(QStringLiteral("The catalogue holds no pitch heights, so Transposed compares the steps "
                                            "between pitch classes: octave and direction are not told apart."),
                             this);
    m_noteLabel->setObjectName(QStringLiteral("lblMelodyNote"));
    m_noteLabel->setFont(ui::bookAntiqua(10, false));
    m_noteLabel->setWordWrap(true);

    m_resultGrid = new ui::FlexGrid(this);
    m_resultGrid->setObjectName(QStringLiteral("fgMelodyResult"));
    m_resultGrid->setFont(font);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("sbrMelodyCount"));
    m_statusBar->setFont(font);
    m_statusBar->setSizeGripEnabled(false);

    m_playback = new sound::PlaybackBar(this);
    m_playback->setFont(ui::bookAntiqua(10, true));

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(m_melodyText, 1);
    entryRow->addWidget(m_findButton);
    entryRow->addWidget(m_exportButton);
    entryRow->addWidget(m_printButton);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(m_exactOption);
    optionRow->addWidget(m_classesOption);
    optionRow->addWidget(m_transposedOption);
    optionRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entryRow);
    layout->addLayout(optionRow);
    layout->addWidget(m_noteLabel);
    layout->addWidget(m_resultGrid, 1);
    layout->addWidget(m_playback);
    layout->addWidget(m_statusBar);
    resize(560, 480);
    SetupResultGrid();
}

void frmFindByMelody::connectSignals()
{
    connect(m_findButton, &QPushButton::clicked, this, &frmFindByMelody::find);
    connect(m_melodyText, &QLineEdit::returnPressed, this, &frmFindByMelody::find);
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        showOutcome(exchange::exportCsvCommand(this, m_connectionString,
                                               exchange::Selection::movements(m_resultMovementIds),
                                               QStringLiteral("melody-results.csv")));
    });
    connect(m_printButton, &QPushButton::clicked, this, [this] {
        showOutcome(
            exchange::printCommand(this, m_connectionString, exchange::Selection::movements(m_resultMovementIds)));
    });
    connect(m_playback, &sound::PlaybackBar::playRequested, this, &frmFindByMelody::playRun);
    connect(m_playback, &sound::PlaybackBar::stopRequested, this, [this] {
        if (const auto position = m_player.stop()) {
            m_playback->showStatus(QString::fromStdString(sound::stoppedText(*position)));
        }
        m_playback->setPlaying(false);
    });
    connect(m_playback, &sound::PlaybackBar::tick, this, [this] {
        if (!m_player.poll()) {
            m_playback->setPlaying(false);
            m_playback->showStatus(QString::fromUtf8(sound::kPlayedToTheEnd));
        }
    });
}

void frmFindByMelody::showOutcome(const std::optional<QString>& outcome)
{
    if (outcome) {
        m_statusBar->showMessage(*outcome);
    }
}

void frmFindByMelody::SetupResultGrid()
{
    const auto& headers = resultHeaders();
    m_resultGrid->setRows(0);
    m_resultGrid->setCols(static_cast<int>(headers.size()));
    m_resultGrid->clear();
    m_resultGrid->addItem(joinCells(headers));
    m_resultGrid->setFixedRows(1);
    m_resultGrid->setFixedCols(0);
    for (int column = 0; column < static_cast<int>(headers.size()); ++column) {
        m_resultGrid->setColWidth(column, kColumnWidths[column]);
    }
}

void frmFindByMelody::load()
{
    m_player.stop();
    m_playback->setPlaying(false);
    m_playback->showStatus({});
    m_found.clear();
    SetupResultGrid();
    m_melodyText->clear();
    m_exactOption->setChecked(true);
    m_statusBar->clearMessage();
    m_resultMovementIds.clear();
    m_melodyText->setFocus();
    // Read the sequences into memory while the melody is typed, so that the first search answers from them.
    if (!m_connectionString.empty()) {
        prepareSequencesInMemory(m_connectionString);
    }
}

void frmFindByMelody::find()
{
    const auto mode = m_transposedOption->isChecked() ? Mode::Transposed
        : m_classesOption->isChecked()                ? Mode::Classes
                                                      : Mode::Exact;
    // Bringing the melody index up to date first may take a while after another program changed many sequences.
    m_player.stop();
    m_playback->setPlaying(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto result = findMelody(m_connectionString, m_melodyText->text().toStdString(), mode);
    QGuiApplication::restoreOverrideCursor();
    if (!result) {
        showMessage(QString::fromStdString(result.message()));
        return;
    }
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(result->rows.size()));
    for (const auto& row : result->rows) {
        rows.append(joinCells(row.cells()));
    }
    m_resultGrid->setRows(1);
    m_resultGrid->addItems(rows);
    m_statusBar->showMessage(QString::fromStdString(result->statusText));
    m_resultMovementIds.clear();
    for (const auto& row : result->rows) {
        m_resultMovementIds.push_back(row.movementId);
    }
    m_found = result->rows;
    m_runLength = result->melodyLength;
    m_playback->showStatus({});
}

void frmFindByMelody::playRun(int tempo)
{
    if (m_found.empty()) {
        m_player.stop();
        m_playback->setPlaying(false);
        m_playback->showStatus(QString::fromUtf8(sound::kNoRunToPlay));
        return;
    }
    // The grid's first row holds the headers.
    const int row = m_resultGrid->row() - 1;
    const MelodyRow& found
        = m_found[row >= 0 && static_cast<std::size_t>(row) < m_found.size() ? static_cast<std::size_t>(row) : 0];
    const auto played
        = sound::playRun(m_player, m_connectionString, found.movementId, found.position, m_runLength, tempo);
    m_playback->setPlaying(played.ok());
    m_playback->showStatus(QString::fromStdString(played ? played.value() : played.message()));
}

void frmFindByMelody::hideEvent(QHideEvent* event)
{
    m_player.stop();
    m_playback->setPlaying(false);
    QDialog::hideEvent(event);
}

QString frmFindByMelody::statusText() const
{
    return m_statusBar->currentMessage();
}

void frmFindByMelody::showMessage(const QString& text)
{
    ui::showMessageBox(this, {kMessageTitle, text, ui::BoxIcon::Warning});
}

void frmFindByMelody::ShowFindByMelody(QWidget* owner, const std::string& connectionString)
{
    // One shared window for the whole program; it goes with its owner.
    static QPointer<frmFindByMelody> instance;
    if (!instance) {
        instance = new frmFindByMelody(owner);
    } else if (instance->parentWidget() != owner) {
        instance->setParent(owner, instance->windowFlags());
    }
    instance->setConnectionString(connectionString);
    instance->load();
    instance->exec();
}

} // namespace velk::melody
