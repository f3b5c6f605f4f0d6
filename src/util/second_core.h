// The one way the core runs work off the caller's thread: on a second core
// where the build has threads (util/threads.h; the Windows build's runtime
// has none) and the machine has two cores, else all of it here, with the
// same results in the same order.
//
// Only the work handed over as such may run on the other thread, at the
// same time as the caller's code: `Later`'s task and `inOrder`'s `work`.
// It may read only what the caller does not change meanwhile, and write
// only what is its own until the caller is told it is done. Everything else
// (`inOrder`'s `then` and `hereFirst`, and whatever the caller does between
// starting a `Later` and asking for its result) runs on the caller's
// thread. An exception thrown by work on the other thread is rethrown on
// the caller's, where an in-place run would have thrown it.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace kovirant {

// Whether work handed over runs on a second core: the build has threads
// and the machine more than one core.
bool hasSecondCore();

namespace detail {
// A task started on a second core, or kept to run here when asked for.
class LaterTask {
public:
    explicit LaterTask(std::function<void()> task);
    LaterTask(const LaterTask&) = delete;
    LaterTask& operator=(const LaterTask&) = delete;
    ~LaterTask();  // waits for the task on the other thread; an exception of one not asked for is dropped
    void finish();  // runs it here or waits for it; rethrows its exception
    bool elsewhere() const { return thread_ != nullptr; }

private:
    struct Thread;
    std::function<void()> task_;
    std::unique_ptr<Thread> thread_;
    std::exception_ptr error_;
};
}  // namespace detail

// A result worked out on a second core from now on, while the caller goes
// on; without one, worked out here when first asked for (never, if it
// never is). Not movable: the task writes into it.
template <class T>
class Later {
    static_assert(!std::is_void_v<T> && !std::is_reference_v<T>);

public:
    template <class Task>
    explicit Later(Task task) : task_([this, task = std::move(task)]() mutable { result_.emplace(task()); }) {}
    Later(const Later&) = delete;
    Later& operator=(const Later&) = delete;
    // The result (once): the task's exception, from whichever thread, thrown here.
    T get() {
        task_.finish();
        return std::move(*result_);
    }
    // Whether the task runs on another thread.
    bool elsewhere() const { return task_.elsewhere(); }

private:
    std::optional<T> result_;
    detail::LaterTask task_;  // last: joined before result_ goes
};

struct InOrderOptions {
    // While then(k) runs, the work of at most k+1 .. k+ahead is under way
    // (a bound on what is held between the two).
    std::size_t ahead = std::numeric_limits<std::size_t>::max();
    // False: all of it here (the work too small to be worth a second core).
    bool share = true;
};

// work(k) for every k in [0, count), taken in turn by this thread and, where
// there is one, a second core; then(k) on this thread in k's order, as soon
// as work(k) is done. Without a second core: hereFirst(), then work(k),
// then(k) for each k in turn. With one: hereFirst() runs on this thread
// while the other core starts on the work, and this thread joins it after.
// work(k) may run on either thread, at the same time as work(j) and then(i)
// for i < k; nothing else here does.
void inOrder(std::size_t count, const std::function<void(std::size_t)>& work,
             const std::function<void(std::size_t)>& then, InOrderOptions options = {},
             const std::function<void()>& hereFirst = {});

}  // namespace kovirant
