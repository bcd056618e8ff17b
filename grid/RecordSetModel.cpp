#include "RecordSetModel.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QFontMetrics>
#include <QPixmap>
#include <QPolygonF>

#include "data/error.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace {
// About 8 MB of the grid's header; moving the span costs a few milliseconds.
int maxSpanRows = 1000000;
} // namespace

void RecordSetModel::setSpanRows(int rows) { maxSpanRows = std::max(1, rows); }

int RecordSetModel::spanRows() { return maxSpanRows; }

RecordSetModel::RecordSetModel(QObject* parent) : QAbstractTableModel(parent), countTimer_(new QTimer(this))
{
    // A large table's count arrives after its first rows are shown (an order, a
    // filter or a find waits for it: taken within a frame or so of its arrival).
    countTimer_->setInterval(20);
    connect(countTimer_, &QTimer::timeout, this, [this] {
        if (!recordset_) {
            countTimer_->stop();
            return;
        }
        bool changed = false;
        try {
            changed = recordset_->pollCount(); // (a write may have waited for it already)
        } catch (...) {
            // An order that could not be built says why, once; a table that
            // cannot be counted now (gone?) keeps its rows as they are, and what
            // the user does with them next says why.
            if (!recordset_->view().isPlain()) {
                countTimer_->stop();
                if (onUnreadable)
                    onUnreadable(DescribeException(std::current_exception()));
                return;
            }
        }
        if (recordset_->countKnown()) {
            countTimer_->stop();
            applyCount();
        } else if (changed) {
            applyCount(); // the first rows of an order, before the rest
        }
        if ((changed || recordset_->countKnown()) && onCountTaken)
            onCountTaken();
    });
}

void RecordSetModel::requireExactCount()
{
    if (!recordset_)
        return;
    if (!recordset_->countKnown())
        recordset_->waitForCount();
    // (The count may have been taken by someone else's poll, before this model took it.)
    if (records_ != recordset_->recordCount())
        applyCount();
}

int RecordSetModel::rowsFrom(qsizetype base) const
{
    return int(std::clamp<qsizetype>(lines() - base, 0, maxSpanRows));
}

void RecordSetModel::moveSpan(qsizetype base)
{
    base = std::clamp<qsizetype>(base, 0, std::max<qsizetype>(0, lines() - maxSpanRows));
    if (base == base_ && rows_ == rowsFrom(base))
        return;
    rebuild(base, records_);
}

void RecordSetModel::rebuild(qsizetype base, qsizetype records)
{
    if (beforeMove)
        beforeMove();
    beginResetModel();
    unread_.clear();
    records_ = records;
    base_ = std::clamp<qsizetype>(base, 0, std::max<qsizetype>(0, lines() - maxSpanRows));
    rows_ = rowsFrom(base_);
    endResetModel();
    if (afterMove)
        afterMove();
}

void RecordSetModel::showRecord(qsizetype record)
{
    if (rowOf(record) < 0)
        moveSpan(record - maxSpanRows / 2);
}

void RecordSetModel::takeCount(qsizetype now)
{
    if (const auto shift = recordset_->takeTailShift()) {
        // The records counted back from an estimated end stand elsewhere now:
        // a pending row, and a span among them, go with them.
        if (pending_ >= shift->from)
            pending_ += shift->delta;
        if (base_ + rows_ > shift->from && base_ + shift->delta >= 0) {
            base_ += shift->delta;
            records_ += shift->delta;
        }
        refreshAll();
    }
    if (now == records_)
        return;
    const bool onNewRowLine = pending_ >= 0 && pending_ >= records_;
    const int line = hasNewRowLine() ? 1 : 0;
    const bool showsEnd = base_ + rows_ >= lines();
    if (!showsEnd && base_ + rows_ <= now + line) {
        records_ = now; // the span stays among the records
    } else if (showsEnd && now >= base_ && now - base_ + line <= std::max(rows_, maxSpanRows + maxSpanRows / 8)) {
        // (rows added at the end grow the span a little before it moves)
        // Records come or go before the new-row line, which stays the last row.
        const int before = int(records_ - base_);
        const int after = int(now - base_);
        if (after > before) {
            beginInsertRows(QModelIndex(), before, after - 1);
            records_ = now;
            rows_ += after - before;
            endInsertRows();
        } else {
            beginRemoveRows(QModelIndex(), after, before - 1);
            records_ = now;
            rows_ -= before - after;
            endRemoveRows();
        }
    } else {
        rebuild(base_, now); // the span ran past the new end, or the end grew past the span
    }
    // What was typed stays: on the new-row line, or (for a row the estimate
    // showed past the real end) as a new row.
    if (pending_ >= 0 && (onNewRowLine || pending_ >= records_)) {
        if (!onNewRowLine)
            identity_.reset();
        pending_ = records_;
    }
    refreshAll();
}

