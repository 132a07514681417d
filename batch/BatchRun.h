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

// How many results wait before the thread that delivers them is woken: a part of the window, so
// that the workers do not run out of room meanwhile.
inline size_t ReadyBatch(size_t window) {
    return std::clamp<size_t>(window / 4, 1, 16);
}

// The longest a result that is ready waits for the thread that delivers it.
inline constexpr std::chrono::milliseconds ReadyLatency{20};

// One job runs on the calling thread alone: a thread of its own would only add the hand-over.
// The caller never waits then, so tick() comes as often as a waiting caller would look.
template <typename Input, typename Result>
void RunOnCallingThread(const std::function<std::optional<Input>()>& next,
                        const std::function<Result(Input&)>& work,
                        const std::function<void(Result&)>& deliver,
                        const std::function<void(size_t)>& tick, const std::atomic<bool>* stop) {
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    auto lastTick = std::chrono::steady_clock::now();
    for (size_t done = 0; !stopped();) {
        std::optional<Input> input = next();
        if (!input) {
            return;
        }
        Result result = work(*input);
        if (stopped()) {
            return;
        }
        deliver(result);
        ++done;
        if (const auto now = std::chrono::steady_clock::now(); now - lastTick >= ReadyLatency) {
            lastTick = now;
            tick(done);
        }
    }
}

// A place in the in-order runner's window. A delivered result stays in it until the worker that
// fills it again frees it: memory goes back to the heap of a thread that works, not through the
// lock of another thread's heap while that thread allocates.
template <typename Result>
struct TOrderSlot {
    static constexpr size_t None = static_cast<size_t>(-1);
    std::optional<Result> Value;
    size_t Index = None;  // whose result Value is
};

// Takes inputs from next() until it gives nothing, runs work() on each on `jobs` threads and
// calls deliver() with every result on the calling thread in input order, once it and every
// earlier one are done. At most `window` inputs are taken ahead of the last emitted one. The
// calling thread is woken for a handful of results at a time (ReadyBatch), when the workers run
// out of room or of inputs, and otherwise looks every ReadyLatency, so that short works do not
// cost a wake-up each. Whenever it is about to wait, and now and then while it waits, it calls
// tick(number of works done): the moment to flush what deliver() wrote. Setting *stop ends the run
// early: no further input is taken and nothing more is delivered. `next` is called on worker
// threads (with one job, on the calling thread), one call at a time; `work` may touch only its own
// input. An exception thrown by next, work, deliver or tick ends the run the same way; once every
// thread has been joined, the first one is thrown on to the caller.
template <typename Input, typename Result>
void RunInOrder(unsigned jobs, size_t window, const std::function<std::optional<Input>()>& next,
                const std::function<Result(Input&)>& work,
                const std::function<void(Result&)>& deliver,
                const std::function<void(size_t)>& tick, const std::atomic<bool>* stop = nullptr) {
    if (jobs <= 1) {
        RunOnCallingThread(next, work, deliver, tick, stop);
        return;
    }
    window = std::max<size_t>(window, 1);
    const auto stopped = [stop] { return stop != nullptr && stop->load(); };
    std::mutex inputMutex;  // taking the next input
    std::mutex mutex;       // everything below
    std::condition_variable finishedOne;
    std::condition_variable roomFreed;
    constexpr size_t NotWaiting = TOrderSlot<Result>::None;
    std::vector<TOrderSlot<Result>> ring(window);
    const auto ready = [&ring, window](size_t i) { return ring[i % window].Index == i; };
    size_t taken = 0;  // guarded by both: written under both locks
    size_t emitted = 0;
    size_t doneCount = 0;
    size_t awaited = NotWaiting;  // the result the delivering thread sleeps for
    const size_t readyBatch = ReadyBatch(window);
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
                if (taken >= emitted + window) {
                    // Only the delivering thread makes room.
                    finishedOne.notify_all();
                }
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
        bool wake = false;
        std::optional<Result> spent;  // freed once the lock is let go
        {
            const std::lock_guard lock(mutex);
            TOrderSlot<Result>& slot = ring[index % window];
            spent = std::move(slot.Value);
            slot.Value = std::move(result);
            slot.Index = index;
            ++doneCount;
            // Once the inputs have run out, no further batch may come to fill this one.
            wake = awaited != NotWaiting && ready(awaited) &&
                   (doneCount - emitted >= readyBatch || total.has_value());
        }
        if (wake) {
            finishedOne.notify_all();
        }
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
        for (size_t i = 0;;) {
            std::unique_lock lock(mutex);
            const auto mayGoOn = [&] {
                return ready(i) || (total && i >= *total) || stopped() || failure;
            };
            while (!mayGoOn()) {
                const size_t soFar = doneCount;
                lock.unlock();
                tick(soFar);
                lock.lock();
                if (mayGoOn()) {
                    break;
                }
                awaited = i;
                finishedOne.wait_for(lock, ReadyLatency);
                awaited = NotWaiting;
            }
            if ((total && i >= *total) || stopped() || failure) {
                break;
            }
            // Every result ready in a row goes out at one taking of the lock. No worker writes
            // their slots again before `emitted` has passed them.
            size_t readyEnd = i + 1;
            while (readyEnd < i + window && ready(readyEnd)) {
                ++readyEnd;
            }
            lock.unlock();
            for (; i < readyEnd && !stopped(); ++i) {
                deliver(*ring[i % window].Value);
            }
            lock.lock();
            emitted = i;
            lock.unlock();
            roomFreed.notify_all();
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
