// The grid's sorting, filtering and finding: what the user asks for becomes
// the record set's view (the database orders and filters), and Find asks the
// database for the next row holding the text.
#include "DataGrid.h"

#include "ClipboardCells.h"
#include "CopyText.h"
#include "FilterLine.h"
#include "FindWindow.h"
#include "SortHeader.h"
#include "common/Main.h"
#include "common/pointer.h"
#include "common/progress.h"
#include "data/error.h"
#include "platform/messagebox.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <set>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>

void DataGrid::setupView()
{
    header_ = new SortHeader(this);
    setHorizontalHeader(header_);
    // A click on a heading sorts; it does not select the column.
    disconnect(header_, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(header_, &QHeaderView::sectionEntered, this, nullptr);
    connect(header_, &QHeaderView::sectionClicked, this, [this](int column) {
        sortByHeading(column, header_->clickModifiers() & Qt::ControlModifier);
    });
    filterLine_ = new FilterLine(parentWidget() ? parentWidget() : this, header_);
    filterLine_->onChanged = [this] { applyFilters(); };
    // The first rows of an order take the current cell as soon as they arrive.
    model_->onCountTaken = [this] { followBuilding(); };
    header_->setStripHeight(QLineEdit().sizeHint().height());
    connect(header_, &QHeaderView::sectionResized, this, [this] { placeFilterLine(); });
    connect(header_, &QHeaderView::geometriesChanged, this, [this] { placeFilterLine(); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeFilterLine(); });

    // What says that an order is being built, over the foot of the grid.
    buildingNote_ = new QWidget(viewport());
    buildingNote_->setAutoFillBackground(true);
    buildingNote_->setBackgroundRole(QPalette::ToolTipBase);
    auto* layout = new QHBoxLayout(buildingNote_);
    layout->setContentsMargins(6, 2, 6, 2);
    buildingText_ = new QLabel(buildingNote_);
    buildingText_->setTextFormat(Qt::PlainText);
    buildingText_->setForegroundRole(QPalette::ToolTipText);
    auto* bar = new QProgressBar(buildingNote_);
    bar->setRange(0, 0);
    bar->setMaximumWidth(120);
    bar->setTextVisible(false);
    layout->addWidget(buildingText_);
    layout->addWidget(bar);
    buildingNote_->hide();
}

void DataGrid::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    placeFilterLine();
}

void DataGrid::hideEvent(QHideEvent* event)
{
    QTableView::hideEvent(event);
    filterLine_->hide();
}

void DataGrid::placeFilterLine()
{
    filterLine_->place(header_->stripHeight());
}

RowView DataGrid::rowView() const
{
    const auto& recordset = model_->recordSet();
    return recordset ? recordset->view() : RowView();
}

void DataGrid::sortByHeading(int column, bool addKey)
{
    RowView view = rowView();
    std::vector<SortKey>& order = view.order;
    auto key = std::find_if(order.begin(), order.end(), [column](const SortKey& k) { return k.column == column; });
    if (addKey) {
        // Ctrl: the next key; again, descending; a third time, not a key.
        if (key == order.end())
            order.push_back({column, false});
        else if (!key->descending)
            key->descending = true;
        else
            order.erase(key);
    } else if (order.size() == 1 && key != order.end()) {
        if (!key->descending)
            key->descending = true;
        else
            order.clear(); // the table's own order
    } else {
        order = {{column, false}};
    }
    setRowView(view);
}

void DataGrid::applyFilters()
{
    RowView view = rowView();
    view.filters = filterLine_->filters();
    if (view == rowView())
        return;
    if (!setRowView(view))
        filterLine_->setFilters(rowView().filters); // a refused row pending: the filter waits
}

bool DataGrid::setRowView(const RowView& view)
{
    const auto recordset = model_->recordSet();
    if (!recordset || !commitPendingRow())
        return false;
    const int column = std::max(currentIndex().column(), 0);
    {
        WaitCursor wait;
        try {
            recordset->setView(view);
        } catch (...) {
            showRefused(DescribeException(std::current_exception()));
        }
    }
    showView(column);
    return true;
}

void DataGrid::showView(int column)
{
    const auto recordset = model_->recordSet();
    heldCurrent_ = -1;
    virtualTop_ = -1;
    topAnchor_ = currentAnchor_ = RowAnchor();
    selectionAnchored_.clear();
    heldSelection_.clear();
    model_->setRecordSet(recordset); // the rows from the first, in the new order
    filterLine_->setFilters(recordset->view().filters);
    if (recordset->isPaged())
        fileTimer_->start();
    firstColumn_ = column;
    followBuilding();
    syncTableBar();
}

