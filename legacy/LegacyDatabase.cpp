#include "legacy/LegacyDatabase.h"

#include <mdbtools.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace velk::legacy
{

namespace
{

namespace fs = std::filesystem;

// A memo's 12-byte header in the row: the length (low 24 bits) with the storage in the high bits, then the page and
// row of its first part elsewhere in the file.
constexpr std::uint32_t kMemoInline = 0x80000000u;
constexpr std::uint32_t kMemoOnePage = 0x40000000u;
constexpr std::uint32_t kMemoFlags = 0xff000000u;
constexpr std::uint32_t kMemoLengthMask = 0x00ffffffu;
constexpr int kRowOffsetMask = 0x1fff;
// A row can hold no more than this many rows per page in any format; more means the page map runs in a circle.
constexpr std::size_t kRowsPerPageBound = 1000;

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

ColumnKind kindOf(int type)
{
    switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return ColumnKind::Integer;
    case MDB_FLOAT:
        return ColumnKind::Single;
    case MDB_DOUBLE:
        return ColumnKind::Double;
    case MDB_BOOL:
        return ColumnKind::Boolean;
    case MDB_TEXT:
    case MDB_MEMO:
        return ColumnKind::Text;
    default:
        return ColumnKind::Other;
    }
}

std::string typeName(int type)
{
    switch (type) {
    case MDB_BOOL:
        return "Yes/No";
    case MDB_BYTE:
        return "Byte";
    case MDB_INT:
        return "Integer";
    case MDB_LONGINT:
        return "Long Integer";
    case MDB_MONEY:
        return "Currency";
    case MDB_FLOAT:
        return "Single";
    case MDB_DOUBLE:
        return "Double";
    case MDB_DATETIME:
        return "Date/Time";
    case MDB_BINARY:
        return "Binary";
    case MDB_TEXT:
        return "Text";
    case MDB_OLE:
        return "OLE Object";
    case MDB_MEMO:
        return "Memo";
    case MDB_REPID:
        return "Replication ID";
    case MDB_NUMERIC:
        return "Decimal";
    default:
        return "type " + std::to_string(type);
    }
}

/// Owns a table definition of the library.
struct TableDef
{
    MdbTableDef* table = nullptr;
    TableDef() = default;
    explicit TableDef(MdbTableDef* t)
        : table(t)
    {
    }
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;
    ~TableDef()
    {
        if (table) {
            mdb_free_tabledef(table);
        }
    }
};

} // namespace

struct LegacyDatabase::Impl
{
    std::string file;
    MdbHandle* mdb = nullptr;
    std::uintmax_t fileSize = 0;

    ~Impl()
    {
        if (mdb) {
            mdb_close(mdb);
        }
    }

    [[noreturn]] void damaged(const std::string& table, const std::string& what) const
    {
        throw LegacyError(file + " is damaged: " + what + " in the table " + table + " cannot be read.");
    }

    MdbCatalogEntry* entry(const std::string& name) const
    {
        if (!mdb->catalog) {
            return nullptr;
        }
        for (guint i = 0; i < mdb->catalog->len; ++i) {
            auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (candidate->object_type == MDB_TABLE && sameName(candidate->object_name, name)) {
                return candidate;
            }
        }
        return nullptr;
    }

    /// The table's definition with its columns read; an empty owner when there is no such table.
    std::unique_ptr<TableDef> table(const std::string& name) const
    {
        MdbCatalogEntry* found = entry(name);
        if (!found) {
            return nullptr;
        }
        auto def = std::make_unique<TableDef>(mdb_read_table(found));
        if (!def->table || !mdb_read_columns(def->table)) {
            damaged(name, "the table's definition");
        }
        return def;
    }

    /// The text of a Text or Memo value from its stored bytes (UCS-2, possibly compressed), converted whole.
    std::string text(const char* bytes, std::size_t size, const std::string& table) const
    {
        if (size == 0) {
            return {};
        }
        // Each stored byte gives at most two bytes of UTF-8 (a compressed Latin-1 character), each UCS-2 unit at
        // most three; a result that fills the buffer would be cut, and is refused.
        std::string out(2 * size + 16, '\0');
        const int written = mdb_unicode2ascii(mdb, bytes, size, out.data(), out.size());
        if (written < 0 || static_cast<std::size_t>(written) >= out.size() - 1) {
            damaged(table, "a text");
        }
        out.resize(static_cast<std::size_t>(written));
        return out;
    }

