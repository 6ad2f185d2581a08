#include "movement/MovementController.h"
#include "movement/PageWidgets.h"
#include "pitches/PitchChartDialog.h"
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

    fgPitches = new ui::FlexGrid(this);
    fgPitches->setObjectName(QStringLiteral("fgPitches"));
    fgPitches->setFont(ui::bookAntiqua(12, true));
    fgPitches->setCols(2);
    fgPitches->setFixedRows(0);
    fgPitches->setFixedCols(1);
    fgPitches->setRows(0);
    fgPitches->setColWidth(1, 1800);
    fgPitches->setMinimumWidth(220);
    layout->addWidget(fgPitches, 0);

    auto* side = new QWidget(this);
    auto* grid = new QGridLayout(side);
    grid->addWidget(pageLabel("Label1", "Pitch", side), 0, 0);
    txtPitch = new QLineEdit(side);
    txtPitch->setObjectName(QStringLiteral("txtPitch"));
    txtPitch->setFont(ui::velkFont(kPitchBoxPointSize));
    txtPitch->setMinimumWidth(160);
    grid->addWidget(txtPitch, 0, 1);
    grid->addWidget(pageLabel("Label8", "Sharps", side), 1, 0);
    lblSharpCount = pageLabel("lblSharpCount", "0", side);
    grid->addWidget(lblSharpCount, 1, 1);
    grid->addWidget(pageLabel("Label9", "Flats", side), 2, 0);
    lblFlatCount = pageLabel("lblFlatCount", "0", side);
    grid->addWidget(lblFlatCount, 2, 1);
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
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(2, 1);
    layout->addWidget(side, 1);
    connect(fgPitches, &ui::FlexGrid::selChange, this, &PitchesWidget::selChange);
}

void PitchesWidget::attach(MovementController& controller)
{
    m_controller = &controller;
}

QLineEdit* PitchesWidget::entryBox() const
{
    return txtPitch;
}

void PitchesWidget::selChange()
{
    // Moving the current column back to the glyph raises the signal again; that inner call has nothing to do.
    if (m_inPitchSelChange) {
        return;
    }
    m_inPitchSelChange = true;
    if (fgPitches->col() != 1 && fgPitches->row() >= 0) {
        fgPitches->setCol(1);
    }
    const int row = fgPitches->row();
    m_inPitchSelChange = false;
    m_controller->PitchSelectionChanged(row >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(row))
                                                 : std::nullopt);
}

void PitchesWidget::showSequence(const std::vector<pitches::SequenceEntry>& entries)
{
    fgPitches->setVisible(false);
    fgPitches->setRows(0);
    fgPitches->clear();
    if (!entries.empty()) {
        std::vector<std::int32_t> ids;
        ids.reserve(entries.size());
        for (const auto& entry : entries) {
            ids.push_back(entry.pitchId);
        }
        fgPitches->addItems(pitchGridRows(entries, 1), ids, 1, ui::velkFont(kGlyphPointSize));
    }
    fgPitches->setVisible(true);
}

void PitchesWidget::appendPosition(const pitches::SequenceEntry& entry)
{
    const int n = fgPitches->rows();
    fgPitches->addItem(QString::number(n + 1) + QLatin1Char('\t') + pageText(entry.glyph));
    m_inPitchSelChange = true;
    fgPitches->setCurrentCell(n, 1);
    fgPitches->setCellFont(QString::fromLatin1(ui::kVelkFont), kGlyphPointSize, false);
    m_inPitchSelChange = false;
    fgPitches->setRowData(n, entry.pitchId);
}

void PitchesWidget::replacePosition(std::size_t row, const pitches::SequenceEntry& entry)
{
    const int r = static_cast<int>(row);
    fgPitches->setTextMatrix(r, 1, pageText(entry.glyph));
    fgPitches->setRowData(r, entry.pitchId);
}

void PitchesWidget::removePosition(std::size_t row)
{
    fgPitches->removeItem(static_cast<int>(row));
    for (int i = static_cast<int>(row); i < fgPitches->rows(); ++i) {
        fgPitches->setTextMatrix(i, 0, QString::number(i + 1));
    }
}

void PitchesWidget::showCurrentPosition(std::optional<std::size_t> row, bool scrollIntoView)
{
    m_inPitchSelChange = true;
    if (row) {
        const int r = static_cast<int>(*row);
        fgPitches->setCurrentCell(r, 1);
        if (scrollIntoView && !fgPitches->rowIsVisible(r)) {
            fgPitches->setTopRow(r);
        }
    }
    m_inPitchSelChange = false;
}

void PitchesWidget::showCounts(const std::string& sharps, const std::string& flats)
{
    lblSharpCount->setText(pageText(sharps));
    lblFlatCount->setText(pageText(flats));
}

void PitchesWidget::showEntryBox(const EntryBox& box)
{
    txtPitch->setEnabled(box.editing);
    txtPitch->setFont(box.editing ? ui::bookAntiqua(kPitchBoxPointSize, false) : ui::velkFont(kPitchBoxPointSize));
    txtPitch->setText(pageText(box.text));
}

void PitchesWidget::setFocus(FocusTarget target)
{
    if (target == FocusTarget::PitchBox) {
        txtPitch->setFocus();
    } else {
        fgPitches->setFocus();
    }
}

} // namespace velk::movement
