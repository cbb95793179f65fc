// Preparing files ahead of the writer: order, and the bound on what is held.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "run/prepare_ahead.h"

namespace tersify {
namespace {

using namespace std::chrono_literals;

// Counts, from outside the pool, the weight of the items started and not yet
// released, and the most started and not yet taken.
struct Watch {
  std::mutex m;
  std::int64_t held = 0, mostHeld = 0;
  std::size_t started = 0, taken = 0, mostAhead = 0;
  std::vector<std::string> violations;

  void Start(std::int64_t weight, std::int64_t budget) {
    std::lock_guard<std::mutex> lock(m);
    if (held != 0 && held + weight > budget)
      violations.push_back("started " + std::to_string(weight) + " beside " + std::to_string(held));
    held += weight;
    mostHeld = std::max(mostHeld, held);
    ++started;
    mostAhead = std::max(mostAhead, started - taken);
  }
  void Taken() {
    std::lock_guard<std::mutex> lock(m);
    ++taken;
  }
  void Released(std::int64_t weight) {
    std::lock_guard<std::mutex> lock(m);
    held -= weight;
  }
};

TEST(PrepareAhead, ItemsComeInOrderAndTheHeldWeightStaysWithinTheBudget) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    const int jobs = 1 + round % 4;
    const std::int64_t budget = 50 + static_cast<std::int64_t>(rng() % 100);
    std::vector<std::int64_t> weights;
    for (int i = 0; i < 60; ++i) weights.push_back(static_cast<std::int64_t>(rng() % 60));
    weights[7] = budget * 3;  // heavier than the budget on its own
    const std::size_t ahead = 2 + round % 5;
    Watch watch;
    std::vector<std::size_t> order;
    {
      PrepareAhead<std::string> pool(weights, jobs, ahead, budget, [&](std::size_t i) {
        watch.Start(weights[i], budget);
        if (i % 3 == 0) std::this_thread::sleep_for(100us);
        return "item " + std::to_string(i);
      });
      for (std::size_t i = 0; i < weights.size(); ++i) {
        std::string item = pool.Take(i);
        watch.Taken();
        EXPECT_EQ(item, "item " + std::to_string(i));
        if (i % 5 == 0) std::this_thread::sleep_for(100us);  // a slow write now and then
        watch.Released(weights[i]);
        pool.Release(i);
      }
      EXPECT_LE(pool.MostHeld(), budget * 3);
      EXPECT_GE(pool.MostHeld(), budget * 3);  // the heavy item was held
    }
    EXPECT_TRUE(watch.violations.empty()) << watch.violations.front();
    // The writer counts a take only once Take has returned, one late at most.
    EXPECT_LE(watch.mostAhead, ahead + 1);
    EXPECT_EQ(watch.held, 0);
  }
}

// Files smaller than the budget are prepared side by side: item 0 waits until
// item 1 has started, which only happens when both fit.
TEST(PrepareAhead, ItemsThatFitTogetherArePreparedTogether) {
  std::mutex m;
  std::condition_variable cv;
  bool secondStarted = false;
  bool waitedInVain = false;
  {
    PrepareAhead<int> pool({40, 60, 10}, 2, 8, 100, [&](std::size_t i) {
      std::unique_lock<std::mutex> lock(m);
      if (i == 0) {
        waitedInVain = !cv.wait_for(lock, 20s, [&] { return secondStarted; });
      } else if (i == 1) {
        secondStarted = true;
        cv.notify_all();
      }
      return static_cast<int>(i) * 10;
    });
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(pool.Take(i), static_cast<int>(i) * 10);
      pool.Release(i);
    }
    EXPECT_EQ(pool.MostHeld(), 100);
  }
  EXPECT_FALSE(waitedInVain);
}

// What does not fit waits for the writer to release what it took.
TEST(PrepareAhead, NothingStartsBeyondTheBudgetUntilTheWriterReleases) {
  std::atomic<int> started{0};
  PrepareAhead<int> pool({60, 60, 60}, 3, 8, 100, [&](std::size_t i) {
    ++started;
    return static_cast<int>(i);
  });
  EXPECT_EQ(pool.Take(0), 0);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(started.load(), 1) << "the second file would have made 120 of 100";
  pool.Release(0);
  EXPECT_EQ(pool.Take(1), 1);
  pool.Release(1);
  EXPECT_EQ(pool.Take(2), 2);
  pool.Release(2);
  EXPECT_EQ(pool.MostHeld(), 60);
}

TEST(PrepareAhead, StoppingEarlyAndFailingItems) {
  // The writer stops after the first item: the pool ends without waiting
  // for the rest.
  std::atomic<int> prepared{0};
  {
    PrepareAhead<int> pool(std::vector<std::int64_t>(100, 1), 4, 8, 1000, [&](std::size_t i) {
      ++prepared;
      return static_cast<int>(i);
    });
    EXPECT_EQ(pool.Take(0), 0);
  }
  EXPECT_LE(prepared.load(), 9);
  // A preparation that throws gives a default item; the rest go on.
  PrepareAhead<std::string> pool({1, 1, 1}, 2, 4, 10, [](std::size_t i) -> std::string {
    if (i == 1) throw std::runtime_error("unreadable");
    return "ok";
  });
  EXPECT_EQ(pool.Take(0), "ok");
  pool.Release(0);
  EXPECT_EQ(pool.Take(1), "");
  pool.Release(1);
  EXPECT_EQ(pool.Take(2), "ok");
  pool.Release(2);
}

}  // namespace
}  // namespace tersify
