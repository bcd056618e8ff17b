#include "DataGrid.h"

#include "FilterLine.h"
#include "FindWindow.h"

#include "data/error.h"
#include "platform/messagebox.h"
#include "common/Main.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <limits>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {
// A delegate that remembers the editor it opened, so a pending edit can be
// taken from it whenever the row must be written.
class TrackingDelegate : public QStyledItemDelegate {
public:
    TrackingDelegate(QPointer<QWidget>* slot, QObject* parent) : QStyledItemDelegate(parent), slot_(slot) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        // A cell holds text of any length: nothing typed or pasted is cut.
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(std::numeric_limits<int>::max());
        *slot_ = editor;
        return editor;
    }

private:
    QPointer<QWidget>* slot_;
};
} // namespace

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent), model_(new RecordSetModel(this)), tableBar_(new QScrollBar(Qt::Vertical, this))
{
    setupView();
    setModel(model_);
    setItemDelegate(new TrackingDelegate(&editor_, this));
    setToolTip(QStringLiteral("Changes you make are automatically saved as you make them."));
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                    | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(24);
    horizontalHeader()->setDefaultSectionSize(120);
    horizontalHeader()->setResizeContentsPrecision(50);
    verticalHeader()->setResizeContentsPrecision(50);
    horizontalHeader()->setHighlightSections(false);
    followSpan();
    // Another program's commit is seen within a tenth of a second.
    fileTimer_ = new QTimer(this);
    fileTimer_->setInterval(100);
    connect(fileTimer_, &QTimer::timeout, this, [this] {
        if (isVisible())
            followFile();
        followBuilding();
    });
    // A page that cannot be read: told once; read again when the user scrolls back to it.
    model_->onUnreadable = [this](const QString& why) { showRefused(why); };
    connect(verticalScrollBar(), &QScrollBar::valueChanged, model_, &RecordSetModel::readAgain);
    // Our own write that moved rows: the grid finds its rows again once the write is done.
    model_->onFileChanged = [this] { QMetaObject::invokeMethod(this, [this] { followFile(); }, Qt::QueuedConnection); };
}

void DataGrid::setDataSource(std::shared_ptr<ADODB::RecordSet> recordset)
{
    if (editor_)
        closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
    heldCurrent_ = -1;
    virtualTop_ = -1;
    topAnchor_ = currentAnchor_ = RowAnchor();
    selectionAnchored_.clear();
    heldSelection_.clear();
    if (recordset && recordset->isPaged())
        fileTimer_->start();
    else
        fileTimer_->stop();
    firstColumn_ = -1;
    model_->setRecordSet(std::move(recordset));
    QStringList captions;
    for (int c = 0; c < model_->columnCount(); ++c)
        captions << model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    filterLine_->setColumns(captions);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Columns as wide as their first rows need, within reason.
    resizeColumnsToContents();
    for (int c = 0; c < model_->columnCount(); ++c)
        setColumnWidth(c, std::clamp(columnWidth(c), 60, 320));
    if (model_->rowCount() > 0 && model_->columnCount() > 0)
        setCurrentIndex(model_->index(0, 0));
    syncTableBar();
}

