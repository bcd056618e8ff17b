#pragma once
// The pages of rows read, by page index, in a bounded store: when it is full,
// the page used least recently goes. The page found last is found again at
// once (the grid asks for the same page cell after cell).
#include <QtGlobal>
#include <algorithm>
#include <limits>
#include <map>

template <typename Page> class PageStore {
public:
    explicit PageStore(size_t maxPages) : maxPages_(std::max<size_t>(1, maxPages)) {}

    // The page, marked as used; nullptr where it is not held.
    Page* find(qsizetype index)
    {
        if (index == lastIndex_ && last_)
            return &last_->page;
        const auto found = pages_.find(index);
        if (found == pages_.end())
            return nullptr;
        found->second.lastUse = ++clock_;
        remember(index, found->second);
        return &found->second.page;
    }
    bool holds(qsizetype index) const { return pages_.count(index) != 0; }
    // (Not marked as used.) Throws std::out_of_range where it is not held.
    Page& at(qsizetype index) { return pages_.at(index).page; }
    // Holds the page, in place of one of that index; where the store is full,
    // the page used least recently goes first.
    Page& add(qsizetype index, Page page)
    {
        erase(index);
        while (pages_.size() >= maxPages_) {
            const auto oldest = std::min_element(pages_.begin(), pages_.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            });
            erase(oldest->first);
        }
        Entry& added = pages_.emplace(index, Entry{std::move(page), ++clock_}).first->second;
        remember(index, added);
        return added.page;
    }
    void erase(qsizetype index)
    {
        if (index == lastIndex_)
            forgetLast();
        pages_.erase(index);
    }
    // The pages from `from` on, up to `to` (not included).
    void eraseFrom(qsizetype from, qsizetype to = std::numeric_limits<qsizetype>::max())
    {
        forgetLast();
        pages_.erase(pages_.lower_bound(from), pages_.lower_bound(to));
    }
    // The pages for which gone(page) holds.
    template <typename Gone> void eraseIf(Gone gone)
    {
        forgetLast();
        for (auto it = pages_.begin(); it != pages_.end();)
            it = gone(std::as_const(it->second.page)) ? pages_.erase(it) : std::next(it);
    }
    template <typename Visit> void forEach(Visit visit) const
    {
        for (const auto& [index, entry] : pages_)
            visit(index, entry.page);
    }
    void clear()
    {
        forgetLast();
        pages_.clear();
    }
    size_t size() const { return pages_.size(); }

private:
    struct Entry {
        Page page;
        quint64 lastUse = 0;
    };
    void remember(qsizetype index, Entry& entry)
    {
        lastIndex_ = index;
        last_ = &entry;
    }
    void forgetLast()
    {
        lastIndex_ = -1;
        last_ = nullptr;
    }

    std::map<qsizetype, Entry> pages_;
    size_t maxPages_;
    quint64 clock_ = 0;
    qsizetype lastIndex_ = -1;
    Entry* last_ = nullptr;
};
