// Working in blocks: paste, Replace All, and taking writes back (undo, redo).
// Every row is written through the one row writer with the identity it was
// shown with when the step began, a block as one transaction with a
// savepoint per row.
#include "DataGrid.h"

#include "CopyText.h"
#include "RecordSetModel.h"
#include "common/Main.h"
#include "common/progress.h"
#include "data/error.h"
#include "data/rowview.h"
#include "platform/messagebox.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <map>
#include <set>

namespace {
constexpr size_t kListed = 10; // refused rows named in the message; the rest are counted

// The row writer's reason, without the way back from a typed edit (a block has none: it is undone whole).
QString reasonOf(QString reason)
{
    reason.remove(QStringLiteral(" Press Esc to undo your change."));
    return reason;
}

QString refusals(const QString& head, const std::vector<std::pair<QString, QString>>& rows)
{
    QString text = head;
    for (size_t i = 0; i < rows.size() && i < kListed; ++i)
        text += QLatin1Char('\n') + (rows[i].first.isEmpty() ? QStringLiteral("(empty)") : rows[i].first)
            + QLatin1String(": ") + reasonOf(rows[i].second);
    if (rows.size() > kListed)
        text += QStringLiteral("\nand %1 more.").arg(rows.size() - kListed);
    return text;
}

QString rowsWord(size_t n) { return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n); }
} // namespace

// While a block's transaction is open (the progress bar lets events through),
// the grid neither paints rows (nor row selectors) nor follows the file: what
// it would read is half written. A copy does the same: a paint would read
// the rows on show in place of those being copied, page after page.
DataGrid::BlockWrite::BlockWrite(DataGrid* grid) : grid_(grid)
{
    grid_->writingBlock_ = true;
    grid_->model_->holdReads(true);
    grid_->setUpdatesEnabled(false);
}

DataGrid::BlockWrite::~BlockWrite()
{
    grid_->writingBlock_ = false;
    grid_->model_->holdReads(false);
    grid_->setUpdatesEnabled(true);
}

bool DataGrid::paste()
{
    return pasteText(QGuiApplication::clipboard()->text());
}

