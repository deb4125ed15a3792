// The one thread on which a served gauge lives: it loads and installs the module, and then runs
// every piece of work that touches the module or the host, one at a time, in the order asked.
// Any number of other threads may ask; each waits for its own work while the rest of the program
// goes on. This is how the host keeps its contract of one call at a time, and it keeps every call
// on one thread, as a simulator's panel makes them.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

namespace gauge_preview {

template <class Owned>
class ModuleThread {
public:
    // Starts the thread and makes the owned object there with `make`; throws what `make` threw.
    explicit ModuleThread(std::function<std::unique_ptr<Owned>()> make) {
        std::promise<void> started;
        std::future<void> made = started.get_future();
        thread_ = std::thread([this, make = std::move(make), started = std::move(started)]() mutable {
            try {
                owned_ = make();
            } catch (...) {
                started.set_exception(std::current_exception());
                return;
            }
            started.set_value();
            Serve();
        });
        try {
            made.get();
        } catch (...) {
            thread_.join();
            throw;
        }
    }

    // Finishes the work already asked for, then ends the owned object on its own thread.
    ~ModuleThread() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    ModuleThread(const ModuleThread&) = delete;
    ModuleThread& operator=(const ModuleThread&) = delete;

    // Runs `work(owned)` on the thread and returns its result, or throws what it threw.
    template <class Work>
    auto Run(Work&& work) -> std::invoke_result_t<Work&, Owned&> {
        using Result = std::invoke_result_t<Work&, Owned&>;
        auto task = std::make_shared<std::packaged_task<Result()>>([this, &work]() { return work(*owned_); });
        std::future<Result> result = task->get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back([task] { (*task)(); });
        }
        wake_.notify_one();
        return result.get();
    }

private:
    void Serve() {
        for (;;) {
            std::function<void()> next;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty()) break;
                next = std::move(queue_.front());
                queue_.pop_front();
            }
            next();
        }
        owned_.reset();
    }

    std::unique_ptr<Owned> owned_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace gauge_preview
