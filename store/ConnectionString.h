#pragma once

#include <string>

namespace velk::store
{

/// The one connection string of the program. It names the catalogue without a directory, so the file is
/// looked up in the process's working directory.
inline constexpr const char* kConnectionString = "Data Source=Velk.db";

/// The file a connection string names ("Data Source=FILE", separated from other settings by ";").
/// A bare path is taken as the file itself, so tools and tests may pass a path where a string is expected.
std::string catalogueFileFromConnectionString(const std::string& connectionString);

/// A connection string naming the given file.
std::string connectionStringForFile(const std::string& path);

} // namespace velk::store