bool DataGrid::pasteText(const QString& text)
{
    const std::shared_ptr<ADODB::RecordSet> rs = model_->recordSet();
    if (!rs)
        return false;
    // The block's size first; its rows are read one at a time as they are written.
    qsizetype blockRows = 0;
    int width = 0;
    QStringList only;
    {
        TsvReader reader(text);
        int fields = 0;
        while (reader.next(blockRows == 0 ? &only : nullptr, &fields)) {
            ++blockRows;
            width = std::max(width, fields);
        }
    }
    if (blockRows == 0)
        return false;
    TsvReader block(text);
    commitOpenEditor();
    if (!commitPendingRow())
        return false;
    // Rows are written where the count puts them (as for a delete).
    followFile(true);
    if (!learnCount())
        return false;
    const qsizetype records = model_->records();
    const int columns = model_->columnCount();

    // What goes where: the records written, in order, and each one's
    // (column, text) pairs. A block is taken row by row from the parsed
    // text; one value filling the selection is laid out cell by cell.
    std::vector<qsizetype> targets;
    std::map<qsizetype, std::map<int, QString>> filled;
    qsizetype top = 0;
    int left = 0, fits = 0;
    qsizetype newRows = 0;
    std::vector<RecordRange> ranges = selectionRanges();
    ranges.insert(ranges.end(), heldSelection_.begin(), heldSelection_.end());
    qsizetype selected = 0;
    for (const RecordRange& range : ranges)
        selected += (range.bottom - range.top + 1) * (range.right - range.left + 1);
    const bool fill = blockRows == 1 && width == 1 && selected > 1;
    if (fill) {
        // One value, several cells selected: it fills every one of them.
        for (const RecordRange& range : ranges)
            for (qsizetype r = range.top; r <= std::min(range.bottom, records - 1); ++r)
                for (int c = range.left; c <= range.right; ++c)
                    filled[r][c] = only.front();
        for (const auto& entry : filled)
            targets.push_back(entry.first);
    } else {
        top = currentRecord();
        left = currentIndex().isValid() ? currentIndex().column() : 0;
        if (top < 0)
            return false;
        fits = std::min(width, columns - left);
        const qsizetype existing = std::max<qsizetype>(0, std::min<qsizetype>(blockRows, records - top));
        qsizetype rest = blockRows - existing;
        if (rest > 0) {
            QString question = rest == 1 ? QStringLiteral("Add 1 new row for the rest?")
                                         : QStringLiteral("Add %1 new rows for the rest?").arg(rest);
            if (fits < width)
                question += QStringLiteral("\n\nThe last %1 of the pasted columns lie past the table's last column "
                                           "and are left out.")
                                .arg(width - fits);
            if (MsgBox(question, vbYesNo | vbQuestion, Main::ApplicationTitle()) != vbYes)
                rest = 0;
        }
        if (fits > 0)
            for (qsizetype r = 0; r < existing + rest; ++r)
                targets.push_back(top + r);
        newRows = rest;
    }
    if (targets.empty())
        return false;
    // The texts of the k-th record written, given up as they are taken (in order).
    QStringList line;
    const auto takeValues = [&](size_t k) {
        std::vector<std::pair<int, QString>> values;
        if (fill) {
            std::map<int, QString>& cells = filled[targets[k]];
            for (auto& [column, text] : cells)
                values.emplace_back(column, std::move(text));
            cells.clear();
        } else {
            block.next(&line);
            for (int c = 0; c < fits && c < line.size(); ++c)
                values.emplace_back(left + c, std::move(line[c]));
        }
        return values;
    };
    if ((targets.front() < records && !rs->canUpdate()) || (newRows > 0 && !rs->canInsert())) {
        showRefused(rs->readOnlyReason());
        return false;
    }

    LongWork progress(window(), QStringLiteral("Pasting\u2026"), true);
    const qsizetype total = qsizetype(targets.size());
    std::vector<ADODB::BlockRow> rows;
    std::vector<QString> labels; // each row's first column, as shown
    rows.reserve(targets.size());
    try {
        // Who each row is, taken from what is shown before anything is written.
        std::vector<qsizetype> shown;
        for (qsizetype record : targets)
            if (record < records)
                shown.push_back(record);
        std::vector<std::optional<ADODB::RowIdentity>> identities;
        identities.reserve(shown.size());
        for (size_t from = 0; from < shown.size(); from += 500) {
            progress(qsizetype(from), total * 2);
            if (!progress.keepGoing())
                return false;
            const std::vector<qsizetype> part(shown.begin() + qsizetype(from),
                                              shown.begin() + qsizetype(std::min(shown.size(), from + 500)));
            for (std::optional<ADODB::RowIdentity>& identity : rs->identifyRows(part))
                identities.push_back(std::move(identity));
        }
        shown = {};
        // The block pasted becomes the selection.
        const qsizetype firstRecord = targets.front(), lastRecord = targets.back();
        int leftColumn = columns, rightColumn = 0;
        size_t next = 0;
        for (size_t k = 0; k < targets.size(); ++k) {
            const qsizetype record = targets[k];
            const std::vector<std::pair<int, QString>> values = takeValues(k);
            if (!values.empty()) {
                leftColumn = std::min(leftColumn, values.front().first);
                rightColumn = std::max(rightColumn, values.back().first);
            }
            ADODB::BlockRow row;
            if (record < records) {
                row.row = record;
                labels.push_back(model_->displayText(record, 0));
                row.identity = std::move(identities[next++]);
                if (!row.identity)
                    row.why = ADODB::RowWriter::changedMessage();
                for (const auto& [column, value] : values)
                    if (value != rs->text(record, column))
                        row.changes.set(column, rs->typedValue(column, value));
            } else {
                // A new row: an empty field is left to the column's default, as on the new-row line.
                labels.push_back(!values.empty() && values.front().first == 0 ? values.front().second : QString());
                for (const auto& [column, value] : values)
                    if (!value.isEmpty())
                        row.changes.set(column, rs->typedValue(column, value));
            }
            rows.push_back(std::move(row));
        }
        filled = {};
        identities = {};
        ADODB::BlockOutcome outcome;
        const size_t pasted = rows.size();
        {
            const BlockWrite writing(this);
            outcome = rs->writeBlock(std::move(rows), [&](size_t done) {
                if (done % 500)
                    return true;
                progress(qsizetype(pasted + done), total * 2);
                return progress.keepGoing();
            });
        }
        const bool written = !outcome.written.empty();
        model_->history().push(std::move(outcome.written));
        model_->rowsWritten();
        setCurrentRecord(firstRecord, leftColumn);
        const int top = model_->rowOf(firstRecord), bottom = model_->rowOf(lastRecord);
        if (top >= 0 && bottom >= 0)
            selectionModel()->select(QItemSelection(model_->index(top, leftColumn), model_->index(bottom, rightColumn)),
                                     QItemSelectionModel::ClearAndSelect);
        if (!outcome.refused.empty()) {
            std::vector<std::pair<QString, QString>> refused;
            for (const auto& [i, why] : outcome.refused)
                refused.emplace_back(labels[i], why);
            showRefused(refusals(QStringLiteral("%1 of %2 were not pasted:")
                                     .arg(rowsWord(outcome.refused.size()))
                                     .arg(pasted),
                                 refused));
        }
        return written;
    } catch (...) {
        showRefused(DescribeException(std::current_exception()));
        model_->rowsWritten();
        return false;
    }
}

