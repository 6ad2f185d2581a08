#include "tools/CatalogueFile.h"

#include "store/ReferenceData.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace velk::tools
{

namespace fs = std::filesystem;

namespace
{

void removeQuietly(const fs::path& path)
{
    std::error_code error;
    fs::remove(path, error);
    fs::remove(path.string() + "-journal", error);
}

} // namespace

void createCatalogueFile(const std::string& file, bool replace, const std::function<void(store::Connection&)>& fill)
{
    std::error_code error;
    const fs::path target = fs::absolute(file, error).lexically_normal();
    if (fs::is_directory(target, error)) {
        throw store::StoreError(target.string() + " is a folder, not a catalogue file.");
    }
    if (!replace && fs::exists(target, error)) {
        throw store::StoreError(target.string() + " already exists; it was left as it is.");
    }
    const fs::path building = target.string() + ".new-" + std::to_string(::getpid());
    removeQuietly(building);
    try {
        store::Connection connection = store::Connection::createFile(building.string());
        store::createSchema(connection);
        store::insertReferenceData(connection);
        if (fill) {
            fill(connection);
        }
        connection.close();
        if (replace) {
            fs::rename(building, target);
        } else {
            // A hard link fails when the name is taken, even by a file that appeared meanwhile.
            fs::create_hard_link(building, target);
            removeQuietly(building);
        }
    } catch (const fs::filesystem_error& failure) {
        removeQuietly(building);
        if (!replace && fs::exists(target, error)) {
            throw store::StoreError(target.string() + " already exists; it was left as it is.");
        }
        throw store::StoreError("The catalogue " + target.string()
                                + " could not be written: " + failure.code().message() + ".");
    } catch (...) {
        removeQuietly(building);
        throw;
    }
}

} // namespace velk::tools
