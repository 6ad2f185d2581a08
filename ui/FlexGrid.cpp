#include "ui/FlexGrid.h"

#include "ui/FlexGridModel.h"
#include "ui/MusicText.h"
#include "ui/ReadOnlyTable.h"
#include "ui/Twips.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

namespace velk::ui
{

namespace
{

const QChar kTab = QLatin1Char('\t');

// A handler that keeps moving the current cell gets this many further selChange calls, then no more.
constexpr int kMaxSelChangeRounds = 8;

// The row header that shows the fixed columns. Qt measures a few hundred sections for its width each time
// rows are added, which makes a grid filled row by row slow; this one takes the width set for the fixed
// columns, or measures only the first and the last section (position numbers grow towards the end).
class FixedColumnsHeader : public QHeaderView
{
public:
    explicit FixedColumnsHeader(QWidget* parent)
        : QHeaderView(Qt::Vertical, parent)
    {
    }

    /// Width in pixels; -1 to measure.
    void setWidthHint(int pixels)
    {
        if (pixels != m_widthHint) {
            m_widthHint = pixels;
            updateGeometry();
        }
    }

    QSize sizeHint() const override
    {
        if (m_widthHint >= 0) {
            return QSize(m_widthHint, defaultSectionSize());
        }
        if (model() == nullptr || count() == 0) {
            return QHeaderView::sizeHint();
        }
        int width = 0;
        for (int section : {0, count() - 1}) {
            const QSize size = sectionSizeFromContents(section);
            width = std::max(width, size.width());
        }
        return QSize(width, defaultSectionSize());
    }

private:
    int m_widthHint = -1;
};

} // namespace

FlexGrid::FlexGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(std::make_unique<FlexGridModel>())
{
    auto* rowHeader = new FixedColumnsHeader(this);
    rowHeader->setSectionsClickable(true);
    rowHeader->setHighlightSections(true);
    setVerticalHeader(rowHeader);
    setModel(m_model.get());
    // Pitch glyphs with a double sharp or double flat are drawn legibly (fonts draw those two very small).
    setItemDelegate(new MusicTextDelegate(this));
    setUpReadOnlyRows(*this);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onViewCurrentChanged(current); });
    connect(m_model.get(), &QAbstractItemModel::modelReset, this, [this] { applyLayout(); });
    QFont headerFont = font();
    headerFont.setBold(true);
    m_model->setHeaderFont(headerFont);
    fitRowHeight(font());
    applyLayout();
}

FlexGrid::~FlexGrid()
{
    // The view lets go of the model before the model goes.
    setModel(nullptr);
}

int FlexGrid::rows() const
{
    return m_model->gridRows();
}

void FlexGrid::setRows(int count)
{
    m_syncingView = true;
    m_model->setGridRows(count);
    m_syncingView = false;
    settle();
}

int FlexGrid::cols() const
{
    return m_model->gridCols();
}

void FlexGrid::setCols(int count)
{
    m_syncingView = true;
    m_model->setGridCols(count);
    m_syncingView = false;
    m_widths.resize(static_cast<std::size_t>(std::max(count, 0)), -1);
    applyLayout();
    settle();
}

int FlexGrid::fixedRows() const
{
    return m_model->fixedRows();
}

void FlexGrid::setFixedRows(int count)
{
    m_syncingView = true;
    m_model->setFixedRows(count);
    m_syncingView = false;
    settle();
}

int FlexGrid::fixedCols() const
{
    return m_model->fixedCols();
}

void FlexGrid::setFixedCols(int count)
{
    m_syncingView = true;
    m_model->setFixedCols(count);
    m_syncingView = false;
    settle();
}

int FlexGrid::row() const
{
    return m_row;
}

int FlexGrid::col() const
{
    return m_col;
}

void FlexGrid::setRow(int row)
{
    if (row < 0 || row >= rows()) {
        return;
    }
    moveCurrent(row, m_col);
}

void FlexGrid::setCol(int col)
{
    if (col < 0 || col >= cols()) {
        return;
    }
    moveCurrent(m_row, col);
}

void FlexGrid::setCurrentCell(int row, int col)
{
    if (row < 0 || row >= rows() || col < 0 || col >= cols()) {
        return;
    }
    moveCurrent(row, col);
}

QString FlexGrid::text() const
{
    return m_model->text(m_row, m_col);
}

void FlexGrid::setText(const QString& text)
{
    m_model->setText(m_row, m_col, text);
}

