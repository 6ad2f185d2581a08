#pragma once

#include "store/Connection.h"

#include <array>
#include <cstdint>

namespace velk::tools
{

/// The longest sequence a movement may hold.
inline constexpr std::int64_t kSynthLongestSequence = 32767;
/// The sequence lengths the first movements of a synthetic catalogue hold, in this order, as far as the positions
/// asked for allow: movement 1 has 100 positions, movement 2 has 1,000 and so on.
inline constexpr std::array<std::int64_t, 4> kSynthProbeLengths = {100, 1000, 10000, 32767};
/// Every synthetic catalogue gives this subject to ten movements (fewer when it has fewer), whatever its size.
inline constexpr const char* kSynthRareSubject = "Lamentation";

/// Adds movements with sequences of positions pitches in all to a catalogue that holds the schema and the reference
/// data, with its melody index: works of three to nine movements with keys, voice parts, dates, lengths, subjects
/// (eight common ones, each in about a tenth of the movements, and kSynthRareSubject), rich-text descriptions,
/// stepwise melodic lines of varied length (kSynthProbeLengths first) and their deviation. The same seed gives the
/// same catalogue. Writes in one transaction; throws store::StoreError.
void writeSynthCatalogue(store::Connection& connection,
                         std::int64_t movements,
                         std::int64_t positions,
                         std::uint64_t seed);

} // namespace velk::tools
