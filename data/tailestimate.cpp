#include "tailestimate.h"

#include <limits>

qsizetype TailEstimate::fromSpan(qint64 low, qint64 high, qsizetype count)
{
    const quint64 span = quint64(high) - quint64(low);
    if (span >= quint64(std::numeric_limits<int>::max() - 2) || qsizetype(span) + 1 < count)
        return count;
    active_ = true;
    return qsizetype(span) + 1;
}

std::optional<qsizetype> TailEstimate::place(qsizetype estimate, qsizetype count)
{
    const qsizetype from = std::exchange(from_, -1);
    if (from < 0 || count == estimate)
        return std::nullopt;
    // A row read back from the end was put at estimate - 1 - (rows after it);
    // it stands at count - 1 - (rows after it).
    shift_ = TailShift{from * pageRows_, count - estimate};
    return from;
}
