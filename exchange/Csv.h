#pragma once

#include "exchange/CatalogueEntries.h"
#include "store/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace velk::exchange
{

/// One field as a CSV file holds it: in double quotes (each quote doubled) when it contains a comma, a double
/// quote, a carriage return or a line feed, or begins or ends with a blank; as it stands otherwise.
std::string csvField(std::string_view text);

/// One record: the fields joined by commas, ended by CR LF.
std::string csvRecord(const std::vector<std::string>& fields);

/// The header of the catalogue's CSV form: every column of tblMovement in the catalogue's order, the two rich
/// texts (Description, txtComments) as plain text under their own names and as RTF under "<name> RTF" right after
/// them, and "Pitches", the sequence's spellings separated by blanks.
std::vector<std::string> csvHeader(const CatalogueEntries& entries);

/// The fields of one movement, in the order of csvHeader.
std::vector<std::string> csvFields(const CatalogueEntries& entries, const MovementEntry& entry);

/// The whole file: the header and one record per movement, UTF-8 (a byte another program stored that is not
/// UTF-8 becomes U+FFFD).
std::string catalogueCsv(const CatalogueEntries& entries);

/// Writes the selected movements of the catalogue as CSV to outputPath. Returns the number of movements written,
/// or a finished message (a catalogue that cannot be read, a file that cannot be written); nothing is thrown.
store::Result<std::size_t>
exportCsv(const std::string& connectionString, const Selection& selection, const std::string& outputPath);

} // namespace velk::exchange
