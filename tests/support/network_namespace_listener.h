#pragma once

#include <functional>
#include <string>

#include "link/platform/sockets.h"

namespace mirrox::testing_support {

// Runs `make` on a short-lived thread that has entered the network namespace `netns` (a path such
// as /run/netns/<name>), so that the socket it makes belongs to that namespace. Linux only; other
// systems throw. Throws std::runtime_error when the namespace cannot be entered.
platform::NativeSocket inNetworkNamespace(const std::string& netns,
                                          const std::function<platform::NativeSocket()>& make);

}  // namespace mirrox::testing_support
