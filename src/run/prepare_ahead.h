// Preparing items (files) ahead of a consumer that takes them one by one in
// order, on a few worker threads, with a bound on what is held at once.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tersify {

// An item is held from the moment a worker starts it until the consumer
// releases it, after it is done with what it took. Items start in order, and
// only while the held items leave room for them: at most `ahead` items
// started and not yet taken, and a total weight (a file's size) of at most
// `budget`. An item heavier than the budget starts when nothing else is held,
// so every item gets its turn. `prepare` runs on the workers; an item whose
// preparation throws comes as a default Item.
template <class Item>
class PrepareAhead {
 public:
  using Prepare = std::function<Item(std::size_t index)>;

  PrepareAhead(std::vector<std::int64_t> weights, int jobs, std::size_t ahead, std::int64_t budget, Prepare prepare)
      : weights_(std::move(weights)),
        slots_(weights_.size()),
        ahead_(std::max<std::size_t>(1, ahead)),
        budget_(budget),
        prepare_(std::move(prepare)) {
    for (int i = 0; i < std::max(1, jobs); ++i) {
      try {
        workers_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        // The system gives no more threads: go on with those it gave.
        if (workers_.empty()) throw;
        break;
      }
    }
  }
  ~PrepareAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  PrepareAhead(const PrepareAhead&) = delete;
  PrepareAhead& operator=(const PrepareAhead&) = delete;

  // Waits for item i; items are taken in order, each once.
  Item Take(std::size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return slots_[i].ready; });
    Item item = std::move(slots_[i].item);
    slots_[i].item = Item();
    taken_ = i + 1;
    lock.unlock();
    changed_.notify_all();
    return item;
  }

  // The consumer is done with item i: its weight no longer counts.
  void Release(std::size_t i) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held_ -= Weight(i);
    }
    changed_.notify_all();
  }

  // The most weight held at any one time so far.
  std::int64_t MostHeld() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mostHeld_;
  }

 private:
  struct Slot {
    bool ready = false;
    Item item{};
  };

  std::int64_t Weight(std::size_t i) const { return std::max<std::int64_t>(0, weights_[i]); }

  bool MayStart() const {
    if (next_ >= slots_.size() || next_ >= taken_ + ahead_) return false;
    return held_ == 0 || held_ + Weight(next_) <= budget_;
  }

  void Work() {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ >= slots_.size() || MayStart(); });
        if (stop_ || next_ >= slots_.size()) return;
        i = next_++;
        held_ += Weight(i);
        mostHeld_ = std::max(mostHeld_, held_);
      }
      Item item{};
      try {
        item = prepare_(i);
      } catch (...) {
        // An item that could not be prepared comes as a default one.
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[i].item = std::move(item);
        slots_[i].ready = true;
      }
      changed_.notify_all();
    }
  }

  const std::vector<std::int64_t> weights_;
  std::vector<Slot> slots_;
  const std::size_t ahead_;
  const std::int64_t budget_;
  Prepare prepare_;
  std::size_t next_ = 0, taken_ = 0;
  std::int64_t held_ = 0, mostHeld_ = 0;
  bool stop_ = false;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> workers_;
};

}  // namespace tersify
