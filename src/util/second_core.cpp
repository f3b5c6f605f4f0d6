#include "util/second_core.h"

#include <optional>
#include <system_error>
#include <vector>

#include "util/threads.h"
#ifdef KOVIRANT_HAS_THREADS
#include <condition_variable>
#include <mutex>
#endif

namespace kovirant {

bool hasSecondCore() {
#ifdef KOVIRANT_HAS_THREADS
    static const bool two = std::thread::hardware_concurrency() > 1;
    return two;
#else
    return false;  // a C++ runtime without threads
#endif
}

namespace detail {

#ifdef KOVIRANT_HAS_THREADS
struct LaterTask::Thread {
    std::thread thread;
};
#else
struct LaterTask::Thread {};
#endif

LaterTask::LaterTask(std::function<void()> task) : task_(std::move(task)) {
#ifdef KOVIRANT_HAS_THREADS
    if (!hasSecondCore()) return;
    thread_ = std::make_unique<Thread>();
    try {
        thread_->thread = std::thread([this] {
            try {
                task_();
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        thread_.reset();  // no thread to be had: here, when asked
    }
#endif
}

LaterTask::~LaterTask() {
#ifdef KOVIRANT_HAS_THREADS
    if (thread_ && thread_->thread.joinable()) thread_->thread.join();
#endif
}

void LaterTask::finish() {
#ifdef KOVIRANT_HAS_THREADS
    if (thread_) {
        thread_->thread.join();
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        return;
    }
#endif
    task_();
}

}  // namespace detail

namespace {

void allHere(std::size_t count, const std::function<void(std::size_t)>& work, const std::function<void(std::size_t)>& then,
             const std::function<void()>& hereFirst) {
    if (hereFirst) hereFirst();
    for (std::size_t k = 0; k < count; ++k) {
        work(k);
        then(k);
    }
}

#ifdef KOVIRANT_HAS_THREADS
// The items' state between the two threads, under one lock (an item is a
// stretch of many rows or a whole report: the lock is taken a few times an item).
class Shared {
public:
    Shared(std::size_t count, const std::function<void(std::size_t)>& work, std::size_t ahead)
        : count_(count), ahead_(ahead), work_(work), done_(count, 0) {}

    // The other core's part: the next item while the window allows, until none is left.
    void helper() {
        for (;;) {
            std::size_t k;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || next_ == count_ || next_ - consumed_ <= ahead_; });
                if (stop_ || next_ == count_) return;
                k = next_++;
            }
            std::exception_ptr error;
            try {
                work_(k);
            } catch (...) {
                error = std::current_exception();
            }
            {
                const std::lock_guard lock(mutex_);
                done_[k] = 1;
                if (error) {
                    error_ = error;
                    failed_ = k;
                    stop_ = true;
                }
            }
            changed_.notify_all();
            if (error) return;
        }
    }

    // This thread's: item k done, by the other core or (when no one has taken it) here.
    void await(std::size_t k) {
        std::unique_lock lock(mutex_);
        if (!done_[k] && next_ == k) {
            ++next_;
            lock.unlock();
            work_(k);
            return;
        }
        changed_.wait(lock, [&] { return done_[k] != 0; });
        if (error_ && failed_ == k) std::rethrow_exception(error_);
    }

    void consumed() {
        {
            const std::lock_guard lock(mutex_);
            ++consumed_;
        }
        changed_.notify_all();
    }

    void stop() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
    }

private:
    const std::size_t count_, ahead_;
    const std::function<void(std::size_t)>& work_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0, consumed_ = 0;  // the first item not taken; the items whose then() is over
    std::vector<char> done_;
    std::exception_ptr error_;  // of item failed_, the other core's last
    std::size_t failed_ = 0;
    bool stop_ = false;
};

// The other core's thread, stopped and joined however the caller leaves.
class Helper {
public:
    explicit Helper(Shared& shared) : shared_(shared), thread_([&shared] { shared.helper(); }) {}
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    ~Helper() {
        shared_.stop();
        thread_.join();
    }

private:
    Shared& shared_;
    std::thread thread_;
};
#endif

}  // namespace

void inOrder(std::size_t count, const std::function<void(std::size_t)>& work, const std::function<void(std::size_t)>& then,
             InOrderOptions options, const std::function<void()>& hereFirst) {
#ifdef KOVIRANT_HAS_THREADS
    if (options.share && hasSecondCore() && (count > 1 || (count == 1 && hereFirst))) {
        Shared shared(count, work, options.ahead);
        std::optional<Helper> helper;
        try {
            helper.emplace(shared);
        } catch (const std::system_error&) {
            allHere(count, work, then, hereFirst);  // no thread to be had
            return;
        }
        if (hereFirst) hereFirst();
        for (std::size_t k = 0; k < count; ++k) {
            shared.await(k);
            then(k);
            shared.consumed();
        }
        return;
    }
#endif
    (void)options;
    allHere(count, work, then, hereFirst);
}

}  // namespace kovirant
