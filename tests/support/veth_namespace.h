#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace mirrox::testing_support {

// A network namespace of the test's own, joined to this one by a veth pair: a test host with its
// own address on this machine. Removed again when the object goes away.
class VethNamespace {
 public:
  VethNamespace() {
    const int id = static_cast<int>(::getpid() % 200) + 20;
    name_ = "mxka" + std::to_string(::getpid());
    hostLink_ = "mxh" + std::to_string(::getpid());
    peerLink_ = "mxp" + std::to_string(::getpid());
    const std::string net = "10.213." + std::to_string(id) + ".";
    hostAddress_ = net + "1";
    peerAddress_ = net + "2";
    ready_ = run("ip netns add " + name_) &&
             run("ip link add " + hostLink_ + " type veth peer name " + peerLink_) &&
             run("ip link set " + peerLink_ + " netns " + name_) &&
             run("ip addr add " + hostAddress_ + "/24 dev " + hostLink_) &&
             run("ip link set " + hostLink_ + " up") &&
             run(inside("ip addr add " + peerAddress_ + "/24 dev " + peerLink_)) &&
             run(inside("ip link set " + peerLink_ + " up")) && run(inside("ip link set lo up"));
  }
  ~VethNamespace() {
    run("ip netns del " + name_);
    run("ip link del " + hostLink_);
  }
  VethNamespace(const VethNamespace&) = delete;
  VethNamespace& operator=(const VethNamespace&) = delete;

  bool ready() const { return ready_; }
  std::string path() const { return "/run/netns/" + name_; }
  const std::string& peerAddress() const { return peerAddress_; }
  // The peer stops answering at the TCP level: nothing it sends or receives passes any more.
  bool takePeerLinkDown() { return run(inside("ip link set " + peerLink_ + " down")); }
  bool takePeerLinkUp() { return run(inside("ip link set " + peerLink_ + " up")); }
  // Runs a shell command inside the namespace; true when it succeeded.
  bool runInside(const std::string& command) { return run(inside(command)); }

 private:
  static bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }
  std::string inside(const std::string& command) const { return "ip netns exec " + name_ + " " + command; }

  std::string name_, hostLink_, peerLink_, hostAddress_, peerAddress_;
  bool ready_ = false;
};

}  // namespace mirrox::testing_support
