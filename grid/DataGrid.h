#pragma once
// The data grid: a table view over a recordset. A changed row is written when
// the user leaves it (or when asked); Esc reverts it; a refused write keeps the
// row pending and shows the database's message. It also offers the operations
// that the exports walk: row count, visible rows, current row relative to the
// top visible row, scrolling, and the columns' captions and displayed texts.
#include "RecordSetModel.h"
#include "data/rowview.h"

#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

class FilterLine;
class FindWindow;
class SortHeader;
class QLabel;

class DataGrid : public QTableView {
public:
    explicit DataGrid(QWidget* parent = nullptr);

    void setDataSource(std::shared_ptr<ADODB::RecordSet> recordset);
    std::shared_ptr<ADODB::RecordSet> dataSource() const { return model_->recordSet(); }
    RecordSetModel* recordModel() const { return model_; }

    // The record of the current cell (also while the span has moved away from
    // it; -1: none). Making a record current moves the span to it and scrolls
    // it into view; scrolling a record to the top does the same.
    qsizetype currentRecord() const;
    void setCurrentRecord(qsizetype record, int column);
    void scrollToRecord(qsizetype top);

    // Writes the pending row, with whatever the open cell editor holds. False
    // when the database refused it; the user has then been shown why.
    bool commitPendingRow();
    bool hasPendingRow() const { return model_->hasPendingRow(); }
    void revertPendingRow();
    // Deletes the whole rows selected with the row selectors, after one question.
    void deleteSelectedRows();
    // The records of the whole rows selected, also those the span has moved away from.
    std::vector<qsizetype> selectedRecords() const;

    // Where another program has written the file (or our own write moved
    // rows), finds the rows the user sees again by who they are: the top row,
    // the current row, the pending row and the selection stay on their rows.
    // Runs by itself every tenth of a second and before the user's every step.
    // settle: with every row at its true position (before deleting or walking rows by position).
    void followFile(bool settle = false);

    // What the exports use. Between beginWalk and endWalk the current row and the
    // scroll position are kept by the grid alone and shown once, at endWalk, so
    // that walking a million rows costs no more than reading them.
    void beginWalk();
    void endWalk();
    // Whether the walk has a record at the page position (a page further on
    // where the page is full). Where the file changed since the last record
    // made current, the walk goes on with the record after that one, wherever
    // it stands now; where that needs the count, waits for it. Throws where
    // the table cannot be read.
    bool walkGoesOn(int page);
    // The row count (exact: waits for a large table's count where it is still being taken).
    qsizetype RowCount() const
    {
        model_->requireExactCount();
        return model_->records();
    }
    int VisibleRows() const;
    int topRow() const;
    int Row() const; // current row relative to the top visible row
    void SetRow(int relative);
    void Scroll(int columns, int rows);
    void scrollToTop();
    int ColumnCount() const { return model_->columnCount(); }
    QString ColumnCaption(int column) const;
    QString ColumnText(int column) const; // displayed text in the current row

    // Sorting, filtering and finding (DataGridView.cpp), all by the database
    // (RecordSet::setView, RecordSet::find). A click on a heading sorts by its
    // column: ascending, descending, then the table's own order again; with
    // Ctrl it adds the column as the next key. The order of a large table is
    // built on other threads while a note over the grid says so; Esc stops it
    // (the grid goes back to what it showed before).
    void sortByHeading(int column, bool addKey);
    // Shows the rows so, from the first (the current cell on the first row, in
    // the same column); false where a pending row was refused (nothing changed then).
    bool setRowView(const RowView& view);
    RowView rowView() const;
    bool isBuildingView() const;
    void cancelBuildingView();
    enum class FindOutcome { Found, Wrapped, NotFound, Stopped };
    // Makes the next cell holding the text (from the current cell on, in the
    // order shown) the current, selected cell; goes on from the other end
    // once. "Not found." is told here; the progress of a long search shows,
    // and Esc stops it.
    FindOutcome find(const FindText& text, bool forward);
    // Ctrl+C (and "Copy" in the grid's context menu): the selected cells to
    // the clipboard as tab-separated text and as an HTML table; withNames
    // (Ctrl+Shift+C) puts the column names first. Read from the record set
    // in the order shown; many rows show progress and can be cancelled.
    // False where nothing was copied (nothing selected, or cancelled).
    bool copySelection(bool withNames);
    // Working in blocks (DataGridBlock.cpp). Ctrl+V: tab-separated text (as
    // spreadsheets write it) written from the current cell to the right and
    // down, or one value into every selected cell; rows past the end are
    // added after one question. One transaction with a savepoint per row:
    // rows refused are listed in one message, the rest are written. False
    // where nothing was written.
    bool paste();
    bool pasteText(const QString& text);
    // Ctrl+Z / Ctrl+Y: the last step of writes taken back, or made again; a
    // row another program changed since refuses the whole step (told here).
    bool undo();
    bool redo();
    // Replace All (the Find window): every cell holding the text, in the
    // order shown, as one block; returns the rows written.
    int replaceAll(const FindText& text, const QString& with);
    // Replace: the current cell, where it holds the text; then the next one is found.
    FindOutcome replaceCurrent(const FindText& text, const QString& with);
    // Ctrl+F: the Find window; F3 and Shift+F3 search again.
    void showFind();
    FilterLine* filterLine() const { return filterLine_; }
    FindWindow* findWindow() const;
    // The same text as UTF-8 bytes where the grid holds it so; false: use ColumnText.
    bool columnBytes(int column, std::string_view* bytes) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    // The rows of the model are a span on the table's lines (see RecordSetModel):
    // where the span holds only part of them, the scroll bar shown is one over
    // the whole table, and the span follows the user to its edges.
    void followSpan(); // (from the constructor)
    void syncTableBar();
    // Jumps far into a large table wait for its count (with the hourglass)
    // rather than step through it; false when the count could not be taken.
    bool learnCount();
    void followEdge();
    qsizetype shownTop() const { return model_->base() + verticalScrollBar()->value(); }
    bool showsEnd() const { return model_->base() + model_->rowCount() >= model_->lines(); }
    struct RecordRange {
        qsizetype top, bottom;
        int left, right;
        RowAnchor first, last; // who stood at top and bottom
    };
    // Where the user was when the span moved: the top line, the current cell, the selection.
    struct Place {
        qsizetype top = 0;
        qsizetype current = -1;
        int column = 0;
        std::vector<RecordRange> selection;
    };
    void keepPlace();
    void restorePlace();
    // Who the user sees: taken as they are shown, so they can be found again.
    void noteAnchors();
    RecordRange anchoredRange(qsizetype top, qsizetype bottom, int left, int right) const;
    // Finds the rows again after the file changed; the places of the extra
    // anchors are returned (the walk's last record).
    std::vector<AnchorPlace> placeByIdentity(const std::vector<RowAnchor>& extra = {});
    std::vector<RecordRange> selectionRanges() const;

