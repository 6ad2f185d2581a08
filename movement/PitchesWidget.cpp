#include "movement/MovementController.h"
#include "movement/PageWidgets.h"
#include "pitches/PitchChartDialog.h"
#include "sound/PlaybackBar.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace velk::movement
{
namespace
{

constexpr double kPitchBoxPointSize = 15.75;

// Rows for the pitch grid: the position number, a tab and the glyph.
QStringList pitchGridRows(const std::vector<pitches::SequenceEntry>& entries, std::size_t firstNumber)
{
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    std::size_t n = firstNumber;
    for (const auto& entry : entries) {
        rows.append(QString::number(n++) + QLatin1Char('\t') + pageText(entry.glyph));
    }
    return rows;
}

} // namespace

PitchesWidget::PitchesWidget(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraMovementPitches"));
    auto* layout = new QHBoxLayout(this);

    m_sequenceGrid = new ui::FlexGrid(this);
    m_sequenceGrid->setObjectName(QStringLiteral("fgPitches"));
    m_sequenceGrid->setFont(ui::bookAntiqua(12, true));
    m_sequenceGrid->setCols(2);
    m_sequenceGrid->setFixedRows(0);
    m_sequenceGrid->setFixedCols(1);
    m_sequenceGrid->setRows(0);
    m_sequenceGrid->setColWidth(1, 1800);
    m_sequenceGrid->setMinimumWidth(220);
    layout->addWidget(m_sequenceGrid, 0);

    auto* side = new QWidget(this);
    auto* grid = new QGridLayout(side);
    grid->addWidget(pageLabel("Label1", "Pitch", side), 0, 0);
    m_entryBox = new QLineEdit(side);
    m_entryBox->setObjectName(QStringLiteral("txtPitch"));
    m_entryBox->setFont(ui::velkFont(kPitchBoxPointSize));
    m_entryBox->setMinimumWidth(160);
    grid->addWidget(m_entryBox, 0, 1);
    grid->addWidget(pageLabel("Label8", "Sharps", side), 1, 0);
    m_sharpCount = pageLabel("lblSharpCount", "0", side);
    grid->addWidget(m_sharpCount, 1, 1);
    grid->addWidget(pageLabel("Label9", "Flats", side), 2, 0);
    m_flatCount = pageLabel("lblFlatCount", "0", side);
    grid->addWidget(m_flatCount, 2, 1);
    auto* hint = pageLabel("lblPitchHint",
                           "Type a spelling and press Enter: a letter (capital for the lower register), then * for "
                           "a sharp, ** for a double sharp, / for a flat, // for a double flat.",
                           side);
    hint->setWordWrap(true);
    hint->setFont(ui::bookAntiqua(10, false));
    grid->addWidget(hint, 3, 0, 1, 2);
    auto* chart = new QPushButton(QStringLiteral("Spellings..."), side);
    chart->setObjectName(QStringLiteral("cmdPitchChart"));
    chart->setAutoDefault(false);
    chart->setFocusPolicy(Qt::NoFocus);
    connect(chart, &QPushButton::clicked, this, [this] {
        pitches::PitchChartDialog::Pitches list;
        for (const auto& pitch : m_controller->pitches().pitchLookup().pitches()) {
            list.emplace_back(pitch.spelling.value_or(std::string()), pitch.glyph);
        }
        pitches::PitchChartDialog dialog(list, this);
        dialog.exec();
    });
    grid->addWidget(chart, 4, 0, 1, 2, Qt::AlignLeft);
    m_playback = new sound::PlaybackBar(side);
    grid->addWidget(m_playback, 5, 0, 1, 3);
    // Before the entry box in the tab order, so that the focus leaves a closed entry box for where it always went.
    setTabOrder(m_playback->tempoBox(), m_entryBox);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(2, 1);
    layout->addWidget(side, 1);
    connect(m_sequenceGrid, &ui::FlexGrid::selChange, this, &PitchesWidget::selChange);
    connect(m_playback, &sound::PlaybackBar::playRequested, this,
            [this](int tempo) { m_playback->setPlaying(m_controller->PlayPitches(tempo)); });
    connect(m_playback, &sound::PlaybackBar::stopRequested, this, [this] {
        m_controller->StopPlaying();
        m_playback->setPlaying(false);
    });
    connect(m_playback, &sound::PlaybackBar::tick, this, [this] {
        if (!m_controller->PlaybackTick()) {
            m_playback->setPlaying(false);
        }
    });
}

void PitchesWidget::attach(MovementController& controller)
{
    m_controller = &controller;
}

QLineEdit* PitchesWidget::entryBox() const
{
    return m_entryBox;
}

void PitchesWidget::selChange()
{
    // Moving the current column back to the glyph raises the signal again; that inner call has nothing to do.
    if (m_inPitchSelChange) {
        return;
    }
    m_inPitchSelChange = true;
    if (m_sequenceGrid->col() != 1 && m_sequenceGrid->row() >= 0) {
        m_sequenceGrid->setCol(1);
    }
    const int row = m_sequenceGrid->row();
    m_inPitchSelChange = false;
    m_controller->PitchSelectionChanged(row >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(row))
                                                 : std::nullopt);
}

