#include "tabulations/Tabulation.h"

#include "store/Connection.h"
#include "store/ResultSet.h"
#include "store/StoreError.h"
#include "store/Value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <string_view>

namespace velk::tabulations
{

namespace
{

// Enough fractional digits to write any double exactly (the smallest subnormal has 1074), plus the integer part
// of the largest double (309 digits) and the point.
constexpr int kExactDigits = 1074;
constexpr std::size_t kExactBufferSize = 309 + 1 + kExactDigits + 16;

// The column of the class statement that holds the glyph.
constexpr std::size_t kClassGlyphColumn = 2;

/// Adds one unit in the last place of a decimal text of digits and at most one point ("9.9" -> "10.0").
void incrementDecimal(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it == '.') {
            continue;
        }
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string countText(std::int64_t count)
{
    return std::to_string(count);
}

/// The index of a column that the statement names with AS.
std::size_t requireColumn(const store::ResultSet& result, std::string_view name)
{
    const int index = result.columnIndex(name);
    if (index < 0) {
        throw store::StoreError("The tabulation statement returned no column " + std::string(name) + ".");
    }
    return static_cast<std::size_t>(index);
}

} // namespace

double roundHalfEven(double value, int decimals)
{
    if (!std::isfinite(value)) {
        return value;
    }
    decimals = std::clamp(decimals, 0, 17);

    // The exact decimal expansion of the double decides, so a double that lies just below a half (as 23 / 80 * 100
    // lies below 28.75) rounds down, and only a true half goes to the even neighbour. Scaling by 10^d first
    // would round the product and could turn such a value into an exact half.
    std::array<char, kExactBufferSize> buffer {};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                       std::chars_format::fixed, kExactDigits);
    const std::string_view exact(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data()));
    const std::size_t point = exact.find('.');
    const std::size_t keep = point + (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);

    std::string rounded(exact.substr(0, keep));
    const std::string_view rest = exact.substr(point + 1 + static_cast<std::size_t>(decimals));
    bool up = false;
    if (!rest.empty() && rest.front() > '5') {
        up = true;
    } else if (!rest.empty() && rest.front() == '5') {
        const bool beyondHalf = rest.find_first_not_of('0', 1) != std::string_view::npos;
        up = beyondHalf || (rounded.back() - '0') % 2 == 1;
    }
    if (up) {
        incrementDecimal(rounded);
    }

    double result = 0;
    std::from_chars(rounded.data(), rounded.data() + rounded.size(), result);
    if (result == 0) {
        return 0.0;
    }
    return value < 0 ? -result : result;
}

double percentage(std::int64_t count, std::int64_t total)
{
    if (total < 1) {
        return 0;
    }
    return roundHalfEven(static_cast<double>(count) / static_cast<double>(total) * 100.0, 1);
}

float averageDeviation(const std::vector<std::optional<std::int64_t>>& classCounts, std::int64_t total)
{
    if (total < 1) {
        return 0.0f;
    }
    double sum = 0;
    for (const auto& count : classCounts) {
        const double p = count ? percentage(*count, total) : 0.0;
        sum = roundHalfEven(sum + std::fabs(p - kEvenSpread), 0);
    }
    return static_cast<float>(roundHalfEven(sum / kClassDivisor, 1));
}

std::string totalStatement(std::int64_t movementId)
{
    return "select * from tblmovementpitchjoin where imovementid=" + std::to_string(movementId)
        + " order by iMovementPitchID";
}

