#include "exchange/Csv.h"

#include "exchange/OutputFile.h"
#include "rtf/Rtf.h"
#include "store/Connection.h"
#include "store/StoreError.h"

#include <exception>

namespace velk::exchange
{

namespace
{

bool isRichText(std::string_view column)
{
    const auto same = [&](std::string_view name) {
        return column.size() == name.size()
            && std::equal(column.begin(), column.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    return same("Description") || same("txtComments");
}

std::string joined(const std::vector<std::string>& spellings)
{
    std::string text;
    for (const auto& spelling : spellings) {
        if (!text.empty()) {
            text += ' ';
        }
        text += spelling;
    }
    return text;
}

} // namespace

std::string csvField(std::string_view text)
{
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos
        || (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted) {
        return std::string(text);
    }
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"') {
            field += '"';
        }
        field += c;
    }
    field += '"';
    return field;
}

std::string csvRecord(const std::vector<std::string>& fields)
{
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            record += ',';
        }
        record += csvField(fields[i]);
    }
    record += "\r\n";
    return record;
}

std::vector<std::string> csvHeader(const CatalogueEntries& entries)
{
    std::vector<std::string> header;
    for (const auto& column : entries.columns) {
        header.push_back(utf8Text(column));
        if (isRichText(column)) {
            header.push_back(utf8Text(column) + " RTF");
        }
    }
    header.emplace_back("Pitches");
    return header;
}

std::vector<std::string> csvFields(const CatalogueEntries& entries, const MovementEntry& entry)
{
    std::vector<std::string> fields;
    fields.reserve(entries.columns.size() + 3);
    for (std::size_t i = 0; i < entries.columns.size(); ++i) {
        const store::Value& value = entry.fields.at(i);
        if (isRichText(entries.columns[i])) {
            // A rich text another program stored as plain text is given as RTF holding that text.
            const std::string stored = value.isNull() ? std::string() : utf8Text(value.toText());
            fields.push_back(rtf::plainText(stored));
            fields.push_back(stored.empty() || rtf::isRtf(stored) ? stored : rtf::rtfFromPlainText(stored));
        } else {
            fields.push_back(fieldText(value));
        }
    }
    fields.push_back(utf8Text(joined(entry.spellings)));
    return fields;
}

std::string catalogueCsv(const CatalogueEntries& entries)
{
    std::string text = csvRecord(csvHeader(entries));
    for (const auto& entry : entries.entries) {
        text += csvRecord(csvFields(entries, entry));
    }
    return text;
}

store::Result<std::size_t>
exportCsv(const std::string& connectionString, const Selection& selection, const std::string& outputPath)
{
    std::string text;
    std::size_t count = 0;
    try {
        auto connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
        const CatalogueEntries entries = readEntries(connection, selection);
        text = catalogueCsv(entries);
        count = entries.entries.size();
    } catch (const std::exception& error) {
        return store::Result<std::size_t>::failure(error.what());
    }
    const auto written = writeOutputFile(outputPath, text);
    if (!written) {
        return store::Result<std::size_t>::failure(written.message());
    }
    return count;
}

} // namespace velk::exchange
