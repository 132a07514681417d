#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

// How many finished results may wait for an earlier one before the workers pause: bounds the
// memory of a run whatever its length, while a slow file does not stall the other threads.
inline size_t ReorderWindow(unsigned jobs) {
    return std::max<size_t>(64, size_t{16} * jobs);
}

// Takes inputs from next() until it gives nothing, runs work() on each on `jobs` threads and
// calls deliver() with every result on the calling thread in input order, each as soon as it and
// every earlier one are done. At most `window` inputs are taken ahead of the last emitted one.
// While it waits it calls tick(number of works done) now and then. Setting *stop ends the run
// early: no further input is taken and nothing more is delivered. `next` is called on worker
// threads, one call at a time; `work` may touch only its own input. An exception thrown by
// next, work, deliver or tick ends the run the same way; once every thread has been joined,
// the first one is thrown on to the caller.
template <typename Input, typename Result>
void RunInOrder(unsigned jobs, size_t window, const std::function<std::optional<Input>()>& next,
                const std::function<Result(Input&)>& work,
                const std::function<void(Result&)>& deliver,
                const std::function<void(size_t)>& tick, const std::atomic<bool>* stop = nullptr) {
    using namespace std::chrono_literals;
    window = std::max<size_t>(window, 1);
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    std::mutex inputMutex;  // taking the next input
    std::mutex mutex;       // everything below
    std::condition_variable finishedOne;
    std::condition_variable roomFreed;
    std::vector<std::optional<Result>> ring(window);
    size_t taken = 0;  // guarded by both: written under both locks
    size_t emitted = 0;
    size_t doneCount = 0;
    std::optional<size_t> total;
    std::exception_ptr failure;  // the first exception of any thread
    const auto ended = [&] { return total || stopped() || failure; };
    // Every waiting thread wakes and sees the run end.
    const auto fail = [&](std::exception_ptr error) {
        {
            const std::lock_guard lock(mutex);
            if (!failure) {
                failure = std::move(error);
            }
        }
        finishedOne.notify_all();
        roomFreed.notify_all();
    };
    // Takes and works one input; false once the run has ended.
    const auto workOne = [&] {
        std::optional<Input> input;
        size_t index = 0;
        {
            const std::lock_guard inputLock(inputMutex);
            {
                std::unique_lock lock(mutex);
                roomFreed.wait(lock, [&] { return ended() || taken < emitted + window; });
                if (ended()) {
                    return false;
                }
            }
            input = next();
            const std::lock_guard lock(mutex);
            if (!input) {
                total = taken;
                finishedOne.notify_all();
                roomFreed.notify_all();
                return false;
            }
            index = taken++;
        }
        Result result = work(*input);
        {
            const std::lock_guard lock(mutex);
            ring[index % window] = std::move(result);
            ++doneCount;
        }
        finishedOne.notify_all();
        return true;
    };
    const auto worker = [&] {
        try {
            while (workOne()) {
            }
        } catch (...) {
            fail(std::current_exception());
        }
    };
    std::vector<std::jthread> threads;
    try {
        for (unsigned t = 0; t < std::max(jobs, 1u); ++t) {
            threads.emplace_back(worker);
        }
        for (size_t i = 0;; ++i) {
            std::unique_lock lock(mutex);
            while (!ring[i % window] && !(total && i >= *total) && !stopped() && !failure) {
                finishedOne.wait_for(lock, 250ms);
                const size_t soFar = doneCount;
                lock.unlock();
                tick(soFar);
                lock.lock();
            }
            if ((total && i >= *total) || stopped() || failure) {
                break;
            }
            Result result = std::move(*ring[i % window]);
            ring[i % window].reset();
            emitted = i + 1;
            lock.unlock();
            roomFreed.notify_all();
            deliver(result);
        }
    } catch (...) {
        fail(std::current_exception());
    }
    roomFreed.notify_all();
    threads.clear();
    if (failure) {
        std::rethrow_exception(failure);
    }
}
