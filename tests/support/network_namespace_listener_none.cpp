#include <stdexcept>

#include "tests/support/network_namespace_listener.h"

namespace mirrox::testing_support {

platform::NativeSocket inNetworkNamespace(const std::string& netns,
                                          const std::function<platform::NativeSocket()>&) {
  throw std::runtime_error("fake agent: network namespaces exist on Linux only: " + netns);
}

}  // namespace mirrox::testing_support
