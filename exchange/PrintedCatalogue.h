#pragma once

#include "exchange/CatalogueEntries.h"
#include "pitches/Notation.h"
#include "store/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::exchange
{

/// How many notes of a line the printed catalogue shows on its staff.
inline constexpr std::size_t kPrintedNotes = 24;

/// One labelled entry of a printed movement ("TC/FP", "Keys", ...).
struct PrintedFact
{
    std::string label;
    std::string text;
};

/// One movement as the printed catalogue shows it.
struct PrintedMovement
{
    std::string heading; ///< "KTN 4 · Movement 3"
    std::vector<PrintedFact> facts; ///< those that are filled in, in print order
    std::string descriptionRtf; ///< the description as RTF (a plain text stored made RTF), empty when none
    pitches::NotatedLine incipit; ///< the first kPrintedNotes notes of the line
    std::size_t lineLength = 0; ///< how many notes the whole line has
    std::string deviation; ///< "Deviation 12.6", empty when none is stored
};

/// One work: its movements, which start on a new page under a running header.
struct PrintedWork
{
    std::optional<std::int64_t> ktn;
    std::string runningHeader; ///< "KTN 4"
    std::vector<PrintedMovement> movements;
};

/// The printed catalogue: a title and the works in the order of the selection.
struct PrintedCatalogue
{
    std::string title; ///< "Thematic catalogue", "Thematic catalogue: KTN 4", "Thematic catalogue: search results"
    std::vector<PrintedWork> works;
    std::size_t movementCount() const;
};

/// The printed form of the entries: consecutive movements of one KTN make one work.
PrintedCatalogue printedCatalogue(const CatalogueEntries& entries, const std::string& title);

/// The title for a selection.
std::string printedTitle(const Selection& selection);

/// Reads the selected movements from the catalogue for printing. A selection with no movements, or a catalogue that
/// cannot be read, gives a finished message; nothing is thrown.
store::Result<PrintedCatalogue> readPrintedCatalogue(const std::string& connectionString, const Selection& selection);

} // namespace velk::exchange
