#include "movement/MovementGridModel.h"

#include "store/MovementRecordset.h"
#include "store/Value.h"

namespace velk::movement
{

namespace
{

struct ColumnSpec
{
    const char* caption;
    const char* field;
    int widthTwips;
    bool checkBox;
    bool number;
};

constexpr std::array<ColumnSpec, MovementGridModel::ColumnCount> kColumns = {{
    {"KTN", "iKTN", 645, false, true},
    {"Mvt.", "iMvmt", 630, false, true},
    {"Ord", "iOrder", 630, false, true},
    {"TC/FP", "txtComposed", 1605, false, false},
    {"Mm.", "iLength", 630, false, true},
    {"12in", "i12in", 645, false, true},
    {"OK", "strOpeningKey", 525, false, false},
    {"CK", "strClosingKey", 525, false, false},
    {"S", "chkSoprano", 255, true, false},
    {"A", "chkAlto", 255, true, false},
    {"T", "chkTenor", 255, true, false},
    {"B", "chkBass", 255, true, false},
    {"Acc", "chkAccompanied", 495, true, false},
    {"Dev.", "Deviation", 645, false, true},
}};

bool validColumn(int column)
{
    return column >= 0 && column < MovementGridModel::ColumnCount;
}

} // namespace

MovementGridModel::MovementGridModel(store::MovementRecordset& recordset, QObject* parent)
    : QAbstractTableModel(parent)
    , m_recordset(recordset)
{
    for (int column = 0; column < ColumnCount; ++column) {
        m_fieldIndex[static_cast<std::size_t>(column)]
            = m_recordset.columnIndex(kColumns[static_cast<std::size_t>(column)].field);
    }
    m_rowCount = static_cast<int>(m_recordset.recordCount());
    m_recordset.setRowsObserver([this](const store::RowsChange& change) { onRowsChanged(change); });
}

MovementGridModel::~MovementGridModel()
{
    m_recordset.setRowsObserver(nullptr);
}

int MovementGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int MovementGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MovementGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const int column = index.column();
    const ColumnSpec& spec = kColumns[static_cast<std::size_t>(column)];
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment((spec.number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    // The classic column widths are narrow for keys and dates; the whole text shows as a tool tip.
    if (role != Qt::DisplayRole && role != Qt::CheckStateRole && role != Qt::ToolTipRole) {
        return {};
    }
    const int field = m_fieldIndex[static_cast<std::size_t>(column)];
    const auto row = static_cast<std::size_t>(index.row());
    if (field < 0 || row >= static_cast<std::size_t>(m_recordset.recordCount())) {
        return {};
    }
    const store::Value& value = m_recordset.fieldAt(row, static_cast<std::size_t>(field));
    if (value.isNull()) {
        return {};
    }
    if (spec.checkBox) {
        if (role == Qt::CheckStateRole) {
            return value.toBool() ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    if (column == Deviation) {
        return QString::fromStdString(store::formatSingle(static_cast<float>(value.toDouble())));
    }
    return QString::fromStdString(value.toText());
}

QVariant MovementGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !validColumn(section)) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return caption(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    return {};
}

Qt::ItemFlags MovementGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QString MovementGridModel::caption(int column)
{
    return validColumn(column) ? QString::fromLatin1(kColumns[static_cast<std::size_t>(column)].caption) : QString();
}

QString MovementGridModel::fieldName(int column)
{
    return validColumn(column) ? QString::fromLatin1(kColumns[static_cast<std::size_t>(column)].field) : QString();
}

int MovementGridModel::widthTwips(int column)
{
    return validColumn(column) ? kColumns[static_cast<std::size_t>(column)].widthTwips : 0;
}

bool MovementGridModel::isCheckColumn(int column)
{
    return validColumn(column) && kColumns[static_cast<std::size_t>(column)].checkBox;
}

bool MovementGridModel::isChanging() const
{
    return m_changing;
}

store::MovementRecordset& MovementGridModel::recordset() const
{
    return m_recordset;
}

void MovementGridModel::onRowsChanged(const store::RowsChange& change)
{
    // The recordset reports after the fact, so the views are told from the row count they last saw; anything
    // that does not fit a single step from that count is passed on as a reset.
    const int now = static_cast<int>(m_recordset.recordCount());
    const int row = static_cast<int>(change.row);
    m_changing = true;
    switch (change.kind) {
    case store::RowsChange::Kind::Inserted:
        if (now == m_rowCount + 1 && row >= 0 && row <= m_rowCount) {
            beginInsertRows(QModelIndex(), row, row);
            m_rowCount = now;
            endInsertRows();
        } else {
            reset();
        }
        break;
    case store::RowsChange::Kind::Removed:
        if (now == m_rowCount - 1 && row >= 0 && row < m_rowCount) {
            beginRemoveRows(QModelIndex(), row, row);
            m_rowCount = now;
            endRemoveRows();
        } else {
            reset();
        }
        break;
    case store::RowsChange::Kind::Changed:
        if (now == m_rowCount && row >= 0 && row < m_rowCount) {
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        } else {
            reset();
        }
        break;
    }
    m_changing = false;
    emit rowsSettled();
}

void MovementGridModel::reset()
{
    beginResetModel();
    for (int column = 0; column < ColumnCount; ++column) {
        m_fieldIndex[static_cast<std::size_t>(column)]
            = m_recordset.columnIndex(kColumns[static_cast<std::size_t>(column)].field);
    }
    m_rowCount = static_cast<int>(m_recordset.recordCount());
    endResetModel();
}

} // namespace velk::movement
