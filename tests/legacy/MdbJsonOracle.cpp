#include "tests/legacy/MdbJsonOracle.h"

#include "tests/support/ToolRun.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace velk::test
{

namespace
{

void appendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

/// A JSON string starting at text[at] == '"'; at ends after the closing quote.
std::string parseString(const std::string& text, std::size_t& at)
{
    std::string out;
    ++at;
    while (at < text.size() && text[at] != '"') {
        char c = text[at++];
        if (c != '\\') {
            out += c;
            continue;
        }
        c = text[at++];
        switch (c) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'u': {
            unsigned code = static_cast<unsigned>(std::stoul(text.substr(at, 4), nullptr, 16));
            at += 4;
            if (code >= 0xD800 && code < 0xDC00 && text.compare(at, 2, "\\u") == 0) {
                const auto low = static_cast<unsigned>(std::stoul(text.substr(at + 2, 4), nullptr, 16));
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                at += 6;
            }
            appendUtf8(out, code);
            break;
        }
        default:
            out += c;
        }
    }
    ++at;
    return out;
}

OracleRow parseRow(const std::string& line)
{
    OracleRow row;
    std::size_t at = line.find('{') + 1;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ',' || line[at] == ' ')) {
            ++at;
        }
        if (at >= line.size() || line[at] == '}') {
            break;
        }
        const std::string name = parseString(line, at);
        at = line.find(':', at) + 1;
        OracleValue value;
        if (line[at] == '"') {
            value.isText = true;
            value.text = parseString(line, at);
        } else {
            const std::size_t end = line.find_first_of(",}", at);
            value.text = line.substr(at, end - at);
            at = end;
        }
        row[name] = value;
    }
    return row;
}

} // namespace

std::optional<std::vector<OracleRow>> oracleRows(const std::string& file, const std::string& table)
{
    if (std::system("command -v mdb-json >/dev/null 2>&1") != 0) {
        return std::nullopt;
    }
    const std::string command = "mdb-json " + shellQuoted(file) + " " + shellQuoted(table);
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        throw std::runtime_error("mdb-json could not be run");
    }
    std::string output;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
        output.append(buffer, got);
    }
    std::vector<OracleRow> rows;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        if (end > start) {
            rows.push_back(parseRow(output.substr(start, end - start)));
        }
    }
    return rows;
}

} // namespace velk::test
