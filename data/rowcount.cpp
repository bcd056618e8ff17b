#include "rowcount.h"

#include "fetch.h"

#include <limits>

namespace {
qint64 NumberAt(odbc::Statement& st, int column)
{
    std::string buffer;
    return st.getData(column, buffer) ? std::strtoll(buffer.c_str(), nullptr, 10) : 0;
}
} // namespace

QString CountStatement(const CountQuery& query)
{
    return QLatin1String("SELECT COUNT(*) FROM ") + query.source + QLatin1Char(';');
}

Pending<CountedRows> CountRows(const Reader& reader, const CountQuery& query)
{
    // The pieces of a rowid table's count: the first from the lowest rowid there can be, itself included.
    const auto pieceFrom = [&query](const char* comparison) {
        return QLatin1String("SELECT count(*), max(r) FROM (SELECT ") + query.alias + QLatin1String(" AS r FROM ")
            + query.source + QLatin1String(" WHERE ") + query.alias + QLatin1Char(' ') + QLatin1String(comparison)
            + QLatin1String(" ? ORDER BY ") + query.alias + QLatin1String(" LIMIT ") + QString::number(query.pieceRows)
            + QLatin1String(");");
    };
    const bool inPieces = !query.alias.isEmpty();
    const QString firstPiece = inPieces ? pieceFrom(">=") : QString(), piece = inPieces ? pieceFrom(">") : QString();
    const QString whole = CountStatement(query);
    const QString last = QLatin1String("SELECT * FROM ") + query.source + QLatin1String(" LIMIT ")
        + QString::number(query.pageRows) + QLatin1String(" OFFSET ");
    return Pending<CountedRows>(reader, [=, columns = query.columns, pageRows = query.pageRows,
                                         pieceRows = query.pieceRows](BackgroundRead& read) {
        CountedRows counted;
        if (inPieces) {
            QByteArray after = QByteArray::number(std::numeric_limits<qint64>::min());
            for (bool first = true;; first = false) {
                odbc::Statement st = read.statement();
                read.run(st, first ? firstPiece : piece, {odbc::Param::text(after)});
                const qsizetype rows = st.fetch() ? qsizetype(NumberAt(st, 0)) : 0;
                counted.rows += rows;
                if (rows < pieceRows)
                    break;
                after = QByteArray::number(NumberAt(st, 1));
            }
            return counted;
        }
        odbc::Statement st = read.statement();
        read.runGivingWay(st, whole);
        counted.rows = st.fetch() ? qsizetype(NumberAt(st, 0)) : 0;
        if (pageRows > 0 && counted.rows > pageRows) {
            counted.lastIndex = (counted.rows - 1) / pageRows;
            counted.last = RowStore(columns);
            odbc::Statement page = read.statement();
            read.runGivingWay(page, last + QString::number(counted.lastIndex * pageRows) + QLatin1Char(';'));
            FetchRows(page, counted.last, nullptr);
        }
        return counted;
    });
}

RowCounter::RowCounter(CountQuery query, std::function<odbc::Statement()> statement)
    : query_(std::move(query)), statement_(std::move(statement))
{
}

std::optional<CountedRows> RowCounter::start(Reader* reader)
{
    if (counting_.valid()) {
        stale_ = true; // this one starts when the one on its way arrives
        return std::nullopt;
    }
    if (!reader)
        return countHere();
    // (Nothing of this object is touched on the other thread: it may be gone before the count ends.)
    counting_ = CountRows(*reader, query_);
    return std::nullopt;
}

std::optional<CountedRows> RowCounter::take(Reader* reader)
{
    if (!counting_.ready())
        return std::nullopt;
    if (std::exchange(stale_, false)) {
        try {
            counting_.get();
        } catch (...) {
            // of an older reading of the file: counted again below
        }
        return start(reader);
    }
    try {
        return counting_.get();
    } catch (const ReadInterrupted&) {
        return start(reader); // a write of ours came between: counted again
    } catch (...) {
        return countHere(); // (the last page of a view is then read when shown)
    }
}

void RowCounter::wait() const
{
    if (counting_.valid())
        counting_.wait();
}

CountedRows RowCounter::countHere() const
{
    odbc::Statement st = statement_();
    st.execute(CountStatement(query_));
    CountedRows counted;
    counted.rows = st.fetch() ? qsizetype(NumberAt(st, 0)) : 0;
    return counted;
}
