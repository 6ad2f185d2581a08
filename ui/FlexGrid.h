#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <QTableView>

#include <cstdint>
#include <memory>

namespace velk::ui {

class FlexGridModel;

/// The flexible grid of the windows: a model/view grid addressed by row and column (0-based, fixed rows and
/// columns included in the numbering), with a current cell, per-cell fonts, a 32-bit value per row, rows
/// appended from tab-separated text and fixed rows/columns that stay in view (drawn as the header).
class FlexGrid : public QTableView
{
    Q_OBJECT

public:
    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    /// Row count, fixed rows included. Shrinking drops rows at the end; growing appends empty rows.
    int rows() const;
    void setRows(int count);
    int cols() const;
    void setCols(int count);
    int fixedRows() const;
    void setFixedRows(int count);
    int fixedCols() const;
    void setFixedCols(int count);

    /// Current cell; -1 when the grid has no rows below its fixed rows.
    int row() const;
    int col() const;
    /// Each of these raises selChange when the current cell changes.
    void setRow(int row);
    void setCol(int col);
    void setCurrentCell(int row, int col);

    /// Text of the current cell.
    QString text() const;
    void setText(const QString& text);
    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    /// Font of the current cell.
    void setCellFont(const QString& family, double pointSize, bool bold);
    QFont cellFont(int row, int col) const;

    /// The 32-bit value each row carries (0 until set).
    std::int32_t rowData(int row) const;
    void setRowData(int row, std::int32_t value);

    /// Column width in twips (1/1440 inch), converted at 96 dpi.
    void setColWidth(int col, int twips);
    int colWidth(int col) const;

    /// First row shown below the fixed rows; setting it scrolls.
    int topRow() const;
    void setTopRow(int row);
    /// True when the row lies fully within the visible part of the grid.
    bool rowIsVisible(int row) const;

    /// Appends one row; cells are separated by tab characters. Grows the column count if the text has more cells.
    void addItem(const QString& tabSeparated);
    /// Appends many rows at once (one model reset), with their row values and an optional font for one column.
    void addItems(const QStringList& rows);
    /// Removes one row.
    void removeItem(int row);
    /// Clears the text of every cell, keeps the dimensions.
    void clear();

    FlexGridModel* gridModel() const;

signals:
    /// The current cell changed, by the user (click, keys) or by the program.
    void selChange();

private:
    std::unique_ptr<FlexGridModel> m_model;
};

} // namespace velk::ui
