#include "agent/agent_options.h"

#include <gtest/gtest.h>

namespace mirrox::agent {
namespace {

TEST(AgentOptions, DefaultsListenOnEveryInterfaceOnPort5029) {
  const ParsedOptions parsed = parseAgentOptions({});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  EXPECT_EQ(parsed.options->bindAddress, "0.0.0.0");
  EXPECT_EQ(parsed.options->port, 5029);
  EXPECT_EQ(parsed.options->firebirdServer, "127.0.0.1/3050");
  EXPECT_EQ(parsed.options->user, "SYSDBA");
  EXPECT_FALSE(parsed.options->noStatements);
  EXPECT_FALSE(parsed.options->logFile.has_value());
  EXPECT_FALSE(parsed.options->help);
  // Well inside the server's 30-second reply limit.
  EXPECT_EQ(parsed.options->lockTimeout, 20);
}

TEST(AgentOptions, ReadsEveryOptionInBothForms) {
  const ParsedOptions parsed = parseAgentOptions(
      {"--port", "0", "--bind=127.0.0.1", "--user", "ALICE", "--password=s/e=cret", "--no-statements",
       "--log", "agent.log", "--firebird", "db.example/3051", "--help", "--lock-timeout", "1"});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  EXPECT_EQ(parsed.options->port, 0);
  EXPECT_EQ(parsed.options->bindAddress, "127.0.0.1");
  EXPECT_EQ(parsed.options->user, "ALICE");
  EXPECT_EQ(parsed.options->password, "s/e=cret");
  EXPECT_TRUE(parsed.options->noStatements);
  EXPECT_EQ(parsed.options->logFile, "agent.log");
  EXPECT_EQ(parsed.options->firebirdServer, "db.example/3051");
  EXPECT_TRUE(parsed.options->help);
  EXPECT_EQ(parsed.options->lockTimeout, 1);
  EXPECT_EQ(parseAgentOptions({"--lock-timeout=32767"}).options->lockTimeout, 32767);
}

TEST(AgentOptions, CredentialsComeFromTheEnvironmentUnlessGiven) {
  const ParsedOptions fromEnvironment = parseAgentOptions({}, "BOB", "pw");
  EXPECT_EQ(fromEnvironment.options->user, "BOB");
  EXPECT_EQ(fromEnvironment.options->password, "pw");
  const ParsedOptions given = parseAgentOptions({"--password", "other"}, "BOB", "pw");
  EXPECT_EQ(given.options->password, "other");
}

struct BadCase {
  std::vector<std::string> arguments;
  const char* errorMentions;
};

class AgentOptionsReject : public ::testing::TestWithParam<BadCase> {};

TEST_P(AgentOptionsReject, WithAClearError) {
  const ParsedOptions parsed = parseAgentOptions(GetParam().arguments);
  EXPECT_FALSE(parsed.options.has_value());
  EXPECT_NE(parsed.error.find(GetParam().errorMentions), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AgentOptionsReject,
    ::testing::Values(BadCase{{"--port", "65536"}, "--port"}, BadCase{{"--port", "-1"}, "--port"},
                      BadCase{{"--port=12a"}, "--port"}, BadCase{{"--port"}, "needs a value"},
                      BadCase{{"--bind", "localhost"}, "IPv4"}, BadCase{{"--bind", "300.1.1.1"}, "IPv4"},
                      BadCase{{"--no-statements=yes"}, "takes no value"}, BadCase{{"--log="}, "--log"},
                      BadCase{{"--verbose"}, "unknown option"}, BadCase{{"5029"}, "unknown option"},
                      BadCase{{"--lock-timeout", "0"}, "--lock-timeout"},
                      BadCase{{"--lock-timeout=32768"}, "--lock-timeout"},
                      BadCase{{"--lock-timeout", "1.5"}, "--lock-timeout"},
                      BadCase{{"--lock-timeout"}, "needs a value"}));

}  // namespace
}  // namespace mirrox::agent
