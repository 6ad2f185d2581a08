#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace velk::movement
{

/// The eleven buttons of the movement toolbar, by their 1-based index; index 0 is unused.
inline constexpr int kButtonCount = 11;
using ButtonFlags = std::array<bool, kButtonCount + 1>;

enum Button
{
    New = 1,
    Save = 2,
    Edit = 3,
    Undo = 4,
    Delete = 5,
    Find = 6,
    Spacer = 7,
    First = 8,
    Prev = 9,
    Next = 10,
    Last = 11
};

struct ButtonInfo
{
    int index;
    const char* caption; ///< "&" marks the access key; empty for the spacer
    const char* key; ///< Key and Tag hold the same text
    const char* toolTip; ///< empty when the button has none
    int picture; ///< index in the image list, 0 for none
};

/// The toolbar table: captions, keys, tool tips and pictures, by index 1 to 11.
const std::array<ButtonInfo, kButtonCount + 1>& toolbarButtons();

/// The button whose Key is the given text (compared exactly), or nothing.
std::optional<int> buttonForKey(std::string_view key);

/// The toolbar button a window key-press code stands for (4 Ctrl+D, 5 Ctrl+E, 14 Ctrl+N, 19 Ctrl+S,
/// 21 Ctrl+U); nothing for every other code.
std::optional<int> buttonForKeyCode(int code);

/// True for the buttons whose caption's access key (Alt with the marked letter) clicks them: "&New", "&Edit",
/// "&Undo", "&Delete" and "&Find". Save's letter belongs to the "&Subjects" tab; Save keeps Ctrl+S.
bool usesAccessKey(int button);

/// True for a letter (A to Z) that Alt makes an access key of the movement window: a toolbar button's
/// (usesAccessKey) or a tab's.
bool isWindowAccessKey(char letter);

/// Keys of the four tabs, left to right.
inline constexpr const char* kTabMovementData = "movementDataEntry";
inline constexpr const char* kTabPitches = "movementPitchEntry";
inline constexpr const char* kTabTabulations = "movementTabulations";
inline constexpr const char* kTabSubjects = "movementSubjectEntry";

struct TabInfo
{
    const char* caption;
    const char* key;
};
const std::array<TabInfo, 4>& tabs();

} // namespace velk::movement
