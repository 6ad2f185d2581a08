#include "ui/ReadOnlyTable.h"

#include <QHeaderView>
#include <QTableView>

namespace velk::ui
{

void setUpReadOnlyRows(QTableView& view)
{
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setTabKeyNavigation(false);
    view.setWordWrap(false);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.horizontalHeader()->setMinimumSectionSize(4);
}

} // namespace velk::ui
