#include "movement/PageWidgets.h"
#include "tabulations/ClassChart.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>

#include <algorithm>

namespace velk::movement
{
namespace
{

constexpr int kTabulationColumnWidth = 64;

} // namespace

TabulationsWidget::TabulationsWidget(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraMovementTabs"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(pageLabel("Label2", "Tabulations by Pitch Class", this), 0, 0);
    layout->addWidget(pageLabel("Label4", "Tabulations by Real Pitch", this), 0, 1);
    m_classGrid = new ui::FlexGrid(this);
    m_classGrid->setObjectName(QStringLiteral("fgTabsClass"));
    m_realGrid = new ui::FlexGrid(this);
    m_realGrid->setObjectName(QStringLiteral("fgTabsReal"));
    for (auto* grid : {m_classGrid, m_realGrid}) {
        grid->setFont(ui::bookAntiqua(12, true));
        grid->setFixedCols(0);
    }
    resetGrid(m_classGrid, "Class");
    resetGrid(m_realGrid, "Pitch");
    layout->addWidget(m_classGrid, 1, 0);
    layout->addWidget(m_realGrid, 1, 1);
    m_classChart = new tabulations::ClassChart(this);
    m_classChart->setObjectName(QStringLiteral("chtTabsClass"));
    layout->addWidget(m_classChart, 1, 2);
    layout->setColumnStretch(2, 1);
    auto* totals = new QHBoxLayout();
    totals->addWidget(pageLabel("Label5", "Total Pitch Count:", this));
    m_totalPitchCount = pageLabel("lblTotalPitchCount", "", this);
    m_totalPitchCount->setMinimumWidth(80);
    totals->addWidget(m_totalPitchCount);
    totals->addSpacing(30);
    totals->addWidget(pageLabel("Label6", "Average Deviation from 8.3%:", this));
    m_averageDeviation = pageLabel("lblAvgDev", "", this);
    m_averageDeviation->setMinimumWidth(80);
    totals->addWidget(m_averageDeviation);
    totals->addStretch(1);
    layout->addLayout(totals, 2, 0, 1, 3);
    layout->setRowStretch(1, 1);
}

void TabulationsWidget::resetGrid(ui::FlexGrid* grid, const char* first)
{
    grid->setRows(1);
    grid->setCols(3);
    grid->setFixedRows(1);
    grid->setCurrentCell(0, 0);
    grid->setText(QString::fromLatin1(first));
    grid->setCol(1);
    grid->setText(QStringLiteral("Count"));
    grid->setCol(2);
    grid->setText(QStringLiteral("%"));
    fitGrid(grid);
}

void TabulationsWidget::fitGrid(ui::FlexGrid* grid)
{
    // Wide enough for its three columns beside the vertical scroll bar, so that the bar covers none of them and
    // no horizontal bar is needed.
    grid->resizeColumnsToContents();
    for (int column = 0; column < 3; ++column) {
        grid->setColumnWidth(column, std::max(grid->columnWidth(column), kTabulationColumnWidth));
    }
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setMinimumWidth(grid->horizontalHeader()->length() + grid->verticalScrollBar()->sizeHint().width()
                          + 2 * grid->frameWidth());
}

void TabulationsWidget::showTabulations(const TabulationsDisplay& shown)
{
    resetGrid(m_classGrid, "Class");
    resetGrid(m_realGrid, "Pitch");
    m_classChart->clear();
    auto fill = [](ui::FlexGrid* grid, const std::vector<tabulations::TabulationRow>& rows) {
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(rows.size()));
        for (const auto& row : rows) {
            lines.append(pageText(row.glyph) + QLatin1Char('\t') + pageText(row.countText) + QLatin1Char('\t')
                         + pageText(row.percentText));
        }
        grid->setVisible(false);
        grid->addItems(lines, 0, ui::velkFont(kGlyphPointSize));
        grid->setVisible(true);
    };
    if (!shown.classRows.empty() || !shown.realRows.empty()) {
        fill(m_realGrid, shown.realRows);
        fill(m_classGrid, shown.classRows);
        fitGrid(m_realGrid);
        fitGrid(m_classGrid);
        std::vector<std::pair<QString, double>> bars;
        for (const auto& [glyph, percent] : shown.classBars) {
            bars.emplace_back(pageText(glyph), percent);
        }
        m_classChart->setClasses(bars);
    }
    m_totalPitchCount->setText(pageText(shown.total));
    m_averageDeviation->setText(pageText(shown.average));
}

} // namespace velk::movement