bool DataGrid::undo() { return takeBack(false); }
bool DataGrid::redo() { return takeBack(true); }

bool DataGrid::takeBack(bool again)
{
    const std::shared_ptr<ADODB::RecordSet> rs = model_->recordSet();
    EditHistory& history = model_->history();
    if (!rs)
        return false;
    // A row still pending is written first, as when leaving it.
    commitOpenEditor();
    if (!commitPendingRow())
        return false;
    if (again ? !history.canRedo() : !history.canUndo())
        return false;
    const EditStep& step = again ? history.toRedo() : history.toUndo();
    LongWork progress(window(), again ? QStringLiteral("Redoing\u2026") : QStringLiteral("Undoing\u2026"), true);
    try {
        const BlockWrite writing(this);
        rs->applyImages(step.rows, !again, [&](size_t done) {
            if (done % 500)
                return true;
            progress(qsizetype(done), qsizetype(step.rows.size()));
            return progress.keepGoing();
        });
    } catch (...) {
        // Nothing was written: the history stays as it was.
        showRefused((again ? QStringLiteral("The change was not made again: ")
                           : QStringLiteral("The change was not undone: "))
                    + reasonOf(DescribeException(std::current_exception())));
        model_->rowsWritten();
        return false;
    }
    if (again)
        history.redone();
    else
        history.undone();
    model_->rowsWritten();
    followFile();
    return true;
}

int DataGrid::replaceAll(const FindText& text, const QString& with)
{
    const std::shared_ptr<ADODB::RecordSet> rs = model_->recordSet();
    if (!rs || text.text.isEmpty())
        return 0;
    commitOpenEditor();
    if (!commitPendingRow())
        return 0;
    if (!rs->canUpdate()) {
        showRefused(rs->readOnlyReason());
        return 0;
    }
    followFile(true);
    if (!learnCount())
        return 0;
    const qsizetype records = model_->records();
    LongWork progress(window(), QStringLiteral("Replacing\u2026"), true);
    std::vector<ADODB::BlockRow> rows;
    std::vector<QString> labels;
    try {
        // Every row holding the text, found by the database in the order shown.
        for (qsizetype from = 0; from < records;) {
            const std::optional<FoundRow> found = rs->find(from, true, text, [&] { return progress.keepGoing(); });
            if (!progress.keepGoing())
                return 0;
            if (!found || found->row < from)
                break;
            progress(found->row, records);
            ADODB::BlockRow row;
            row.row = found->row;
            labels.push_back(model_->displayText(found->row, 0));
            try {
                row.identity = rs->identify(found->row).identity;
            } catch (const AppError& error) {
                row.why = error.description();
            }
            for (int c = 0; c < model_->columnCount(); ++c) {
                if (!found->holds(c) || rs->isBlob(found->row, c))
                    continue;
                const QString now = rs->text(found->row, c);
                const QString next = ReplacedText(now, text, with);
                if (next != now)
                    row.changes.set(c, rs->typedValue(c, next));
            }
            if (!row.changes.empty() || !row.identity)
                rows.push_back(std::move(row));
            else
                labels.pop_back();
            from = found->row + 1;
        }
        if (rows.empty()) {
            MsgBox(QStringLiteral("Not found."), vbInformation | vbOKOnly, Main::ApplicationTitle());
            return 0;
        }
        std::optional<BlockWrite> writing(std::in_place, this);
        const size_t replacing = rows.size();
        ADODB::BlockOutcome outcome = rs->writeBlock(std::move(rows), [&](size_t done) {
            if (done % 500)
                return true;
            progress(qsizetype(done), qsizetype(replacing));
            return progress.keepGoing();
        });
        writing.reset();
        const size_t replaced = outcome.written.size();
        model_->history().push(std::move(outcome.written));
        model_->rowsWritten();
        const QString head = QStringLiteral("Replaced in %1.").arg(rowsWord(replaced));
        if (outcome.refused.empty()) {
            MsgBox(head, vbInformation | vbOKOnly, Main::ApplicationTitle());
        } else {
            std::vector<std::pair<QString, QString>> refused;
            for (const auto& [i, why] : outcome.refused)
                refused.emplace_back(labels[i], why);
            showRefused(refusals(head + QStringLiteral(" %1 not written:").arg(rowsWord(outcome.refused.size())),
                                 refused));
        }
        return int(replaced);
    } catch (...) {
        showRefused(DescribeException(std::current_exception()));
        model_->rowsWritten();
        return 0;
    }
}

