#pragma once

#include <string>
#include <vector>

namespace velk::tools
{

/// Everything wrong with a catalogue file, each a finished sentence; empty when it is sound. Looks at the schema,
/// the reference data (spellings, the twelve classes, class representatives, every pitch in a class), sequence
/// rows that point at a missing pitch or movement, SQLite's integrity check and its foreign key check. Opens the
/// file read-only and never changes it. Throws store::StoreError when the file is missing or is no catalogue.
std::vector<std::string> catalogueProblems(const std::string& file);

/// The same for a file without the application id of a catalogue, as another tool makes them: every table and
/// column must be there, and every other check applies. Throws store::StoreError like catalogueProblems, and for a
/// file that carries another program's application id.
std::vector<std::string> unmarkedCatalogueProblems(const std::string& file);

/// The kind of a problem: its sentence with the numbers and quoted texts left out, so that "Sequence row 7
/// belongs to movement 9, ..." and "Sequence row 8 belongs to movement 12, ..." are of one kind.
std::string problemKind(const std::string& problem);

/// The lines that report problems: grouped by kind in the order each kind first appears, at most perKind of
/// each, then a line with the count of the rest of that kind. Every line is shown escaped (store::shownText).
std::vector<std::string> shownProblems(const std::vector<std::string>& problems, std::size_t perKind);

} // namespace velk::tools