std::string classStatement(std::int64_t movementId)
{
    // The classic statement also accepts rows whose iMovementID "Is Null". The column is NOT NULL, so that term
    // never holds; it only kept SQLite from using the movement's index and read all stored positions (150 ms in a
    // catalogue of 5,000,000). Without it the rows are the same.
    return "SELECT tblClassLookup.iClassID, tblClassLookup.iPitchID, tblPitchLookup.txtVelkFont, "
           "movementpitchclasses.* FROM tblPitchLookup INNER JOIN ((SELECT tblPitchClassJoin.iClassID, "
           "Count(tblPitchClassJoin.iClassID) AS classcount FROM tblMovementPitchJoin INNER JOIN tblPitchClassJoin "
           "ON tblMovementPitchJoin.iPitchID = tblPitchClassJoin.iPitchID WHERE "
           "(((tblMovementPitchJoin.iMovementID)="
        + std::to_string(movementId)
        + ")) GROUP BY tblPitchClassJoin.iClassID) AS "
          "movementpitchclasses RIGHT JOIN tblClassLookup ON movementpitchclasses.iClassID = "
          "tblClassLookup.iClassID) ON tblPitchLookup.iPitchID = tblClassLookup.iPitchID ORDER BY "
          "tblClassLookup.iClassID";
}

std::string realStatement(std::int64_t movementId)
{
    return "SELECT tblpitchlookup.iPitchID, tblpitchlookup.txtPitch, tblpitchlookup.txtVelkFont, "
           "Count(tblmovementpitchjoin.iPitchID) AS pitchcount FROM tblpitchlookup LEFT JOIN tblmovementpitchjoin "
           "ON tblpitchlookup.iPitchID = tblmovementpitchjoin.iPitchID WHERE tblmovementpitchjoin.iMovementID="
        + std::to_string(movementId)
        + " GROUP BY tblpitchlookup.iPitchID, tblpitchlookup.txtPitch, tblpitchlookup.txtVelkFont ORDER BY "
          "tblpitchlookup.iPitchID";
}

namespace
{

/// The movement's class rows with the deviation, given its total; an empty Tabulation when it has no positions.
Tabulation tabulateClasses(store::Connection& connection, std::int64_t movementId, std::int64_t total)
{
    Tabulation tabulation;
    if (movementId < 1 || total < 1) {
        return tabulation;
    }
    tabulation.total = total;
    const store::ResultSet classes = connection.query(classStatement(movementId));
    const std::size_t countColumn = requireColumn(classes, "classcount");
    for (const auto& row : classes.rows()) {
        const store::Value& count = row.at(countColumn);
        TabulationRow shown {row.at(kClassGlyphColumn).toText(), {}, {}};
        std::optional<std::int64_t> classCount;
        if (!count.isNull()) {
            classCount = count.toInt64();
            shown.countText = countText(*classCount);
            shown.percentText = store::formatNumber(percentage(*classCount, total));
        }
        tabulation.classRows.push_back(std::move(shown));
        tabulation.classCounts.push_back(classCount);
    }
    tabulation.deviation = averageDeviation(tabulation.classCounts, total);
    tabulation.deviationText = store::formatSingle(tabulation.deviation);
    return tabulation;
}

} // namespace

