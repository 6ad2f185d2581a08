#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velk::store
{
class Connection;
}

namespace velk::tabulations
{

/// Rounds to the given number of decimals (0 to 17), sending a value that lies exactly halfway, judged on the
/// exact decimal value of its double, to the even neighbour: 6.25 -> 6.2, 0.75 -> 0.8, 68.75 -> 68.8, 2.5 -> 2,
/// while 23 / 80 * 100 (a double just below 28.75) gives 28.7. The result is the double nearest to the rounded
/// decimal. Negative values round symmetrically; NaN and infinities come back unchanged.
double roundHalfEven(double value, int decimals);

/// (count / total * 100) in double precision, in that order, rounded to one decimal. 0 when total < 1.
double percentage(std::int64_t count, std::int64_t total);

/// The percentage of each of twelve pitch classes under an even spread (not 8.3, which the caption shows, and not
/// 100 / 12).
inline constexpr double kEvenSpread = 8.33;

/// The number of classes the average deviation divides by, however many class rows there are.
inline constexpr double kClassDivisor = 12.0;

/// The average deviation of the class percentages from an even spread. For each class count in order (nothing =
/// the class has no positions, p = 0; else p = percentage(count, total)): sum = roundHalfEven(sum + |p - 8.33|,
/// 0), starting from 0; the result is roundHalfEven(sum / 12, 1) as a float. 0 when total < 1.
float averageDeviation(const std::vector<std::optional<std::int64_t>>& classCounts, std::int64_t total);

/// The value the Deviation column holds for a figure: the double of the single's shortest text, so 12.6f is kept as
/// 12.6 and not as 12.600000381469727.
double storedDeviation(float deviation);

/// True when a stored Deviation value (Null counts as none) is the stored form of the figure.
bool isStoredDeviation(const std::optional<double>& stored, float deviation);

/// One row of a tabulation grid, as its cells are shown.
struct TabulationRow
{
    std::string glyph; ///< txtVelkFont of the class's representative pitch, or of the real pitch
    std::string countText; ///< the count as decimal text; empty for a class with no positions
    std::string percentText; ///< the percentage in shortest decimal form ("25", "6.2"); empty with the count
};

/// A movement's tabulations: the class rows in ascending iClassID (every class, with or without positions), the
/// real-pitch rows in ascending iPitchID (only pitches that occur) and the average deviation.
struct Tabulation
{
    std::int64_t total = 0; ///< number of positions; the divisor of every percentage
    std::vector<TabulationRow> classRows;
    std::vector<TabulationRow> realRows;
    std::vector<std::optional<std::int64_t>> classCounts; ///< per class row; nothing for a class with no positions
    float deviation = 0;
    std::string deviationText = "0"; ///< store::formatSingle(deviation)
};

/// The statement whose number of rows is the movement's pitch total.
std::string totalStatement(std::int64_t movementId);

/// One row per row of tblClassLookup in ascending iClassID: iClassID, iPitchID, txtVelkFont, then the derived
/// table's iClassID and classcount (Null for a class with no positions).
std::string classStatement(std::int64_t movementId);

/// One row per pitch that occurs in the movement, in ascending iPitchID: iPitchID, txtPitch, txtVelkFont,
/// pitchcount.
std::string realStatement(std::int64_t movementId);

/// Tabulates a movement: its total, its class rows (with the deviation), then its real rows, on one read-only
/// connection of its own, closed before returning. The rows are those of totalStatement, classStatement and
/// realStatement, worked out from one read of the sequence and of the small lookup tables. An id < 1 or a movement
/// without positions gives an empty Tabulation (total 0, no rows, deviation 0, deviationText "0"); an id < 1 is not
/// looked up at all. Throws store::StoreError.
Tabulation tabulate(const std::string& connectionString, std::int64_t movementId);

/// The average deviation of a movement's stored sequence, read with tabulate's own statements and arithmetic on
/// the caller's connection (inside its transaction, where it has one, so a sequence just written counts). 0 for a
/// movement without positions and for an id < 1. Throws store::StoreError.
float deviationOf(store::Connection& connection, std::int64_t movementId);

/// The class statement's rows (every class whose representative pitch is in tblPitchLookup, in ascending iClassID)
/// and the classes each pitch belongs to, read once from the lookup tables, so that a sequence held in memory is
/// counted by class as the class statement counts its stored rows.
class ClassMembership
{
public:
    /// Reads tblClassLookup, tblPitchLookup and tblPitchClassJoin. Throws store::StoreError.
    static ClassMembership load(store::Connection& connection);

    /// Per class row, the number of positions whose pitch belongs to the class; nothing for a class without any
    /// (the class statement's Null classcount).
    std::vector<std::optional<std::int64_t>> classCounts(const std::vector<std::int32_t>& pitchIds) const;
    /// The average deviation of a sequence: what deviationOf gives once it is stored.
    float deviationOf(const std::vector<std::int32_t>& pitchIds) const;
    /// Per class row, the txtVelkFont of the class's representative pitch.
    const std::vector<std::string>& classGlyphs() const;

private:
    std::vector<std::int64_t> m_classRows;
    std::vector<std::string> m_classGlyphs;
    std::unordered_map<std::int32_t, std::vector<std::size_t>> m_rowsOfPitch;
};

/// Works out the movement's deviation from its stored sequence (deviationOf) and writes it into its Deviation
/// column, on the caller's connection and inside the caller's transaction. Returns the value now stored
/// (storedDeviation). Throws store::StoreError.
double storeDeviation(store::Connection& connection, std::int64_t movementId);
/// The same for a sequence the caller has just stored as pitchIds, counted in memory instead of read back.
double
storeDeviation(store::Connection& connection, std::int64_t movementId, const std::vector<std::int32_t>& pitchIds);

/// The average deviation of every movement's stored sequence by iMovementID, from three grouped reads instead of
/// a tabulation per movement; each figure is the one deviationOf gives. Throws store::StoreError.
std::map<std::int64_t, float> allDeviations(store::Connection& connection);

/// A movement whose stored Deviation is not the figure of its stored sequence.
struct StaleDeviation
{
    std::int64_t movementId = 0;
    std::string ktn; ///< iKTN as text, empty when Null
    std::string mvmt; ///< iMvmt as text, empty when Null
    std::optional<double> stored; ///< the stored value, nothing when Null
    float deviation = 0; ///< the figure of its sequence
};

/// Every movement, in catalogue order, whose stored Deviation differs from deviationOf its sequence (as a single:
/// a figure stored as 12.600000381469727 is the figure 12.6). Only reads. Throws store::StoreError.
std::vector<StaleDeviation> staleDeviations(store::Connection& connection);

} // namespace velk::tabulations
