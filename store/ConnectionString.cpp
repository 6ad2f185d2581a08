#include "store/ConnectionString.h"

#include "store/StoreError.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace velk::store
{

namespace
{

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

/// Splits on ";" outside double or single quotes.
std::vector<std::string_view> settings(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

} // namespace

std::string catalogueFileFromConnectionString(const std::string& connectionString)
{
    if (connectionString.find('=') == std::string::npos) {
        return connectionString;
    }
    for (std::string_view part : settings(connectionString)) {
        const auto equals = part.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        if (!equalsIgnoringCase(trimmed(part.substr(0, equals)), "Data Source")) {
            continue;
        }
        std::string_view value = trimmed(part.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        if (value.empty()) {
            break;
        }
        return std::string(value);
    }
    throw StoreError("The connection string \"" + connectionString + "\" names no catalogue file (Data Source=FILE).");
}

std::string connectionStringForFile(const std::string& path)
{
    const bool needsQuotes = path.find(';') != std::string::npos || trimmed(path).size() != path.size();
    return needsQuotes ? "Data Source=\"" + path + "\"" : "Data Source=" + path;
}

} // namespace velk::store
