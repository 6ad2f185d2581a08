#pragma once

// Until the movement window and its test name velk::movement::MovementGridModel from "movement/MovementGridModel.h":
// they declare it here. Goes with their next change.
#include "movement/MovementGridModel.h"

namespace velk::ui
{
class MovementGridModel : public movement::MovementGridModel
{
public:
    using movement::MovementGridModel::MovementGridModel;
};
} // namespace velk::ui
