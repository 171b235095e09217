// A site that loses power or a link that drops mid-select must not hold the run forever: the wait
// for a select's replies has no read limit, so TCP keepalive is what ends it. These tests take a
// real link down under a live connection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <string>

#include "link/original_rep.h"
#include "link/send_command.h"
#include "tests/support/fake_agent.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeAgent;
using testing_support::FakeAgentOptions;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::TestContext;

// Probes after 1 s of silence, one a second, two unanswered ones end the connection.
LinkLimits quickProbes() {
  LinkLimits limits;
  limits.readTimeout = 10s;
  limits.keepAlive = KeepAlive{true, 1s, 1s, 2};
  return limits;
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A network namespace joined to this one by a veth pair: the agent's address lives inside it.
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

 private:
  std::string inside(const std::string& command) const { return "ip netns exec " + name_ + " " + command; }

  std::string name_, hostLink_, peerLink_, hostAddress_, peerAddress_;
  bool ready_ = false;
};

TEST(KeepAlive, DeadPeerEndsAnUnlimitedSelectWaitWithResult101) {
  if (::geteuid() != 0) GTEST_SKIP() << "taking a network link down needs root";
  VethNamespace net;
  if (!net.ready()) GTEST_SKIP() << "the kernel refused to create a network namespace with a veth pair";

  FakeAgentOptions options;
  options.bindAddress = net.peerAddress();
  options.networkNamespace = net.path();
  FakeAgent agent({Script().readLine().stall()}, options);

  TempDir dir;
  TestContext context(dir.path(), quickProbes());
  context.sites.push_back(AgentSite{agent.host(), agent.port(), "/site.fdb", 0});
  auto exchange =
      std::async(std::launch::async, [&] { return SendCommand(context, 0, OriginalRep::CmdSelectAddress); });
  ASSERT_TRUE(agent.waitForLines(1, 10s));
  ASSERT_TRUE(net.takePeerLinkDown());

  // Without keepalive this wait would never end; the bound only keeps a broken build from hanging.
  if (exchange.wait_for(60s) != std::future_status::ready) {
    // Let the exchange end so that the test fails instead of hanging: with the link up again the
    // agent's close reaches the client.
    net.takePeerLinkUp();
    agent.stop();
    exchange.wait();
    FAIL() << "the dead peer was not noticed";
  }
  EXPECT_EQ(exchange.get(), kSendBroken);
  EXPECT_EQ(context.statusText(),
            "Socket Error # 110\r\nConnection timed out {C5403F4B-19F2-4B23-8C9F-29909F0C761C}");
  EXPECT_FALSE(context.tcp().connected());
}

TEST(KeepAlive, LiveAgentMayTakeLongerThanTheProbeSpan) {
  TempDir dir;
  LinkLimits limits = quickProbes();
  limits.keepAlive.probes = 1;  // a dead peer would be declared after about 2 s
  TestContext context(dir.path(), limits);
  FakeAgent agent({Script().readLine().pause(3s).send("Ok/8\n").send("Ok\n")});
  context.sites.push_back(AgentSite{agent.host(), agent.port(), "/site.fdb", 0});
  EXPECT_EQ(SendCommand(context, 0, OriginalRep::CmdSelectAddress), kSendOk) << context.statusText();
  EXPECT_EQ(context.sites[0].resultId, 8);
}

}  // namespace
}  // namespace mirrox