void RecordSetModel::refreshAll()
{
    if (rows_ == 0)
        return;
    emit dataChanged(index(0, 0), index(rows_ - 1, std::max(0, columnCount() - 1)));
    emit headerDataChanged(Qt::Vertical, 0, rows_ - 1);
}

void RecordSetModel::setRecordSet(std::shared_ptr<ADODB::RecordSet> recordset)
{
    beginResetModel();
    recordset_ = std::move(recordset);
    records_ = recordset_ ? recordset_->recordCount() : 0;
    generation_ = recordset_ ? recordset_->generation() : 0;
    base_ = 0;
    rows_ = recordset_ ? rowsFrom(0) : 0;
    clearPending();
    history_.clear();
    endResetModel();
    if (recordset_ && !recordset_->countKnown())
        countTimer_->start();
}

int RecordSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !recordset_ ? 0 : rows_;
}

int RecordSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !recordset_ ? 0 : recordset_->columnCount();
}

namespace {
QString cellText(const StoredCell& cell)
{
    const QByteArray bytes = cell.value.value_or(QByteArray());
    if (cell.blob)
        return QStringLiteral("(BLOB, %1 bytes)").arg(bytes.size());
    return QString::fromUtf8(bytes);
}
} // namespace

QString RecordSetModel::displayText(qsizetype record, int column) const
{
    if (record == pending_) {
        const auto edit = edits_.find(column);
        if (edit != edits_.end())
            return edit->second;
        if (pendingCells_ && column < int(pendingCells_->size()))
            return cellText((*pendingCells_)[size_t(column)]);
    }
    if (record >= records_)
        return QString();
    return recordset_->text(record, column);
}

bool RecordSetModel::displayBytes(qsizetype record, int column, std::string_view* bytes) const
{
    if (record == pending_ && edits_.count(column))
        return false;
    if (record == pending_ && pendingCells_ && column < int(pendingCells_->size())) {
        const StoredCell& cell = (*pendingCells_)[size_t(column)];
        if (cell.blob)
            return false;
        *bytes = cell.value ? std::string_view(cell.value->constData(), size_t(cell.value->size())) : std::string_view();
        return true;
    }
    if (record >= records_) {
        *bytes = {};
        return true;
    }
    return recordset_->textBytes(record, column, bytes);
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !recordset_ || readsHeld_)
        return {};
    const qsizetype record = recordAt(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (unread(record))
            return role == Qt::DisplayRole ? kNotRead : QString();
        try {
            if (record != pending_ && record < records_ && recordset_->isGone(record))
                return role == Qt::DisplayRole ? kGone : QString();
            QString text = displayText(record, index.column());
            if (record == lastUnread_ || (lastUnread_ >= 0 && recordset_->samePage(record, lastUnread_)))
                lastUnread_ = -1; // read again: a page that fails next is told of again
            return text;
        } catch (const RowGoneError&) {
            return QString(); // a line the count will take away
        } catch (...) {
            noteUnread(record, DescribeException(std::current_exception()));
            return role == Qt::DisplayRole ? kNotRead : QString();
        }
    }
    if (role == Qt::ForegroundRole && (unread(record) || isBlob(record, index.column()) || gone(record)))
        return QBrush(QColor(Qt::darkGray));
    return {};
}

bool RecordSetModel::gone(qsizetype record) const
{
    if (record >= records_ || record == pending_ || unread(record))
        return false;
    try {
        return recordset_->isGone(record);
    } catch (...) {
        return false; // (told where the cell's text is read)
    }
}

bool RecordSetModel::unread(qsizetype record) const
{
    if (record >= records_ || record == pending_)
        return false;
    for (qsizetype failed : unread_)
        if (recordset_->samePage(record, failed))
            return true;
    return false;
}

void RecordSetModel::noteUnread(qsizetype record, const QString& why) const
{
    unread_.push_back(record);
    const bool tell = lastUnread_ < 0;
    lastUnread_ = record;
    // Once, after the paint: the rows stay marked, and are read again when the user comes back to them.
    if (tell && onUnreadable)
        QMetaObject::invokeMethod(
            const_cast<RecordSetModel*>(this), [this, why] { onUnreadable(why); }, Qt::QueuedConnection);
}

void RecordSetModel::readAgain()
{
    if (unread_.empty())
        return;
    unread_.clear();
    if (recordset_)
        recordset_->readAgain();
}