double storedDeviation(float deviation)
{
    double value = 0;
    const std::string text = store::formatSingle(deviation);
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool isStoredDeviation(const std::optional<double>& stored, float deviation)
{
    return stored && static_cast<float>(*stored) == deviation;
}

float deviationOf(store::Connection& connection, std::int64_t movementId)
{
    if (movementId < 1) {
        return 0.0f;
    }
    // The number of the total statement's rows, counted without reading them.
    const std::int64_t total
        = connection
              .query("select Count(*) from tblmovementpitchjoin where imovementid = ?", {store::Value(movementId)})
              .rows()
              .at(0)
              .at(0)
              .toInt64();
    return tabulateClasses(connection, movementId, total).deviation;
}

std::map<std::int64_t, float> allDeviations(store::Connection& connection)
{
    // The class statement's rows: every class whose representative pitch is in the vocabulary, by iClassID.
    std::vector<std::int64_t> classRows;
    connection.forEachRow("select c.iClassID from tblClassLookup c inner join tblPitchLookup p on p.iPitchID = "
                          "c.iPitchID order by c.iClassID",
                          {}, [&](const std::vector<store::Value>& row) { classRows.push_back(row.at(0).toInt64()); });
    std::map<std::int64_t, std::int64_t> totals;
    connection.forEachRow(
        "select m.iMovementID, Count(j.iMovementID) from tblMovement m left join "
        "tblMovementPitchJoin j on j.iMovementID = m.iMovementID group by m.iMovementID",
        {}, [&](const std::vector<store::Value>& row) { totals[row.at(0).toInt64()] = row.at(1).toInt64(); });
    // Per movement and class, the positions whose pitch belongs to the class, as the class statement counts them.
    std::map<std::int64_t, std::map<std::int64_t, std::int64_t>> counts;
    connection.forEachRow("select j.iMovementID, pc.iClassID, Count(*) from tblMovementPitchJoin j inner join "
                          "tblPitchClassJoin pc on pc.iPitchID = j.iPitchID group by j.iMovementID, pc.iClassID",
                          {}, [&](const std::vector<store::Value>& row) {
                              counts[row.at(0).toInt64()][row.at(1).toInt64()] = row.at(2).toInt64();
                          });
    std::map<std::int64_t, float> deviations;
    for (const auto& [movementId, total] : totals) {
        const auto& movementCounts = counts[movementId];
        std::vector<std::optional<std::int64_t>> classCounts;
        for (const std::int64_t classId : classRows) {
            const auto found = movementCounts.find(classId);
            classCounts.push_back(found == movementCounts.end() ? std::nullopt
                                                                : std::optional<std::int64_t>(found->second));
        }
        deviations[movementId] = averageDeviation(classCounts, total);
    }
    return deviations;
}

ClassMembership ClassMembership::load(store::Connection& connection)
{
    ClassMembership membership;
    std::unordered_map<std::int64_t, std::size_t> rowOfClass;
    connection.forEachRow("select c.iClassID, p.txtVelkFont from tblClassLookup c inner join tblPitchLookup p on "
                          "p.iPitchID = c.iPitchID order by c.iClassID",
                          {}, [&](const std::vector<store::Value>& row) {
                              rowOfClass.emplace(row.at(0).toInt64(), membership.m_classRows.size());
                              membership.m_classRows.push_back(row.at(0).toInt64());
                              membership.m_classGlyphs.push_back(row.at(1).toText());
                          });
    connection.forEachRow(
        "select iPitchID, iClassID from tblPitchClassJoin", {}, [&](const std::vector<store::Value>& row) {
            const auto found = rowOfClass.find(row.at(1).toInt64());
            if (found != rowOfClass.end()) {
                membership.m_rowsOfPitch[static_cast<std::int32_t>(row.at(0).toInt64())].push_back(found->second);
            }
        });
    return membership;
}

std::vector<std::optional<std::int64_t>> ClassMembership::classCounts(const std::vector<std::int32_t>& pitchIds) const
{
    std::vector<std::int64_t> counts(m_classRows.size(), 0);
    for (const std::int32_t pitchId : pitchIds) {
        const auto found = m_rowsOfPitch.find(pitchId);
        if (found != m_rowsOfPitch.end()) {
            for (const std::size_t row : found->second) {
                ++counts[row];
            }
        }
    }
    std::vector<std::optional<std::int64_t>> classCounts;
    classCounts.reserve(counts.size());
    for (const std::int64_t count : counts) {
        classCounts.push_back(count == 0 ? std::nullopt : std::optional<std::int64_t>(count));
    }
    return classCounts;
}

float ClassMembership::deviationOf(const std::vector<std::int32_t>& pitchIds) const
{
    return averageDeviation(classCounts(pitchIds), static_cast<std::int64_t>(pitchIds.size()));
}

const std::vector<std::string>& ClassMembership::classGlyphs() const
{
    return m_classGlyphs;
}

double storeDeviation(store::Connection& connection, std::int64_t movementId, const std::vector<std::int32_t>& pitchIds)
{
    const double value = storedDeviation(ClassMembership::load(connection).deviationOf(pitchIds));
    connection.execute("update tblMovement set Deviation = ? where iMovementID = ?",
                       {store::Value(value), store::Value(movementId)});
    return value;
}

double storeDeviation(store::Connection& connection, std::int64_t movementId)
{
    const double value = storedDeviation(deviationOf(connection, movementId));
    connection.execute("update tblMovement set Deviation = ? where iMovementID = ?",
                       {store::Value(value), store::Value(movementId)});
    return value;
}

std::vector<StaleDeviation> staleDeviations(store::Connection& connection)
{
    std::vector<StaleDeviation> stale;
    const store::ResultSet movements
        = connection.query("select iMovementID, iKTN, iMvmt, Deviation from tblMovement order by iKTN, iMvmt, iOrder, "
                           "iMovementID");
    const std::map<std::int64_t, float> deviations = allDeviations(connection);
    for (const auto& row : movements.rows()) {
        StaleDeviation movement;
        movement.movementId = row.at(0).toInt64();
        if (!row.at(3).isNull()) {
            movement.stored = row.at(3).toDouble();
        }
        movement.deviation = deviations.at(movement.movementId);
        if (!isStoredDeviation(movement.stored, movement.deviation)) {
            movement.ktn = row.at(1).toText();
            movement.mvmt = row.at(2).toText();
            stale.push_back(std::move(movement));
        }
    }
    return stale;
}

Tabulation tabulate(const std::string& connectionString, std::int64_t movementId)
{
    if (movementId < 1) {
        return {};
    }
    store::Connection connection = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
    // One snapshot: the sequence and the lookup tables it is counted against.
    connection.begin();
    const std::vector<std::int64_t> stored = connection.integers(
        "select iPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID",
        {store::Value(movementId)});
    if (stored.empty()) {
        connection.commit();
        connection.close();
        return {};
    }
    const ClassMembership membership = ClassMembership::load(connection);
    // The real statement's rows: each pitch of the vocabulary that occurs, in ascending iPitchID.
    std::map<std::int64_t, std::pair<std::string, std::int64_t>> reals;
    connection.forEachRow("select iPitchID, txtVelkFont from tblPitchLookup", {},
                          [&](const std::vector<store::Value>& row) {
                              reals.emplace(row.at(0).toInt64(), std::make_pair(row.at(1).toText(), std::int64_t {0}));
                          });
    connection.commit();
    connection.close();

    Tabulation tabulation;
    tabulation.total = static_cast<std::int64_t>(stored.size());
    std::vector<std::int32_t> pitchIds;
    pitchIds.reserve(stored.size());
    for (const std::int64_t pitchId : stored) {
        pitchIds.push_back(static_cast<std::int32_t>(pitchId));
        const auto found = reals.find(pitchId);
        if (found != reals.end()) {
            ++found->second.second;
        }
    }
    tabulation.classCounts = membership.classCounts(pitchIds);
    for (std::size_t i = 0; i < tabulation.classCounts.size(); ++i) {
        TabulationRow shown {membership.classGlyphs()[i], {}, {}};
        if (const auto& count = tabulation.classCounts[i]) {
            shown.countText = countText(*count);
            shown.percentText = store::formatNumber(percentage(*count, tabulation.total));
        }
        tabulation.classRows.push_back(std::move(shown));
    }
    tabulation.deviation = averageDeviation(tabulation.classCounts, tabulation.total);
    tabulation.deviationText = store::formatSingle(tabulation.deviation);
    for (const auto& [pitchId, glyphAndCount] : reals) {
        const auto& [glyph, count] = glyphAndCount;
        if (count > 0) {
            tabulation.realRows.push_back(
                {glyph, countText(count), store::formatNumber(percentage(count, tabulation.total))});
        }
    }
    return tabulation;
}

} // namespace velk::tabulations