    /// The stored bytes of a Memo value whose 12-byte header lies at field, followed across its pages.
    std::string memoBytes(const MdbField& field, const std::string& table) const
    {
        const auto* header = static_cast<const unsigned char*>(field.value);
        if (field.siz < MDB_MEMO_OVERHEAD) {
            damaged(table, "a memo");
        }
        const auto raw = static_cast<std::uint32_t>(mdb_get_int32(field.value, 0));
        const std::size_t length = raw & kMemoLengthMask;
        if (raw & kMemoInline) {
            const std::size_t stored = static_cast<std::size_t>(field.siz) - MDB_MEMO_OVERHEAD;
            if (stored < length) {
                damaged(table, "a memo");
            }
            return std::string(reinterpret_cast<const char*>(header) + MDB_MEMO_OVERHEAD, length);
        }
        if (length > fileSize) {
            damaged(table, "a memo");
        }
        std::int32_t pageRow = static_cast<std::int32_t>(mdb_get_int32(field.value, 4));
        std::string bytes;
        if (raw & kMemoOnePage) {
            void* page = nullptr;
            int offset = 0;
            size_t size = 0;
            if (mdb_find_pg_row(mdb, pageRow, &page, &offset, &size) != 0 || size < length) {
                damaged(table, "a memo");
            }
            return std::string(static_cast<const char*>(page) + offset, length);
        }
        if ((raw & kMemoFlags) != 0) {
            damaged(table, "a memo");
        }
        // Parts chained page by page: each begins with the page and row of the next.
        std::set<std::int32_t> visited;
        while (bytes.size() < length) {
            if (pageRow == 0 || !visited.insert(pageRow).second) {
                damaged(table, "a memo");
            }
            void* page = nullptr;
            int offset = 0;
            size_t size = 0;
            if (mdb_find_pg_row(mdb, pageRow, &page, &offset, &size) != 0 || size < 4) {
                damaged(table, "a memo");
            }
            const char* part = static_cast<const char*>(page) + offset;
            pageRow = static_cast<std::int32_t>(mdb_get_int32(const_cast<char*>(part), 0));
            bytes.append(part + 4, std::min(size - 4, length - bytes.size()));
        }
        return bytes;
    }

    store::Value value(const MdbColumn& column, const MdbField& field, const std::string& table) const
    {
        if (field.siz < 0 || field.siz > mdb->fmt->pg_size) {
            damaged(table, "a value");
        }
        const ColumnKind kind = kindOf(column.col_type);
        if (kind == ColumnKind::Boolean) {
            // A Yes/No value is its null flag: set means Yes.
            return store::Value(std::int64_t {field.is_null ? 0 : 1});
        }
        if (field.is_null || kind == ColumnKind::Other) {
            return {};
        }
        const auto need = [&](int bytes) {
            if (field.siz < bytes || !field.value) {
                damaged(table, "a number");
            }
        };
        switch (column.col_type) {
        case MDB_BYTE:
            need(1);
            return store::Value(std::int64_t {mdb_get_byte(field.value, 0)});
        case MDB_INT:
            need(2);
            return store::Value(std::int64_t {static_cast<std::int16_t>(mdb_get_int16(field.value, 0))});
        case MDB_LONGINT:
            need(4);
            return store::Value(std::int64_t {static_cast<std::int32_t>(mdb_get_int32(field.value, 0))});
        case MDB_FLOAT: {
            need(4);
            const float stored = mdb_get_single(field.value, 0);
            if (!std::isfinite(stored)) {
                return {};
            }
            return store::Value(std::stod(store::formatSingle(stored)));
        }
        case MDB_DOUBLE: {
            need(8);
            const double stored = mdb_get_double(field.value, 0);
            return std::isfinite(stored) ? store::Value(stored) : store::Value();
        }
        case MDB_TEXT:
            return store::Value(
                text(static_cast<const char*>(field.value), static_cast<std::size_t>(field.siz), table));
        case MDB_MEMO: {
            if (field.siz == 0) {
                return store::Value(std::string());
            }
            const std::string bytes = memoBytes(field, table);
            return store::Value(text(bytes.data(), bytes.size(), table));
        }
        default:
            return {};
        }
    }
};

std::optional<std::size_t> LegacyTable::columnIndex(const std::string& column) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (sameName(columns[i].name, column)) {
            return i;
        }
    }
    return std::nullopt;
}

