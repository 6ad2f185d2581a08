#pragma once

#include "store/Connection.h"

#include <string>
#include <vector>

namespace velk::store
{

/// The five tables of a catalogue, their indexes and the file's application id.
/// Creates the tables of a new catalogue in an empty file (no reference data).
void createSchema(Connection& connection);

/// Problems found in a file that should be a catalogue: missing tables or columns, a wrong application id.
/// Empty when the schema is sound. Each entry is a finished sentence.
std::vector<std::string> schemaProblems(Connection& connection);

/// The one problem schemaProblems gives for a file without any of the catalogue tables.
inline constexpr const char* kNoCatalogueTables = "The file holds none of the catalogue tables.";

/// The melody index: for each position whose pitch has a class, the key of the three following steps
/// between pitch classes. Kept up to date by the code that stores sequences.
inline constexpr const char* kMelodyIndexSchema = R"sql(
CREATE TABLE IF NOT EXISTS tblMelodyIndex (
    iKey INTEGER NOT NULL,
    iPitchID INTEGER NOT NULL,
    iMovementID INTEGER NOT NULL REFERENCES tblMovement (iMovementID) ON DELETE CASCADE,
    iPosition INTEGER NOT NULL,
    PRIMARY KEY (iKey, iPitchID, iMovementID, iPosition)
) STRICT, WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS idxMelodyIndexMovement ON tblMelodyIndex (iMovementID, iPosition);
)sql";

/// Brings a catalogue's indexes up to date in one transaction: the indexes that keep the window's statements
/// quick on a large catalogue, for a catalogue of any age (listed, with their reasons, in Schema.cpp). Reads
/// only when they are all there; a catalogue made before some of them existed gets them once (seconds for
/// millions of positions). createSchema makes them too.
void ensureIndexes(Connection& connection);

/// The application id written into every catalogue file (PRAGMA application_id).
inline constexpr int kApplicationId = 0x56454C4B;

} // namespace velk::store
