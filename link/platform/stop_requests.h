#pragma once

// How a service process learns that it should stop (SIGINT, SIGTERM; Ctrl+C, Ctrl+Break, console
// close, shutdown) or reopen its log (SIGHUP; Windows has no such request). One implementation per
// system is chosen by the build.
namespace mirrox::platform {

class StopRequests {
 public:
  enum class Request { Stop, ReopenLog };

  // Takes the requests over from their default handling. Create it in main() before any thread
  // starts, once per process.
  StopRequests();
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  // Blocks until the next request arrives.
  Request wait();
  // Makes wait() return Stop, from any thread.
  void requestStop() noexcept;
};

}  // namespace mirrox::platform
