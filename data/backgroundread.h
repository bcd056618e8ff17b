#pragma once
// A long read on a connection of its own, run on another thread: the caller
// goes on at once, polls for the end, and can interrupt it at any moment
// (cancel returns at once; the statement running is interrupted by the
// driver). Whoever drops it does not wait for it: the thread keeps the
// connection until its statement has been interrupted.
#include "reader.h"

#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

class BackgroundRead : public std::enable_shared_from_this<BackgroundRead> {
public:
    // Runs work(read) on a thread of its own; work executes its statements through run.
    static std::shared_ptr<BackgroundRead> start(Reader reader, std::function<void(BackgroundRead&)> work);
    // Executes a statement on the reader, so that cancel interrupts it. Throws
    // AppError (the driver's reason, or that it was cancelled).
    void run(odbc::Statement& statement, const QString& sql, const std::vector<odbc::Param>& params = {});
    odbc::Statement statement() { return reader_.statement(); }
    // The whole of what work read: a result, or why it failed.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    void wait() const { done_.wait(); }
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    // Why work failed (nullptr: it did not, or was cancelled).
    std::exception_ptr error() const { return finished() ? error_ : nullptr; }
    // The reader, to be used on the caller's thread once finished.
    const Reader& reader() const { return reader_; }

private:
    explicit BackgroundRead(Reader reader) : reader_(std::move(reader)) {}
    Reader reader_;
    std::mutex mutex_;
    SQLHSTMT running_ = SQL_NULL_HSTMT;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
    std::exception_ptr error_;
    std::shared_future<void> done_;
};

// Runs work on a thread of its own and waits for it while keepGoing says so
// (asked every few milliseconds; it may process the user's events), cancelling
// it when not. False when stopped; throws what work threw.
bool RunWhile(Reader reader, std::function<void(BackgroundRead&)> work, const std::function<bool()>& keepGoing);
