#pragma once

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace mirrox::testing_support {

// Moves the calling thread, and every thread and process it starts afterwards, into a network
// namespace of its own with only loopback up. Inside it 127.0.0.1:3050 is free for a server of the
// test's own, so a test may stop and start that server without touching the shared one. Needs root;
// false (with the reason in `why`) when the kernel refuses.
bool enterPrivateNetwork(std::string& why);

// A Firebird server of the test's own: the installed server program run as this user from a
// private root (configuration, a copy of the security database with the program's login, the
// character sets and the UDF libraries the templates call), listening on 127.0.0.1:3050 of the
// current network namespace. Started by the constructor; killed by the destructor if still running.
class PrivateFirebirdServer {
 public:
  // `root` must be an empty or missing directory; `udfLibrary` is the built sort-key library.
  PrivateFirebirdServer(std::filesystem::path root, const std::filesystem::path& udfLibrary);
  ~PrivateFirebirdServer();
  PrivateFirebirdServer(const PrivateFirebirdServer&) = delete;
  PrivateFirebirdServer& operator=(const PrivateFirebirdServer&) = delete;

  // Starts the server and waits until it accepts connections. Throws when it does not.
  void start();
  // Sends `signal` and waits for the server to end (SIGKILL when a graceful stop takes too long).
  void stop(int signal = SIGTERM);
  bool running();

 private:
  std::filesystem::path root_;
  std::unique_ptr<ChildProcess> server_;
};

}  // namespace mirrox::testing_support