QString FlexGrid::textMatrix(int row, int col) const
{
    return m_model->text(row, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    m_model->setText(row, col, text);
}

void FlexGrid::setCellFont(const QString& family, double pointSize, bool bold)
{
    if (m_row < 0 || m_col < 0) {
        return;
    }
    QFont cell(family);
    cell.setPointSizeF(pointSize);
    cell.setBold(bold);
    m_model->setFont(m_row, m_col, cell);
    fitRowHeight(cell);
}

QFont FlexGrid::cellFont(int row, int col) const
{
    return m_model->font(row, col).value_or(font());
}

std::int32_t FlexGrid::rowData(int row) const
{
    return m_model->rowData(row);
}

void FlexGrid::setRowData(int row, std::int32_t value)
{
    m_model->setRowData(row, value);
}

void FlexGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= cols()) {
        return;
    }
    m_widths[static_cast<std::size_t>(col)] = std::max(twips, 0);
    applyLayout();
}

int FlexGrid::colWidth(int col) const
{
    if (col < 0 || col >= cols()) {
        return 0;
    }
    if (m_widths[static_cast<std::size_t>(col)] >= 0) {
        return m_widths[static_cast<std::size_t>(col)];
    }
    const int shown = m_model->viewColumn(col);
    if (shown >= 0) {
        return pixelsToTwips(columnWidth(shown));
    }
    return pixelsToTwips(verticalHeader()->width() / std::max(m_model->effectiveFixedCols(), 1));
}

int FlexGrid::topRow() const
{
    const int shown = rowAt(0);
    if (shown < 0) {
        return m_model->effectiveFixedRows();
    }
    return m_model->gridRow(shown);
}

void FlexGrid::setTopRow(int row)
{
    const int shown = m_model->viewRow(row);
    if (shown < 0 || m_model->columnCount() == 0) {
        return;
    }
    // Scroll ranges follow model changes lazily; bring them up to date before scrolling.
    executeDelayedItemsLayout();
    updateGeometries();
    const int column = std::max(columnAt(0), 0);
    scrollTo(m_model->index(shown, column), QAbstractItemView::PositionAtTop);
}

bool FlexGrid::rowIsVisible(int row) const
{
    if (row >= 0 && row < m_model->effectiveFixedRows()) {
        return true;
    }
    const int shown = m_model->viewRow(row);
    if (shown < 0 || isRowHidden(shown)) {
        return false;
    }
    const int top = rowViewportPosition(shown);
    return top >= 0 && top + rowHeight(shown) <= viewport()->height();
}

void FlexGrid::addItem(const QString& tabSeparated)
{
    m_syncingView = true;
    m_model->appendRow(tabSeparated.split(kTab));
    m_syncingView = false;
    m_widths.resize(static_cast<std::size_t>(cols()), -1);
    settle();
}

void FlexGrid::addItems(const QStringList& rows)
{
    addItems(rows, std::vector<std::int32_t> {}, -1, QFont());
}

void FlexGrid::addItems(const QStringList& rows, int fontColumn, const QFont& columnFont)
{
    addItems(rows, std::vector<std::int32_t> {}, fontColumn, columnFont);
}

void FlexGrid::addItems(const QStringList& rows,
                        const std::vector<std::int32_t>& rowValues,
                        int fontColumn,
                        const QFont& columnFont)
{
    m_syncingView = true;
    m_model->appendRows(rows, rowValues, fontColumn, columnFont);
    m_syncingView = false;
    m_widths.resize(static_cast<std::size_t>(cols()), -1);
    if (fontColumn >= 0) {
        fitRowHeight(columnFont);
    }
    settle();
}

void FlexGrid::addItemsOnDemand(std::size_t count, FlexGridModel::RowSource source)
{
    m_syncingView = true;
    m_model->appendRowsOnDemand(count, std::move(source));
    m_syncingView = false;
    settle();
}

void FlexGrid::removeItem(int row)
{
    if (row < 0 || row >= rows()) {
        return;
    }
    m_syncingView = true;
    m_model->removeGridRow(row);
    m_syncingView = false;
    // The current row keeps its content: rows after the removed one move up by one.
    if (m_row > row) {
        --m_row;
        syncView(true);
        notifySelChange();
    }
    settle();
}

void FlexGrid::clear()
{
    m_model->clearCells();
}

FlexGridModel* FlexGrid::gridModel() const
{
    return m_model.get();
}

void FlexGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        QFont headerFont = font();
        headerFont.setBold(true);
        m_model->setHeaderFont(headerFont);
        fitRowHeight(font());
    }
}

