// How the grid follows the file under a table read in pages: who stands at
// the top, at the current cell, in the pending row and at the ends of the
// selection is taken as the user sees it, and found again by identity when
// another program has written the file (or our own write moved rows).
#include "DataGrid.h"

#include <QItemSelection>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <set>

DataGrid::RecordRange DataGrid::anchoredRange(qsizetype top, qsizetype bottom, int left, int right) const
{
    return {top, bottom, left, right, model_->anchorAt(top), model_->anchorAt(bottom)};
}

std::vector<DataGrid::RecordRange> DataGrid::selectionRanges() const
{
    std::vector<RecordRange> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        const qsizetype top = model_->recordAt(range.top());
        const qsizetype bottom = model_->recordAt(range.bottom());
        // The ends as taken when the range was selected, where they still match.
        auto known = std::find_if(selectionAnchored_.begin(), selectionAnchored_.end(), [&](const RecordRange& r) {
            return r.top == top && r.bottom == bottom && r.left == range.left() && r.right == range.right();
        });
        ranges.push_back(known != selectionAnchored_.end() ? *known
                                                           : RecordRange{top, bottom, range.left(), range.right(), {}, {}});
    }
    return ranges;
}

void DataGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    if (moving_)
        return;
    // Who stands at each end, taken now (the rows are on show, their pages read).
    std::vector<RecordRange> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        const qsizetype top = model_->recordAt(range.top());
        const qsizetype bottom = model_->recordAt(range.bottom());
        auto known = std::find_if(selectionAnchored_.begin(), selectionAnchored_.end(), [&](const RecordRange& r) {
            return r.top == top && r.bottom == bottom && r.first.isSet() && r.last.isSet();
        });
        if (known != selectionAnchored_.end())
            ranges.push_back({top, bottom, range.left(), range.right(), known->first, known->last});
        else
            ranges.push_back(anchoredRange(top, bottom, range.left(), range.right()));
    }
    selectionAnchored_ = std::move(ranges);
}

QItemSelectionModel::SelectionFlags DataGrid::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    const QItemSelectionModel::SelectionFlags flags = QTableView::selectionCommand(index, event);
    // A selection begun afresh forgets what was selected outside the span.
    if (flags & QItemSelectionModel::Clear)
        const_cast<DataGrid*>(this)->heldSelection_.clear();
    return flags;
}

std::vector<qsizetype> DataGrid::selectedRecords() const
{
    std::set<qsizetype> records;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        records.insert(model_->recordAt(index.row()));
    const int lastColumn = model_->columnCount() - 1;
    for (const RecordRange& range : heldSelection_)
        if (range.left == 0 && range.right == lastColumn)
            for (qsizetype r = range.top; r <= range.bottom; ++r)
                records.insert(r);
    return {records.begin(), records.end()};
}

void DataGrid::noteAnchors()
{
    if (walking_ || moving_ || writingBlock_ || !model_->recordSet() || !model_->recordSet()->isPaged())
        return;
    // (A row that cannot be told now keeps the anchor taken before.)
    const auto note = [this](RowAnchor& anchor, qsizetype record) {
        if (record < 0 || record >= model_->records()) {
            anchor = RowAnchor();
            return;
        }
        if (anchor.isSet() && anchor.position == record && anchor.generation == model_->recordSet()->generation())
            return;
        RowAnchor now = model_->anchorAt(record);
        if (now.isSet())
            anchor = std::move(now);
    };
    note(topAnchor_, shownTop());
    note(currentAnchor_, currentRecord());
    // Ends of the selection cut by the span's edge are taken once they can be.
    for (auto* ranges : {&selectionAnchored_, &heldSelection_})
        for (RecordRange& range : *ranges) {
            if (!range.first.isSet())
                range.first = model_->anchorAt(range.top);
            if (!range.last.isSet())
                range.last = model_->anchorAt(range.bottom);
        }
}

void DataGrid::paintEvent(QPaintEvent* event)
{
    // A paint asked for before a block began is not done while it is written:
    // the grid paints again in whole once it has ended.
    if (writingBlock_)
        return;
    noteAnchors();
    QTableView::paintEvent(event);
}

void DataGrid::mousePressEvent(QMouseEvent* event)
{
    followFile();
    QTableView::mousePressEvent(event);
}

void DataGrid::wheelEvent(QWheelEvent* event)
{
    followFile();
    QTableView::wheelEvent(event);
}

