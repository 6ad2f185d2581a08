#pragma once

#include "store/Connection.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace velk::test
{

/// A temporary folder that is removed with everything in it when the object goes.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const;

private:
    std::filesystem::path m_path;
};

/// A new catalogue (schema and reference data, no movements) named Velk.db in a temporary folder.
class TempCatalogue
{
public:
    TempCatalogue();
    /// The catalogue file.
    std::string file() const;
    /// A connection string naming the file.
    std::string connectionString() const;
    const std::filesystem::path& folder() const;
    /// A read-write connection of its own.
    store::Connection writer() const;
    /// Adds movement 1 of work ktn, with nothing else filled in, and returns its id.
    std::int64_t addMovement(int ktn) const;

private:
    TempFolder m_folder;
};

} // namespace velk::test
