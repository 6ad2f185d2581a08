#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstddef>

namespace velk::store
{
class MovementRecordset;
struct RowsChange;
} // namespace velk::store

namespace velk::movement
{

/// The movement grid's table over the movement recordset: one line per recordset row (0-based, in the
/// recordset's order), fourteen columns. Read-only. Values are read from the recordset whenever a view asks;
/// nothing is copied per row. A Null field shows empty (no text, and no check box in a check-box column).
///
/// The model installs itself as the recordset's rows observer and takes it back when it goes; the recordset
/// must outlive the model.
class MovementGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        KTN,
        Mvmt,
        Order,
        Composed,
        Length,
        TwelveInch,
        OpeningKey,
        ClosingKey,
        Soprano,
        Alto,
        Tenor,
        Bass,
        Accompanied,
        Deviation,
        ColumnCount
    };

    explicit MovementGridModel(store::MovementRecordset& recordset, QObject* parent = nullptr);
    ~MovementGridModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    /// DisplayRole: the field as text (Deviation in single precision); CheckStateRole for the five check-box
    /// columns; TextAlignmentRole: numbers to the right.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// Horizontal: the caption of each column; vertical: nothing.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Caption of a column ("KTN", "Mvt.", ...); empty outside 0..13.
    static QString caption(int column);
    /// Field name of a column in tblMovement ("iKTN", ...); empty outside 0..13.
    static QString fieldName(int column);
    /// Width of a column in twips; 0 outside 0..13.
    static int widthTwips(int column);
    /// True for the columns shown as check boxes.
    static bool isCheckColumn(int column);

    /// True while the model passes a change of the recordset's rows on to its views.
    bool isChanging() const;

    store::MovementRecordset& recordset() const;

signals:
    /// A change of the recordset's rows has been passed on to the views (after the model's own signals).
    void rowsSettled();

private:
    void onRowsChanged(const store::RowsChange& change);
    void reset();

    store::MovementRecordset& m_recordset;
    std::array<int, ColumnCount> m_fieldIndex {}; // recordset column of each grid column, -1 when missing
    int m_rowCount = 0; // rows the views know about
    bool m_changing = false;
};

} // namespace velk::movement