void DataGrid::followFile(bool settle)
{
    // (Not while a cell is being typed into: once it is left.)
    if (walking_ || moving_ || restoring_ || writingBlock_ || state() == QAbstractItemView::EditingState || !model_->fileChanged(settle))
        return;
    placeByIdentity();
}

std::vector<AnchorPlace> DataGrid::placeByIdentity(const std::vector<RowAnchor>& extra)
{
    const auto& recordset = model_->recordSet();
    const qsizetype top = shownTop();
    const qsizetype current = currentRecord();
    const bool currentOnNewRow = current >= 0 && current >= model_->records();
    // Every row to find, in one pass: a row not taken falls back on its place.
    std::vector<RowAnchor> anchors;
    const auto add = [&](const RowAnchor& anchor, qsizetype position) {
        RowAnchor a = anchor;
        if (!a.isSet()) {
            a.position = std::max<qsizetype>(0, position); // by its place alone
            a.generation = model_->generation();
        }
        anchors.push_back(std::move(a));
    };
    add(topAnchor_, top);
    add(currentAnchor_, current);
    add(model_->pendingAnchor(), model_->pendingRecord());
    std::vector<RecordRange> ranges = selectionRanges();
    ranges.insert(ranges.end(), heldSelection_.begin(), heldSelection_.end());
    for (const RecordRange& range : ranges) {
        add(range.first, range.top);
        add(range.last, range.bottom);
    }
    for (const RowAnchor& anchor : extra)
        add(anchor, anchor.position);
    std::vector<AnchorPlace> places;
    try {
        places = recordset->place(anchors);
    } catch (...) {
        // The table cannot be read now (dropped or renamed?): every row keeps its
        // place; what the user does with them next says why.
        for (const RowAnchor& anchor : anchors)
            places.push_back({anchor.position, true});
    }

    Place next;
    next.top = places[0].position;
    next.current = currentOnNewRow ? -2 : current < 0 ? -1 : places[1].position;
    next.column = std::max(currentIndex().column(), 0);
    for (size_t i = 0; i < ranges.size(); ++i) {
        const AnchorPlace& first = places[3 + 2 * i];
        const AnchorPlace& last = places[4 + 2 * i];
        // A gone last row ends the range before the row that took its place.
        const qsizetype bottom = last.present ? last.position : last.position - 1;
        if (first.position <= bottom)
            next.selection.push_back({first.position, bottom, ranges[i].left, ranges[i].right, {}, {}});
    }
    heldSelection_.clear();
    selectionAnchored_.clear();
    topAnchor_ = RowAnchor();
    currentAnchor_ = RowAnchor();
    virtualTop_ = -1;
    heldCurrent_ = -1;
    nextPlace_ = next;
    const AnchorPlace pending = places[2];
    model_->placeAgain(pending, next.top - RecordSetModel::spanRows() / 2);
    nextPlace_.reset();
    return {places.begin() + qsizetype(3 + 2 * ranges.size()), places.end()};
}

bool DataGrid::walkGoesOn(int page)
{
    const int visible = VisibleRows();
    qsizetype next = topRow() + (page >= visible ? visible : page);
    const auto& recordset = model_->recordSet();
    if (recordset && recordset->isPaged() && (walkWritten_ < 0 || !recordset->samePage(walkWritten_, next))) {
        // On to another page: the rows read so far hold for this reading of the file only.
        const RowAnchor last = walkWritten_ >= 0 ? model_->anchorAt(walkWritten_) : RowAnchor();
        if (last.isSet() && model_->fileChanged(true)) {
            const qsizetype walkTop = virtualTop_;
            const std::vector<AnchorPlace> found = placeByIdentity({last});
            const qsizetype after = found[0].present ? found[0].position + 1 : found[0].position;
            virtualTop_ = walkTop + after - (walkWritten_ + 1);
            walkWritten_ = after - 1;
            next = topRow() + (page >= visible ? visible : page);
        }
        if (next < model_->records())
            recordset->anchorAt(next); // a page that cannot be read stops the walk here, once
    }
    model_->requireExactCount();
    // Rows of an order that another program deleted are not written: the walk
    // goes on with the row after, as if the rows had moved up.
    while (recordset && next < model_->records() && recordset->isGone(next)) {
        virtualTop_ = topRow() + 1;
        ++next;
    }
    return next < model_->records();
}