void DataGrid::commitOpenEditor()
{
    if (editor_ && state() == QAbstractItemView::EditingState) {
        QWidget* editor = editor_;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void DataGrid::showRefused(const QString& message)
{
    MsgBox(message, vbExclamation | vbOKOnly, Main::ApplicationTitle());
}

void DataGrid::showRowRefused(const QString& message)
{
    // The row stays pending with what was typed: the way back is told every time.
    static const QString undo = QStringLiteral("Press Esc to undo your change.");
    showRefused(message.contains(undo) ? message : message + QLatin1Char(' ') + undo);
}

bool DataGrid::commitPendingRow()
{
    commitOpenEditor();
    followFile();
    try {
        model_->commitPending();
        return true;
    } catch (...) {
        showRowRefused(DescribeException(std::current_exception()));
        return false;
    }
}

void DataGrid::revertPendingRow()
{
    if (editor_ && state() == QAbstractItemView::EditingState)
        closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
    model_->revertPending();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous); // takes what the open editor holds
    if (current.isValid())
        heldCurrent_ = -1;
    if (current.isValid() && !moving_ && !walking_) {
        RowAnchor anchor = model_->anchorAt(model_->recordAt(current.row()));
        if (anchor.isSet() || model_->recordAt(current.row()) >= model_->records())
            currentAnchor_ = std::move(anchor);
    }
    if (restoring_ || moving_ || !model_->hasPendingRow()
        || (current.isValid() && model_->recordAt(current.row()) == model_->pendingRecord()))
        return;
    try {
        model_->commitPending();
        return;
    } catch (...) {
        showRowRefused(DescribeException(std::current_exception()));
    }
    // The refused row stays current, pending and visible.
    restoring_ = true;
    setCurrentRecord(model_->pendingRecord(), std::max(previous.column(), 0));
    restoring_ = false;
}

bool DataGrid::onNewRowLine() const
{
    return currentIndex().isValid() && currentRecord() == model_->newRowRecord();
}

bool DataGrid::commitNewRow(int column)
{
    commitOpenEditor();
    if (!model_->hasPendingRow() || model_->pendingRecord() != model_->newRowRecord())
        return false;
    if (!commitPendingRow())
        return true; // refused: the typed row stays where it is, shown as typed
    // The row is a record now; typing goes on in the fresh new-row line below it.
    setCurrentRecord(model_->newRowRecord(), std::clamp(column, 0, model_->columnCount() - 1));
    return true;
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Return, or Tab past the last column, leaves the new-row line: the new row is written.
    const bool leavesNewRow = onNewRowLine()
        && (hint == QAbstractItemDelegate::SubmitModelCache
            || (hint == QAbstractItemDelegate::EditNextItem && currentIndex().column() == model_->columnCount() - 1));
    if (!leavesNewRow) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    const int column = hint == QAbstractItemDelegate::EditNextItem ? 0 : currentIndex().column();
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    commitNewRow(column);
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    followFile();
    if (model_->records() > 0)
        firstColumn_ = -1; // the user moves on from wherever the first rows put the current cell
    // Down, Return and Tab past the last column leave the new-row line by keyboard.
    if (onNewRowLine() && (model_->hasPendingRow() || state() == QAbstractItemView::EditingState)) {
        const int key = event->key();
        const bool lastColumn = currentIndex().column() == model_->columnCount() - 1;
        if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter
            || (key == Qt::Key_Tab && lastColumn)) {
            if (commitNewRow(key == Qt::Key_Tab ? 0 : currentIndex().column())) {
                event->accept();
                return;
            }
        }
    }
    // Ctrl+Home and Ctrl+End reach the table's ends, wherever the span is.
    if ((event->key() == Qt::Key_Home || event->key() == Qt::Key_End) && event->modifiers() == Qt::ControlModifier
        && state() != QAbstractItemView::EditingState) {
        const bool end = event->key() == Qt::Key_End;
        if (end && !model_->recordSet()->endReadableUncounted() && !learnCount()) {
            event->accept();
            return;
        }
        if (model_->isPartial()) {
            // As the view's own Ctrl+Home and Ctrl+End: the selection stays as it is.
            const qsizetype record = end ? model_->lines() - 1 : 0;
            model_->showRecord(record);
            const int row = model_->rowOf(record);
            if (row >= 0) {
                const QModelIndex index = model_->index(row, end ? model_->columnCount() - 1 : 0);
                selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
                if (currentIndex() == index)
                    scrollTo(index);
            }
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_C && (event->modifiers() & ~Qt::ShiftModifier) == Qt::ControlModifier
        && state() != QAbstractItemView::EditingState) {
        copySelection(event->modifiers() & Qt::ShiftModifier);
        event->accept();
        return;
    }
    if (state() != QAbstractItemView::EditingState && blockKey(event)) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier) {
        showFind();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F3 && (event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
        if (lastFind_)
            find(*lastFind_, !(event->modifiers() & Qt::ShiftModifier));
        else
            showFind();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState && !model_->hasPendingRow()
        && isBuildingView()) {
        cancelBuildingView();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState
        && model_->hasPendingRow()) {
        revertPendingRow();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState
        && !selectedRecords().empty()) {
        deleteSelectedRows();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::deleteSelectedRows()
{
    // Rows are deleted where the count puts them (the rows at the end of a large
    // table may be shown before it arrives, where an estimate puts them).
    followFile(true);
    if (!learnCount())
        return;
    std::vector<qsizetype> rows;
    for (qsizetype record : selectedRecords())
        if (record < model_->records())
            rows.push_back(record);
    if (rows.empty() || !model_->recordSet())
        return;
    if (!model_->recordSet()->canDelete()) {
        showRefused(model_->recordSet()->readOnlyReason());
        return;
    }
    if (!commitPendingRow())
        return;
    const QString question = rows.size() == 1
        ? QStringLiteral("Delete the selected row from the table?")
        : QStringLiteral("Delete the %1 selected rows from the table?").arg(rows.size());
    if (MsgBox(question, vbYesNo | vbQuestion, Main::ApplicationTitle()) != vbYes)
        return;
    try {
        model_->deleteRecords(rows);
    } catch (...) {
        showRefused(DescribeException(std::current_exception()));
    }
}

int DataGrid::VisibleRows() const
{
    const int height = verticalHeader()->defaultSectionSize();
    return std::max(1, viewport()->height() / std::max(1, height));
}

int DataGrid::topRow() const
{
    return int(virtualTop_ >= 0 ? virtualTop_ : model_->base() + verticalScrollBar()->value());
}

int DataGrid::Row() const
{
    const qsizetype record = rowInHand();
    return record < 0 ? -1 : int(record - topRow());
}

void DataGrid::beginWalk()
{
    followFile(true);
    walkWritten_ = -1;
    walking_ = true;
    walkRecord_ = currentRecord();
    virtualTop_ = topRow();
}

void DataGrid::endWalk()
{
    if (!walking_)
        return;
    walking_ = false;
    const qsizetype top = virtualTop_;
    scrollToRecord(top);
    virtualTop_ = top > shownTop() ? top : -1;
    if (walkRecord_ >= 0 && walkRecord_ < model_->lines())
        setCurrentRecord(walkRecord_, std::max(currentIndex().column(), 0));
}

void DataGrid::SetRow(int relative)
{
    const qsizetype last = model_->lines() - 1;
    if (last < 0)
        return;
    // An index past the end (as "Add New Row" asks for) lands on the last line,
    // which is the new-row line where the table can be written.
    const qsizetype top = topRow();
    const qsizetype record = std::clamp<qsizetype>(top + relative, 0, last);
    if (walking_) {
        walkRecord_ = record;
        walkWritten_ = record;
        if (record >= top + VisibleRows())
            virtualTop_ = record - VisibleRows() + 1;
        return;
    }
    const int column = std::max(currentIndex().column(), 0);
    model_->showRecord(record);
    const QModelIndex index = model_->index(model_->rowOf(record), column);
    setCurrentIndex(index);
    if (record >= top + VisibleRows())
        scrollTo(index, QAbstractItemView::PositionAtBottom);
    else if (virtualTop_ >= 0)
        virtualTop_ = top; // making a row current may have moved the scroll bar
}

void DataGrid::Scroll(int columns, int rows)
{
    if (columns)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + columns);
    if (walking_) {
        virtualTop_ = std::max<qsizetype>(0, topRow() + rows);
        return;
    }
    const qsizetype wanted = std::max<qsizetype>(0, topRow() + rows);
    scrollToRecord(wanted);
    virtualTop_ = wanted > shownTop() ? wanted : -1;
}

void DataGrid::scrollToTop()
{
    if (walking_) {
        virtualTop_ = 0;
        return;
    }
    scrollToRecord(0);
    virtualTop_ = -1;
}

QString DataGrid::ColumnCaption(int column) const
{
    return model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QString DataGrid::ColumnText(int column) const
{
    const qsizetype record = rowInHand();
    return record < 0 ? QString() : model_->displayText(record, column);
}

bool DataGrid::columnBytes(int column, std::string_view* bytes) const
{
    const qsizetype record = rowInHand();
    if (record < 0) {
        *bytes = {};
        return true;
    }
    return model_->displayBytes(record, column, bytes);
}
