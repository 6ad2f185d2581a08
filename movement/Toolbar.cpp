#include "movement/Toolbar.h"

#include <cctype>

namespace velk::movement
{

const std::array<ButtonInfo, kButtonCount + 1>& toolbarButtons()
{
    static const std::array<ButtonInfo, kButtonCount + 1> buttons {{
        {0, "", "", "", 0},
        {1, "&New", "new", "", 3},
        {2, "&Save", "save", "", 4},
        {3, "&Edit", "edit", "", 2},
        {4, "&Undo", "undo", "", 5},
        {5, "&Delete", "delete", "", 13},
        {6, "&Find", "find", "Find by Subject", 11},
        {7, "", "", "", 0},
        {8, "First", "first", "Move to First Record", 9},
        {9, "Prev", "prev", "Move to Previous Record", 7},
        {10, "Next", "next", "Move to Next Record", 8},
        {11, "Last", "last", "Move to Last Record", 6},
    }};
    return buttons;
}

std::optional<int> buttonForKey(std::string_view key)
{
    if (key.empty()) {
        return std::nullopt;
    }
    for (const auto& button : toolbarButtons()) {
        if (key == button.key) {
            return button.index;
        }
    }
    return std::nullopt;
}

std::optional<int> buttonForKeyCode(int code)
{
    switch (code) {
    case 4:
        return Delete;
    case 5:
        return Edit;
    case 14:
        return New;
    case 19:
        return Save;
    case 21:
        return Undo;
    default:
        return std::nullopt;
    }
}

bool usesAccessKey(int button)
{
    return button == New || button == Edit || button == Undo || button == Delete || button == Find;
}

namespace
{

bool marks(const char* caption, char letter)
{
    const std::string_view text(caption);
    const auto amp = text.find('&');
    return amp != std::string_view::npos && amp + 1 < text.size()
        && std::toupper(static_cast<unsigned char>(text[amp + 1])) == std::toupper(static_cast<unsigned char>(letter));
}

} // namespace

bool isWindowAccessKey(char letter)
{
    for (const auto& button : toolbarButtons()) {
        if (usesAccessKey(button.index) && marks(button.caption, letter)) {
            return true;
        }
    }
    for (const auto& tab : tabs()) {
        if (marks(tab.caption, letter)) {
            return true;
        }
    }
    return false;
}

const std::array<TabInfo, 4>& tabs()
{
    static const std::array<TabInfo, 4> list {{
        {"&Movement", kTabMovementData},
        {"&Pitches", kTabPitches},
        {"&Tabulations", kTabTabulations},
        {"&Subjects", kTabSubjects},
    }};
    return list;
}

} // namespace velk::movement