DataGrid::FindOutcome DataGrid::replaceCurrent(const FindText& text, const QString& with)
{
    const std::shared_ptr<ADODB::RecordSet> rs = model_->recordSet();
    if (!rs || text.text.isEmpty())
        return FindOutcome::Stopped;
    commitOpenEditor();
    if (!commitPendingRow())
        return FindOutcome::Stopped;
    const qsizetype record = currentRecord();
    const int column = currentIndex().isValid() ? currentIndex().column() : -1;
    if (record >= 0 && record < model_->records() && column >= 0) {
        try {
            if (!rs->isBlob(record, column)) {
                const QString now = rs->text(record, column);
                const QString next = ReplacedText(now, text, with);
                if (next != now) {
                    if (!rs->canUpdate()) {
                        showRefused(rs->readOnlyReason());
                        return FindOutcome::Stopped;
                    }
                    ADODB::BlockRow row;
                    row.row = record;
                    row.identity = rs->identify(record).identity;
                    row.changes.set(column, rs->typedValue(column, next));
                    ADODB::BlockOutcome outcome = rs->writeBlock({row}, {});
                    model_->history().push(std::move(outcome.written));
                    model_->rowsWritten();
                    if (!outcome.refused.empty()) {
                        showRefused(reasonOf(outcome.refused.front().second));
                        return FindOutcome::Stopped;
                    }
                }
            }
        } catch (...) {
            showRefused(reasonOf(DescribeException(std::current_exception())));
            return FindOutcome::Stopped;
        }
    }
    return find(text, true);
}

bool DataGrid::blockKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_V && mods == Qt::ControlModifier) {
        paste();
        return true;
    }
    if (key == Qt::Key_A && mods == Qt::ControlModifier) {
        selectEverything();
        return true;
    }
    if (key == Qt::Key_Z && mods == Qt::ControlModifier) {
        undo();
        return true;
    }
    if ((key == Qt::Key_Y && mods == Qt::ControlModifier)
        || (key == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))) {
        redo();
        return true;
    }
    if (key == Qt::Key_Space && (mods == Qt::ShiftModifier || mods == Qt::ControlModifier) && currentIndex().isValid()) {
        // The rows (or columns) that the selection and the current cell touch, whole.
        int first = mods == Qt::ShiftModifier ? currentIndex().row() : currentIndex().column();
        int last = first;
        for (const QItemSelectionRange& range : selectionModel()->selection()) {
            first = std::min(first, mods == Qt::ShiftModifier ? range.top() : range.left());
            last = std::max(last, mods == Qt::ShiftModifier ? range.bottom() : range.right());
        }
        if (mods == Qt::ControlModifier) {
            selectColumns(first, last);
            return true;
        }
        const QModelIndex current = currentIndex();
        selectionModel()->select(QItemSelection(model_->index(first, 0), model_->index(last, model_->columnCount() - 1)),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        return true;
    }
    return false;
}

void DataGrid::selectEverything() { selectColumns(0, model_->columnCount() - 1); }

void DataGrid::selectColumns(int left, int right)
{
    if (!model_->recordSet() || !learnCount())
        return;
    // The span's lines are selected in the view; the records outside it are held.
    // (Not the new-row line: it holds no record.)
    const QModelIndex current = currentIndex();
    const qsizetype first = model_->base();
    const qsizetype last = std::min(model_->base() + model_->rowCount(), model_->records()) - 1;
    if (last >= first)
        selectionModel()->select(QItemSelection(model_->index(0, left), model_->index(int(last - first), right)),
                                 QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clearSelection();
    if (current.isValid())
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    heldSelection_.clear();
    if (first > 0)
        heldSelection_.push_back({0, first - 1, left, right, {}, {}});
    if (last < model_->records() - 1)
        heldSelection_.push_back({last + 1, model_->records() - 1, left, right, {}, {}});
}
