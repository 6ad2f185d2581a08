#pragma once

#include "legacy/LegacyDatabase.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velk::tools
{

/// How far an import has come: a percentage (0 to 100) and what it is doing, e.g. "reading tblMovement".
struct ImportProgress
{
    int percent = 0;
    std::string stage;
};

/// Rows of one table of the old file: read from it, and written into the new catalogue.
struct TableCount
{
    std::string table;
    std::size_t read = 0;
    std::size_t written = 0;
};

/// A movement whose stored deviation differed from the one its pitches give.
struct DeviationChange
{
    std::int64_t movementId = 0;
    std::optional<std::string> oldText; ///< the old figure in shortest form; nothing when it was Null or missing
    std::string newText;
};

/// What an import read, wrote, dropped, changed and derived.
struct ImportReport
{
    std::string oldFile;
    std::string newFile;
    std::string format; ///< the old file's format in words
    std::vector<TableCount> tables; ///< the five tables in a fixed order
    std::vector<std::string> missingColumns; ///< "tblMovement.Sub5": columns of the layout the old file lacks
    std::map<std::int64_t, std::size_t> orphanRows; ///< sequence rows dropped, by the movement that no longer exists
    std::vector<std::string> dropped; ///< other rows or values not carried over, each a sentence
    std::vector<DeviationChange> deviations; ///< in ascending movement id
    std::size_t glyphsDerived = 0; ///< txtVelkFont texts derived from spellings
    std::size_t semitonesDerived = 0; ///< iSemitone values derived from spellings
    std::vector<std::string> notDerived; ///< what could not be derived, each a sentence
    std::vector<std::string> notes; ///< kept as the old file had it, but worth knowing, each a sentence

    /// The report as printed: rows per table, then everything dropped, changed and derived, with counts.
    std::string text() const;
};

/// Reads an old catalogue (the Access-format file of the old program, Jet 4 or ACE) and writes a new catalogue
/// from it through the store, the sequence store, the melody index and the tabulations' arithmetic: every row of
/// the five tables with its own ids, Nulls, exact texts, Yes/No as 0/1, the old reference data with derived glyph
/// texts and class semitones, every Deviation recomputed from the pitches. Sequence rows of movements that no longer
/// exist are dropped. The new file is built beside newFile and moved there only when complete; an existing newFile
/// is replaced only with replace. The old file is only read. progress, when given, is called now and then.
/// Throws std::runtime_error (legacy::LegacyError, store::StoreError) with a finished one-line message: a missing,
/// damaged or foreign file ("... is not an old Velk catalogue: ..." naming what is missing), an existing newFile.
ImportReport importCatalogue(const std::string& oldFile,
                             const std::string& newFile,
                             bool replace,
                             const std::function<void(const ImportProgress&)>& progress = {});

/// The same from tables already read (the five by name, in any order, as LegacyDatabase::readTable gives them);
/// source names them in messages and the report. Refuses and throws as importCatalogue does.
ImportReport importTables(std::vector<legacy::LegacyTable> tables,
                          const std::string& source,
                          const std::string& newFile,
                          bool replace);

} // namespace velk::tools
