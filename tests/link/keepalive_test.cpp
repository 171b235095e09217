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
#include "tests/support/veth_namespace.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeAgent;
using testing_support::FakeAgentOptions;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::TestContext;
using testing_support::VethNamespace;

// Probes after 1 s of silence, one a second, two unanswered ones end the connection.
LinkLimits quickProbes() {
  LinkLimits limits;
  limits.readTimeout = 10s;
  limits.keepAlive = KeepAlive{true, 1s, 1s, 2};
  return limits;
}

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