bool DataGrid::isBuildingView() const
{
    const auto& recordset = model_->recordSet();
    return recordset && recordset->isPaged() && !recordset->view().isPlain() && !recordset->viewReady();
}

void DataGrid::cancelBuildingView()
{
    const auto recordset = model_->recordSet();
    if (!recordset)
        return;
    // Back to what the grid showed before, at once.
    recordset->cancelView();
    showView(std::max(currentIndex().column(), 0));
}

void DataGrid::followBuilding()
{
    // An order whose count was known at once is followed here until it is built
    // (the model's own poll stops at the count).
    if (isBuildingView() && model_->recordSet()->countKnown()) {
        try {
            model_->recordSet()->pollCount();
            model_->requireExactCount();
            if (!isBuildingView())
                viewport()->update(); // its pages are read from the list now
        } catch (...) {
            showRefused(DescribeException(std::current_exception()));
            cancelBuildingView();
        }
    }
    const bool building = isBuildingView();
    if (building != buildingNote_->isVisible()) {
        if (building) {
            buildingText_->setText(rowView().order.empty()
                                       ? QStringLiteral("Finding the matching rows\u2026 Press Esc to stop.")
                                       : QStringLiteral("Putting the rows in order\u2026 Press Esc to stop."));
            buildingNote_->adjustSize();
            buildingNote_->move(0, viewport()->height() - buildingNote_->height());
            viewport()->setCursor(Qt::BusyCursor);
        } else {
            viewport()->setCursor(Qt::ArrowCursor);
        }
        buildingNote_->setVisible(building);
    }
    if (building)
        buildingNote_->move(0, viewport()->height() - buildingNote_->height());
    // The first rows of a new order: the current cell on the first of them.
    if (firstColumn_ >= 0 && (model_->records() > 0 || (!building && model_->rowCount() > 0))
        && model_->columnCount() > 0) {
        const int column = std::min(firstColumn_, model_->columnCount() - 1);
        firstColumn_ = -1;
        scrollToRecord(0);
        setCurrentRecord(0, column);
    }
}

FindWindow* DataGrid::findWindow() const { return findWindow_; }

void DataGrid::showFind()
{
    if (!findWindow_)
        findWindow_ = new FindWindow(window(), this);
    if (lastFind_ && findWindow_->Text1->text().isEmpty())
        findWindow_->Text1->setText(lastFind_->text);
    findWindow_->show();
    findWindow_->raise();
    findWindow_->activateWindow();
    findWindow_->Text1->setFocus();
    findWindow_->Text1->selectAll();
}

DataGrid::FindOutcome DataGrid::find(const FindText& text, bool forward)
{
    const auto recordset = model_->recordSet();
    if (!recordset || text.text.isEmpty() || !commitPendingRow())
        return FindOutcome::Stopped;
    lastFind_ = text;
    followFile(true);
    const qsizetype records = model_->records();
    const int columns = model_->columnCount();
    qsizetype record = currentRecord();
    int column = currentIndex().isValid() ? currentIndex().column() : (forward ? -1 : columns);
    if (record < 0 || record >= records) {
        record = forward ? 0 : records - 1;
        column = forward ? -1 : columns;
    }
    LongWork progress(window(), QStringLiteral("Searching\u2026"), true);
    const auto keepGoing = [&progress] { return progress.keepGoing(); };
    // The first cell holding it in the row found, after (or before) `after`.
    const auto cellIn = [&](const FoundRow& row, int after) {
        for (int c = forward ? after + 1 : after - 1; c >= 0 && c < columns; c += forward ? 1 : -1)
            if (row.holds(c))
                return c;
        return -1;
    };
    std::optional<FoundRow> found;
    int cell = -1;
    bool wrapped = false;
    try {
        found = recordset->find(record, forward, text, keepGoing);
        if (found)
            cell = cellIn(*found, found->row == record ? column : (forward ? -1 : columns));
        if (found && cell < 0) {
            // Only the current row, before the current cell: the rows past it.
            const qsizetype next = forward ? record + 1 : record - 1;
            found = next >= 0 && next < records ? recordset->find(next, forward, text, keepGoing) : std::nullopt;
            if (found)
                cell = cellIn(*found, forward ? -1 : columns);
        }
        if (!found && !progress.keepGoing())
            return FindOutcome::Stopped;
        if (!found) {
            wrapped = true;
            found = records > 0 ? recordset->find(forward ? 0 : records - 1, forward, text, keepGoing) : std::nullopt;
            if (found)
                cell = cellIn(*found, forward ? -1 : columns);
        }
    } catch (...) {
        showRefused(DescribeException(std::current_exception()));
        return FindOutcome::Stopped;
    }
    if (!found || cell < 0) {
        if (!progress.keepGoing())
            return FindOutcome::Stopped;
        MsgBox(QStringLiteral("Not found."), vbInformation | vbOKOnly, QStringLiteral("Vestrel"));
        return FindOutcome::NotFound;
    }
    setCurrentRecord(found->row, cell);
    const int row = model_->rowOf(found->row);
    if (row >= 0)
        selectionModel()->select(model_->index(row, cell), QItemSelectionModel::ClearAndSelect);
    return wrapped ? FindOutcome::Wrapped : FindOutcome::Found;
}

