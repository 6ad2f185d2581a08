#include "tools/CatalogueFile.h"

#include "legacy/ImportProcess.h"

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

void createCatalogueFile(const std::string& file,
                         bool replace,
                         const std::function<void(store::Connection&)>& fill,
                         bool referenceData)
{
    std::error_code error;
    const fs::path target = fs::absolute(file, error).lexically_normal();
    if (fs::is_directory(target, error)) {
        throw store::StoreError(target.string() + " is a folder, not a catalogue file.");
    }
    if (!replace && fs::exists(target, error)) {
        throw store::StoreError(target.string() + " already exists; it was left as it is.");
    }
    const fs::path building = legacy::buildingFile(target.string(), ::getpid());
    removeQuietly(building);
    try {
        store::Connection connection = store::Connection::createFile(building.string());
        store::createSchema(connection);
        if (referenceData) {
            store::insertReferenceData(connection);
        }
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

std::int64_t insertMovementWithSequence(store::Connection& connection,
                                        const std::vector<store::Value>& values,
                                        const std::vector<std::int32_t>& pitchIds)
{
    connection.execute("insert into tblMovement (iKTN, iMvmt, iOrder, txtComposed, iLength, i12in, "
                       "strOpeningKey, strClosingKey, chkSoprano, chkAlto, chkTenor, chkBass, "
                       "chkAccompanied, Sub1, Sub2, Sub3, Sub4, Sub5, Sub6, Description, txtComments, "
                       "Deviation) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       values);
    const std::int64_t movementId = connection.lastInsertId();
    for (const std::int32_t pitchId : pitchIds) {
        connection.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) values (?, ?)",
                           {store::Value(movementId), store::Value(std::int64_t {pitchId})});
    }
    return movementId;
}

} // namespace velk::tools
