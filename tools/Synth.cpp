#include "tools/Synth.h"

#include "melody/MelodyIndex.h"
#include "store/ReferenceData.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"
#include "tools/CatalogueFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace velk::tools
{

namespace
{

using store::Value;

/// Reproducible numbers: the engine's sequence is fixed by the standard, and the reductions here are our own
/// (the standard distributions may differ between libraries).
class Numbers
{
public:
    explicit Numbers(std::uint64_t seed)
        : m_engine(seed)
    {
    }
    /// 0 to bound - 1.
    std::uint64_t below(std::uint64_t bound)
    {
        return m_engine() % bound;
    }
    std::int64_t between(std::int64_t low, std::int64_t high)
    {
        return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low + 1)));
    }
    bool chance(int percent)
    {
        return below(100) < static_cast<std::uint64_t>(percent);
    }

private:
    std::mt19937_64 m_engine;
};

constexpr std::array<const char*, 24> kKeys = {
    "C major",  "c minor",  "D major",  "d minor",  "E major",  "e minor",  "F major",  "f minor",
    "G major",  "g minor",  "A major",  "a minor",  "B major",  "b minor",  "E♭ major", "e♭ minor",
    "B♭ major", "b♭ minor", "A♭ major", "f♯ minor", "F♯ major", "c♯ minor", "D♭ major", "g♯ minor",
};

constexpr std::array<const char*, 6> kKinds = {"Aria", "Recitative", "Chorus", "Chorale", "Duet", "Arioso"};

// Subjects a search can hit: the first few are common (each in about a tenth of the movements), the rest spread
// thinly. "Lamentation" is given to exactly ten movements whatever the size, for a search with few matches.
constexpr std::array<const char*, 8> kCommonSubjects
    = {"Joy", "Love", "Death", "Faith", "Praise", "Night", "Spring", "Shepherds"};
constexpr std::array<const char*, 24> kRareSubjects = {
    "Angels",  "Battle",  "Bells",   "Birds", "Christmas", "Cross",   "Dawn",  "Easter",
    "Grief",   "Harvest", "Heaven",  "Hope",  "Journey",   "Kingdom", "Light", "Mercy",
    "Morning", "Peace",   "Pilgrim", "Sea",   "Shepherd",  "Storm",   "Tears", "Wedding",
};

/// The sequence lengths: the first movements hold the probe lengths the measurements use, the rest share what is
/// left, varied around the mean, none longer than the longest sequence the window handles.
std::vector<std::int64_t> sequenceLengths(Numbers& numbers, std::int64_t movements, std::int64_t positions)
{
    std::vector<std::int64_t> lengths(static_cast<std::size_t>(movements), 0);
    std::int64_t left = positions;
    std::size_t first = 0;
    for (const std::int64_t probe : kSynthProbeLengths) {
        // A probe is placed only when enough is left for the other movements to have sequences too.
        if (first < lengths.size() && left - probe >= movements - static_cast<std::int64_t>(first) - 1) {
            lengths[first++] = probe;
            left -= probe;
        }
    }
    for (std::size_t i = first; i < lengths.size() && left > 0; ++i) {
        const std::int64_t remaining = movements - static_cast<std::int64_t>(i);
        const std::int64_t mean = std::max<std::int64_t>(1, left / remaining);
        std::int64_t length
            = i + 1 == lengths.size() ? left : numbers.between(std::max<std::int64_t>(1, mean / 2), mean * 3 / 2);
        length = std::min({length, left, kSynthLongestSequence});
        lengths[i] = length;
        left -= length;
    }
    return lengths;
}

/// A melodic line: mostly steps through the scale of the register pair, some leaps, some accidentals.
std::vector<std::int32_t> melodicLine(Numbers& numbers,
                                      std::int64_t length,
                                      const std::vector<std::int32_t>& naturals,
                                      const std::vector<std::int32_t>& sharps,
                                      const std::vector<std::int32_t>& flats)
{
    std::vector<std::int32_t> line;
    line.reserve(static_cast<std::size_t>(length));
    auto degree = static_cast<std::int64_t>(numbers.below(naturals.size()));
    const auto top = static_cast<std::int64_t>(naturals.size()) - 1;
    for (std::int64_t i = 0; i < length; ++i) {
        const std::int64_t step = numbers.chance(80) ? numbers.between(-1, 1) : numbers.between(-4, 4);
        degree = std::clamp<std::int64_t>(degree + step, 0, top);
        const auto d = static_cast<std::size_t>(degree);
        if (numbers.chance(8)) {
            line.push_back(sharps[d]);
        } else if (numbers.chance(6)) {
            line.push_back(flats[d]);
        } else {
            line.push_back(naturals[d]);
        }
    }
    return line;
}

std::string description(Numbers& numbers, const char* kind, std::int64_t ktn, std::int64_t mvmt, const char* key)
{
    std::string text = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Book Antiqua;}}\\pard\\f0\\fs24 {\\b ";
    text += kind;
    text += ".} Movement " + std::to_string(mvmt) + " of {\\i KTN " + std::to_string(ktn) + "}, in ";
    for (const char* c = key; *c != 0; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x80) {
            text += *c;
        } else if (std::string(c, 3) == "♯" || std::string(c, 3) == "♭") {
            text += std::string(c, 3) == "♯" ? "\\u9839?" : "\\u9837?";
            c += 2;
        }
    }
    text += ".";
    if (numbers.chance(40)) {
        text += "\\par The continuo figures are {\\i sparse} after measure " + std::to_string(numbers.between(8, 90))
            + ".";
    }
    return text + "\\par\n}";
}

} // namespace

