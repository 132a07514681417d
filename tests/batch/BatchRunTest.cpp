// The in-order runner: results come in input order, no more inputs are taken than the window
// allows, and a stop or an exception on any side ends the run without leaving a thread behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/BatchRun.h"

namespace {

// What a run did, as seen from its producer and its consumer.
struct TRunLog {
    std::mutex Mutex;
    size_t Taken = 0;
    size_t Delivered = 0;    // counted once a delivery is done
    size_t MostAhead = 0;    // inputs taken beyond those delivered, at most
    std::vector<int> Order;  // the inputs, in the order delivered
};

struct TRunSetup {
    unsigned Jobs = 4;
    size_t Window = 8;
    int Inputs = 300;
};

class TRunDriver {
  public:
    explicit TRunDriver(TRunSetup setup) : Setup_(setup) {}

    std::function<std::optional<int>()> Next;
    std::function<int(int&)> Work = [](int& input) { return input; };
    std::function<void(int&)> Deliver;

    void Run(const std::atomic<bool>* stop = nullptr) {
        const auto next = [this]() -> std::optional<int> {
            if (Next) {
                if (std::optional<int> input = Next()) {
                    return Took(*input);
                }
                return std::nullopt;
            }
            const std::lock_guard lock(Log.Mutex);
            return Log.Taken < static_cast<size_t>(Setup_.Inputs) ? TookLocked() : std::nullopt;
        };
        const auto deliver = [this](int& result) {
            if (Deliver) {
                Deliver(result);
            }
            const std::lock_guard lock(Log.Mutex);
            Log.Order.push_back(result);
            ++Log.Delivered;
        };
        RunInOrder<int, int>(
            Setup_.Jobs, Setup_.Window, next, Work, deliver, [](size_t) {}, stop);
    }

    TRunLog Log;

  private:
    std::optional<int> Took(int input) {
        const std::lock_guard lock(Log.Mutex);
        ++Log.Taken;
        Log.MostAhead = std::max(Log.MostAhead, Log.Taken - Log.Delivered);
        return input;
    }
    std::optional<int> TookLocked() {
        const int input = static_cast<int>(Log.Taken++);
        Log.MostAhead = std::max(Log.MostAhead, Log.Taken - Log.Delivered);
        return input;
    }

    TRunSetup Setup_;
};

std::vector<int> Count(int n) {
    std::vector<int> numbers(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        numbers[static_cast<size_t>(i)] = i;
    }
    return numbers;
}

// Uneven work (a few inputs take far longer) so that results finish out of order.
TEST(RunInOrderTest, DeliversInInputOrderWithinTheWindow) {
    for (const TRunSetup setup :
         {TRunSetup{1, 1, 50}, TRunSetup{4, 8, 300}, TRunSetup{8, 3, 300}}) {
        TRunDriver run(setup);
        run.Work = [](int& input) {
            volatile unsigned spin = 0;
            for (int i = 0; i < (input % 7 == 0 ? 200000 : 100); ++i) {
                spin = spin + 1;
            }
            return input;
        };
        run.Run();
        EXPECT_EQ(run.Log.Order, Count(setup.Inputs)) << setup.Jobs << " jobs";
        // The window's results wait; the one in the consumer's hands counts besides.
        EXPECT_LE(run.Log.MostAhead, setup.Window + 1) << setup.Jobs << " jobs";
    }
}

// While the first input is still being worked on, the other threads go on until the window is
// full, and no further.
TEST(RunInOrderTest, ASlowInputLetsTheOthersFillTheWindow) {
    constexpr size_t window = 6;
    TRunDriver run({3, window, 40});
    std::condition_variable windowFull;
    run.Work = [&](int& input) {
        std::unique_lock lock(run.Log.Mutex);
        if (input == 0) {
            windowFull.wait(lock, [&] { return run.Log.Taken >= window; });
            // Nothing is taken beyond the window before the first result is delivered.
            EXPECT_EQ(run.Log.Taken, window);
        } else if (run.Log.Taken >= window) {
            windowFull.notify_all();
        }
        return input;
    };
    run.Run();
    EXPECT_EQ(run.Log.Order, Count(40));
}

TEST(RunInOrderTest, StopEndsTheRunEarly) {
    constexpr size_t window = 5;
    TRunDriver run({4, window, 100000});
    std::atomic<bool> stop = false;
    run.Deliver = [&stop](int& result) {
        if (result == 9) {
            stop = true;
        }
    };
    run.Run(&stop);
    EXPECT_EQ(run.Log.Order, Count(10));
    EXPECT_LE(run.Log.Taken, 10 + window + 1);
}

enum class TThrower { Next, Work, Deliver };

struct ThrowCase {
    const char* name;
    TThrower thrower;
    unsigned jobs;
};

void PrintTo(const ThrowCase& c, std::ostream* os) {
    *os << c.name;
}

class RunInOrderThrowTest : public testing::TestWithParam<ThrowCase> {};

// With a window far smaller than the input, the workers are waiting for room when the
// exception comes: they must wake and end, or the run never returns.
TEST_P(RunInOrderThrowTest, AnExceptionEndsTheRunAndReachesTheCaller) {
    const ThrowCase& c = GetParam();
    constexpr size_t window = 4;
    constexpr int failing = 20;
    TRunDriver run({c.jobs, window, 100000});
    int given = 0;
    if (c.thrower == TThrower::Next) {
        run.Next = [&given]() -> std::optional<int> {
            if (given == failing) {
                throw std::runtime_error("next failed");
            }
            return given++;
        };
    } else if (c.thrower == TThrower::Work) {
        run.Work = [](int& input) {
            if (input == failing) {
                throw std::runtime_error("work failed");
            }
            return input;
        };
    } else {
        run.Deliver = [](int& result) {
            if (result == failing) {
                throw std::runtime_error("deliver failed");
            }
        };
    }
    try {
        run.Run();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("failed"), std::string::npos);
    }
    // Nothing after the failing input is delivered, and taking stopped at the window.
    ASSERT_LE(run.Log.Order.size(), static_cast<size_t>(failing));
    EXPECT_EQ(run.Log.Order, Count(static_cast<int>(run.Log.Order.size())));
    EXPECT_LE(run.Log.Taken, failing + window + 1);
}

INSTANTIATE_TEST_SUITE_P(Sides, RunInOrderThrowTest,
                         testing::Values(ThrowCase{"producer", TThrower::Next, 4},
                                         ThrowCase{"producer_one_thread", TThrower::Next, 1},
                                         ThrowCase{"work", TThrower::Work, 4},
                                         ThrowCase{"consumer", TThrower::Deliver, 4},
                                         ThrowCase{"consumer_one_thread", TThrower::Deliver, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
