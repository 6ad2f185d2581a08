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

/// The indexes that keep the window's statements quick on a large catalogue, for a catalogue of any age:
///  - a movement's sequence in order, with each position's pitch, so that the display, the counts and the
///    tabulations read only the index (it replaces an earlier index without the pitch);
///  - the six subjects, in the collation LIKE compares with, so that the subject search reads the movements
///    whose subjects match instead of every movement six times: a pattern without a leading wildcard seeks in
///    them, any other pattern scans them rather than the much wider movement table.
inline constexpr const char* kIndexSchema = R"sql(
CREATE INDEX IF NOT EXISTS idxMovementPitchJoinSequence
    ON tblMovementPitchJoin (iMovementID, iMovementPitchID, iPitchID);
DROP INDEX IF EXISTS idxMovementPitchJoinMovement;
CREATE INDEX IF NOT EXISTS idxMovementSub1 ON tblMovement (Sub1 COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS idxMovementSub2 ON tblMovement (Sub2 COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS idxMovementSub3 ON tblMovement (Sub3 COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS idxMovementSub4 ON tblMovement (Sub4 COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS idxMovementSub5 ON tblMovement (Sub5 COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS idxMovementSub6 ON tblMovement (Sub6 COLLATE NOCASE);
)sql";

/// Brings a writable catalogue's indexes to kIndexSchema in one transaction. Quick when they are there; a
/// catalogue made before some of them existed gets them once (seconds for millions of positions).
void ensureIndexes(Connection& connection);

/// The application id written into every catalogue file (PRAGMA application_id).
inline constexpr int kApplicationId = 0x56454C4B;

} // namespace velk::store
