// How the grid keeps the user's place while its model shows a span of the
// table's lines: the scroll bar over the whole table, the span following the
// user to its edges and to far records, and the current cell, the selection
// and the top row put back wherever the span moves.
#include "DataGrid.h"

#include "common/pointer.h"
#include "common/progress.h"

#include <QThread>

#include "data/error.h"

#include <QGuiApplication>
#include <QItemSelection>
#include <QScrollBar>
#include <climits>

void DataGrid::followSpan()
{
    // Scrolling by the user puts the top row back where the scroll bar shows it.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (virtualTop_ >= 0 && value != verticalScrollBar()->maximum())
            virtualTop_ = -1;
        if (moving_)
            return;
        syncTableBar();
        // At the span's edge the span moves on, once the view is done with this step.
        if (model_->isPartial() && !edgeQueued_) {
            edgeQueued_ = true;
            QMetaObject::invokeMethod(this, [this] {
                edgeQueued_ = false;
                followEdge();
            }, Qt::QueuedConnection);
        }
    });
    connect(model_, &QAbstractItemModel::headerDataChanged, this, [this] {
        if (!moving_)
            syncTableBar(); // (the count may have arrived)
    });
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (!moving_)
            syncTableBar();
    });
    // The scroll bar over the whole table stands in the place of the view's own
    // where the span holds only part of the table.
    tableBar_->setObjectName(QStringLiteral("tableBar"));
    addScrollBarWidget(tableBar_, Qt::AlignBottom);
    tableBar_->hide();
    connect(tableBar_, &QScrollBar::valueChanged, this, [this](int value) {
        if (moving_)
            return;
        if (!learnCount())
            return;
        scrollToRecord(std::min(value, tableBar_->maximum()));
    });
    model_->beforeMove = [this] { keepPlace(); };
    model_->afterMove = [this] { restorePlace(); };
}

void DataGrid::keepPlace()
{
    moving_ = true;
    if (nextPlace_) {
        // The rows were found again by who they are (the file changed).
        place_ = *nextPlace_;
        if (place_.current == -2)
            place_.current = model_->newRowRecord();
        return;
    }
    commitOpenEditor(); // what the editor holds stays pending in the model
    place_ = Place();
    place_.top = model_->base() + verticalScrollBar()->value();
    place_.current = currentRecord();
    place_.column = std::max(currentIndex().column(), 0);
    place_.selection = selectionRanges();
    place_.selection.insert(place_.selection.end(), heldSelection_.begin(), heldSelection_.end());
}

void DataGrid::restorePlace()
{
    executeDelayedItemsLayout(); // the scroll bar's range for the new rows
    verticalScrollBar()->setValue(int(std::max<qsizetype>(0, place_.top - model_->base())));
    const int row = model_->rowOf(place_.current);
    heldCurrent_ = row < 0 ? place_.current : -1;
    if (row >= 0) {
        restoring_ = true;
        selectionModel()->setCurrentIndex(model_->index(row, place_.column), QItemSelectionModel::NoUpdate);
        restoring_ = false;
    }
    // The selection within the span is selected again; what lies outside it is held.
    QItemSelection selection;
    const qsizetype first = model_->base();
    const qsizetype last = first + model_->rowCount() - 1;
    heldSelection_.clear();
    selectionAnchored_.clear();
    for (const RecordRange& range : place_.selection) {
        const qsizetype top = std::max(range.top, first);
        const qsizetype bottom = std::min(range.bottom, last);
        if (top <= bottom) {
            selection.select(model_->index(model_->rowOf(top), range.left),
                             model_->index(model_->rowOf(bottom), range.right));
            selectionAnchored_.push_back({top, bottom, range.left, range.right, top == range.top ? range.first : RowAnchor(),
                                          bottom == range.bottom ? range.last : RowAnchor()});
        }
        if (range.top < first)
            heldSelection_.push_back({range.top, std::min(range.bottom, first - 1), range.left, range.right, range.first,
                                      range.bottom < first ? range.last : RowAnchor()});
        if (range.bottom > last)
            heldSelection_.push_back({std::max(range.top, last + 1), range.bottom, range.left, range.right,
                                      range.top > last ? range.first : RowAnchor(), range.last});
    }
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select);
    moving_ = false;
    syncTableBar();
}

void DataGrid::updateGeometries()
{
    QTableView::updateGeometries();
    if (!moving_)
        syncTableBar();
    placeFilterLine();
}

void DataGrid::syncTableBar()
{
    const bool partial = model_->isPartial();
    if (partial == tableBar_->isHidden()) {
        setVerticalScrollBarPolicy(partial ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        verticalScrollBar()->setVisible(!partial);
        tableBar_->setVisible(partial);
    }
    if (!partial)
        return;
    const QScrollBar* own = verticalScrollBar();
    const QSignalBlocker block(tableBar_);
    tableBar_->setRange(0, int(own->maximum() + model_->lines() - model_->rowCount()));
    tableBar_->setPageStep(own->pageStep());
    tableBar_->setSingleStep(own->singleStep());
    tableBar_->setValue(int(model_->base() + own->value()));
}

void DataGrid::followEdge()
{
    if (walking_ || moving_ || !model_->isPartial())
        return;
    const int value = verticalScrollBar()->value();
    const bool atEnd = value >= verticalScrollBar()->maximum() && !showsEnd();
    const bool atStart = value <= 0 && model_->base() > 0;
    if (atEnd || atStart)
        model_->moveSpan(model_->base() + value - RecordSetModel::spanRows() / 2);
}

bool DataGrid::learnCount()
{
    const auto& recordset = model_->recordSet();
    if (!recordset || recordset->countKnown())
        return true;
    // Where the table's end lies is known once its count has arrived; it is
    // being taken since the table was opened. An order being built is waited
    // for with its progress shown, and the wait can be given up (the order is
    // built on).
    try {
        if (isBuildingView()) {
            LongWork progress(window(), QStringLiteral("Putting the rows in order\u2026"), true);
            while (!recordset->countKnown()) {
                if (!progress.keepGoing())
                    return false;
                recordset->pollCount();
                QThread::msleep(5);
            }
            model_->requireExactCount();
            return true;
        }
        WaitCursor wait;
        model_->requireExactCount();
        return true;
    } catch (...) {
        showRefused(DescribeException(std::current_exception()));
        return false;
    }
}

qsizetype DataGrid::currentRecord() const
{
    return currentIndex().isValid() ? model_->recordAt(currentIndex().row()) : heldCurrent_;
}

void DataGrid::setCurrentRecord(qsizetype record, int column)
{
    followFile();
    model_->showRecord(record);
    const int row = model_->rowOf(record);
    if (row < 0)
        return;
    const QPersistentModelIndex index = model_->index(row, column);
    setCurrentIndex(index);
    if (currentIndex() == index) // (a refused row may have taken the user back to it)
        scrollTo(index);
}

void DataGrid::scrollToRecord(qsizetype top)
{
    followFile();
    top = std::max<qsizetype>(0, top);
    const int row = model_->rowOf(top);
    if (row < 0 || (row > verticalScrollBar()->maximum() && !showsEnd()))
        model_->moveSpan(top - RecordSetModel::spanRows() / 2);
    verticalScrollBar()->setValue(int(std::min<qsizetype>(top - model_->base(), INT_MAX)));
    syncTableBar();
}