LegacyDatabase::LegacyDatabase(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

LegacyDatabase::LegacyDatabase(LegacyDatabase&&) noexcept = default;
LegacyDatabase& LegacyDatabase::operator=(LegacyDatabase&&) noexcept = default;
LegacyDatabase::~LegacyDatabase() = default;

LegacyDatabase LegacyDatabase::open(const std::string& file)
{
    std::error_code error;
    const fs::path path = fs::absolute(file, error).lexically_normal();
    const std::string name = path.string();
    if (!fs::exists(path, error)) {
        throw LegacyError(name + " does not exist.");
    }
    if (fs::is_directory(path, error)) {
        throw LegacyError(name + " is a folder, not an Access database.");
    }
    // Every Access file names its engine at byte 4; anything else is not one, whatever its name says.
    std::array<char, 20> head {};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw LegacyError(name + " cannot be read: " + std::error_code(errno, std::generic_category()).message() + ".");
    }
    in.read(head.data(), head.size());
    const std::string engine(head.data() + 4, static_cast<std::size_t>(std::max<std::streamsize>(in.gcount() - 4, 0)));
    if (engine.rfind("Standard Jet DB", 0) != 0 && engine.rfind("Standard ACE DB", 0) != 0) {
        throw LegacyError(name + " is not an Access database (.mdb or .accdb).");
    }
    // The library converts text to the character set this names; the catalogue holds UTF-8.
    ::setenv("MDBICONV", "UTF-8", 1);
    auto impl = std::make_unique<Impl>();
    impl->file = name;
    impl->fileSize = fs::file_size(path, error);
    impl->mdb = mdb_open(name.c_str(), MDB_NOFLAGS);
    if (!impl->mdb) {
        throw LegacyError(name + " cannot be read: mdbtools " + mdb_get_version()
                          + " does not read this Access format, or the file is damaged.");
    }
    if (impl->fileSize % static_cast<std::uintmax_t>(impl->mdb->fmt->pg_size) != 0) {
        throw LegacyError(name + " is damaged: it ends in the middle of a page (the file was cut short).");
    }
    if (!mdb_read_catalog(impl->mdb, MDB_ANY)) {
        throw LegacyError(name + " cannot be read: mdbtools " + mdb_get_version()
                          + " cannot read its list of tables (an encrypted or newer Access format, or a damaged "
                            "file).");
    }
    return LegacyDatabase(std::move(impl));
}

const std::string& LegacyDatabase::file() const
{
    return m_impl->file;
}

std::string LegacyDatabase::formatName() const
{
    switch (m_impl->mdb->f->jet_version) {
    case MDB_VER_JET3:
        return "Jet 3 (Access 97)";
    case MDB_VER_JET4:
        return "Jet 4 (Access 2000-2003)";
    case MDB_VER_ACCDB_2007:
        return "ACE (Access 2007)";
    case MDB_VER_ACCDB_2010:
        return "ACE (Access 2010)";
    case MDB_VER_ACCDB_2013:
        return "ACE (Access 2013)";
    case MDB_VER_ACCDB_2016:
        return "ACE (Access 2016)";
    case MDB_VER_ACCDB_2019:
        return "ACE (Access 2019)";
    default:
        return "Access";
    }
}

std::vector<std::string> LegacyDatabase::tableNames() const
{
    std::vector<std::string> names;
    GPtrArray* catalog = m_impl->mdb->catalog;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (mdb_is_user_table(entry)) {
            names.emplace_back(entry->object_name);
        }
    }
    return names;
}

std::optional<std::vector<LegacyColumn>> LegacyDatabase::columns(const std::string& table) const
{
    const auto def = m_impl->table(table);
    if (!def) {
        return std::nullopt;
    }
    std::vector<LegacyColumn> result;
    for (unsigned int i = 0; i < def->table->num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(def->table->columns, i));
        result.push_back({column->name, kindOf(column->col_type), typeName(column->col_type)});
    }
    return result;
}

std::size_t LegacyDatabase::announcedRows(const std::string& table) const
{
    const auto def = m_impl->table(table);
    return def ? def->table->num_rows : 0;
}

LegacyTable LegacyDatabase::readTable(const std::string& name, const std::function<void(std::size_t)>& onRows) const
{
    const auto def = m_impl->table(name);
    if (!def) {
        throw LegacyError(m_impl->file + " has no table " + name + ".");
    }
    MdbTableDef* table = def->table;
    MdbHandle* mdb = m_impl->mdb;
    LegacyTable result;
    result.name = table->name;
    std::vector<const MdbColumn*> columns;
    for (unsigned int i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
        columns.push_back(column);
        result.columns.push_back({column->name, kindOf(column->col_type), typeName(column->col_type)});
    }
    const std::size_t rowBound = (m_impl->fileSize / MDB_PGSIZE + 1) * kRowsPerPageBound;
    std::vector<MdbField> fields(std::max<std::size_t>(columns.size(), 1));
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        // The row just fetched is still on the current page: crack it again to read each value with its null flag.
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size) != 0
            || mdb_crack_row(table, start & kRowOffsetMask, size, fields.data()) < 0) {
            m_impl->damaged(result.name, "a row");
        }
        std::vector<store::Value> row;
        row.reserve(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            row.push_back(m_impl->value(*columns[static_cast<std::size_t>(fields[i].colnum)], fields[i], result.name));
        }
        result.rows.push_back(std::move(row));
        if (result.rows.size() > rowBound) {
            m_impl->damaged(result.name, "the list of pages");
        }
        if (onRows && result.rows.size() % 4096 == 0) {
            onRows(result.rows.size());
        }
    }
    if (onRows) {
        onRows(result.rows.size());
    }
    // A file cut short, or pages the table's map leads nowhere, end the reading without a word from the library;
    // the row count in the table's definition tells.
    if (result.rows.size() < table->num_rows) {
        throw LegacyError(m_impl->file + " is damaged: the table " + result.name + " holds "
                          + std::to_string(table->num_rows) + " rows, but only " + std::to_string(result.rows.size())
                          + " could be read.");
    }
    return result;
}

} // namespace velk::legacy
