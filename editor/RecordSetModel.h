#pragma once
// The grid's model over a recordset: the records, a new-row line at the bottom
// (for a recordset that can be written), and the one pending row with its edits.
#include "data/adodb.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <map>
#include <optional>
#include <memory>

class RecordSetModel : public QAbstractTableModel {
public:
    explicit RecordSetModel(QObject* parent = nullptr);

    void setRecordSet(std::shared_ptr<ADODB::RecordSet> recordset);
    const std::shared_ptr<ADODB::RecordSet>& recordSet() const { return recordset_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    qsizetype records() const { return records_; }
    // Waits for a large table's count where it is still being taken, so that
    // records() is exact (the exports and "Add New Row" need it).
    void requireExactCount();
    int newRowLine() const { return hasNewRowLine() ? int(records_) : -1; }
    bool hasNewRowLine() const { return recordset_ && recordset_->canInsert(); }
    QString displayText(int row, int column) const;
    // The displayed text as stored UTF-8 bytes, where it is stored so (not an
    // edit being typed, not a BLOB marker); false otherwise.
    bool displayBytes(int row, int column, std::string_view* bytes) const;

    int pendingRow() const { return pendingRow_; }
    bool hasPendingRow() const { return pendingRow_ >= 0; }
    // Writes the pending row; throws AppError when the database refuses it, and
    // then the row stays pending with everything typed.
    void commitPending();
    void revertPending();
    // Deletes records in one transaction; throws AppError when refused.
    void deleteRecords(const std::vector<qsizetype>& rows);

private:
    void refreshRow(int row);
    void clearPending();
    // Takes the record count as it now stands: rows added or removed at the end,
    // the user's place and a pending row kept.
    void applyCount();
    bool isBlob(int row, int column) const;

    std::shared_ptr<ADODB::RecordSet> recordset_;
    qsizetype records_ = 0;
    int pendingRow_ = -1;
    std::map<int, QString> edits_;
    // Who the pending row is, taken when its first edit started; or why it could not be.
    std::optional<ADODB::RowIdentity> identity_;
    QString identityError_;
    QTimer* countTimer_;
};
