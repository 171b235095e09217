#pragma once

#include <chrono>

#include "link/date_time.h"

namespace mirrox {

// The seam under every wait and every "now" of the scheduler and the engine, so that tests can
// drive time instead of waiting for minutes.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime now() = 0;
  virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

// The wall clock of the machine, local time.
class SystemClock final : public Clock {
 public:
  DateTime now() override;
  void sleepFor(std::chrono::milliseconds duration) override;
};

}  // namespace mirrox