void PitchesWidget::showSequence(const std::vector<pitches::SequenceEntry>& entries)
{
    m_sequenceGrid->setVisible(false);
    m_sequenceGrid->setRows(0);
    m_sequenceGrid->clear();
    if (!entries.empty()) {
        std::vector<std::int32_t> ids;
        ids.reserve(entries.size());
        for (const auto& entry : entries) {
            ids.push_back(entry.pitchId);
        }
        m_sequenceGrid->addItems(pitchGridRows(entries, 1), ids, 1, ui::velkFont(kGlyphPointSize));
    }
    m_sequenceGrid->setVisible(true);
}

void PitchesWidget::appendPosition(const pitches::SequenceEntry& entry)
{
    const int n = m_sequenceGrid->rows();
    m_sequenceGrid->addItem(QString::number(n + 1) + QLatin1Char('\t') + pageText(entry.glyph));
    m_inPitchSelChange = true;
    m_sequenceGrid->setCurrentCell(n, 1);
    m_sequenceGrid->setCellFont(QString::fromLatin1(ui::kVelkFont), kGlyphPointSize, false);
    m_inPitchSelChange = false;
    m_sequenceGrid->setRowData(n, entry.pitchId);
}

void PitchesWidget::replacePosition(std::size_t row, const pitches::SequenceEntry& entry)
{
    const int r = static_cast<int>(row);
    m_sequenceGrid->setTextMatrix(r, 1, pageText(entry.glyph));
    m_sequenceGrid->setRowData(r, entry.pitchId);
}

void PitchesWidget::removePosition(std::size_t row)
{
    m_sequenceGrid->removeItem(static_cast<int>(row));
    for (int i = static_cast<int>(row); i < m_sequenceGrid->rows(); ++i) {
        m_sequenceGrid->setTextMatrix(i, 0, QString::number(i + 1));
    }
}

void PitchesWidget::showCurrentPosition(std::optional<std::size_t> row, bool scrollIntoView)
{
    m_inPitchSelChange = true;
    if (row) {
        const int r = static_cast<int>(*row);
        m_sequenceGrid->setCurrentCell(r, 1);
        if (scrollIntoView && !m_sequenceGrid->rowIsVisible(r)) {
            m_sequenceGrid->setTopRow(r);
        }
    }
    m_inPitchSelChange = false;
}

void PitchesWidget::showCounts(const std::string& sharps, const std::string& flats)
{
    m_sharpCount->setText(pageText(sharps));
    m_flatCount->setText(pageText(flats));
}

void PitchesWidget::showEntryBox(const EntryBox& box)
{
    m_entryBox->setEnabled(box.editing);
    m_entryBox->setFont(box.editing ? ui::bookAntiqua(kPitchBoxPointSize, false) : ui::velkFont(kPitchBoxPointSize));
    m_entryBox->setText(pageText(box.text));
}

void PitchesWidget::setFocus(FocusTarget target)
{
    if (target == FocusTarget::PitchBox) {
        m_entryBox->setFocus();
    } else {
        m_sequenceGrid->setFocus();
    }
}

} // namespace velk::movement
