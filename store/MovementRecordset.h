#pragma once

#include "store/Connection.h"
#include "store/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::store
{

/// Why the current row of the movement recordset moved.
enum class MoveReason
{
    Move,
    MoveFirst,
    MoveNext,
    MovePrevious,
    MoveLast,
    UndoUpdate,
    UndoDelete
};

/// Edit state of the current row, with the values the window compares against.
enum class EditState
{
    None = 0,
    InProgress = 1,
    Added = 2,
    Deleted = 4
};

enum class Affect
{
    Current,
    All
};

/// What happened to the rows, for a view (the movement grid) that shows them.
struct RowsChange
{
    enum class Kind
    {
        Inserted,
        Removed,
        Changed
    };
    Kind kind = Kind::Changed;
    std::size_t row = 0; ///< 0-based row index, for Inserted, Removed and Changed
};

/// The movement recordset: a client-side snapshot of tblMovement in catalogue order with batch-optimistic
/// changes. Field changes, added rows and deletions stay in memory until updateBatch writes them; cancelBatch
/// discards them. Each row is kept packed in one block of bytes (about the size of its values in the file, a third
/// of what a Value per field takes), so a catalogue of 100,000 movements stays small in memory; a field is unpacked
/// when asked for.
///
/// Moves. Every move asks the before-move observer first (it may refuse; nothing then changes) and reports the
/// after-move observer once the row has changed. Moving past either end leaves BOF or EOF (no clamping); a
/// further move the other way comes back to the first or last row.
///
/// Defined reasons and resulting rows:
///  - moveFirst/Last/Next/Previous: asks and reports MoveFirst, MoveLast, MoveNext, MovePrevious.
///  - moveTo(row) (a click in the grid): asks and reports Move.
///  - addNew: asks Move; appends a row with Null fields (iMovementID Null) at the end and makes it current;
///    reports Move.
///  - deleteCurrent + updateBatch: the deleted row is removed from the snapshot when the batch is written.
///    The row that followed it becomes current, else the one before it, else there is none (BOF and EOF);
///    reported as Move without asking (the old row is gone, there is nothing to refuse).
///  - cancelBatch of an added row: the row is removed and the position before addNew returns (a row, BOF or
///    EOF), reported as Move without asking.
///  - cancelBatch of a changed row: the old values return; the row stays current; reported as UndoUpdate.
class MovementRecordset
{
public:
    static constexpr const char* kRecordSource = "select * from tblMovement order by iKTN, imvmt, iOrder";

    /// Before a move; return false to refuse it.
    using WillMove = std::function<bool(MoveReason)>;
    /// After a completed move.
    using MoveComplete = std::function<void(MoveReason)>;
    using RowsObserver = std::function<void(const RowsChange&)>;

    /// Takes over a read-write connection and reads the snapshot; the first row (if any) is current, with no
    /// notification. Throws StoreError.
    explicit MovementRecordset(Connection connection);

    void setWillMove(WillMove observer);
    void setMoveComplete(MoveComplete observer);
    void setRowsObserver(RowsObserver observer);

    bool bof() const;
    bool eof() const;
    /// 1-based position of the current row; negative when there is none.
    long position() const;
    /// 0-based index of the current row, nothing when there is none.
    std::optional<std::size_t> currentIndex() const;
    /// Number of rows in the snapshot, rows added and not yet written included. Never negative.
    long recordCount() const;

    /// Each returns false when the before-move observer refused.
    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();
    bool moveTo(std::size_t row);

    const std::vector<std::string>& columns() const;
    /// Index of a column by name, without regard to case; -1 when there is none.
    int columnIndex(std::string_view name) const;
    /// True for columns declared INTEGER (whole numbers only).
    bool isIntegerColumn(std::string_view name) const;

    /// A field of the current row by name (case-insensitive). Throws StoreError when there is no current row
    /// or no such column.
    Value field(std::string_view name) const;
    /// A field of any row, for the grid.
    Value fieldAt(std::size_t row, std::size_t column) const;

    /// Writes a field of the current row in memory; the row becomes InProgress unless it is Added.
    void setField(std::string_view name, Value value);
    EditState editState() const;

    /// Takes a value that was written to the file by other means (the deviation stored with a sequence) into the
    /// row of the movement with that id, as what the file holds: the row's edit state stays as it was, and a
    /// pending edit of the row does not write the value again. Reports the row as changed. Does nothing when no
    /// row has that id.
    void takeStoredValue(std::int64_t movementId, std::string_view name, const Value& value);

    void addNew();
    /// Marks the current row deleted; it stays current until updateBatch.
    void deleteCurrent();
    /// Writes pending changes of the current row or of all rows in one transaction. On failure (StoreError) the
    /// pending changes stay as they were. An added row holds its new iMovementID afterwards.
    void updateBatch(Affect affect);
    /// Moves the current row to its place in the catalogue order (iKTN, iMvmt, iOrder; Null first, equal keys
    /// in the order they were read), for a row just written. It stays current; reported as rows, not as a move.
    void placeCurrentInOrder();
    /// Discards the pending changes of the current row.
    void cancelBatch();

    Connection& connection();

private:
    struct Row
    {
        std::string values; // packed (packRow in the source)
        std::unique_ptr<std::string> original; // the values as stored, kept once a stored row changes
        EditState state = EditState::None;
    };

    /// What writing one row produced, applied to the snapshot only once the whole batch is committed.
    struct Written
    {
        std::size_t row;
        bool removed = false;
        std::vector<Value> values; // the row as stored, when not removed
    };

    bool askMove(MoveReason reason);
    void setIndex(long index, MoveReason reason);
    void load();
    Written writeRow(std::size_t index);
    std::vector<Value> readStoredRow(std::int64_t id);
    void notifyRows(RowsChange::Kind kind, std::size_t row);
    const Row& currentRow() const;
    Row& currentRow();

    Connection m_connection;
    std::vector<std::string> m_columns;
    std::vector<bool> m_integerColumns;
    int m_idColumn = -1;
    std::vector<Row> m_rows;
    long m_index = -1; // 0-based; -1 BOF, size() EOF
    std::optional<long> m_indexBeforeAdd; // the position before addNew: a row, -1 (BOF) or the row count (EOF)
    WillMove m_willMove;
    MoveComplete m_moveComplete;
    RowsObserver m_rowsObserver;
};

} // namespace velk::store
