#include "pagestarts.h"

#include <algorithm>

PageStarts::PageStarts(qsizetype pageRows) : pageRows_(std::max<qsizetype>(1, pageRows)) { restart(); }

void PageStarts::restart(qint64 first)
{
    starts_.clear();
    starts_[0] = first;
    dense_.reset();
}

std::optional<qint64> PageStarts::known(qsizetype page) const
{
    const auto found = starts_.find(page);
    return found == starts_.end() ? std::nullopt : std::optional<qint64>(found->second);
}

std::optional<qint64> PageStarts::find(qsizetype page)
{
    if (const std::optional<qint64> start = known(page))
        return start;
    if (!dense_ || page < 0 || quint64(page) * quint64(pageRows_) >= quint64(dense_->rows))
        return std::nullopt;
    const qint64 start = dense_->first + page * pageRows_;
    starts_[page] = start;
    return start;
}

void PageStarts::forgetPast(qint64 rowid)
{
    dense_.reset();
    for (auto it = std::next(starts_.begin()); it != starts_.end();)
        it = it->second > rowid ? starts_.erase(it) : std::next(it);
}

void PageStarts::forgetFrom(qsizetype page)
{
    starts_.erase(starts_.lower_bound(std::max<qsizetype>(1, page)), starts_.end());
}

void PageStarts::forgetBetween(qsizetype after, qsizetype before)
{
    if (before > after + 1)
        starts_.erase(starts_.upper_bound(after), starts_.lower_bound(before));
}

void PageStarts::forgetAll()
{
    dense_.reset();
    starts_.erase(std::next(starts_.begin()), starts_.end());
}
