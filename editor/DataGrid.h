#pragma once
// The data grid: a table view over a recordset. A changed row is written when
// the user leaves it (or when asked); Esc reverts it; a refused write keeps the
// row pending and shows the database's message. It also offers the operations
// that the exports walk: row count, visible rows, current row relative to the
// top visible row, scrolling, and the columns' captions and displayed texts.
#include "RecordSetModel.h"

#include <QPointer>
#include <QTableView>
#include <memory>

class DataGrid : public QTableView {
public:
    explicit DataGrid(QWidget* parent = nullptr);

    void setDataSource(std::shared_ptr<ADODB::RecordSet> recordset);
    std::shared_ptr<ADODB::RecordSet> dataSource() const { return model_->recordSet(); }
    RecordSetModel* recordModel() const { return model_; }

    // Writes the pending row, with whatever the open cell editor holds. False
    // when the database refused it; the user has then been shown why.
    bool CommitPendingRow();
    bool HasPendingRow() const { return model_->hasPendingRow(); }
    void RevertPendingRow();
    // Deletes the whole rows selected with the row selectors, after one question.
    void DeleteSelectedRows();

    // What the exports use. Between BeginWalk and EndWalk the current row and the
    // scroll position are kept by the grid alone and shown once, at EndWalk, so
    // that walking a million rows costs no more than reading them.
    void BeginWalk();
    void EndWalk();
    // The row count (exact: waits for a large table's count where it is still being taken).
    qsizetype ApproxCount() const
    {
        model_->requireExactCount();
        return model_->records();
    }
    int VisibleRows() const;
    int TopRow() const;
    int Row() const; // current row relative to the top visible row
    void SetRow(int relative);
    void Scroll(int columns, int rows);
    void ScrollToTop();
    int ColumnCount() const { return model_->columnCount(); }
    QString ColumnCaption(int column) const;
    QString ColumnText(int column) const; // displayed text in the current row
    // The same text as UTF-8 bytes where the grid holds it so; false: use ColumnText.
    bool ColumnBytes(int column, std::string_view* bytes) const;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void commitOpenEditor();
    bool onNewRowLine() const;
    // Writes the row typed into the new-row line and moves to the next one
    // (at that column); false when the new-row line holds nothing typed.
    bool commitNewRow(int column);
    void showRefused(const QString& message);

    RecordSetModel* model_;
    QPointer<QWidget> editor_;
    bool restoring_ = false;
    // The top row that scrolling asked for, which may lie past the last place
    // the scroll bar can reach (near the end of the table); -1: the scroll bar's.
    int virtualTop_ = -1;
    bool walking_ = false;
    int walkRow_ = -1;
};
