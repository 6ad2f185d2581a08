#include "exchange/CatalogueEntries.h"

#include "pitches/MovementLine.h"
#include "store/Connection.h"
#include "store/ResultSet.h"
#include "store/Text.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace velk::exchange
{

Selection Selection::all()
{
    return {};
}

Selection Selection::work(std::int64_t ktn)
{
    Selection selection;
    selection.kind = Kind::Work;
    selection.ktn = ktn;
    return selection;
}

Selection Selection::movements(std::vector<std::int64_t> movementIds)
{
    Selection selection;
    selection.kind = Kind::Movements;
    selection.movementIds = std::move(movementIds);
    return selection;
}

namespace
{

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const store::Value kNull;

constexpr const char* kListOrder = " ORDER BY iKTN, iMvmt, iOrder, iMovementID";

// The spellings of the sequences of the movements a statement selects, by movement id.
std::map<std::int64_t, std::vector<std::string>>
readSpellings(store::Connection& connection, const std::string& where, const std::vector<store::Value>& params)
{
    std::map<std::int64_t, std::vector<std::string>> spellings;
    connection.forEachRow("SELECT j.iMovementID, p.txtPitch FROM tblMovementPitchJoin j "
                          "LEFT JOIN tblPitchLookup p ON p.iPitchID = j.iPitchID "
                              + where + " ORDER BY j.iMovementID, j.iMovementPitchID",
                          params, [&](const std::vector<store::Value>& row) {
                              spellings[row.at(0).toInt64()].push_back(row.at(1).isNull() ? std::string()
                                                                                          : row.at(1).toText());
                          });
    return spellings;
}

} // namespace

std::optional<std::size_t> CatalogueEntries::columnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (sameName(columns[i], name)) {
            return i;
        }
    }
    return std::nullopt;
}

const store::Value& CatalogueEntries::field(const MovementEntry& entry, std::string_view name) const
{
    const auto index = columnIndex(name);
    return index && *index < entry.fields.size() ? entry.fields[*index] : kNull;
}

CatalogueEntries readEntries(store::Connection& connection, const Selection& selection)
{
    CatalogueEntries result;
    std::map<std::int64_t, std::vector<std::string>> spellings;
    std::vector<std::vector<store::Value>> rows;
    switch (selection.kind) {
    case Selection::Kind::All: {
        store::ResultSet movements = connection.query(std::string("SELECT * FROM tblMovement") + kListOrder);
        result.columns = movements.columns();
        rows = movements.takeRows();
        spellings = readSpellings(connection, "", {});
        break;
    }
    case Selection::Kind::Work: {
        const std::vector<store::Value> params {store::Value(selection.ktn)};
        store::ResultSet movements
            = connection.query(std::string("SELECT * FROM tblMovement WHERE iKTN = ?") + kListOrder, params);
        result.columns = movements.columns();
        rows = movements.takeRows();
        spellings = readSpellings(
            connection, "WHERE j.iMovementID IN (SELECT iMovementID FROM tblMovement WHERE iKTN = ?)", params);
        break;
    }
    case Selection::Kind::Movements: {
        std::set<std::int64_t> seen;
        for (const std::int64_t id : selection.movementIds) {
            if (!seen.insert(id).second) {
                continue;
            }
            const std::vector<store::Value> params {store::Value(id)};
            store::ResultSet movement = connection.query("SELECT * FROM tblMovement WHERE iMovementID = ?", params);
            result.columns = movement.columns();
            for (auto& row : movement.takeRows()) {
                rows.push_back(std::move(row));
            }
            auto one = readSpellings(connection, "WHERE j.iMovementID = ?", params);
            spellings.merge(one);
        }
        if (result.columns.empty()) {
            result.columns = connection.query("SELECT * FROM tblMovement WHERE 0").columns();
        }
        break;
    }
    }
    const auto idColumn = result.columnIndex("iMovementID");
    const auto octaveColumn = result.columnIndex(pitches::kCapitalOctaveColumn);
    const auto flag = [&](const std::vector<store::Value>& row, const char* name) {
        const auto index = result.columnIndex(name);
        return index && row.at(*index).toBool();
    };
    result.entries.reserve(rows.size());
    for (auto& row : rows) {
        MovementEntry entry;
        if (idColumn) {
            auto found = spellings.find(row.at(*idColumn).toInt64());
            if (found != spellings.end()) {
                entry.spellings = std::move(found->second);
            }
        }
        std::optional<std::int64_t> stored;
        if (octaveColumn && row.at(*octaveColumn).isInteger()) {
            stored = row.at(*octaveColumn).toInt64();
        }
        const pitches::Voices voices {flag(row, "chkSoprano"), flag(row, "chkAlto"), flag(row, "chkTenor"),
                                      flag(row, "chkBass")};
        entry.line = pitches::notateLine(entry.spellings, pitches::capitalOctave(stored, voices));
        entry.fields = std::move(row);
        result.entries.push_back(std::move(entry));
    }
    return result;
}

std::optional<std::int64_t> wholeNumber(const store::Value& value)
{
    if (value.isNull()) {
        return std::nullopt;
    }
    return value.toInt64();
}

std::vector<std::string> voiceNames(const CatalogueEntries& entries, const MovementEntry& entry)
{
    static const std::pair<const char*, const char*> kVoices[] {
        {"chkSoprano", "Soprano"}, {"chkAlto", "Alto"}, {"chkTenor", "Tenor"}, {"chkBass", "Bass"}};
    std::vector<std::string> names;
    for (const auto& [column, name] : kVoices) {
        if (entries.field(entry, column).toBool()) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::string fieldText(const store::Value& value)
{
    return utf8Text(value.toText());
}

std::string utf8Text(std::string_view text)
{
    if (store::isUtf8(text)) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size() + 8);
    std::size_t i = 0;
    while (i < text.size()) {
        // The longest well-formed character that starts here (1 to 4 bytes), or a replacement for the byte.
        std::size_t length = 0;
        for (std::size_t n = 1; n <= 4 && i + n <= text.size(); ++n) {
            if (store::isUtf8(text.substr(i, n))) {
                length = n;
                break;
            }
        }
        if (length == 0) {
            result += "\xEF\xBF\xBD";
            ++i;
        } else {
            result.append(text.substr(i, length));
            i += length;
        }
    }
    return result;
}

} // namespace velk::exchange
