#pragma once
// The grid's model over a recordset: the records, a new-row line at the bottom
// (for a recordset that can be written), and the one pending row with its edits.
//
// Records are counted from the table's first (0); the new-row line is the record
// after the last. The model's rows are a span of at most spanRows() of these
// lines, starting at base(): the grid keeps a few bytes per row of its model,
// which a table of a hundred million rows must not cost. Everything below that
// names a record takes a record index, not a row of the model.
#include "data/adodb.h"
#include "data/edithistory.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <memory>

class RecordSetModel : public QAbstractTableModel {
public:
    explicit RecordSetModel(QObject* parent = nullptr);

    // How many lines the model shows at most at a time.
    static void setSpanRows(int rows);
    static int spanRows();

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
    // While a block is written the rows are half written: the cells answer
    // with nothing (what asks is a paint, done again once the block ends).
    void holdReads(bool held) { readsHeld_ = held; }
    qsizetype newRowRecord() const { return hasNewRowLine() ? records_ : -1; }
    bool hasNewRowLine() const { return recordset_ && recordset_->canInsert(); }
    qsizetype lines() const { return records_ + (hasNewRowLine() ? 1 : 0); }

    // The span: the first line shown, the record of a row, the row of a
    // record (-1 where it is outside), and whether lines lie outside.
    qsizetype base() const { return base_; }
    qsizetype recordAt(int row) const { return base_ + row; }
    int rowOf(qsizetype record) const { return record >= base_ && record < base_ + rows_ ? int(record - base_) : -1; }
    bool isPartial() const { return base_ > 0 || base_ + rows_ < lines(); }
    // Moves the span to start at base (kept within the lines); a model reset.
    // beforeMove runs before anything changes, afterMove once the rows are new.
    void moveSpan(qsizetype base);
    // Moves the span, where needed, so that the record is one of its rows.
    void showRecord(qsizetype record);
    std::function<void()> beforeMove;
    std::function<void()> afterMove;

    QString displayText(qsizetype record, int column) const;
    // The displayed text as stored UTF-8 bytes, where it is stored so (not an
    // edit being typed, not a BLOB marker); false otherwise.
    bool displayBytes(qsizetype record, int column, std::string_view* bytes) const;

    qsizetype pendingRecord() const { return pending_; }
    bool hasPendingRow() const { return pending_ >= 0; }
    // Whether the pending row is no longer in the table as it was read.
    bool pendingRowGone() const { return pendingGone_; }

    // Following the file under a table read in pages: whether another program
    // (or our own write) has moved its rows since they were placed; who stands
    // at a record (unset where that cannot be told); the pending row's anchor.
    bool fileChanged(bool settle = false);
    // The reading of the file that the records' positions belong to.
    quint64 generation() const { return generation_; }
    RowAnchor anchorAt(qsizetype record) const;
    const RowAnchor& pendingAnchor() const { return pendingAnchor_; }
    // Takes the table as it is now: the pending row where it was found again,
    // and the span from base (a model reset, through beforeMove and afterMove).
    void placeAgain(const AnchorPlace& pending, qsizetype base);
    // Runs when rows arrived or the count was taken (on the model's own poll).
    std::function<void()> onCountTaken;
    // Runs when our own write has moved rows (the grid finds its rows again).
    std::function<void()> onFileChanged;
    // Writes the pending row; throws AppError when the database refuses it, and
    // then the row stays pending with everything typed.
    void commitPending();
    void revertPending();
    // Deletes records in one transaction; throws AppError when refused.
    void deleteRecords(const std::vector<qsizetype>& records);
    // The writes of this table that can be taken back (each commit, delete,
    // paste and Replace All is a step); cleared when another table is shown.
    EditHistory& history() { return history_; }
    // Rows were written beside the pending row (a paste, an undo): the count
    // and the rows shown are taken again.
    void rowsWritten();
    // A page that cannot be read is shown as not read (kNotRead, in grey) and
    // told of once, through onUnreadable with the database's reason; it is read
    // again when the user comes back to it (readAgain: the grid scrolled).
    std::function<void(const QString&)> onUnreadable;
    void readAgain();
    static inline const QString kNotRead = QStringLiteral("(not read)");
    // A row of an order that another program deleted since the order was built.
    static inline const QString kGone = QStringLiteral("(deleted)");

private:
    void refreshRecord(qsizetype record);
    void refreshAll();
    void clearPending();
    // Takes a new record count: lines added or removed at the end, the span
    // following where it shows the end, a pending row kept.
    void takeCount(qsizetype now);
    void applyCount() { takeCount(recordset_->recordCount()); }
    // Shows the span from base (kept within the lines) with that many records: a model reset.
    void rebuild(qsizetype base, qsizetype records);
    bool isBlob(qsizetype record, int column) const;
    int rowsFrom(qsizetype base) const;
    bool unread(qsizetype record) const;
    bool gone(qsizetype record) const;
    // The heading's mark of a sort key: its arrow and rank, and the same in words.
    QVariant sortMark(int column, int role) const;
    void noteUnread(qsizetype record, const QString& why) const;

    std::shared_ptr<ADODB::RecordSet> recordset_;
    qsizetype records_ = 0;
    bool readsHeld_ = false;
    qsizetype base_ = 0;
    int rows_ = 0;
    qsizetype pending_ = -1;
    std::map<int, QString> edits_;
    // Who the pending row is, taken when its first edit started; or why it could not be.
    std::optional<ADODB::RowIdentity> identity_;
    QString identityError_;
    // What the pending row held when its first edit started: shown under the
    // edits wherever the row now stands, and how it is found again.
    std::optional<StoredRow> pendingCells_;
    RowAnchor pendingAnchor_;
    bool pendingGone_ = false;
    quint64 generation_ = 0;
    // Records whose pages could not be read (until the user comes back to them),
    // and the last one told of (-1: none since a failed page was read again).
    mutable std::vector<qsizetype> unread_;
    mutable qsizetype lastUnread_ = -1;
    QTimer* countTimer_;
    EditHistory history_;
};
