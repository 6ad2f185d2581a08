#include "tools/CatalogueFile.h"

#include "legacy/ImportProcess.h"

#include "store/ReferenceData.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
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

// The file being built and its journal, for the signal handler; empty when none is being built.
char g_building[PATH_MAX + 16];
char g_buildingJournal[PATH_MAX + 32];

extern "C" void removeBuildingAndStop(int number)
{
    // Only async-signal-safe calls here.
    if (g_building[0] != '\0') {
        ::unlink(g_building);
        ::unlink(g_buildingJournal);
    }
    ::signal(number, SIG_DFL);
    ::raise(number);
}

/// While it lives, an interrupt (Ctrl+C) or a request to stop removes the half-built file and its journal before
/// the program ends as the signal asks.
class RemovedOnInterrupt
{
public:
    explicit RemovedOnInterrupt(const fs::path& building)
    {
        const std::string journal = building.string() + "-journal";
        if (journal.size() >= sizeof g_buildingJournal) {
            return;
        }
        std::memcpy(g_building, building.c_str(), building.string().size() + 1);
        std::memcpy(g_buildingJournal, journal.c_str(), journal.size() + 1);
        struct sigaction action
        {
        };
        action.sa_handler = removeBuildingAndStop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &action, &m_previous[i]);
        }
        m_installed = true;
    }
    ~RemovedOnInterrupt()
    {
        if (m_installed) {
            for (std::size_t i = 0; i < std::size(kSignals); ++i) {
                ::sigaction(kSignals[i], &m_previous[i], nullptr);
            }
            g_building[0] = '\0';
        }
    }
    RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
    RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[std::size(kSignals)] {};
    bool m_installed = false;
};

/// A failure while building, told with the name the user gave rather than the temporary one.
std::string namingTarget(std::string message, const fs::path& building, const fs::path& target)
{
    const std::string temporary = building.string();
    for (std::size_t at = message.find(temporary); at != std::string::npos;
         at = message.find(temporary, at + target.string().size())) {
        message.replace(at, temporary.size(), target.string());
    }
    return message;
}

} // namespace

std::optional<std::string> folderProblem(const fs::path& target)
{
    const fs::path folder = target.parent_path();
    std::error_code error;
    if (!fs::exists(folder, error)) {
        return "the folder " + folder.string() + " does not exist";
    }
    if (!fs::is_directory(folder, error)) {
        return folder.string() + " is not a folder";
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return "the folder " + folder.string() + " cannot be written to (" + std::strerror(errno) + ")";
    }
    return std::nullopt;
}

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
    if (const auto problem = folderProblem(target)) {
        throw store::StoreError("The catalogue " + target.string() + " could not be made: " + *problem + ".");
    }
    const fs::path building = legacy::buildingFile(target.string(), ::getpid());
    removeQuietly(building);
    const RemovedOnInterrupt removedOnInterrupt(building);
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
    } catch (const store::StoreError& failure) {
        removeQuietly(building);
        throw store::StoreError(namingTarget(failure.what(), building, target), failure.code());
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
