#include "store/MovementRecordset.h"

#include "store/StoreError.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace velk::store
{

namespace
{

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

constexpr const char* kIdColumn = "iMovementID";

// A packed row holds each field in column order: a tag byte, then the value in as few bytes as it needs.
enum Tag : unsigned char
{
    kNull,
    kInt8,
    kInt16,
    kInt32,
    kInt64,
    kReal,
    kShortText, // a length byte, then the bytes
    kLongText // four length bytes, then the bytes
};

template <typename T>
void appendBytes(std::string& out, T value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <typename T>
T readBytes(const char* at)
{
    T value;
    std::memcpy(&value, at, sizeof(T));
    return value;
}

void appendValue(std::string& out, const Value& value)
{
    if (value.isNull()) {
        out.push_back(static_cast<char>(kNull));
    } else if (value.isInteger()) {
        const std::int64_t v = value.toInt64();
        if (v >= INT8_MIN && v <= INT8_MAX) {
            out.push_back(static_cast<char>(kInt8));
            appendBytes(out, static_cast<std::int8_t>(v));
        } else if (v >= INT16_MIN && v <= INT16_MAX) {
            out.push_back(static_cast<char>(kInt16));
            appendBytes(out, static_cast<std::int16_t>(v));
        } else if (v >= INT32_MIN && v <= INT32_MAX) {
            out.push_back(static_cast<char>(kInt32));
            appendBytes(out, static_cast<std::int32_t>(v));
        } else {
            out.push_back(static_cast<char>(kInt64));
            appendBytes(out, v);
        }
    } else if (value.isReal()) {
        out.push_back(static_cast<char>(kReal));
        appendBytes(out, value.toDouble());
    } else {
        const std::string text = value.toText();
        if (text.size() <= UINT8_MAX) {
            out.push_back(static_cast<char>(kShortText));
            appendBytes(out, static_cast<std::uint8_t>(text.size()));
        } else {
            out.push_back(static_cast<char>(kLongText));
            appendBytes(out, static_cast<std::uint32_t>(text.size()));
        }
        out += text;
    }
}

/// The values packed into one block of exactly their size.
std::string packRow(const std::vector<Value>& values)
{
    thread_local std::string scratch;
    scratch.clear();
    for (const Value& value : values) {
        appendValue(scratch, value);
    }
    return std::string(scratch.data(), scratch.size());
}

/// The field at.
Value unpackValue(const char* at)
{
    switch (static_cast<Tag>(*at)) {
    case kNull:
        break;
    case kInt8:
        return Value(static_cast<std::int64_t>(readBytes<std::int8_t>(at + 1)));
    case kInt16:
        return Value(static_cast<std::int64_t>(readBytes<std::int16_t>(at + 1)));
    case kInt32:
        return Value(static_cast<std::int64_t>(readBytes<std::int32_t>(at + 1)));
    case kInt64:
        return Value(readBytes<std::int64_t>(at + 1));
    case kReal:
        return Value(readBytes<double>(at + 1));
    case kShortText:
        return Value(std::string(at + 2, readBytes<std::uint8_t>(at + 1)));
    case kLongText:
        return Value(std::string(at + 5, readBytes<std::uint32_t>(at + 1)));
    }
    return Value();
}

/// The bytes the field at takes, without unpacking it.
std::size_t packedSize(const char* at)
{
    switch (static_cast<Tag>(*at)) {
    case kInt8:
        return 2;
    case kInt16:
        return 3;
    case kInt32:
        return 5;
    case kInt64:
    case kReal:
        return 9;
    case kShortText:
        return 2 + readBytes<std::uint8_t>(at + 1);
    case kLongText:
        return 5 + readBytes<std::uint32_t>(at + 1);
    case kNull:
        break;
    }
    return 1;
}

std::vector<Value> unpackRow(const std::string& packed)
{
    std::vector<Value> values;
    for (std::size_t at = 0; at < packed.size(); at += packedSize(packed.data() + at)) {
        values.push_back(unpackValue(packed.data() + at));
    }
    return values;
}

Value unpackField(const std::string& packed, std::size_t column)
{
    std::size_t at = 0;
    for (std::size_t c = 0; c < column; ++c) {
        at += packedSize(packed.data() + at);
    }
    return unpackValue(packed.data() + at);
}

/// Packs the row again with one field replaced.
void replaceField(std::string& packed, std::size_t column, Value value)
{
    std::vector<Value> values = unpackRow(packed);
    values[column] = std::move(value);
    packed = packRow(values);
}

} // namespace

MovementRecordset::MovementRecordset(Connection connection)
    : m_connection(std::move(connection))
{
    load();
}

void MovementRecordset::load()
{
    std::vector<std::string> columns;
    std::vector<bool> integerColumns;
    std::vector<Row> rows;
    // The snapshot is read once, from end to end, and kept here: the pages it passes need no place in the page cache.
    const std::int64_t cacheSize = m_connection.integers("PRAGMA cache_size").at(0);
    m_connection.execute("PRAGMA cache_size = -2048");
    try {
        m_connection.forEachRow(
            kRecordSource, {},
            [&](const std::vector<std::string>& names, const std::vector<std::string>& types) {
                columns = names;
                for (const std::string& type : types) {
                    integerColumns.push_back(sameName(type, "INTEGER"));
                }
            },
            [&](const std::vector<Value>& values) {
                rows.push_back(Row {packRow(values), nullptr, EditState::None});
            });
    } catch (...) {
        m_connection.execute("PRAGMA cache_size = " + std::to_string(cacheSize));
        throw;
    }
    m_connection.execute("PRAGMA cache_size = " + std::to_string(cacheSize));
    rows.shrink_to_fit();
    const auto id = std::find_if(columns.begin(), columns.end(),
                                 [](const std::string& name) { return sameName(name, kIdColumn); });
    if (id == columns.end()) {
        throw StoreError("The table tblMovement of " + m_connection.path() + " has no column iMovementID.");
    }
    const auto idColumn = static_cast<int>(id - columns.begin());
    m_columns = std::move(columns);
    m_integerColumns = std::move(integerColumns);
    m_idColumn = idColumn;
    m_rows = std::move(rows);
    m_index = m_rows.empty() ? -1 : 0;
    m_indexBeforeAdd.reset();
}

void MovementRecordset::setWillMove(WillMove observer)
{
    m_willMove = std::move(observer);
}

void MovementRecordset::setMoveComplete(MoveComplete observer)
{
    m_moveComplete = std::move(observer);
}

void MovementRecordset::setRowsObserver(RowsObserver observer)
{
    m_rowsObserver = std::move(observer);
}

bool MovementRecordset::bof() const
{
    return m_rows.empty() || m_index < 0;
}

bool MovementRecordset::eof() const
{
    return m_rows.empty() || m_index >= static_cast<long>(m_rows.size());
}

long MovementRecordset::position() const
{
    return currentIndex() ? m_index + 1 : -1;
}

std::optional<std::size_t> MovementRecordset::currentIndex() const
{
    if (bof() || eof()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(m_index);
}

long MovementRecordset::recordCount() const
{
    return static_cast<long>(m_rows.size());
}

bool MovementRecordset::askMove(MoveReason reason)
{
    return !m_willMove || m_willMove(reason);
}

void MovementRecordset::setIndex(long index, MoveReason reason)
{
    m_index = index;
    if (m_moveComplete) {
        m_moveComplete(reason);
    }
}

void MovementRecordset::notifyRows(RowsChange::Kind kind, std::size_t row)
{
    if (m_rowsObserver) {
        m_rowsObserver(RowsChange {kind, row});
    }
}

bool MovementRecordset::moveFirst()
{
    if (!askMove(MoveReason::MoveFirst)) {
        return false;
    }
    setIndex(m_rows.empty() ? -1 : 0, MoveReason::MoveFirst);
    return true;
}

bool MovementRecordset::moveLast()
{
    if (!askMove(MoveReason::MoveLast)) {
        return false;
    }
    setIndex(static_cast<long>(m_rows.size()) - 1, MoveReason::MoveLast);
    return true;
}

bool MovementRecordset::moveNext()
{
    if (!askMove(MoveReason::MoveNext)) {
        return false;
    }
    setIndex(std::min(m_index + 1, static_cast<long>(m_rows.size())), MoveReason::MoveNext);
    return true;
}

bool MovementRecordset::movePrevious()
{
    if (!askMove(MoveReason::MovePrevious)) {
        return false;
    }
    setIndex(std::max(m_index - 1, -1L), MoveReason::MovePrevious);
    return true;
}

bool MovementRecordset::moveTo(std::size_t row)
{
    if (row >= m_rows.size()) {
        throw StoreError("There is no movement row " + std::to_string(row + 1) + "; the list holds "
                         + std::to_string(m_rows.size()) + ".");
    }
    if (!askMove(MoveReason::Move)) {
        return false;
    }
    setIndex(static_cast<long>(row), MoveReason::Move);
    return true;
}

const std::vector<std::string>& MovementRecordset::columns() const
{
    return m_columns;
}

int MovementRecordset::columnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (sameName(m_columns[i], name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool MovementRecordset::isIntegerColumn(std::string_view name) const
{
    const int column = columnIndex(name);
    return column >= 0 && m_integerColumns[static_cast<std::size_t>(column)];
}

const MovementRecordset::Row& MovementRecordset::currentRow() const
{
    const auto index = currentIndex();
    if (!index) {
        throw StoreError("There is no current movement.");
    }
    return m_rows[*index];
}

MovementRecordset::Row& MovementRecordset::currentRow()
{
    return const_cast<Row&>(static_cast<const MovementRecordset*>(this)->currentRow());
}

Value MovementRecordset::field(std::string_view name) const
{
    const Row& row = currentRow();
    const int column = columnIndex(name);
    if (column < 0) {
        throw StoreError("The movement list has no field named " + std::string(name) + ".");
    }
    return unpackField(row.values, static_cast<std::size_t>(column));
}

Value MovementRecordset::fieldAt(std::size_t row, std::size_t column) const
{
    if (row >= m_rows.size() || column >= m_columns.size()) {
        throw StoreError("There is no movement field at row " + std::to_string(row + 1) + ", column "
                         + std::to_string(column + 1) + ".");
    }
    return unpackField(m_rows[row].values, column);
}

void MovementRecordset::setField(std::string_view name, Value value)
{
    Row& row = currentRow();
    const int column = columnIndex(name);
    if (column < 0) {
        throw StoreError("The movement list has no field named " + std::string(name) + ".");
    }
    if (column == m_idColumn) {
        throw StoreError("The field iMovementID is assigned by the catalogue and cannot be set.");
    }
    if (row.state == EditState::Deleted) {
        throw StoreError("The movement is marked for deletion; its fields cannot be changed.");
    }
    if (row.state == EditState::None) {
        row.original = std::make_unique<std::string>(row.values);
        row.state = EditState::InProgress;
    }
    replaceField(row.values, static_cast<std::size_t>(column), std::move(value));
    notifyRows(RowsChange::Kind::Changed, static_cast<std::size_t>(m_index));
}

void MovementRecordset::takeStoredValue(std::int64_t movementId, std::string_view name, const Value& value)
{
    const int column = columnIndex(name);
    if (column < 0) {
        throw StoreError("The movement list has no field named " + std::string(name) + ".");
    }
    const auto c = static_cast<std::size_t>(column);
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        Row& row = m_rows[r];
        const Value id = unpackField(row.values, static_cast<std::size_t>(m_idColumn));
        if (id.isNull() || id.toInt64() != movementId) {
            continue;
        }
        replaceField(row.values, c, value);
        if (row.original) {
            replaceField(*row.original, c, value);
        }
        notifyRows(RowsChange::Kind::Changed, r);
        return;
    }
}

EditState MovementRecordset::editState() const
{
    const auto index = currentIndex();
    return index ? m_rows[*index].state : EditState::None;
}

void MovementRecordset::addNew()
{
    if (!askMove(MoveReason::Move)) {
        return;
    }
    // The position itself, a row or either end, so that a cancel comes back exactly there.
    m_indexBeforeAdd = m_index;
    m_rows.push_back(Row {packRow(std::vector<Value>(m_columns.size())), nullptr, EditState::Added});
    notifyRows(RowsChange::Kind::Inserted, m_rows.size() - 1);
    setIndex(static_cast<long>(m_rows.size()) - 1, MoveReason::Move);
}

void MovementRecordset::deleteCurrent()
{
    Row& row = currentRow();
    row.state = EditState::Deleted;
}

std::vector<Value> MovementRecordset::readStoredRow(std::int64_t id)
{
    const std::string sql = "select * from tblMovement where iMovementID = ?";
    ResultSet stored = m_connection.query(sql, {Value(id)});
    if (stored.recordCount() != 1 || stored.columnCount() != m_columns.size()) {
        throw StoreError("This movement was changed or removed by another program; it was not saved.");
    }
    return stored.rows().front();
}

MovementRecordset::Written MovementRecordset::writeRow(std::size_t index)
{
    const Row& row = m_rows[index];
    const std::vector<Value> values = unpackRow(row.values);
    const Value& id = values[static_cast<std::size_t>(m_idColumn)];
    Written written {index, false, values};
    switch (row.state) {
    case EditState::None:
        break;
    case EditState::Deleted:
        written.removed = true;
        if (!id.isNull()) {
            // The sequence rows of the movement go with it (ON DELETE CASCADE), inside the same transaction.
            m_connection.execute("delete from tblMovement where iMovementID = ?", {id});
        }
        break;
    case EditState::Added: {
        // Null fields are left out, so the columns with a default (the check boxes) receive it.
        std::string names;
        std::string marks;
        std::vector<Value> params;
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            if (static_cast<int>(c) == m_idColumn || values[c].isNull()) {
                continue;
            }
            names += (names.empty() ? "" : ", ") + m_columns[c];
            marks += marks.empty() ? "?" : ", ?";
            params.push_back(values[c]);
        }
        m_connection.execute(names.empty() ? "insert into tblMovement default values"
                                           : "insert into tblMovement (" + names + ") values (" + marks + ")",
                             params);
        written.values = readStoredRow(m_connection.lastInsertId());
        break;
    }
    case EditState::InProgress: {
        std::string assignments;
        std::vector<Value> params;
        const std::vector<Value> original = row.original ? unpackRow(*row.original) : std::vector<Value> {};
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            if (row.original && values[c] == original[c]) {
                continue;
            }
            assignments += (assignments.empty() ? "" : ", ") + m_columns[c] + " = ?";
            params.push_back(values[c]);
        }
        if (assignments.empty()) {
            break;
        }
        params.push_back(id);
        const int changed
            = m_connection.execute("update tblMovement set " + assignments + " where iMovementID = ?", params);
        if (changed == 0) {
            throw StoreError("This movement was changed or removed by another program; it was not saved.");
        }
        written.values = readStoredRow(id.toInt64());
        break;
    }
    }
    return written;
}

void MovementRecordset::updateBatch(Affect affect)
{
    std::vector<std::size_t> pending;
    if (affect == Affect::All) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].state != EditState::None) {
                pending.push_back(i);
            }
        }
    } else if (const auto index = currentIndex(); index && m_rows[*index].state != EditState::None) {
        pending.push_back(*index);
    }
    if (pending.empty()) {
        return;
    }

    // Everything is written first and applied to the snapshot only after the commit, so a failure leaves every
    // pending change exactly as it was.
    std::vector<Written> results;
    {
        Transaction transaction(m_connection);
        for (std::size_t index : pending) {
            results.push_back(writeRow(index));
        }
        transaction.commit();
    }

    std::vector<std::size_t> removed;
    for (Written& written : results) {
        if (written.removed) {
            removed.push_back(written.row);
            continue;
        }
        Row& row = m_rows[written.row];
        if (row.state == EditState::Added && static_cast<long>(written.row) == m_index) {
            m_indexBeforeAdd.reset();
        }
        row.values = packRow(written.values);
        row.original.reset();
        row.state = EditState::None;
        notifyRows(RowsChange::Kind::Changed, written.row);
    }
    if (removed.empty()) {
        return;
    }

    const auto isRemoved = [&](long i) {
        return std::find(removed.begin(), removed.end(), static_cast<std::size_t>(i)) != removed.end();
    };
    const auto removedBefore = [&](long i) {
        return static_cast<long>(
            std::count_if(removed.begin(), removed.end(), [i](std::size_t r) { return static_cast<long>(r) < i; }));
    };
    const long oldIndex = m_index;
    const long oldSize = static_cast<long>(m_rows.size());
    const bool currentRemoved = currentIndex().has_value() && isRemoved(oldIndex);
    long newIndex = oldIndex;
    if (currentRemoved) {
        // The row that followed the deleted one, else the one before it, else none.
        newIndex = -1;
        for (long i = oldIndex + 1; i < oldSize && newIndex < 0; ++i) {
            if (!isRemoved(i)) {
                newIndex = i - removedBefore(i);
            }
        }
        for (long i = oldIndex - 1; i >= 0 && newIndex < 0; --i) {
            if (!isRemoved(i)) {
                newIndex = i - removedBefore(i);
            }
        }
    } else if (oldIndex >= 0) {
        newIndex = oldIndex - removedBefore(oldIndex);
    }
    if (m_indexBeforeAdd && *m_indexBeforeAdd >= 0) {
        m_indexBeforeAdd = isRemoved(*m_indexBeforeAdd) ? -1 : *m_indexBeforeAdd - removedBefore(*m_indexBeforeAdd);
    }

    // Highest first, so that each index the grid hears of is still valid; no row is current meanwhile.
    std::sort(removed.rbegin(), removed.rend());
    m_index = -1;
    for (std::size_t index : removed) {
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
        notifyRows(RowsChange::Kind::Removed, index);
    }
    if (currentRemoved) {
        setIndex(newIndex, MoveReason::Move);
    } else {
        m_index = newIndex;
    }
}

