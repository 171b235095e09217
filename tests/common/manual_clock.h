#pragma once

#include <chrono>

#include "link/clock.h"

namespace mirrox::test {

// A clock that stands still until a test moves it; sleeping moves it forward at once.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(DateTime start) : now_(start) {}
  DateTime now() override { return now_; }
  void sleepFor(std::chrono::milliseconds duration) override { advance(duration); }
  void advance(std::chrono::milliseconds duration) { now_ += static_cast<double>(duration.count()) / 86400000.0; }
  void set(DateTime value) { now_ = value; }

 private:
  DateTime now_;
};

}  // namespace mirrox::test
