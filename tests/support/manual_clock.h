#pragma once

#include <atomic>
#include <chrono>

#include "link/clock.h"

namespace mirrox::testing_support {

// A clock that stands still until a test moves it; sleeping moves it forward at once. Safe to
// move from the scheduler thread while the test thread reads it.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(DateTime start) : now_(start) {}
  DateTime now() override { return now_; }
  void sleepFor(std::chrono::milliseconds duration) override { advance(duration); }
  void advance(std::chrono::milliseconds duration) {
    now_.store(now_.load() + static_cast<double>(duration.count()) / 86400000.0);
  }
  void set(DateTime value) { now_.store(value); }

 private:
  std::atomic<DateTime> now_;
};

}  // namespace mirrox::testing_support
