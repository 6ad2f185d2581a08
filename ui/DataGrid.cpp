#include "ui/DataGrid.h"

#include "store/MovementRecordset.h"
#include "ui/MovementGridModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QResizeEvent>

#include <algorithm>
#include <array>

namespace velk::ui
{

namespace
{

int twipsToPixels(int twips)
{
    return (twips * 96 + 720) / 1440;
}

} // namespace

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Narrow columns (a check box, a position number) keep the width they are given.
    horizontalHeader()->setMinimumSectionSize(4);
    verticalHeader()->hide();
    fitRowHeight();
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!m_fitting) {
            m_draggedColumns.insert(column);
        }
    });
}

DataGrid::~DataGrid()
{
    setModel(nullptr);
}

void DataGrid::setRecordset(store::MovementRecordset* recordset)
{
    // The old model gives the recordset's rows observer back before the new one takes it.
    setModel(nullptr);
    m_model.reset();
    if (recordset == nullptr) {
        return;
    }
    m_model = std::make_unique<MovementGridModel>(*recordset);
    setModel(m_model.get());
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { onCurrentRowChanged(current); });
    // After the rows change the line goes back to the recordset's row, wherever the selection model moved it.
    connect(m_model.get(), &MovementGridModel::rowsSettled, this, [this] {
        snapToRecordset();
        queueSnap();
        fitColumns();
    });
    m_draggedColumns.clear();
    applyColumnWidths();
    snapToRecordset();
}

MovementGridModel* DataGrid::movementModel() const
{
    return m_model.get();
}

void DataGrid::setRequestMove(RequestMove requestMove)
{
    m_requestMove = std::move(requestMove);
}

void DataGrid::syncToCurrent(std::optional<std::size_t> row)
{
    QItemSelectionModel* selection = selectionModel();
    if (!m_model || selection == nullptr) {
        return;
    }
    m_syncing = true;
    if (row && *row < static_cast<std::size_t>(m_model->rowCount())) {
        const int column = selection->currentIndex().isValid() ? selection->currentIndex().column() : 0;
        const QModelIndex target = m_model->index(static_cast<int>(*row), column);
        selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(target);
    } else {
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
    }
    m_syncing = false;
}

void DataGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitRowHeight();
        fitColumns();
    }
}

void DataGrid::focusInEvent(QFocusEvent* event)
{
    // A view given the focus without a current line makes its first line current; here that would move the
    // record (a page shown again after a move past either end). The focus changes no record.
    m_syncing = true;
    QTableView::focusInEvent(event);
    m_syncing = false;
    snapToRecordset();
}

void DataGrid::keyboardSearch(const QString& search)
{
    // Typing over the grid does not move the record.
    Q_UNUSED(search);
}

void DataGrid::onCurrentRowChanged(const QModelIndex& current)
{
    if (m_syncing || !m_model || m_model->isChanging() || !current.isValid()) {
        return;
    }
    const auto wanted = static_cast<std::size_t>(current.row());
    const bool moved = m_requestMove && m_requestMove(wanted);
    if (moved && m_model->recordset().currentIndex() == wanted) {
        return;
    }
    // The view is still inside the click or key that changed the line; put it back once that is done.
    queueSnap();
}

void DataGrid::queueSnap()
{
    // A recordset operation may pass through states with no current row (a batch removing several rows);
    // the line follows the state it ends in.
    if (m_snapQueued) {
        return;
    }
    m_snapQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_snapQueued = false;
            snapToRecordset();
        },
        Qt::QueuedConnection);
}

void DataGrid::snapToRecordset()
{
    if (!m_model || m_model->isChanging()) {
        return;
    }
    syncToCurrent(m_model->recordset().currentIndex());
}

void DataGrid::applyColumnWidths()
{
    fitColumns();
}

void DataGrid::fitColumns()
{
    if (!m_model) {
        return;
    }
    // Each column starts at its classic width and widens to what its caption and the lines in view need,
    // as far as the grid has room, left to right. A width the user dragged stays.
    std::array<int, MovementGridModel::ColumnCount> widths {};
    int used = 0;
    for (int column = 0; column < MovementGridModel::ColumnCount; ++column) {
        const auto c = static_cast<std::size_t>(column);
        widths[c] = m_draggedColumns.contains(column) ? columnWidth(column)
                                                      : twipsToPixels(MovementGridModel::widthTwips(column));
        used += widths[c];
    }
    int room = viewport()->width() - used;
    for (int column = 0; column < MovementGridModel::ColumnCount && room > 0; ++column) {
        if (m_draggedColumns.contains(column)) {
            continue;
        }
        const auto c = static_cast<std::size_t>(column);
        const int wanted = std::max(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
        const int extra = std::min(room, wanted - widths[c]);
        if (extra > 0) {
            widths[c] += extra;
            room -= extra;
        }
    }
    m_fitting = true;
    for (int column = 0; column < MovementGridModel::ColumnCount; ++column) {
        if (columnWidth(column) != widths[static_cast<std::size_t>(column)]) {
            setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
        }
    }
    m_fitting = false;
}

void DataGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

void DataGrid::fitRowHeight()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

} // namespace velk::ui