void writeSynthCatalogue(store::Connection& connection,
                         std::int64_t movements,
                         std::int64_t positions,
                         std::uint64_t seed)
{
    // The lower and the upper register's naturals from C to B, with the sharp and the flat of each.
    std::vector<std::int32_t> naturals;
    std::vector<std::int32_t> sharps;
    std::vector<std::int32_t> flats;
    std::vector<std::int32_t> classOf(1, 0);
    for (const char* letters : {"CDEFGAB", "cdefgab"}) {
        for (const char* l = letters; *l != 0; ++l) {
            for (const auto& pitch : store::referencePitches()) {
                const std::string base(1, *l);
                if (pitch.spelling == base) {
                    naturals.push_back(pitch.id);
                } else if (pitch.spelling == base + "*") {
                    sharps.push_back(pitch.id);
                } else if (pitch.spelling == base + "/") {
                    flats.push_back(pitch.id);
                }
            }
        }
    }
    for (const auto& pitch : store::referencePitches()) {
        if (static_cast<std::size_t>(pitch.id) >= classOf.size()) {
            classOf.resize(static_cast<std::size_t>(pitch.id) + 1, 0);
        }
        classOf[static_cast<std::size_t>(pitch.id)] = pitch.classId;
    }

    Numbers numbers(seed);
    const std::vector<std::int64_t> lengths = sequenceLengths(numbers, movements, positions);
    const std::int64_t rareEvery = std::max<std::int64_t>(1, movements / 10);
    store::Transaction transaction(connection);
    std::int64_t ktn = 1;
    std::int64_t mvmt = 0;
    std::int64_t worksMovements = numbers.between(3, 9);
    for (std::int64_t m = 0; m < movements; ++m) {
        if (++mvmt > worksMovements) {
            ktn += numbers.between(1, 3);
            mvmt = 1;
            worksMovements = numbers.between(3, 9);
        }
        const char* kind = kKinds[numbers.below(kKinds.size())];
        const char* openingKey = kKeys[numbers.below(kKeys.size())];
        const char* closingKey = numbers.chance(70) ? openingKey : kKeys[numbers.below(kKeys.size())];
        const std::int64_t length = numbers.between(8, 240);
        std::vector<Value> subjects(6);
        std::size_t used = 0;
        if (m % rareEvery == 0 && m / rareEvery < 10) {
            subjects[used++] = Value(kSynthRareSubject);
        }
        const auto count = static_cast<std::size_t>(numbers.between(0, 3));
        while (used < count) {
            const char* subject = numbers.chance(50) ? kCommonSubjects[numbers.below(kCommonSubjects.size())]
                                                     : kRareSubjects[numbers.below(kRareSubjects.size())];
            const bool repeated = std::any_of(subjects.begin(), subjects.begin() + static_cast<std::ptrdiff_t>(used),
                                              [subject](const Value& v) { return v.toText() == subject; });
            if (!repeated) {
                subjects[used] = Value(subject);
            }
            ++used;
        }

        const std::vector<std::int32_t> line
            = melodicLine(numbers, lengths[static_cast<std::size_t>(m)], naturals, sharps, flats);
        std::vector<std::optional<std::int64_t>> classCounts(12);
        for (const std::int32_t id : line) {
            auto& slot = classCounts[static_cast<std::size_t>(classOf[static_cast<std::size_t>(id)] - 1)];
            slot = slot.value_or(0) + 1;
        }
        // A movement without pitches has the figure of an empty sequence, 0, as storing its pitches would write.
        const Value deviation(tabulations::storedDeviation(
            tabulations::averageDeviation(classCounts, static_cast<std::int64_t>(line.size()))));
        const std::int64_t year = 1714 + ktn / 40;
        std::vector<Value> values = {
            Value(ktn),
            Value(mvmt),
            Value(mvmt),
            Value("TC " + std::to_string(year) + " / FP " + std::to_string(numbers.between(1, 28)) + " Mar "
                  + std::to_string(year)),
            Value(length),
            numbers.chance(25) ? Value(length / 2) : Value(),
            Value(openingKey),
            Value(closingKey),
            Value(numbers.chance(60)),
            Value(numbers.chance(45)),
            Value(numbers.chance(45)),
            Value(numbers.chance(55)),
            Value(numbers.chance(85)),
        };
        values.insert(values.end(), subjects.begin(), subjects.end());
        values.push_back(Value(description(numbers, kind, ktn, mvmt, openingKey)));
        values.push_back(numbers.chance(20) ? Value("{\\rtf1\\ansi\\pard Checked against the parts.\\par\n}")
                                            : Value());
        values.push_back(deviation);
        insertMovementWithSequence(connection, values, line);
    }
    melody::rebuildMelodyIndex(connection);
    transaction.commit();
}

} // namespace velk::tools
