#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/network_namespace_listener.h"

namespace mirrox::testing_support {

platform::NativeSocket inNetworkNamespace(const std::string& netns,
                                          const std::function<platform::NativeSocket()>& make) {
  platform::NativeSocket socket = platform::kNoSocket;
  std::string error;
  std::thread maker([&] {
    const int ns = ::open(netns.c_str(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
      error = std::string("cannot enter ") + netns + ": " + std::strerror(errno);
      if (ns >= 0) ::close(ns);
      return;
    }
    ::close(ns);
    try {
      socket = make();
    } catch (const std::exception& e) {
      error = e.what();
    }
  });
  maker.join();
  if (socket == platform::kNoSocket) throw std::runtime_error("fake agent: " + error);
  return socket;
}

}  // namespace mirrox::testing_support
