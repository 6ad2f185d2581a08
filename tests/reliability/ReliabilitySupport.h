#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace velk::test
{

/// The bytes and modification time of every file in a folder, to show that nothing was written.
struct FolderSnapshot
{
    struct Entry
    {
        std::string bytes;
        long long seconds = 0;
        long long nanoseconds = 0;
        bool operator==(const Entry&) const = default;
    };
    std::map<std::string, Entry> files;
    bool operator==(const FolderSnapshot&) const = default;
};

inline std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline FolderSnapshot snapshot(const std::filesystem::path& folder)
{
    FolderSnapshot result;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        struct stat info
        {
        };
        ::stat(entry.path().c_str(), &info);
        result.files[entry.path().filename().string()]
            = {fileBytes(entry.path()), static_cast<long long>(info.st_mtim.tv_sec),
               static_cast<long long>(info.st_mtim.tv_nsec)};
    }
    return result;
}

/// Takes every write permission from a file (root too is then refused by the store, which looks at the bits).
inline void writeProtect(const std::filesystem::path& file)
{
    std::filesystem::permissions(file,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write
                                     | std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
}

} // namespace velk::test
