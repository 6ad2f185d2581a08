#pragma once

// Until the movement window and its test name velk::movement::DataGrid from "movement/DataGrid.h": they declare it
// here. Goes with their next change.
#include "movement/DataGrid.h"

namespace velk::ui
{
class DataGrid : public movement::DataGrid
{
public:
    using movement::DataGrid::DataGrid;
};
} // namespace velk::ui