bool RecordSetModel::isBlob(qsizetype record, int column) const
{
    if (record >= records_ || (record == pending_ && edits_.count(column)) || unread(record))
        return false;
    if (record == pending_ && pendingCells_ && column < int(pendingCells_->size()))
        return (*pendingCells_)[size_t(column)].blob;
    try {
        return recordset_->isBlob(record, column);
    } catch (const RowGoneError&) {
        return false;
    } catch (...) {
        noteUnread(record, DescribeException(std::current_exception()));
        return false;
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::ToolTipRole && orientation == Qt::Vertical && recordset_ && recordAt(section) == pending_
        && pendingGone_)
        return QStringLiteral("This row was changed or deleted by another program since you began editing it. "
                              "What you typed is kept; press Esc to undo your change.");
    if (orientation == Qt::Horizontal && recordset_ && role != Qt::DisplayRole)
        return sortMark(section, role);
    if (role != Qt::DisplayRole || !recordset_)
        return {};
    if (orientation == Qt::Horizontal)
        return recordset_->columnName(section);
    const qsizetype record = recordAt(section);
    if (record == pending_ && pendingGone_)
        return QStringLiteral("\u270E!"); // being edited, and no longer in the table as it was read
    if (record == pending_)
        return QStringLiteral("\u270E"); // being edited
    if (record == newRowRecord())
        return QStringLiteral("*");
    return QString();
}

