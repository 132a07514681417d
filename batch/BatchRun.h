#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
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
// threads, one call at a time; `work` must not throw and may touch only its own input.
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
    auto worker = [&] {
        while (true) {
            std::optional<Input> input;
            size_t index = 0;
            {
                const std::lock_guard inputLock(inputMutex);
                {
                    std::unique_lock lock(mutex);
                    roomFreed.wait(lock,
                                   [&] { return total || stopped() || taken < emitted + window; });
                    if (total || stopped()) {
                        return;
                    }
                }
                input = next();
                const std::lock_guard lock(mutex);
                if (!input) {
                    total = taken;
                    finishedOne.notify_all();
                    roomFreed.notify_all();
                    return;
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
        }
    };
    const size_t threadCount = std::max(jobs, 1u);
    std::vector<std::jthread> threads;
    for (size_t t = 0; t < threadCount; ++t) {
        threads.emplace_back(worker);
    }
    for (size_t i = 0;; ++i) {
        std::unique_lock lock(mutex);
        while (!ring[i % window] && !(total && i >= *total) && !stopped()) {
            finishedOne.wait_for(lock, 250ms);
            const size_t soFar = doneCount;
            lock.unlock();
            tick(soFar);
            lock.lock();
        }
        if ((total && i >= *total) || stopped()) {
            break;
        }
        Result result = std::move(*ring[i % window]);
        ring[i % window].reset();
        emitted = i + 1;
        lock.unlock();
        roomFreed.notify_all();
        deliver(result);
    }
    roomFreed.notify_all();
}
