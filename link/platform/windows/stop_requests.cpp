#include "link/platform/stop_requests.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace mirrox::platform {
namespace {

// The console control handler is a plain function called on a thread of the system's, so the
// request it records lives with it, once per process.
struct Pending {
  std::mutex mutex;
  std::condition_variable arrived;
  bool stop = false;
};

Pending& pending() {
  static Pending instance;
  return instance;
}

void recordStop() noexcept {
  Pending& state = pending();
  {
    const std::lock_guard lock(state.mutex);
    state.stop = true;
  }
  state.arrived.notify_all();
}

BOOL WINAPI onControl(DWORD) {
  // Every control event (Ctrl+C, Ctrl+Break, closing the console, logoff, shutdown) stops.
  recordStop();
  return TRUE;
}

}  // namespace

StopRequests::StopRequests() { ::SetConsoleCtrlHandler(onControl, TRUE); }

StopRequests::~StopRequests() { ::SetConsoleCtrlHandler(onControl, FALSE); }

StopRequests::Request StopRequests::wait() {
  Pending& state = pending();
  std::unique_lock lock(state.mutex);
  state.arrived.wait(lock, [&] { return state.stop; });
  return Request::Stop;
}

void StopRequests::requestStop() noexcept { recordStop(); }

}  // namespace mirrox::platform
