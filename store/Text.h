#pragma once

#include <string>
#include <string_view>

namespace velk::store
{

/// True when text is well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
/// beyond U+10FFFF.
bool isUtf8(std::string_view text);

/// The text as it can be shown on a terminal or in a message: a byte that is not part of well-formed UTF-8
/// becomes \xNN, a control character (C0, DEL, C1) becomes \n, \r, \t or \xNN (\u0080 to \u009F for C1), so
/// nothing the user typed or another program stored can move the cursor or change the terminal's colours.
/// Everything else is kept as it is.
std::string shownText(std::string_view text);

} // namespace velk::store
