#include "ui/FlexGridModel.h"

#include <algorithm>

namespace velk::ui
{

namespace
{

const QChar kTab = QLatin1Char('\t');

} // namespace

FlexGridModel::FlexGridModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

FlexGridModel::~FlexGridModel() = default;

int FlexGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    return gridRows() - effectiveFixedRows();
}

int FlexGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    return m_cols - effectiveFixedCols();
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const int row = gridRow(index.row());
    const int col = gridCol(index.column());
    if (role != Qt::DisplayRole && role != Qt::FontRole && role != RowDataRole) {
        return {}; // asked often while painting; no reason to read a pending row
    }
    const Cell& cell = cellAt(row, col);
    switch (role) {
    case Qt::DisplayRole:
        return cell.text;
    case Qt::FontRole:
        if (cell.font) {
            return *cell.font;
        }
        return {};
    case RowDataRole:
        return m_rows[static_cast<std::size_t>(row)].value;
    default:
        return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const int count = orientation == Qt::Horizontal ? columnCount() : rowCount();
    if (section < 0 || section >= count) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return headerText(section, orientation);
    case Qt::FontRole:
        if (auto font = headerCellFont(section, orientation)) {
            return *font;
        }
        if (m_hasHeaderFont) {
            return m_headerFont;
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int FlexGridModel::gridRows() const
{
    return static_cast<int>(m_rows.size());
}

int FlexGridModel::gridCols() const
{
    return m_cols;
}

void FlexGridModel::setGridRows(int count)
{
    count = std::max(count, 0);
    const int old = gridRows();
    if (count == old) {
        return;
    }
    // Changes below the fixed area keep the view's state; anything touching the header area resets.
    if (old >= m_fixedRows && count >= m_fixedRows) {
        if (count > old) {
            beginInsertRows(QModelIndex(), old - m_fixedRows, count - m_fixedRows - 1);
            resizeRows(count, m_cols);
            endInsertRows();
        } else {
            beginRemoveRows(QModelIndex(), count - m_fixedRows, old - m_fixedRows - 1);
            resizeRows(count, m_cols);
            endRemoveRows();
        }
        return;
    }
    beginResetModel();
    resizeRows(count, m_cols);
    endResetModel();
}

void FlexGridModel::setGridCols(int count)
{
    count = std::max(count, 0);
    if (count == m_cols) {
        return;
    }
    beginResetModel();
    resizeRows(gridRows(), count);
    endResetModel();
}

int FlexGridModel::fixedRows() const
{
    return m_fixedRows;
}

int FlexGridModel::fixedCols() const
{
    return m_fixedCols;
}

void FlexGridModel::setFixedRows(int count)
{
    count = std::max(count, 0);
    if (count == m_fixedRows) {
        return;
    }
    beginResetModel();
    m_fixedRows = count;
    endResetModel();
}

void FlexGridModel::setFixedCols(int count)
{
    count = std::max(count, 0);
    if (count == m_fixedCols) {
        return;
    }
    beginResetModel();
    m_fixedCols = count;
    endResetModel();
}

int FlexGridModel::effectiveFixedRows() const
{
    return std::min(m_fixedRows, gridRows());
}

int FlexGridModel::effectiveFixedCols() const
{
    return std::min(m_fixedCols, m_cols);
}

QString FlexGridModel::text(int row, int col) const
{
    if (!inGrid(row, col)) {
        return {};
    }
    return cellAt(row, col).text;
}

void FlexGridModel::setText(int row, int col, const QString& text)
{
    if (!inGrid(row, col)) {
        return;
    }
    cellAt(row, col).text = text;
    emitCellChanged(row, col);
}

std::optional<QFont> FlexGridModel::font(int row, int col) const
{
    if (!inGrid(row, col)) {
        return std::nullopt;
    }
    return cellAt(row, col).font;
}

void FlexGridModel::setFont(int row, int col, const QFont& font)
{
    if (!inGrid(row, col)) {
        return;
    }
    cellAt(row, col).font = font;
    emitCellChanged(row, col);
}

std::int32_t FlexGridModel::rowData(int row) const
{
    if (row < 0 || row >= gridRows()) {
        return 0;
    }
    return m_rows[static_cast<std::size_t>(row)].value;
}

void FlexGridModel::setRowData(int row, std::int32_t value)
{
    if (row < 0 || row >= gridRows()) {
        return;
    }
    m_rows[static_cast<std::size_t>(row)].value = value;
    const int shown = viewRow(row);
    if (shown >= 0 && columnCount() > 0) {
        emit dataChanged(index(shown, 0), index(shown, columnCount() - 1), {RowDataRole});
    }
}

void FlexGridModel::appendRow(const QStringList& cells)
{
    const int width = static_cast<int>(cells.size());
    const int old = gridRows();
    // A plain append below the fixed area is an insertion; a wider row or a row in the fixed area resets.
    const bool insertOnly = width <= m_cols && old >= m_fixedRows;
    if (insertOnly) {
        beginInsertRows(QModelIndex(), old - m_fixedRows, old - m_fixedRows);
    } else {
        beginResetModel();
    }
    resizeRows(old + 1, std::max(m_cols, width));
    Row& row = m_rows.back();
    for (int col = 0; col < width; ++col) {
        row.cells[static_cast<std::size_t>(col)].text = cells[col];
    }
    if (insertOnly) {
        endInsertRows();
    } else {
        endResetModel();
    }
}

void FlexGridModel::appendRows(const QStringList& tabSeparatedRows,
                               const std::vector<std::int32_t>& rowValues,
                               int fontColumn,
                               const QFont& columnFont)
{
    if (tabSeparatedRows.isEmpty()) {
        return;
    }
    beginResetModel();
    const std::size_t first = m_rows.size();
    m_rows.resize(first + static_cast<std::size_t>(tabSeparatedRows.size()));
    int width = m_cols;
    for (qsizetype i = 0; i < tabSeparatedRows.size(); ++i) {
        const QStringList cells = tabSeparatedRows[i].split(kTab);
        Row& row = m_rows[first + static_cast<std::size_t>(i)];
        row.cells.reserve(static_cast<std::size_t>(std::max(width, static_cast<int>(cells.size()))));
        for (const QString& text : cells) {
            row.cells.push_back(Cell {text, std::nullopt});
        }
        if (static_cast<std::size_t>(i) < rowValues.size()) {
            row.value = rowValues[static_cast<std::size_t>(i)];
        }
        width = std::max(width, static_cast<int>(cells.size()));
    }
    for (std::size_t r = first; r < m_rows.size(); ++r) {
        m_rows[r].cells.resize(static_cast<std::size_t>(width));
    }
    resizeRows(gridRows(), width);
    if (fontColumn >= 0 && fontColumn < m_cols) {
        for (std::size_t r = first; r < m_rows.size(); ++r) {
            m_rows[r].cells[static_cast<std::size_t>(fontColumn)].font = columnFont;
        }
    }
    endResetModel();
}

void FlexGridModel::appendRowsOnDemand(std::size_t count, RowSource source)
{
    if (count == 0) {
        return;
    }
    beginResetModel();
    const std::size_t first = m_rows.size();
    resizeRows(static_cast<int>(first + count), m_cols);
    for (std::size_t i = 0; i < count; ++i) {
        m_rows[first + i].pending = static_cast<std::int64_t>(i);
    }
    m_source = std::move(source);
    endResetModel();
}

FlexGridModel::Cell& FlexGridModel::cellAt(int row, int col) const
{
    const auto r = static_cast<std::size_t>(row);
    if (m_rows[r].pending >= 0) {
        fillPending(r);
    }
    return m_rows[r].cells[static_cast<std::size_t>(col)];
}

void FlexGridModel::fillPending(std::size_t row) const
{
    // The block of the source that holds the row, as far as the grid still holds it pending and in order.
    const std::int64_t wanted = m_rows[row].pending;
    const std::int64_t blockStart = wanted - wanted % static_cast<std::int64_t>(kRowsOnDemandBlock);
    const std::int64_t blockEnd = blockStart + static_cast<std::int64_t>(kRowsOnDemandBlock);
    std::size_t first = row;
    while (first > 0 && m_rows[first - 1].pending == m_rows[first].pending - 1
           && m_rows[first - 1].pending >= blockStart) {
        --first;
    }
    std::size_t end = row + 1;
    while (end < m_rows.size() && m_rows[end].pending == m_rows[end - 1].pending + 1
           && m_rows[end].pending < blockEnd) {
        ++end;
    }
    const auto from = static_cast<std::size_t>(m_rows[first].pending);
    const std::vector<QStringList> read = m_source ? m_source(from, end - first) : std::vector<QStringList>();
    for (std::size_t r = first; r < end; ++r) {
        Row& filled = m_rows[r];
        filled.pending = -1;
        filled.cells.assign(static_cast<std::size_t>(m_cols), Cell {});
        if (r - first < read.size()) {
            const QStringList& texts = read[r - first];
            for (qsizetype c = 0; c < texts.size() && c < m_cols; ++c) {
                filled.cells[static_cast<std::size_t>(c)].text = texts[c];
            }
        }
    }
}

void FlexGridModel::removeGridRow(int row)
{
    if (row < 0 || row >= gridRows()) {
        return;
    }
    const int shown = viewRow(row);
    // Removing a row in the fixed area shifts the header texts, so that case resets.
    const bool removeOnly = shown >= 0 && gridRows() - 1 >= m_fixedRows;
    if (removeOnly) {
        beginRemoveRows(QModelIndex(), shown, shown);
    } else {
        beginResetModel();
    }
    m_rows.erase(m_rows.begin() + row);
    if (removeOnly) {
        endRemoveRows();
    } else {
        endResetModel();
    }
}

void FlexGridModel::clearCells()
{
    for (Row& row : m_rows) {
        row.pending = -1;
        for (Cell& cell : row.cells) {
            cell.text.clear();
            cell.font.reset();
        }
    }
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
    if (columnCount() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
    if (rowCount() > 0) {
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
}

void FlexGridModel::setHeaderFont(const QFont& font)
{
    m_headerFont = font;
    m_hasHeaderFont = true;
    if (columnCount() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
    if (rowCount() > 0) {
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
}

int FlexGridModel::viewRow(int gridRow) const
{
    if (gridRow < effectiveFixedRows() || gridRow >= gridRows()) {
        return -1;
    }
    return gridRow - effectiveFixedRows();
}

int FlexGridModel::viewColumn(int gridCol) const
{
    if (gridCol < effectiveFixedCols() || gridCol >= m_cols) {
        return -1;
    }
    return gridCol - effectiveFixedCols();
}

int FlexGridModel::gridRow(int viewRow) const
{
    return viewRow + effectiveFixedRows();
}

int FlexGridModel::gridCol(int viewColumn) const
{
    return viewColumn + effectiveFixedCols();
}

bool FlexGridModel::inGrid(int row, int col) const
{
    return row >= 0 && row < gridRows() && col >= 0 && col < m_cols;
}

QString FlexGridModel::headerText(int section, Qt::Orientation orientation) const
{
    QStringList parts;
    if (orientation == Qt::Horizontal) {
        const int col = gridCol(section);
        for (int row = 0; row < effectiveFixedRows(); ++row) {
            parts.append(text(row, col));
        }
        return parts.join(QLatin1Char('\n'));
    }
    const int row = gridRow(section);
    for (int col = 0; col < effectiveFixedCols(); ++col) {
        parts.append(text(row, col));
    }
    return parts.join(QStringLiteral("  "));
}

std::optional<QFont> FlexGridModel::headerCellFont(int section, Qt::Orientation orientation) const
{
    if (orientation == Qt::Horizontal) {
        if (effectiveFixedRows() == 0) {
            return std::nullopt;
        }
        return font(0, gridCol(section));
    }
    if (effectiveFixedCols() == 0) {
        return std::nullopt;
    }
    return font(gridRow(section), 0);
}

void FlexGridModel::resizeRows(int rows, int cols)
{
    const std::size_t kept = std::min(m_rows.size(), static_cast<std::size_t>(rows));
    m_rows.resize(static_cast<std::size_t>(rows));
    // Rows that were there keep their width unless the column count changes, so appending stays linear.
    const std::size_t from = cols == m_cols ? kept : 0;
    for (std::size_t r = from; r < m_rows.size(); ++r) {
        m_rows[r].cells.resize(static_cast<std::size_t>(cols));
    }
    m_cols = cols;
}

void FlexGridModel::emitCellChanged(int row, int col)
{
    const int shownRow = viewRow(row);
    const int shownCol = viewColumn(col);
    if (shownRow >= 0 && shownCol >= 0) {
        const QModelIndex cell = index(shownRow, shownCol);
        emit dataChanged(cell, cell);
    } else if (shownRow < 0 && shownCol >= 0) {
        emit headerDataChanged(Qt::Horizontal, shownCol, shownCol);
    } else if (shownRow >= 0 && shownCol < 0) {
        emit headerDataChanged(Qt::Vertical, shownRow, shownRow);
    }
}

} // namespace velk::ui
