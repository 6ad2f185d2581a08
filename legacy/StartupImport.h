#pragma once

#include "legacy/ImportProcess.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velk::legacy
{

/// The old catalogue found at start-up and the new one an import would make beside it.
struct StartupImport
{
    std::filesystem::path oldFile; ///< folder/Velk.mdb
    std::filesystem::path newFile; ///< folder/Velk.db
    std::string title; ///< the question's caption
    std::string question; ///< Yes takes the old catalogue over
};

/// An offer to take the old catalogue over, when folder holds a Velk.mdb and nothing named Velk.db (not even a broken
/// link: an existing name is never replaced). Otherwise none: the catalogue opens, or is reported missing, as usual.
std::optional<StartupImport> startupImport(const std::filesystem::path& folder);

/// What the window does once the child import has ended.
struct ImportFinish
{
    bool openCatalogue = false; ///< the new catalogue is in place: open it
    bool showReport = false; ///< show the import's report (as text, in a fixed-width face)
    std::string message; ///< a finished message to show (empty: none)
};

/// Finished shows the report and opens the catalogue; Damaged and Failed show their message and go on as if no
/// catalogue were there; Cancelled says nothing more (the user asked for it).
ImportFinish importFinish(const ImportResult& result);

/// The import program: velk-catalogue in applicationDir when it is there and executable, else the first one on
/// searchPath (a PATH value). Empty when there is none.
std::string findImportProgram(const std::filesystem::path& applicationDir, const char* searchPath);

/// The message when no import program can be found.
std::string noImportProgramMessage();

} // namespace velk::legacy
