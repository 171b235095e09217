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
  DateTime now() override {
    readings_.fetch_add(1);
    const double step = stepPerReading_.load();
    if (step == 0) return now_;
    // Time passes as the code looks at it: every reading finds the clock one step further on.
    return now_.fetch_add(step) + step;
  }
  void sleepFor(std::chrono::milliseconds duration) override { advance(duration); }
  void advance(std::chrono::milliseconds duration) { now_.fetch_add(days(duration)); }
  void set(DateTime value) { now_.store(value); }
  // From now on every reading moves the clock on by `step` first (0: it stands still again).
  void advanceOnEveryReading(std::chrono::milliseconds step) { stepPerReading_.store(days(step)); }
  // How often now() was called.
  long readings() const { return readings_.load(); }

 private:
  static double days(std::chrono::milliseconds duration) {
    return static_cast<double>(duration.count()) / 86400000.0;
  }

  std::atomic<DateTime> now_;
  std::atomic<double> stepPerReading_{0};
  std::atomic<long> readings_{0};
};

}  // namespace mirrox::testing_support
