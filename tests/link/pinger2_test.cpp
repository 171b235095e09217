#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "link/pinger2.h"
#include "tests/support/veth_namespace.h"

namespace mirrox {
namespace {

using testing_support::VethNamespace;

TEST(PingHost, LoopbackAnswers) {
  std::string failure;
  EXPECT_EQ(PingHost("127.0.0.1", 2000, &failure), 0) << failure;
}

TEST(PingHost, NamesAndMalformedTextsAreRefusedWithoutSending) {
  for (const char* text : {"", "localhost", "1.2.3", "256.1.1.1", "1.2.3.4.5", " 127.0.0.1", "127.0.0.1 ", "0x7f.0.0.1"}) {
    std::string failure;
    EXPECT_EQ(PingHost(text, 2000, &failure), -1) << text;
    EXPECT_EQ(failure.rfind("not an IPv4 address", 0), 0u) << text << ": " << failure;
  }
}

TEST(PingHost, SilentHostGivesMinusOneAfterTheTimeLimit) {
  if (::geteuid() != 0) GTEST_SKIP() << "a private network namespace needs root";
  VethNamespace net;
  if (!net.ready()) GTEST_SKIP() << "the kernel refused to create a network namespace with a veth pair";
  // The host is up and reachable, it just does not answer echo requests.
  ASSERT_EQ(PingHost(net.peerAddress(), 2000), 0);
  ASSERT_TRUE(net.runInside("sysctl -q -w net.ipv4.icmp_echo_ignore_all=1"));
  std::string failure;
  EXPECT_EQ(PingHost(net.peerAddress(), 300, &failure), -1);
  EXPECT_EQ(failure, "no reply within the time limit");
}

}  // namespace
}  // namespace mirrox
