#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::tools
{

/// Rows of one table before and after a salvage; nothing where the damaged file could not tell.
struct TableRows
{
    std::string table;
    std::optional<std::int64_t> before;
    std::optional<std::int64_t> after;
};

/// What a salvage brought back and what it lost.
struct SalvageReport
{
    std::string method; ///< the sqlite3 shell's command that read the damaged file: ".recover" or ".dump"
    std::vector<TableRows> tables;
    /// The movements the damaged file still lists (in an index) that did not come back, as "KTN k, Mvt. m (id i)".
    std::vector<std::string> lostMovements;
    /// The movements that came back with a shorter sequence, as "KTN k, Mvt. m (id i) came back with n of its t
    /// pitches".
    std::vector<std::string> shortenedSequences;
    std::int64_t droppedSequenceRows = 0; ///< sequence rows of movements that did not come back
    std::int64_t recomputedDeviations = 0; ///< stored deviations that no longer fitted the pitches that came back
    std::int64_t failedStatements = 0; ///< statements of the recovered text that the new file refused
    std::vector<std::string> problems; ///< what velk-catalogue check finds in the new file; empty when sound
};

/// Copies what SQLite can still read of the damaged catalogue broken into the new catalogue target, with the
/// sqlite3 shell's .recover (or, where the shell's SQLite lacks what .recover needs, its .dump, which reads
/// each table up to and past the damage). Works on a copy of broken made together with its journal, so that
/// undoing an unfinished change writes the copy and never broken. Marks the result as a catalogue, drops the
/// sequence rows of movements that did not come back, rebuilds the melody index and the indexes from what came
/// back, works out again every deviation that no longer fits its pitches, and checks it. target must not exist; it
/// appears only when complete. Throws store::StoreError with a finished message when nothing could be salvaged.
SalvageReport salvageCatalogue(const std::string& broken, const std::string& target);

} // namespace velk::tools
