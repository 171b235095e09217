#include "link/pinger2.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/private_network_namespace.h"
#include "tests/support/veth_namespace.h"
#include "tests/support/without_capabilities.h"

namespace mirrox {
namespace {

using testing_support::PrivateNetworkNamespace;
using testing_support::VethNamespace;
using testing_support::WithoutCapabilities;

TEST(PingHost, LoopbackAnswers) {
  PingFailure failure;
  EXPECT_EQ(PingHost("127.0.0.1", 2000, &failure), 0) << failure.reason;
}

TEST(PingHost, NamesAndMalformedTextsAreRefusedWithoutSendingAsALocalCause) {
  for (const char* text :
       {"", "localhost", "1.2.3", "256.1.1.1", "1.2.3.4.5", " 127.0.0.1", "127.0.0.1 ", "0x7f.0.0.1"}) {
    PingFailure failure;
    EXPECT_EQ(PingHost(text, 2000, &failure), -1) << text;
    EXPECT_TRUE(failure.local) << text;
    EXPECT_EQ(failure.reason, std::string("не адрес IPv4: \"") + text + "\"");
  }
}

TEST(PingHost, SilentHostGivesMinusOneAfterTheTimeLimitWithoutALocalCause) {
  if (::geteuid() != 0) GTEST_SKIP() << "a private network namespace needs root";
  VethNamespace net;
  if (!net.ready()) GTEST_SKIP() << "the kernel refused to create a network namespace with a veth pair";
  // The host is up and reachable, it just does not answer echo requests.
  ASSERT_EQ(PingHost(net.peerAddress(), 2000), 0);
  ASSERT_TRUE(net.runInside("sysctl -q -w net.ipv4.icmp_echo_ignore_all=1"));
  PingFailure failure;
  EXPECT_EQ(PingHost(net.peerAddress(), 300, &failure), -1);
  EXPECT_FALSE(failure.local);
  EXPECT_EQ(failure.reason, "нет ответа за отведенное время");
}

TEST(PingHost, NoRouteToTheAddressIsALocalCause) {
  PrivateNetworkNamespace isolated;
  if (!isolated.ready()) GTEST_SKIP() << "a private network namespace needs root";
  PingFailure failure;
  EXPECT_EQ(PingHost("192.0.2.10", 2000, &failure), -1);
  EXPECT_TRUE(failure.local);
  EXPECT_EQ(failure.reason.rfind("нет маршрута к адресу (", 0), 0u) << failure.reason;
}

TEST(PingHost, IcmpNotPermittedForThisProcessIsALocalCause) {
  PrivateNetworkNamespace isolated;  // ping sockets are not permitted to any group there
  if (!isolated.ready()) GTEST_SKIP() << "a private network namespace needs root";
  WithoutCapabilities noRawSockets({CAP_NET_RAW});
  PingFailure failure;
  EXPECT_EQ(PingHost("192.0.2.10", 2000, &failure), -1);
  EXPECT_TRUE(failure.local);
  EXPECT_EQ(failure.reason.rfind("ICMP не разрешен этому процессу (", 0), 0u) << failure.reason;
}

}  // namespace
}  // namespace mirrox
