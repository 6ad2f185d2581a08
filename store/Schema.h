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

/// What keeps the melody index honest whatever program changes the catalogue: tblMelodyIndexPending holds the id of
/// every movement whose stored sequence changed since its index rows were last written, and 0 when the pitch
/// classes changed, which puts the whole index behind. Triggers fill it on every insert, update and delete of
/// tblMovementPitchJoin, tblPitchClassJoin and tblClassLookup, and on the delete of a movement (whose index rows go
/// with it only where foreign keys are enforced); the code that writes index rows empties it.
inline constexpr const char* kMelodyIndexTracking = R"sql(
CREATE TABLE IF NOT EXISTS tblMelodyIndexPending (
    iMovementID INTEGER PRIMARY KEY
) STRICT;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingSequenceInsert AFTER INSERT ON tblMovementPitchJoin
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (NEW.iMovementID); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingSequenceUpdate AFTER UPDATE ON tblMovementPitchJoin
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (OLD.iMovementID), (NEW.iMovementID); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingSequenceDelete AFTER DELETE ON tblMovementPitchJoin
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (OLD.iMovementID); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingMovementDelete AFTER DELETE ON tblMovement
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (OLD.iMovementID); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingPitchClassInsert AFTER INSERT ON tblPitchClassJoin
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (0); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingPitchClassUpdate AFTER UPDATE ON tblPitchClassJoin
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (0); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingPitchClassDelete AFTER DELETE ON tblPitchClassJoin
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (0); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingClassInsert AFTER INSERT ON tblClassLookup
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (0); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingClassUpdate AFTER UPDATE ON tblClassLookup
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (0); END;
CREATE TRIGGER IF NOT EXISTS trgMelodyPendingClassDelete AFTER DELETE ON tblClassLookup
BEGIN INSERT OR IGNORE INTO tblMelodyIndexPending (iMovementID) VALUES (0); END;
)sql";

/// The number of triggers kMelodyIndexTracking makes; their names all begin with "trgMelodyPending".
inline constexpr int kMelodyIndexTriggers = 10;

/// The subjects in use: every distinct non-null value of Sub1 to Sub6 (compared byte for byte, as UNION does) with
/// the number of its uses, kept in step with tblMovement by three triggers. The search window lists it instead of
/// reading all six subject columns, and a search whose pattern starts with a wildcard tries its LIKE on it first.
/// Made with every new catalogue; an older catalogue has none and is read as before until `velk-catalogue check
/// --repair` (or a salvage) builds it.
inline constexpr const char* kSubjectUseTable = "tblSubjectUse";

/// True when the catalogue has the subject-use table and all three of its triggers, so that the table is
/// known to hold exactly the subjects in use. A catalogue changed by a program that dropped a trigger gives false.
bool hasSubjectUse(Connection& connection);

/// Drops the subject-use table and its triggers where they exist and makes them afresh from tblMovement, inside
/// the caller's transaction. Throws StoreError.
void rebuildSubjectUse(Connection& connection);

/// Where the catalogue has a subject-use table: what is wrong with it (a trigger missing, a subject missing,
/// left over or counted wrong), each a finished sentence. Empty when it is in step or absent.
std::vector<std::string> subjectUseProblems(Connection& connection);

/// Brings a catalogue's indexes up to date in one transaction: the indexes that keep the window's statements
/// quick on a large catalogue, for a catalogue of any age (listed, with their reasons, in Schema.cpp). Reads
/// only when they are all there; a catalogue made before some of them existed gets them once (seconds for
/// millions of positions). createSchema makes them too.
void ensureIndexes(Connection& connection);

/// True when the table has the column (matched without regard to case).
bool hasColumn(Connection& connection, const char* table, const char* column);

/// Adds the columns later catalogues have to a catalogue made before them, in one transaction; reads only when
/// they are there. tblPitchLookup.txtOldVelkFont (the glyph text of an imported pitch in the old program's font,
/// Null otherwise) and tblClassLookup.iSemitone (the class's semitone above C, 0 to 11; filled from iClassID - 1,
/// as Velk numbers its classes from C) and tblMovement.iCapitalOctave (a movement's octave setting, Null for the
/// default from its voices). Needs a writable connection. Throws StoreError.
void ensureColumns(Connection& connection);

/// The application id written into every catalogue file (PRAGMA application_id).
inline constexpr int kApplicationId = 0x56454C4B;

} // namespace velk::store
