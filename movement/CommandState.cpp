#include "movement/CommandState.h"

namespace velk::movement
{
namespace
{

void set(ButtonFlags& enabled, std::initializer_list<std::pair<int, bool>> flags)
{
    for (const auto& [button, on] : flags) {
        enabled[button] = on;
    }
}

// The movement data and subjects pages share the editing rows; they differ in what Browsing offers.
void refreshRecordPage(const CommandStateInputs& in, ButtonFlags& enabled, bool dataPage)
{
    if (in.bof || in.eof) {
        set(enabled, {{New, dataPage}, {Save, false}, {Edit, false}, {Undo, false}, {Delete, false}, {Find, false}});
        return;
    }
    if (in.editState != 0 && in.recordCount < 0) {
        return;
    }
    if (!in.bMovementEditMode) {
        set(enabled, {{New, dataPage}, {Save, false}, {Edit, true}, {Undo, false}, {Delete, dataPage}, {Find, true}});
    } else {
        set(enabled, {{New, false}, {Save, true}, {Edit, false}, {Undo, true}, {Delete, false}, {Find, false}});
    }
}

void refreshPitchPage(const CommandStateInputs& in, ButtonFlags& enabled)
{
    set(enabled, {{New, false}, {Save, false}, {Edit, false}, {Undo, false}, {Delete, true}, {Find, true}});
    if (in.pitchRows < 1) {
        set(enabled, {{New, true}, {Delete, false}});
    } else if (in.bPitchEditMode || in.bPitchesDirty) {
        set(enabled, {{Save, true}, {Undo, true}, {Delete, false}});
    } else {
        set(enabled, {{New, true}, {Edit, true}, {Delete, true}});
    }
    if (in.bPitchEditMode) {
        enabled[Undo] = true;
    }
    if (!in.hasStoredMovement) {
        set(enabled, {{New, false}, {Save, false}, {Edit, false}, {Undo, false}, {Delete, false}});
    }
}

} // namespace

void RefreshCommandState(const CommandStateInputs& in, ButtonFlags& enabled)
{
    set(enabled, {{First, true}, {Prev, true}, {Next, true}, {Last, true}});
    if (in.bof && in.eof) {
        set(enabled, {{First, false}, {Prev, false}, {Next, false}, {Last, false}});
    }
    if (in.bof) {
        enabled[Prev] = false;
    }
    if (in.eof) {
        enabled[Next] = false;
    }

    if (in.tabKey == kTabMovementData) {
        refreshRecordPage(in, enabled, true);
    } else if (in.tabKey == kTabSubjects) {
        refreshRecordPage(in, enabled, false);
    } else if (in.tabKey == kTabPitches) {
        refreshPitchPage(in, enabled);
    } else if (in.tabKey == kTabTabulations) {
        // The page only shows figures: nothing on it can be deleted; the search, which only reads, opens here too.
        set(enabled, {{New, false}, {Save, false}, {Edit, false}, {Undo, false}, {Delete, false}, {Find, true}});
    }
}

} // namespace velk::movement
