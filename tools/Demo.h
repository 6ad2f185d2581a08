#pragma once

#include "store/Connection.h"

#include <string>

namespace velk::tools
{

/// Adds the demonstration movements to a catalogue that holds the schema and the reference data: six works of
/// four to seven movements each, with keys, voice parts, dates, lengths, shared subjects, rich-text descriptions
/// and comments, pitch sequences of 10 to 200 positions and their deviation as the tabulations compute it. The same
/// every time (fixed seed). Writes in one transaction; throws store::StoreError.
void writeDemoCatalogue(store::Connection& connection);

/// Creates the demonstration catalogue as a new file (see createCatalogueFile for replace).
void createDemoCatalogue(const std::string& file, bool replace);

} // namespace velk::tools
