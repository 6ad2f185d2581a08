#pragma once

#include "ui/FlexGridModel.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <QTableView>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velk::ui
{

/// The flexible grid of the windows: a model/view grid addressed by row and column (0-based, fixed rows and
/// columns included in the numbering), with a current cell, per-cell fonts, a 32-bit value per row, rows
/// appended from tab-separated text and fixed rows/columns that stay in view (drawn as the header).
///
/// A new grid has no rows, no columns and no fixed rows or columns. Fixed counts may exceed the dimensions:
/// the header then shows the rows (columns) there are, and a row appended later joins the header until the
/// fixed count is reached. Cells are read-only for the user; the program writes them.
class FlexGrid : public QTableView
{
    Q_OBJECT

public:
    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    /// Row count, fixed rows included. Shrinking drops rows at the end; growing appends empty rows.
    int rows() const;
    void setRows(int count);
    /// Column count, fixed columns included; same rules as the rows.
    int cols() const;
    void setCols(int count);
    int fixedRows() const;
    void setFixedRows(int count);
    int fixedCols() const;
    void setFixedCols(int count);

    /// Current cell, which may lie in a fixed row or column when the program puts it there; -1 when the grid
    /// has no rows (columns). When rows (columns) appear and there was none, the first cell past the fixed
    /// area becomes current; when the current row goes, the nearest remaining row does.
    int row() const;
    int col() const;
    /// Each of these raises selChange when the current cell changes; values outside the grid are ignored.
    /// Called from a selChange handler, the change is made at once and selChange is raised again after the
    /// handler returns (never nested, and at most a few times in a row).
    void setRow(int row);
    void setCol(int col);
    void setCurrentCell(int row, int col);

    /// Text of the current cell (empty when there is none).
    QString text() const;
    void setText(const QString& text);
    /// Text of any cell; empty outside the grid. Setting outside the grid is ignored.
    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    /// Font of the current cell; ignored when there is no current cell.
    void setCellFont(const QString& family, double pointSize, bool bold);
    /// The cell's own font, or the grid's font when the cell has none of its own.
    QFont cellFont(int row, int col) const;

    /// The 32-bit value each row carries (0 until set, and outside the grid).
    std::int32_t rowData(int row) const;
    void setRowData(int row, std::int32_t value);

    /// Column width in twips (1/1440 inch), converted at 96 dpi. Fixed columns together set the width of
    /// the row header.
    void setColWidth(int col, int twips);
    int colWidth(int col) const;

    /// First row shown below the fixed rows; setting it scrolls (as far as the scroll range allows).
    int topRow() const;
    void setTopRow(int row);
    /// True when the row lies fully within the visible part of the grid; fixed rows are always visible.
    bool rowIsVisible(int row) const;

    /// Appends one row; cells are separated by tab characters. Grows the column count if the text has more cells.
    void addItem(const QString& tabSeparated);
    /// Appends many rows at once (one model reset); each text holds the cells separated by tab characters.
    void addItems(const QStringList& rows);
    /// The same, giving every cell of grid column fontColumn the font columnFont.
    void addItems(const QStringList& rows, int fontColumn, const QFont& columnFont);
    /// The same with the row values in order (missing ones are 0); fontColumn -1 sets no font.
    void addItems(const QStringList& rows,
                  const std::vector<std::int32_t>& rowValues,
                  int fontColumn = -1,
                  const QFont& columnFont = QFont());
    /// Appends count rows in one reset whose cells are read from source only as they are shown or read (see
    /// FlexGridModel::appendRowsOnDemand): a long result shows at once.
    void addItemsOnDemand(std::size_t count, FlexGridModel::RowSource source);
    /// Removes one row; ignored outside the grid.
    void removeItem(int row);
    /// Clears the text and font of every cell; keeps the dimensions and the row values.
    void clear();

    /// The cells as a model, for reading; change the grid through the functions above.
    FlexGridModel* gridModel() const;

signals:
    /// The current cell changed, by the user (click, keys) or by the program.
    void selChange();

protected:
    void changeEvent(QEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    void onViewCurrentChanged(const QModelIndex& current);
    /// Makes (row, col) current, brings the view along and raises selChange when it changed.
    void moveCurrent(int row, int col);
    /// After a change of the dimensions: keeps the current cell inside the grid.
    void settle();
    void syncView(bool reselect);
    void notifySelChange();
    void applyLayout();
    void fitRowHeight(const QFont& font);

    std::unique_ptr<FlexGridModel> m_model;
    int m_row = -1;
    int m_col = -1;
    std::vector<int> m_widths; // twips per grid column, -1 when never set
    bool m_syncingView = false;
    bool m_emitting = false;
    bool m_pending = false;
    QFont m_lastFittedFont;
};

} // namespace velk::ui