    void commitOpenEditor();
    // The record the exports' operations work on: the walk's, else the current one.
    qsizetype rowInHand() const { return walking_ ? walkRecord_ : currentRecord(); }
    bool onNewRowLine() const;
    // Writes the row typed into the new-row line and moves to the next one
    // (at that column); false when the new-row line holds nothing typed.
    bool commitNewRow(int column);
    void showRefused(const QString& message);
    bool takeBack(bool again);
    // The keys of block work and selection: Ctrl+V, Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z,
    // Shift+Space (whole rows), Ctrl+Space (whole columns). True where handled.
    bool blockKey(QKeyEvent* event);
public:
    // Ctrl+A: every record of the table, those outside the span too.
    void selectEverything();
    // Every record in columns left..right (Ctrl+Space), those outside the span held.
    void selectColumns(int left, int right);
private:
    void showRowRefused(const QString& message); // a pending row's write, refused

    RecordSetModel* model_;
    QScrollBar* tableBar_;
    QPointer<QWidget> editor_;
    bool restoring_ = false;
    bool moving_ = false;
    bool edgeQueued_ = false;
    Place place_;
    // The current record while the span is away from it (-1: the current cell's).
    qsizetype heldCurrent_ = -1;
    // The top record that scrolling asked for, which may lie past the last place
    // the scroll bar can reach (near the end of the table); -1: the scroll bar's.
    qsizetype virtualTop_ = -1;
    bool walking_ = false;
    // A block of ours is being written (its transaction open while the
    // progress bar lets events through), or copied: the grid neither paints
    // nor follows the file meanwhile.
    bool writingBlock_ = false;
    struct BlockWrite {
        explicit BlockWrite(DataGrid* grid);
        ~BlockWrite();
        DataGrid* grid_;
    };
    qsizetype walkRecord_ = -1;
    qsizetype walkWritten_ = -1; // the last record the walk made current
    // Who stood at the top and at the current cell; the selection with who
    // stands at its ends (selectionAnchored_: in the span; heldSelection_:
    // the parts of it the span has moved away from).
    RowAnchor topAnchor_;
    RowAnchor currentAnchor_;
    std::vector<RecordRange> selectionAnchored_;
    std::vector<RecordRange> heldSelection_;
    std::optional<Place> nextPlace_; // where the span's next move puts the user
    QTimer* fileTimer_;

    // Sorting and filtering (DataGridView.cpp).
    void setupView(); // (from the constructor)
    void placeFilterLine();
    void applyFilters();
    // Shows the record set's view from its first rows (a model reset).
    void showView(int column);
    // Follows an order being built: the note over the grid, the first rows' current cell.
    void followBuilding();
    SortHeader* header_;
    FilterLine* filterLine_;
    QWidget* buildingNote_ = nullptr;
    QLabel* buildingText_ = nullptr;
    int firstColumn_ = -1; // the current cell's column, once the first rows of an order arrive
    QPointer<FindWindow> findWindow_;
    std::optional<FindText> lastFind_;
};
