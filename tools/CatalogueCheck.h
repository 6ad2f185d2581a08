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

} // namespace velk::tools
