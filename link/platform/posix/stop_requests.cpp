#include "link/platform/stop_requests.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace mirrox::platform {
namespace {

sigset_t requestSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

}  // namespace

StopRequests::StopRequests() {
  // Blocked before any thread exists, so that every thread inherits the mask and only wait() sees
  // them.
  const sigset_t signals = requestSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  // A client that goes away mid-reply must not end the process.
  ::signal(SIGPIPE, SIG_IGN);
}

StopRequests::~StopRequests() = default;

StopRequests::Request StopRequests::wait() {
  const sigset_t signals = requestSignals();
  int received = 0;
  if (::sigwait(&signals, &received) == 0 && received == SIGHUP) return Request::ReopenLog;
  return Request::Stop;
}

void StopRequests::requestStop() noexcept { ::kill(::getpid(), SIGTERM); }

}  // namespace mirrox::platform
