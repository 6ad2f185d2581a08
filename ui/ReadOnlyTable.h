#pragma once

class QTableView;

namespace velk::ui
{

/// Sets a table view up as the grids show their rows: read-only, one whole row selected at a time, Tab leaving
/// the view, no word wrap, rows of one fixed height, and narrow columns (a check box, a position number) kept
/// at the width they are given.
void setUpReadOnlyRows(QTableView& view);

} // namespace velk::ui