void FlexGrid::keyboardSearch(const QString& search)
{
    // Typing over the grid does not jump between rows; the windows have their own entry boxes.
    Q_UNUSED(search);
}

void FlexGrid::onViewCurrentChanged(const QModelIndex& current)
{
    if (m_syncingView || !current.isValid()) {
        return;
    }
    moveCurrent(m_model->gridRow(current.row()), m_model->gridCol(current.column()));
    // A selChange handler may have moved the cell again while the view was still handling the click; put the
    // selection on the final cell once that is over.
    const QModelIndex settled = m_model->index(m_model->viewRow(m_row), m_model->viewColumn(m_col));
    if (settled != current) {
        QMetaObject::invokeMethod(
            this, [this] { syncView(true); }, Qt::QueuedConnection);
    }
}

void FlexGrid::moveCurrent(int row, int col)
{
    if (row == m_row && col == m_col) {
        syncView(false);
        return;
    }
    m_row = row;
    m_col = col;
    syncView(false);
    notifySelChange();
}

void FlexGrid::settle()
{
    int row = m_row;
    int col = m_col;
    if (rows() == 0) {
        row = -1;
    } else if (row < 0) {
        row = std::min(m_model->effectiveFixedRows(), rows() - 1);
    } else if (row >= rows()) {
        row = rows() - 1;
    }
    if (cols() == 0) {
        col = -1;
    } else if (col < 0) {
        col = std::min(m_model->effectiveFixedCols(), cols() - 1);
    } else if (col >= cols()) {
        col = cols() - 1;
    }
    applyLayout();
    if (row != m_row || col != m_col) {
        m_row = row;
        m_col = col;
        syncView(true);
        notifySelChange();
    } else {
        syncView(true);
    }
}

void FlexGrid::syncView(bool reselect)
{
    QItemSelectionModel* selection = selectionModel();
    if (selection == nullptr) {
        return;
    }
    const int shownRow = m_model->viewRow(m_row);
    const int shownCol = m_model->viewColumn(m_col);
    QModelIndex target;
    if (shownRow >= 0 && shownCol >= 0) {
        target = m_model->index(shownRow, shownCol);
    }
    if (target == selection->currentIndex() && !reselect) {
        return;
    }
    m_syncingView = true;
    // A current cell set by the program does not scroll (that is what setTopRow is for); scrolling on every
    // move would also lay the whole grid out again for each row a loop fills.
    const bool autoScrolling = hasAutoScroll();
    setAutoScroll(false);
    if (target.isValid()) {
        QItemSelectionModel::SelectionFlags command = QItemSelectionModel::ClearAndSelect;
        if (selectionBehavior() == QAbstractItemView::SelectRows) {
            command |= QItemSelectionModel::Rows;
        }
        selection->setCurrentIndex(target, command);
    } else {
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
    }
    setAutoScroll(autoScrolling);
    m_syncingView = false;
}

void FlexGrid::notifySelChange()
{
    if (m_emitting) {
        m_pending = true;
        return;
    }
    m_emitting = true;
    int rounds = 0;
    do {
        m_pending = false;
        emit selChange();
    } while (m_pending && ++rounds < kMaxSelChangeRounds);
    m_pending = false;
    m_emitting = false;
}

void FlexGrid::applyLayout()
{
    horizontalHeader()->setVisible(m_model->effectiveFixedRows() > 0);
    verticalHeader()->setVisible(m_model->effectiveFixedCols() > 0);
    int fixedWidth = 0;
    bool fixedWidthSet = false;
    for (int col = 0; col < cols() && col < static_cast<int>(m_widths.size()); ++col) {
        const int twips = m_widths[static_cast<std::size_t>(col)];
        if (twips < 0) {
            continue;
        }
        const int shown = m_model->viewColumn(col);
        if (shown >= 0) {
            setColumnWidth(shown, twipsToPixels(twips));
        } else {
            fixedWidth += twipsToPixels(twips);
            fixedWidthSet = true;
        }
    }
    static_cast<FixedColumnsHeader*>(verticalHeader())->setWidthHint(fixedWidthSet ? fixedWidth : -1);
}

void FlexGrid::fitRowHeight(const QFont& cellFont)
{
    if (cellFont == m_lastFittedFont) {
        return;
    }
    m_lastFittedFont = cellFont;
    const int needed = QFontMetrics(cellFont).height() + 6;
    if (needed > verticalHeader()->defaultSectionSize()) {
        verticalHeader()->setDefaultSectionSize(needed);
    }
}

} // namespace velk::ui
