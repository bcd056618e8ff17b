#include "rowpin.h"

#include <utility>

RowPin::RowPin(QString source, QString alias, qsizetype pageRows)
    : sql_(QLatin1String("SELECT count(*) FROM ") + source + QLatin1String(" WHERE ") + alias + QLatin1String(" < ?;")),
      pageRows_(pageRows)
{
}

void RowPin::set(qsizetype fromPage, qsizetype at, qint64 rowid, Reader& reader)
{
    fromPage_ = fromPage;
    at_ = at;
    rowid_ = rowid;
    startCount(&reader);
}

void RowPin::clear()
{
    if (!active())
        return;
    fromPage_ = -1;
    stale_ = count_.valid();
}

void RowPin::wait() const
{
    if (count_.valid())
        count_.wait();
}

void RowPin::startCount(Reader* reader)
{
    if (count_.valid()) {
        stale_ = true; // the one on its way is dropped when it arrives, and this one started then
        return;
    }
    if (!reader) {
        fromPage_ = -1; // (not reached: a pin is set only where there is another connection)
        return;
    }
    count_ = Pending<qsizetype>(*reader, [sql = sql_, rowid = rowid_](BackgroundRead& read) -> qsizetype {
        odbc::Statement st = read.statement();
        read.run(st, sql, {odbc::Param::text(QByteArray::number(rowid))});
        std::string buffer;
        return st.fetch() && st.getData(0, buffer) ? qsizetype(std::strtoll(buffer.c_str(), nullptr, 10)) : 0;
    });
}

RowPin::Settled RowPin::settle(Reader* reader, quint64 generation)
{
    if (!count_.ready())
        return {};
    qsizetype before = 0;
    try {
        before = count_.get();
    } catch (const ReadInterrupted&) {
        // A write of ours came between: counted again (a stale count is not needed).
        stale_ = false;
        if (active())
            startCount(reader);
        return {};
    } catch (...) {
        if (std::exchange(stale_, false)) {
            // Of an older pin: the present one is counted now.
            if (active())
                startCount(reader);
            return {};
        }
        // Not counted (the table cannot be read now?): the rows are placed again
        // by counting, and a table that cannot be read says so where it is read.
        return {active(), -1};
    }
    if (std::exchange(stale_, false)) {
        if (active())
            startCount(reader);
        return {};
    }
    if (!active())
        return {};
    const qsizetype fromPage = std::exchange(fromPage_, -1);
    const qsizetype delta = before - at_;
    if (delta == 0)
        return {}; // the pinned rows stand where they were put
    moved_ = Moved{generation, fromPage * pageRows_, delta};
    return {false, fromPage};
}

std::optional<qsizetype> RowPin::movedPosition(const RowAnchor& anchor, quint64 generation) const
{
    if (!moved_ || anchor.generation != moved_->generation || moved_->generation + 1 != generation)
        return std::nullopt;
    return anchor.position >= moved_->from ? anchor.position + moved_->delta : anchor.position;
}
