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
#include <optional>
#include <thread>

#include "error.h"

// A read stopped by cancel (by its owner, or because a write of ours came).
class ReadInterrupted : public AppError {
public:
    using AppError::AppError;
};

class BackgroundRead : public std::enable_shared_from_this<BackgroundRead> {
public:
    // Runs work(read) on a thread of its own; work executes its statements through run.
    static std::shared_ptr<BackgroundRead> start(Reader reader, std::function<void(BackgroundRead&)> work);
    // Executes a statement on the reader, so that cancel interrupts it. Throws
    // AppError (the driver's reason, or that it was cancelled).
    void run(odbc::Statement& statement, const QString& sql, const std::vector<odbc::Param>& params = {});
    // The same, given up at once when another program writes the file or
    // waits to (see WriteWait): false then, and the statement has changed
    // nothing. False without running it where that cannot be told.
    bool runUnlessAWriterWaits(odbc::Statement& statement, const QString& sql, const std::vector<odbc::Param>& params = {});
    // The same, giving way to such a write and then running again from the
    // start, until it has run to its end (where that cannot be told: run).
    void runGivingWay(odbc::Statement& statement, const QString& sql, const std::vector<odbc::Param>& params = {});
    odbc::Statement statement() { return reader_.statement(); }
    // The whole of what work read: a result, or why it failed.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    void wait() const { done_.wait(); }
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    // Interrupts every read running on another thread: a write of ours is
    // about to start, and the reads' locks would keep it waiting. Their
    // owners see them as interrupted (not as failed) and start them again.
    static void interruptAll();
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
    bool yielded_ = false; // (runUnlessAWriterWaits)
    std::optional<QString> file_; // the database file (asked once)
    const QString& file();
    std::atomic<bool> finished_{false};
    std::exception_ptr error_;
    std::shared_future<void> done_;
};

// What a read on another thread gives back, held as a future is: ready when
// finished; get() rethrows its failure (ReadInterrupted when it was cancelled).
// Dropping it interrupts the read and does not wait for it.
template <typename T> class Pending {
public:
    Pending() = default;
    Pending(Reader reader, std::function<T(BackgroundRead&)> work)
    {
        auto result = std::make_shared<std::optional<T>>();
        result_ = result;
        read_ = BackgroundRead::start(std::move(reader),
                                      [result, work = std::move(work)](BackgroundRead& read) { *result = work(read); });
    }
    Pending(Pending&&) = default;
    Pending& operator=(Pending&& other) noexcept
    {
        cancel();
        read_ = std::move(other.read_);
        result_ = std::move(other.result_);
        return *this;
    }
    ~Pending() { cancel(); }
    bool valid() const { return bool(read_); }
    bool ready() const { return read_ && read_->finished(); }
    void wait() const { read_->wait(); }
    void cancel()
    {
        if (read_)
            read_->cancel();
    }
    T get()
    {
        const std::shared_ptr<BackgroundRead> read = std::exchange(read_, nullptr);
        read->wait();
        if (const std::exception_ptr error = read->error())
            std::rethrow_exception(error);
        if (read->cancelled() || !*result_)
            throw ReadInterrupted(QStringLiteral("The read was interrupted."));
        return std::move(**result_);
    }

private:
    std::shared_ptr<BackgroundRead> read_;
    std::shared_ptr<std::optional<T>> result_;
};

// Drops what it is given (connections, reads) on a thread of its own: closing
// a connection that held a large temporary database can take a while.
template <typename T> void LetGoElsewhere(T held)
{
    std::thread([held = std::move(held)]() mutable { T dropped = std::move(held); }).detach();
}

// Runs work on a thread of its own and waits for it while keepGoing says so
// (asked every few milliseconds; it may process the user's events), cancelling
// it when not. False when stopped; throws what work threw.
bool RunWhile(Reader reader, std::function<void(BackgroundRead&)> work, const std::function<bool()>& keepGoing);