namespace
{

// Where a value sorts in the catalogue order: Null first, then numbers, then texts.
bool sortsBefore(const Value& a, const Value& b)
{
    const auto rank = [](const Value& v) {
        return v.isNull() ? 0 : v.isText() ? 2 : 1;
    };
    if (rank(a) != rank(b)) {
        return rank(a) < rank(b);
    }
    if (a.isText()) {
        return a.toText() < b.toText();
    }
    return !a.isNull() && a.toDouble() < b.toDouble();
}

} // namespace

void MovementRecordset::placeCurrentInOrder()
{
    const auto index = currentIndex();
    if (!index) {
        return;
    }
    std::vector<std::size_t> keys;
    for (const char* name : {"iKTN", "iMvmt", "iOrder"}) {
        const int column = columnIndex(name);
        if (column >= 0) {
            keys.push_back(static_cast<std::size_t>(column));
        }
    }
    const auto before = [&keys](const Row& a, const Row& b) {
        for (std::size_t key : keys) {
            const Value first = unpackField(a.values, key);
            const Value second = unpackField(b.values, key);
            if (sortsBefore(first, second)) {
                return true;
            }
            if (sortsBefore(second, first)) {
                return false;
            }
        }
        return false;
    };
    // After every other row that sorts with it or before it, as a new read of the table would place it.
    Row row = std::move(m_rows[*index]);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(*index));
    const auto place = std::upper_bound(m_rows.begin(), m_rows.end(), row, before);
    const auto target = static_cast<std::size_t>(place - m_rows.begin());
    if (target == *index) {
        m_rows.insert(place, std::move(row));
        return;
    }
    // The grid hears of the row leaving and arriving; the row stays current, so nothing moves.
    m_index = -1;
    notifyRows(RowsChange::Kind::Removed, *index);
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(target), std::move(row));
    m_index = static_cast<long>(target);
    notifyRows(RowsChange::Kind::Inserted, target);
}

