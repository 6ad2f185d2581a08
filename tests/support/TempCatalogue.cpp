#include "tests/support/TempCatalogue.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/ReferenceData.h"
#include "store/Schema.h"
#include "store/Value.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace velk::test
{

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "velk-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("Could not create a temporary folder from " + pattern + ".");
    }
    m_path = std::filesystem::path(buffer.data());
}

TempFolder::~TempFolder()
{
    std::error_code error;
    // A test may have write-protected files or the folder itself; give the rights back before removing.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, error)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(m_path, error);
}

const std::filesystem::path& TempFolder::path() const
{
    return m_path;
}

TempCatalogue::TempCatalogue()
{
    store::Connection connection = store::Connection::createFile(file());
    store::createSchema(connection);
    store::insertReferenceData(connection);
    connection.close();
}

std::string TempCatalogue::file() const
{
    return (m_folder.path() / "Velk.db").string();
}

std::string TempCatalogue::connectionString() const
{
    return store::connectionStringForFile(file());
}

store::Connection TempCatalogue::writer() const
{
    return store::Connection::open(connectionString(), store::AccessMode::ReadWrite);
}

std::int64_t TempCatalogue::addMovement(int ktn) const
{
    auto connection = writer();
    connection.execute("insert into tblMovement (iKTN, iMvmt, iOrder) values (?, 1, 1)", {store::Value(ktn)});
    return connection.lastInsertId();
}

const std::filesystem::path& TempCatalogue::folder() const
{
    return m_folder.path();
}

} // namespace velk::test
