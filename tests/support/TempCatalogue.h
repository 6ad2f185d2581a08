#pragma once

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

private:
    TempFolder m_folder;
};

} // namespace velk::test