void MovementRecordset::cancelBatch()
{
    const auto index = currentIndex();
    if (!index) {
        return;
    }
    Row& row = m_rows[*index];
    switch (row.state) {
    case EditState::None:
        break;
    case EditState::InProgress:
        row.values = std::move(*row.original);
        row.original.reset();
        row.state = EditState::None;
        notifyRows(RowsChange::Kind::Changed, *index);
        setIndex(m_index, MoveReason::UndoUpdate);
        break;
    case EditState::Added: {
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(*index));
        const long size = static_cast<long>(m_rows.size());
        const long before = std::clamp(m_indexBeforeAdd.value_or(-1), -1L, size);
        m_indexBeforeAdd.reset();
        m_index = std::min(m_index, size - 1);
        notifyRows(RowsChange::Kind::Removed, *index);
        setIndex(size == 0 ? -1 : before, MoveReason::Move);
        break;
    }
    case EditState::Deleted:
        if (unpackField(row.values, static_cast<std::size_t>(m_idColumn)).isNull()) {
            row.state = EditState::Added;
        } else {
            if (row.original) {
                row.values = std::move(*row.original);
                row.original.reset();
                notifyRows(RowsChange::Kind::Changed, *index);
            }
            row.state = EditState::None;
        }
        setIndex(m_index, MoveReason::UndoDelete);
        break;
    }
}

Connection& MovementRecordset::connection()
{
    return m_connection;
}

} // namespace velk::store
