#include "RecordSetModel.h"

#include "data/error.h"

#include <QBrush>
#include <QColor>

RecordSetModel::RecordSetModel(QObject* parent) : QAbstractTableModel(parent), countTimer_(new QTimer(this))
{
    // A large table's count arrives after its first rows are shown.
    countTimer_->setInterval(50);
    connect(countTimer_, &QTimer::timeout, this, [this] {
        if (!recordset_) {
            countTimer_->stop();
            return;
        }
        recordset_->pollCount(); // (a write may have waited for it already)
        if (recordset_->countKnown()) {
            countTimer_->stop();
            applyCount();
        }
    });
}

void RecordSetModel::requireExactCount()
{
    if (!recordset_ || recordset_->countKnown())
        return;
    recordset_->waitForCount();
    applyCount();
}

void RecordSetModel::applyCount()
{
    const qsizetype now = recordset_->recordCount();
    if (now == records_)
        return;
    const bool onNewRowLine = pendingRow_ >= 0 && pendingRow_ >= records_;
    if (now > records_) {
        beginInsertRows(QModelIndex(), int(records_), int(now) - 1);
        records_ = now;
        endInsertRows();
    } else if (now < records_) {
        beginRemoveRows(QModelIndex(), int(now), int(records_) - 1);
        records_ = now;
        endRemoveRows();
    }
    // What was typed stays: on the new-row line, or (for a row the estimate
    // showed past the real end) as a new row.
    if (pendingRow_ >= 0 && (onNewRowLine || pendingRow_ >= records_)) {
        if (!onNewRowLine)
            identity_.reset();
        pendingRow_ = int(records_);
    }
    emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
}

void RecordSetModel::setRecordSet(std::shared_ptr<ADODB::RecordSet> recordset)
{
    beginResetModel();
    recordset_ = std::move(recordset);
    records_ = recordset_ ? recordset_->recordCount() : 0;
    clearPending();
    endResetModel();
    if (recordset_ && !recordset_->countKnown())
        countTimer_->start();
}

int RecordSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !recordset_)
        return 0;
    return int(records_) + (hasNewRowLine() ? 1 : 0);
}

int RecordSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !recordset_ ? 0 : recordset_->columnCount();
}

QString RecordSetModel::displayText(int row, int column) const
{
    if (row == pendingRow_) {
        const auto edit = edits_.find(column);
        if (edit != edits_.end())
            return edit->second;
    }
    if (row >= records_)
        return QString();
    return recordset_->text(row, column);
}

bool RecordSetModel::displayBytes(int row, int column, std::string_view* bytes) const
{
    if (row == pendingRow_ && edits_.count(column))
        return false;
    if (row >= records_) {
        *bytes = {};
        return true;
    }
    return recordset_->textBytes(row, column, bytes);
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !recordset_)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        try {
            return displayText(index.row(), index.column());
        } catch (...) {
            return QString(); // a page that cannot be read now is tried again at the next paint
        }
    }
    if (role == Qt::ForegroundRole && isBlob(index.row(), index.column()))
        return QBrush(QColor(Qt::darkGray));
    return {};
}

bool RecordSetModel::isBlob(int row, int column) const
{
    if (row >= records_ || (row == pendingRow_ && edits_.count(column)))
        return false;
    try {
        return recordset_->isBlob(row, column);
    } catch (...) {
        return false;
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !recordset_)
        return {};
    if (orientation == Qt::Horizontal)
        return recordset_->columnName(section);
    if (section == pendingRow_)
        return QStringLiteral("\u270E"); // being edited
    if (section == newRowLine())
        return QStringLiteral("*");
    return QString();
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || !recordset_)
        return f;
    // BLOBs are shown, not edited; a view without INSTEAD OF triggers is read-only.
    const bool newRow = index.row() >= records_;
    if (newRow ? recordset_->canInsert() : recordset_->canUpdate() && !isBlob(index.row(), index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row();
    const int column = index.column();
    if (pendingRow_ >= 0 && row != pendingRow_)
        return false; // the pending row is written (or reverted) before another is edited
    const QString text = value.toString();
    if (text == displayText(row, column))
        return false;
    if (pendingRow_ < 0 && row < records_) {
        // The row's identity is taken from what is shown, before anything typed is kept.
        try {
            identity_ = recordset_->Identify(row);
        } catch (...) {
            identityError_ = DescribeException(std::current_exception());
        }
    }
    pendingRow_ = row;
    edits_[column] = text;
    emit dataChanged(index, index);
    emit headerDataChanged(Qt::Vertical, row, row);
    return true;
}

void RecordSetModel::refreshRow(int row)
{
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void RecordSetModel::commitPending()
{
    if (pendingRow_ < 0)
        return;
    const int row = pendingRow_;
    ADODB::RowChanges changes;
    for (const auto& [column, text] : edits_) {
        if (row < records_ && text == recordset_->text(row, column))
            continue;
        changes[column] = recordset_->typedValue(column, text);
    }
    if (row >= records_) {
        recordset_->AddNew(changes); // throws when refused; the row stays pending
        clearPending();
        const qsizetype now = recordset_->recordCount();
        if (now > records_) {
            beginInsertRows(QModelIndex(), int(records_) + 1, int(now));
            records_ = now;
            endInsertRows();
        }
        // Where rows are read in windows, the new row takes its place in the table's order.
        emit dataChanged(this->index(0, 0), this->index(rowCount() - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
        return;
    }
    if (!identity_)
        throw AppError(identityError_);
    recordset_->Update(row, *identity_, changes); // throws when refused; the row stays pending
    clearPending();
    refreshRow(row);
}

void RecordSetModel::clearPending()
{
    pendingRow_ = -1;
    edits_.clear();
    identity_.reset();
    identityError_.clear();
}

void RecordSetModel::revertPending()
{
    if (pendingRow_ < 0)
        return;
    const int row = pendingRow_;
    clearPending();
    // Shows the row as the table holds it now, which may differ from what was read.
    if (row < records_) {
        try {
            recordset_->Reload(row);
        } catch (...) {
            // The row keeps what was read before; the next edit of it is checked again.
        }
    }
    refreshRow(row);
}

void RecordSetModel::deleteRecords(const std::vector<qsizetype>& rows)
{
    recordset_->Delete(rows);
    std::vector<qsizetype> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (qsizetype row : sorted) {
        beginRemoveRows(QModelIndex(), int(row), int(row));
        --records_;
        endRemoveRows();
    }
    records_ = recordset_->recordCount();
}