void DataGrid::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy"), QKeySequence(QStringLiteral("Ctrl+C")), this, [this] { copySelection(false); });
    menu.addAction(QStringLiteral("Copy with Column Names"), QKeySequence(QStringLiteral("Ctrl+Shift+C")), this,
                   [this] { copySelection(true); });
    QAction* paste = menu.addAction(QStringLiteral("Paste"), QKeySequence(QStringLiteral("Ctrl+V")), this, [this] { this->paste(); });
    const auto recordset = model_->recordSet();
    paste->setEnabled(recordset && (recordset->canUpdate() || recordset->canInsert())
                      && !QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Undo"), QKeySequence(QStringLiteral("Ctrl+Z")), this, [this] { undo(); })
        ->setEnabled(model_->history().canUndo() || model_->hasPendingRow());
    menu.addAction(QStringLiteral("Redo"), QKeySequence(QStringLiteral("Ctrl+Y")), this, [this] { redo(); })
        ->setEnabled(model_->history().canRedo());
    menu.exec(event->globalPos());
}

bool DataGrid::copySelection(bool withNames)
{
    commitOpenEditor();
    // The records selected (those the span has moved away from too), and the columns from the leftmost to the rightmost.
    std::vector<RecordRange> ranges = selectionRanges();
    ranges.insert(ranges.end(), heldSelection_.begin(), heldSelection_.end());
    if (ranges.empty() && currentRecord() >= 0 && currentIndex().isValid())
        ranges.push_back({currentRecord(), currentRecord(), currentIndex().column(), currentIndex().column(), {}, {}});
    if (ranges.empty())
        return false;
    // The records selected as runs from top to bottom, overlaps merged (a
    // whole table of millions is a few runs, not a list of its rows).
    std::sort(ranges.begin(), ranges.end(), [](const RecordRange& a, const RecordRange& b) { return a.top < b.top; });
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    int left = model_->columnCount(), right = -1;
    for (const RecordRange& range : ranges) {
        if (!runs.empty() && range.top <= runs.back().second + 1)
            runs.back().second = std::max(runs.back().second, range.bottom);
        else
            runs.emplace_back(range.top, range.bottom);
        left = std::min(left, range.left);
        right = std::max(right, range.right);
    }
    // (The new-row line copies only while something is typed into it.)
    const qsizetype lastRecord = std::max(model_->records() - 1, model_->pendingRecord());
    for (auto& run : runs)
        run.second = std::min(run.second, lastRecord);
    qsizetype total = 0;
    for (const auto& [top, bottom] : runs)
        total += std::max<qsizetype>(0, bottom - top + 1);
    CopyText copy;
    if (withNames) {
        QStringList names;
        for (int c = left; c <= right; ++c)
            names << ColumnCaption(c);
        copy.addRow(names);
    }
    LongWork progress(window(), QStringLiteral("Copying\u2026"), true);
    // Nor painted meanwhile: a paint reads the rows on show, in place of those being copied.
    const BlockWrite quiet(this);
    qsizetype done = 0;
    try {
        for (const auto& [top, bottom] : runs)
            for (qsizetype record = top; record <= bottom; ++record) {
                if (++done % 1000 == 0) {
                    progress(done, total);
                    if (!progress.keepGoing())
                        return false;
                }
                copy.beginRow();
                for (int c = left; c <= right; ++c) {
                    std::string_view bytes;
                    if (model_->displayBytes(record, c, &bytes))
                        copy.addCell(bytes);
                    else
                        copy.addCell(model_->displayText(record, c));
                }
                copy.endRow();
            }
    } catch (...) {
        showRefused(DescribeException(std::current_exception()));
        return false;
    }
    QGuiApplication::clipboard()->setMimeData(new ClipboardCells(copy.utf8()));
    return true;
}
