#include "rowidsearch.h"

#include "backgroundread.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

namespace {
// Below this many rowids a search is one piece: a few milliseconds, not worth more connections.
quint64 rowidsPerPiece = 250000;
int mostPieces = 0;
constexpr int kMostCores = 4;

QByteArray number(qint64 n) { return QByteArray::number(n); }

// The rows before the row, in one statement, so that both counts see one
// file: near the start those before it, nearer the end all rows but those
// from it on (the whole count is taken from the smallest index).
qsizetype rowsBefore(BackgroundRead& read, const RowidSearch& search, qint64 rowid)
{
    const QString from = QLatin1String(" FROM ") + search.table;
    const QString& alias = search.alias;
    const QString sql = QLatin1String("SELECT CASE WHEN CAST(? AS INTEGER) - (SELECT min(") + alias + QLatin1Char(')')
        + from + QLatin1String(") <= (SELECT max(") + alias + QLatin1Char(')') + from
        + QLatin1String(") - CAST(? AS INTEGER) THEN (SELECT count(*)") + from + QLatin1String(" WHERE ") + alias
        + QLatin1String(" < CAST(? AS INTEGER)) ELSE (SELECT count(*)") + from + QLatin1String(") - (SELECT count(*)")
        + from + QLatin1String(" WHERE ") + alias + QLatin1String(" >= CAST(? AS INTEGER)) END;");
    const odbc::Param at = odbc::Param::text(number(rowid));
    odbc::Statement count = read.statement();
    read.runGivingWay(count, sql, {at, at, at, at});
    std::string cell;
    return count.fetch() && count.getData(0, cell) ? qsizetype(std::strtoll(cell.c_str(), nullptr, 10)) : 0;
}
} // namespace

int SearchPieces(quint64 rowids)
{
    const int most = mostPieces > 0 ? mostPieces : std::clamp(int(std::thread::hardware_concurrency()), 1, kMostCores);
    return int(std::clamp<quint64>(rowids / rowidsPerPiece, 1, quint64(most)));
}

std::pair<quint64, int> SetSearchPieces(quint64 rows, int most)
{
    return {std::exchange(rowidsPerPiece, std::max<quint64>(1, rows)), std::exchange(mostPieces, most)};
}

std::optional<RowidFound> SearchByRowid(const OpenReader& open, const RowidSearch& search, qint64 lastRowid,
                                        const std::function<bool()>& keepGoing)
{
    const bool ahead = search.forward ? lastRowid > search.from : lastRowid < search.from;
    const quint64 span = ahead ? (search.forward ? quint64(lastRowid) - quint64(search.from)
                                                 : quint64(search.from) - quint64(lastRowid))
                               : 0;
    const int pieces = SearchPieces(span);
    const quint64 step = span / quint64(pieces) + 1;
    // Piece k: from bound k (included) to bound k + 1 (not included); the last one to the end of the table.
    std::vector<qint64> bounds;
    for (int k = 0; k < pieces; ++k)
        bounds.push_back(search.forward ? qint64(quint64(search.from) + quint64(k) * step)
                                        : qint64(quint64(search.from) - quint64(k) * step));

    using Result = std::shared_ptr<std::optional<RowidFound>>;
    std::vector<std::shared_ptr<BackgroundRead>> reads;
    std::vector<Result> results;
    const QString towards = search.forward ? QStringLiteral(" >= ?") : QStringLiteral(" <= ?");
    const QString short_ = search.forward ? QStringLiteral(" < ?") : QStringLiteral(" > ?");
    for (int k = 0; k < pieces; ++k) {
        const bool last = k + 1 == pieces;
        std::vector<odbc::Param> params = search.cellParams;
        params.push_back(odbc::Param::text(number(bounds[size_t(k)])));
        if (!last)
            params.push_back(odbc::Param::text(number(bounds[size_t(k) + 1])));
        params.insert(params.end(), search.whereParams.begin(), search.whereParams.end());
        const QString sql = QLatin1String("SELECT ") + search.alias + QLatin1String(", ") + search.cells
            + QLatin1String(" FROM ") + search.table + QLatin1String(" WHERE ") + search.alias + towards
            + (last ? QString() : QLatin1String(" AND ") + search.alias + short_) + QLatin1String(" AND (")
            + search.where + QLatin1String(") ORDER BY ") + search.alias + (search.forward ? "" : " DESC")
            + QLatin1String(" LIMIT 1;");
        auto result = std::make_shared<std::optional<RowidFound>>();
        results.push_back(result);
        reads.push_back(BackgroundRead::start(open(), [sql, params, result, search](BackgroundRead& read) {
            odbc::Statement st = read.statement();
            read.runGivingWay(st, sql, params);
            std::string rowid, cells;
            if (!st.fetch() || !st.getData(0, rowid) || !st.getData(1, cells))
                return;
            RowidFound found{std::strtoll(rowid.c_str(), nullptr, 10), 0, std::move(cells)};
            st.close(); // (its rows let go before the count)
            found.position = rowsBefore(read, search, found.rowid);
            *result = std::move(found);
        }));
    }
    const auto interruptFrom = [&](size_t k) {
        for (; k < reads.size(); ++k)
            reads[k]->cancel(); // (their threads end on their own)
    };
    // In the search's order: a piece's match counts only once every piece before it has none.
    for (size_t k = 0; k < reads.size(); ++k) {
        while (!reads[k]->finished()) {
            if (!keepGoing()) {
                interruptFrom(0);
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (const std::exception_ptr error = reads[k]->error()) {
            interruptFrom(k + 1);
            std::rethrow_exception(error);
        }
        if (reads[k]->cancelled()) {
            interruptFrom(k + 1);
            return std::nullopt;
        }
        if (*results[k]) {
            interruptFrom(k + 1);
            return std::move(*results[k]);
        }
    }
    return std::nullopt;
}
