#include "link/clock.h"

#include <thread>

namespace mirrox {

DateTime SystemClock::now() { return localNow(); }

void SystemClock::sleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace mirrox