QVariant RecordSetModel::sortMark(int column, int role) const
{
    const std::vector<SortKey>& order = recordset_->view().order;
    const auto key = std::find_if(order.begin(), order.end(), [column](const SortKey& k) { return k.column == column; });
    if (key == order.end())
        return {};
    const int rank = order.size() > 1 ? int(key - order.begin()) + 1 : 0;
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
        const QString words = key->descending ? QStringLiteral("Sorted descending") : QStringLiteral("Sorted ascending");
        return rank ? words + QStringLiteral(", %1").arg(rank) : words;
    }
    if (role != Qt::DecorationRole)
        return {};
    // An arrow pointing the way the values grow down the grid, and the key's rank.
    const QFontMetrics metrics(QApplication::font());
    const int height = metrics.height();
    const qreal ratio = qApp->devicePixelRatio();
    const int width = height * 2 / 3 + (rank ? metrics.horizontalAdvance(QString::number(rank)) + 2 : 0);
    QPixmap mark(QSize(width, height) * ratio);
    mark.setDevicePixelRatio(ratio);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QApplication::palette().color(QPalette::ButtonText);
    painter.setBrush(ink);
    painter.setPen(Qt::NoPen);
    const qreal a = height / 3.0, mid = height / 2.0, w = height * 2 / 3.0 - 2;
    QPolygonF arrow;
    if (key->descending)
        arrow << QPointF(1, mid - a / 2) << QPointF(1 + w, mid - a / 2) << QPointF(1 + w / 2, mid + a / 2);
    else
        arrow << QPointF(1, mid + a / 2) << QPointF(1 + w, mid + a / 2) << QPointF(1 + w / 2, mid - a / 2);
    painter.drawPolygon(arrow);
    if (rank) {
        painter.setPen(ink);
        painter.setFont(QApplication::font());
        painter.drawText(QRectF(height * 2 / 3.0 + 1, 0, width, height), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(rank));
    }
    return mark;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || !recordset_ || readsHeld_)
        return f;
    // BLOBs are shown, not edited; a view without INSTEAD OF triggers is read-only.
    const qsizetype record = recordAt(index.row());
    const bool newRow = record >= records_;
    if (newRow ? recordset_->canInsert() : recordset_->canUpdate() && !isBlob(record, index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const qsizetype record = recordAt(index.row());
    const int column = index.column();
    if (pending_ >= 0 && record != pending_)
        return false; // the pending row is written (or reverted) before another is edited
    const QString text = value.toString();
    try {
        if (text == displayText(record, column))
            return false;
    } catch (...) {
        // (a row that cannot be read is edited all the same: the write says why it cannot be made)
    }
    if (pending_ < 0 && record < records_) {
        // The row's identity is taken from what is shown, before anything typed is kept.
        try {
            ADODB::StoredRecord shown = recordset_->identify(record);
            identity_ = shown.identity;
            pendingAnchor_ = RowAnchor{record, recordset_->generation(), shown.rowid, shown.cells};
            pendingCells_ = std::move(shown.cells);
        } catch (...) {
            identityError_ = DescribeException(std::current_exception());
        }
    }
    pending_ = record;
    edits_[column] = text;
    emit dataChanged(index, index);
    emit headerDataChanged(Qt::Vertical, index.row(), index.row());
    return true;
}

void RecordSetModel::refreshRecord(qsizetype record)
{
    const int row = rowOf(record);
    if (row < 0)
        return;
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void RecordSetModel::commitPending()
{
    if (pending_ < 0)
        return;
    requireExactCount(); // (the write waits for it): the pending row stands where the count puts it
    const qsizetype record = pending_;
    ADODB::RowChanges changes;
    for (const auto& [column, text] : edits_) {
        if (record < records_ && text == recordset_->text(record, column))
            continue;
        changes[column] = recordset_->typedValue(column, text);
    }
    if (record >= records_) {
        const ADODB::StoredRecord added = recordset_->AddNew(changes); // throws when refused; the row stays pending
        history_.push({ADODB::RowImage{std::nullopt, added.identity}});
        clearPending();
        takeCount(recordset_->recordCount());
        // Where rows are read in pages, the new row takes its place in the table's order.
        refreshAll();
        if (recordset_->generation() != generation_ && onFileChanged)
            onFileChanged();
        return;
    }
    if (!identity_)
        throw AppError(identityError_);
    const ADODB::StoredRecord written = recordset_->Update(record, *identity_, changes); // throws when refused; the row stays pending
    if (!changes.empty())
        history_.push({ADODB::RowImage{*identity_, written.identity}});
    clearPending();
    refreshRecord(record);
    if (recordset_->generation() != generation_ && onFileChanged)
        onFileChanged(); // the write moved rows (a changed key): the grid finds its rows again
}

void RecordSetModel::clearPending()
{
    pending_ = -1;
    edits_.clear();
    identity_.reset();
    identityError_.clear();
    pendingCells_.reset();
    pendingAnchor_ = RowAnchor();
    pendingGone_ = false;
}

bool RecordSetModel::fileChanged(bool settle)
{
    if (!recordset_ || !recordset_->isPaged())
        return false;
    recordset_->followFile(settle);
    return recordset_->generation() != generation_;
}

RowAnchor RecordSetModel::anchorAt(qsizetype record) const
{
    if (!recordset_ || record < 0 || record >= records_ || recordset_->generation() != generation_)
        return {};
    if (record == pending_ && pendingAnchor_.isSet())
        return pendingAnchor_;
    try {
        return recordset_->anchorAt(record);
    } catch (...) {
        return {}; // a row that cannot be read now is found by its place
    }
}

void RecordSetModel::placeAgain(const AnchorPlace& pending, qsizetype base)
{
    generation_ = recordset_->generation();
    const bool onNewRowLine = pending_ >= 0 && pending_ >= records_;
    records_ = recordset_->recordCount();
    if (pending_ >= 0) {
        if (onNewRowLine) {
            pending_ = records_;
        } else {
            pending_ = std::min(pending.position, std::max<qsizetype>(0, records_ - 1));
            pendingGone_ = !pending.present;
            if (pending.present) {
                pendingAnchor_.position = pending_;
                pendingAnchor_.generation = generation_;
            } // (else it is sought by who it was again at the next change)
        }
    }
    rebuild(base, records_);
    if (!recordset_->countKnown())
        countTimer_->start();
}

void RecordSetModel::revertPending()
{
    if (pending_ < 0)
        return;
    const qsizetype record = pending_;
    clearPending();
    // Shows the row as the table holds it now, which may differ from what was read.
    if (record < records_) {
        try {
            recordset_->reload(record);
        } catch (...) {
            // The row keeps what was read before; the next edit of it is checked again.
        }
    }
    refreshRecord(record);
}

void RecordSetModel::rowsWritten()
{
    takeCount(recordset_->recordCount());
    refreshAll();
    if (recordset_->generation() != generation_ && onFileChanged)
        onFileChanged();
}

void RecordSetModel::deleteRecords(const std::vector<qsizetype>& records)
{
    std::vector<ADODB::RowImage> deleted;
    for (ADODB::RowIdentity& identity : recordset_->Delete(records))
        deleted.push_back(ADODB::RowImage{std::move(identity), std::nullopt});
    history_.push(std::move(deleted));
    std::vector<qsizetype> sorted = records;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    bool shifted = false;
    for (qsizetype record : sorted) {
        const int row = rowOf(record);
        if (row >= 0) {
            beginRemoveRows(QModelIndex(), row, row);
            --records_;
            --rows_;
            endRemoveRows();
        } else {
            --records_;
            if (record < base_) {
                --base_; // the span's rows stay the same records
                shifted = true;
            }
        }
    }
    if (shifted)
        refreshAll();
    takeCount(recordset_->recordCount());
    // The span takes in the lines after it, up to its size.
    const int rows = rowsFrom(base_);
    if (rows_ < rows) {
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }
}
