#pragma once

// Until the movement window names velk::tabulations::ClassChart from "tabulations/ClassChart.h": it declares it
// here. Goes with its next change.
#include "tabulations/ClassChart.h"

namespace velk::ui
{
class ClassChart : public tabulations::ClassChart
{
public:
    using tabulations::ClassChart::ClassChart;
};
} // namespace velk::ui
