#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace velk::ui
{

/// The cells of a flexible grid. Grid coordinates (0-based) count the fixed rows and columns; the model shows
/// only the cells below the fixed rows and right of the fixed columns as its items, and the fixed rows and
/// columns as its header data (several fixed rows or columns are joined into one header text). A grid row that
/// lies in the fixed area while the grid has fewer rows than fixed rows is a header row all the same.
/// Read-only for views: nothing is editable.
class FlexGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// The 32-bit row value, on every item of the row.
    static constexpr int RowDataRole = Qt::UserRole + 1;

    explicit FlexGridModel(QObject* parent = nullptr);
    ~FlexGridModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Grid dimensions, fixed rows and columns included.
    int gridRows() const;
    int gridCols() const;
    /// Shrinking drops rows (or cells) at the end; growing appends empty ones.
    void setGridRows(int count);
    void setGridCols(int count);
    /// Fixed counts as set; they may exceed the dimensions, the shown header then takes what there is.
    int fixedRows() const;
    int fixedCols() const;
    void setFixedRows(int count);
    void setFixedCols(int count);
    /// Fixed counts limited to the present dimensions.
    int effectiveFixedRows() const;
    int effectiveFixedCols() const;

    /// Empty text outside the grid.
    QString text(int row, int col) const;
    /// Ignored outside the grid.
    void setText(int row, int col, const QString& text);
    /// The cell's own font; nothing when the cell uses the grid's font or lies outside the grid.
    std::optional<QFont> font(int row, int col) const;
    /// Ignored outside the grid.
    void setFont(int row, int col, const QFont& font);
    /// 0 outside the grid or when never set.
    std::int32_t rowData(int row) const;
    void setRowData(int row, std::int32_t value);

    /// Appends one row of cells; grows the column count when the row has more cells.
    void appendRow(const QStringList& cells);
    /**
     * Appends many rows in one reset. Each text holds the cells separated by tab characters. rowValues gives
     * the row values in order (missing ones are 0); fontColumn (-1 for none) names a grid column whose cells
     * get columnFont.
     */
    void appendRows(const QStringList& tabSeparatedRows,
                    const std::vector<std::int32_t>& rowValues,
                    int fontColumn,
                    const QFont& columnFont);
    /// Gives the cells of count rows of a source from its row first on (0-based): one list of texts per row, fewer
    /// rows when it has no more to give.
    using RowSource = std::function<std::vector<QStringList>(std::size_t first, std::size_t count)>;
    /**
     * Appends count rows in one reset whose cells are asked of source only when read (shown, or through text()),
     * kRowsOnDemandBlock rows of the source at a time around the one read; the rows appended before stay as they
     * are. A row the source gives nothing for stays empty. A later call replaces the source.
     */
    void appendRowsOnDemand(std::size_t count, RowSource source);
    static constexpr std::size_t kRowsOnDemandBlock = 64;
    /// Removes one grid row; ignored outside the grid.
    void removeGridRow(int row);
    /// Empties the text and font of every cell; dimensions and row values stay.
    void clearCells();

    /// Font the header sections are drawn in (fixed cells with no font of their own).
    void setHeaderFont(const QFont& font);

    /// View coordinates of a grid row or column; -1 when it lies in the fixed area or outside.
    int viewRow(int gridRow) const;
    int viewColumn(int gridCol) const;
    /// Grid coordinates of a view row or column.
    int gridRow(int viewRow) const;
    int gridCol(int viewColumn) const;

private:
    struct Cell
    {
        QString text;
        std::optional<QFont> font;
    };
    struct Row
    {
        std::vector<Cell> cells;
        std::int32_t value = 0;
        std::int64_t pending = -1; ///< the row of m_source whose cells it has not read yet, or -1
    };

    bool inGrid(int row, int col) const;
    /// The cell of a row in the grid, its row's cells read from the source first when still pending.
    Cell& cellAt(int row, int col) const;
    void fillPending(std::size_t row) const;
    QString headerText(int section, Qt::Orientation orientation) const;
    std::optional<QFont> headerCellFont(int section, Qt::Orientation orientation) const;
    void resizeRows(int rows, int cols);
    void emitCellChanged(int row, int col);

    // Rows appended on demand get their cells when first read, by the const readers too.
    mutable std::vector<Row> m_rows;
    RowSource m_source;
    int m_cols = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    QFont m_headerFont;
    bool m_hasHeaderFont = false;
};

} // namespace velk::ui
