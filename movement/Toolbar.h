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

/// The window's key-press codes: Ctrl with a letter is the letter's place in the alphabet.
enum KeyCode
{
    CtrlD = 4,
    CtrlE = 5,
    Enter = 13,
    CtrlN = 14,
    CtrlS = 19,
    CtrlU = 21
};

/// The toolbar button a window key-press code stands for (Ctrl+D Delete, Ctrl+E Edit, Ctrl+N New, Ctrl+S Save,
/// Ctrl+U Undo); nothing for every other code.
std::optional<int> buttonForKeyCode(int code);

/// True for the buttons whose caption's access key (Alt with the marked letter) clicks them: "&New", "&Edit",
/// "&Undo", "&Delete" and "&Find". Save's letter belongs to the "&Subjects" tab; Save keeps Ctrl+S.
bool usesAccessKey(int button);

/// True for a letter (A to Z) that Alt makes an access key of the movement window: a toolbar button's
/// (usesAccessKey) or a tab's.
bool isWindowAccessKey(char letter);

/// The four tabs, left to right.
enum class Tab
{
    MovementData,
    Pitches,
    Tabulations,
    Subjects
};

/// Keys of the four tabs, left to right.
inline constexpr const char* kTabMovementData = "movementDataEntry";
inline constexpr const char* kTabPitches = "movementPitchEntry";
inline constexpr const char* kTabTabulations = "movementTabulations";
inline constexpr const char* kTabSubjects = "movementSubjectEntry";

struct TabInfo
{
    Tab tab;
    const char* caption;
    const char* key;
};
/// The tab table: the tab, its caption and its key, left to right.
const std::array<TabInfo, 4>& tabs();

/// The tab whose key is the given text (compared exactly), or nothing.
std::optional<Tab> tabForKey(std::string_view key);
const char* tabKey(Tab tab);

} // namespace velk::movement
