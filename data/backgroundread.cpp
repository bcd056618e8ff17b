#include "backgroundread.h"

#include "error.h"
#include "writewait.h"

#include <condition_variable>

#include <thread>

namespace {
std::mutex runningMutex;
std::vector<std::weak_ptr<BackgroundRead>>& running()
{
    static std::vector<std::weak_ptr<BackgroundRead>> reads;
    return reads;
}
} // namespace

void BackgroundRead::interruptAll()
{
    std::vector<std::shared_ptr<BackgroundRead>> live;
    {
        std::lock_guard lock(runningMutex);
        auto& reads = running();
        for (auto it = reads.begin(); it != reads.end();) {
            if (auto read = it->lock(); read && !read->finished()) {
                live.push_back(std::move(read));
                ++it;
            } else {
                it = reads.erase(it);
            }
        }
    }
    for (const auto& read : live) {
        read->cancel();
        read->wait(); // (at once: interrupted) so that its lock is gone when the write starts
    }
}

std::shared_ptr<BackgroundRead> BackgroundRead::start(Reader reader, std::function<void(BackgroundRead&)> work)
{
    std::shared_ptr<BackgroundRead> read(new BackgroundRead(std::move(reader)));
    {
        std::lock_guard lock(runningMutex);
        running().push_back(read);
    }
    auto promise = std::make_shared<std::promise<void>>();
    read->done_ = promise->get_future().share();
    std::thread([read, promise, work = std::move(work)] {
        try {
            work(*read);
        } catch (...) {
            if (!read->cancelled())
                read->error_ = std::current_exception();
        }
        read->finished_.store(true, std::memory_order_release);
        promise->set_value();
    }).detach();
    return read;
}

void BackgroundRead::run(odbc::Statement& statement, const QString& sql, const std::vector<odbc::Param>& params)
{
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            throw ReadInterrupted(QStringLiteral("Cancelled."));
        if (yielded_)
            throw ReadInterrupted(QStringLiteral("Gave way to a write."));
        running_ = statement.get();
    }
    try {
        statement.execute(sql, params);
    } catch (...) {
        std::lock_guard lock(mutex_);
        running_ = SQL_NULL_HSTMT;
        if (cancelled_)
            throw ReadInterrupted(QStringLiteral("Cancelled."));
        throw;
    }
    std::lock_guard lock(mutex_);
    running_ = SQL_NULL_HSTMT;
    if (cancelled_)
        throw ReadInterrupted(QStringLiteral("Cancelled."));
}

const QString& BackgroundRead::file()
{
    if (!file_) {
        odbc::Statement st = statement();
        st.execute(QStringLiteral("SELECT file FROM pragma_database_list WHERE name = 'main';"));
        std::string name;
        file_ = st.fetch() && st.getData(0, name) ? QString::fromStdString(name) : QString();
    }
    return *file_;
}

void BackgroundRead::runGivingWay(odbc::Statement& statement, const QString& sql, const std::vector<odbc::Param>& params)
{
    if (!WriteWait::AnotherWriterWaits(file()).has_value()) {
        run(statement, sql, params);
        return;
    }
    while (!runUnlessAWriterWaits(statement, sql, params)) {
        // Until the write has ended.
        while (WriteWait::AnotherWriterWaits(file_.value()).value_or(false)) {
            if (cancelled_)
                throw ReadInterrupted(QStringLiteral("Cancelled."));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

bool BackgroundRead::runUnlessAWriterWaits(odbc::Statement& statement, const QString& sql,
                                           const std::vector<odbc::Param>& params)
{
    const QString& file = this->file();
    if (WriteWait::AnotherWriterWaits(file).value_or(true))
        return false;
    std::mutex watching;
    std::condition_variable over;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock lock(watching);
        while (!over.wait_for(lock, std::chrono::milliseconds(5), [&] { return done; }))
            if (WriteWait::AnotherWriterWaits(file).value_or(false)) {
                std::lock_guard running(mutex_);
                yielded_ = true;
                if (running_ != SQL_NULL_HSTMT)
                    SQLCancel(running_);
                return;
            }
    });
    const auto stopWatching = [&] {
        {
            std::lock_guard lock(watching);
            done = true;
        }
        over.notify_all();
        watch.join();
    };
    try {
        run(statement, sql, params);
    } catch (...) {
        stopWatching();
        std::lock_guard lock(mutex_);
        if (std::exchange(yielded_, false) && !cancelled_)
            return false;
        throw;
    }
    stopWatching();
    std::lock_guard lock(mutex_);
    // (A write that came as the statement ended found it done.)
    yielded_ = false;
    return true;
}

void BackgroundRead::cancel()
{
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (running_ != SQL_NULL_HSTMT)
        SQLCancel(running_);
}

bool RunWhile(Reader reader, std::function<void(BackgroundRead&)> work, const std::function<bool()>& keepGoing)
{
    const std::shared_ptr<BackgroundRead> read = BackgroundRead::start(std::move(reader), std::move(work));
    while (!read->finished()) {
        if (!keepGoing()) {
            read->cancel();
            read->wait(); // (the reader may be used again at once)
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (const std::exception_ptr error = read->error())
        std::rethrow_exception(error);
    return !read->cancelled();
}
