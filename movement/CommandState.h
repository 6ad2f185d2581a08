#pragma once

#include "movement/Toolbar.h"
#include "store/MovementRecordset.h"

#include <optional>

namespace velk::movement
{

/// What the command state is decided from, read afresh for each refresh.
struct CommandStateInputs
{
    bool bof = true;
    bool eof = true;
    store::EditState editState = store::EditState::None;
    long recordCount = 0; ///< negative when unknown
    std::optional<Tab> tab = Tab::MovementData; ///< the selected tab
    bool bMovementEditMode = false;
    bool bPitchEditMode = false;
    bool bPitchesDirty = false;
    long pitchRows = 0; ///< rows of the pitch grid
    bool hasStoredMovement = true; ///< a stored movement is current (its id is at least 1)
};

/// Sets the enabled flags of buttons 1 to 6 and 8 to 11 for the given state. Buttons that no rule sets keep
/// their flag; button 7 is never touched.
///
/// One rule is added to the classic table: on the pitches page, the five pitch commands are disabled while
/// no stored movement is current, because a sequence typed there would have no movement to belong to.
void RefreshCommandState(const CommandStateInputs& in, ButtonFlags& enabled);

} // namespace velk::movement
