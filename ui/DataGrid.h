#pragma once

#include <QSet>
#include <QTableView>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace velk::store
{
class MovementRecordset;
} // namespace velk::store

namespace velk::ui
{

class MovementGridModel;

/// The movement grid: every row of the movement recordset, one line each, read-only, one line selected at a
/// time. Selecting a line asks the window to move the recordset there; the grid's line always ends on the
/// recordset's current row.
class DataGrid : public QTableView
{
    Q_OBJECT

public:
    /// Asked with the 0-based row the user selected; returns false when the move was refused.
    using RequestMove = std::function<bool(std::size_t row)>;

    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    /// Shows the recordset (nullptr shows nothing) through a model of its own, with the column widths of the
    /// grid, and puts the line on the recordset's current row. The recordset must outlive the grid or be
    /// replaced first.
    void setRecordset(store::MovementRecordset* recordset);
    /// The model over the recordset; nullptr before setRecordset.
    MovementGridModel* movementModel() const;

    /// Called when the user selects another line; without it every selection is refused.
    void setRequestMove(RequestMove requestMove);

    /// Puts the line on the given row (nothing selected for none or a row outside the grid) and scrolls to it,
    /// without asking requestMove.
    void syncToCurrent(std::optional<std::size_t> row);

protected:
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    void onCurrentRowChanged(const QModelIndex& current);
    void snapToRecordset();
    void queueSnap();
    void applyColumnWidths();
    void fitColumns();
    void fitRowHeight();

    std::unique_ptr<MovementGridModel> m_model;
    RequestMove m_requestMove;
    bool m_syncing = false;
    bool m_snapQueued = false;
    bool m_fitting = false;
    QSet<int> m_draggedColumns; // columns whose width the user dragged; kept until the grid goes
};

} // namespace velk::ui
