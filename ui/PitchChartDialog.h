#pragma once

// Until the movement window names velk::pitches::PitchChartDialog from "pitches/PitchChartDialog.h". Goes with its
// next change.
#include "pitches/PitchChartDialog.h"

namespace velk::ui
{
using pitches::PitchChartDialog;
} // namespace velk::ui
