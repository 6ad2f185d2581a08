#include "legacy/StartupImport.h"

#include <unistd.h>

#include <algorithm>
#include <system_error>

namespace velk::legacy
{

namespace
{

namespace fs = std::filesystem;

constexpr const char* kOldName = "Velk.mdb";
constexpr const char* kNewName = "Velk.db";
constexpr const char* kProgram = "velk-catalogue";

bool isProgram(const fs::path& file)
{
    std::error_code error;
    return fs::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0;
}

} // namespace

std::optional<StartupImport> startupImport(const fs::path& folder)
{
    std::error_code error;
    const fs::path newFile = folder / kNewName;
    const fs::path oldFile = folder / kOldName;
    // symlink_status: a dangling link named Velk.db is still a name the import must not take.
    if (fs::exists(fs::symlink_status(newFile, error)) || !fs::is_regular_file(oldFile, error)) {
        return std::nullopt;
    }
    StartupImport offer;
    offer.oldFile = oldFile;
    offer.newFile = newFile;
    offer.title = "Velk";
    offer.question = std::string("This folder holds no ") + kNewName + " but the old program's catalogue " + kOldName
        + ".\n\nTake the old catalogue over into a new " + kNewName + "? " + kOldName
        + " is only read and stays as it is.";
    return offer;
}

ImportFinish importFinish(const ImportResult& result)
{
    ImportFinish finish;
    switch (result.end) {
    case ImportEnd::Finished:
        finish.openCatalogue = true;
        finish.showReport = true;
        break;
    case ImportEnd::Failed:
    case ImportEnd::Damaged:
        finish.message = result.message;
        break;
    case ImportEnd::Cancelled:
        break;
    }
    return finish;
}

std::string findImportProgram(const fs::path& applicationDir, const char* searchPath)
{
    if (!applicationDir.empty() && isProgram(applicationDir / kProgram)) {
        return (applicationDir / kProgram).string();
    }
    const std::string path = searchPath == nullptr ? std::string() : std::string(searchPath);
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string dir = path.substr(start, end - start);
        // An empty entry means the working directory, which is not where programs are looked for here.
        if (!dir.empty() && isProgram(fs::path(dir) / kProgram)) {
            return (fs::path(dir) / kProgram).string();
        }
        start = end + 1;
    }
    return {};
}

std::string noImportProgramMessage()
{
    return std::string("The old catalogue cannot be taken over: ") + kProgram
        + " was found neither beside velk nor on the PATH. Install it, or run \"" + kProgram + " import " + kOldName
        + " " + kNewName + "\" where it is.";
}

} // namespace velk::legacy
