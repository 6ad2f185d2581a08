#include "store/Text.h"

#include <cstdint>
#include <cstdio>

namespace velk::store
{

namespace
{

/// The length of the well-formed UTF-8 sequence that starts text at index, and its code point; 0 when the
/// bytes there are not one.
std::size_t sequenceAt(std::string_view text, std::size_t index, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(index);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (index + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(index + i);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < least || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string hexEscape(const char* prefix, unsigned value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
    return buffer;
}

} // namespace

bool isUtf8(std::string_view text)
{
    char32_t codePoint = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceAt(text, i, codePoint);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string shownText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    char32_t codePoint = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceAt(text, i, codePoint);
        if (length == 0) {
            shown += hexEscape("\\x", static_cast<unsigned char>(text[i]), 2);
            ++i;
            continue;
        }
        if (codePoint == '\n') {
            shown += "\\n";
        } else if (codePoint == '\r') {
            shown += "\\r";
        } else if (codePoint == '\t') {
            shown += "\\t";
        } else if (codePoint < 0x20 || codePoint == 0x7F) {
            shown += hexEscape("\\x", static_cast<unsigned>(codePoint), 2);
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            shown += hexEscape("\\u", static_cast<unsigned>(codePoint), 4);
        } else {
            shown.append(text.substr(i, length));
        }
        i += length;
    }
    return shown;
}

} // namespace velk::store
