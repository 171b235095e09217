#include "agent/agent_options.h"

#include <gtest/gtest.h>

#include "agent/allowed_networks.h"
#include "agent/config_file.h"
#include "tests/support/temp_dir.h"

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

TEST(AgentOptions, AllowIsRepeatedAndResultsNameADirectory) {
  const ParsedOptions parsed =
      parseAgentOptions({"--allow", "192.0.2.10", "--allow=10.1.0.0/16", "--results", "/var/cache/agent"});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  ASSERT_EQ(parsed.options->allowed.size(), 2u);
  EXPECT_EQ(parsed.options->allowed[1].prefix, 16);
  EXPECT_EQ(parsed.options->resultsDirectory, "/var/cache/agent");
  EXPECT_TRUE(parseAgentOptions({}).options->allowed.empty());
}

TEST(AllowedNetworks, AddressesAndPrefixesDecideWhoMayConnect) {
  const AllowedNetworks one({*Ipv4Network::parse("192.0.2.10")});
  EXPECT_TRUE(one.allows("192.0.2.10"));
  EXPECT_FALSE(one.allows("192.0.2.11"));
  const AllowedNetworks net({*Ipv4Network::parse("10.1.2.3/16"), *Ipv4Network::parse("127.0.0.1/32")});
  EXPECT_TRUE(net.allows("10.1.255.7"));  // host bits of the written address do not matter
  EXPECT_FALSE(net.allows("10.2.0.1"));
  EXPECT_TRUE(net.allows("127.0.0.1"));
  EXPECT_FALSE(net.allows("127.0.0.2"));
  EXPECT_FALSE(net.allows("not an address"));
  EXPECT_TRUE(AllowedNetworks({*Ipv4Network::parse("0.0.0.0/0")}).allows("203.0.113.9"));
  EXPECT_TRUE(AllowedNetworks().allows("203.0.113.9"));  // no list: everyone, as before
  for (const char* bad :
       {"", "192.0.2", "192.0.2.1/33", "192.0.2.1/", "192.0.2.1/-1", "host.example", "::1", "192.0.2.1/8x"}) {
    EXPECT_FALSE(Ipv4Network::parse(bad).has_value()) << bad;
  }
}

TEST(AgentConfigFile, LinesBecomeOptionsBeforeTheCommandLinesOwn) {
  testing_support::TempDir dir;
  testing_support::writeFile(
      dir / "agent.conf",
      "# the dispatch centre\n\nallow = 192.0.2.10\n  port=6000 \r\nallow = 10.0.0.0/8\n");
  const ConfigArguments expanded =
      expandConfigOption({"--port", "0", "--config", (dir / "agent.conf").string()});
  ASSERT_TRUE(expanded.error.empty()) << expanded.error;
  EXPECT_EQ(expanded.arguments, (std::vector<std::string>{"--allow", "192.0.2.10", "--port", "6000",
                                                          "--allow", "10.0.0.0/8", "--port", "0"}));
  const ParsedOptions parsed = parseAgentOptions(expanded.arguments);
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  EXPECT_EQ(parsed.options->port, 0);  // the command line wins
  EXPECT_EQ(parsed.options->allowed.size(), 2u);
}

TEST(AgentConfigFile, UnknownKeyLineWithoutValueAndMissingFileAreRefusedNamingWhere) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "a.conf", "port = 1\ncolour = blue\n");
  testing_support::writeFile(dir / "b.conf", "port 1\n");
  testing_support::writeFile(dir / "c.conf", "config = other.conf\n");
  EXPECT_EQ(readConfigFile(dir / "a.conf").error,
            (dir / "a.conf").string() + ":2: unknown key: colour (see mirrox-agent --help)");
  EXPECT_EQ(readConfigFile(dir / "b.conf").error,
            (dir / "b.conf").string() + ":1: not a \"key = value\" line");
  EXPECT_EQ(readConfigFile(dir / "c.conf").error,
            (dir / "c.conf").string() + ":1: unknown key: config (see mirrox-agent --help)");
  EXPECT_EQ(
      expandConfigOption({"--config", (dir / "none.conf").string()}).error,
      "cannot read the configuration file " + (dir / "none.conf").string() + ": No such file or directory");
  EXPECT_FALSE(expandConfigOption({"--config"}).error.empty());
}

TEST(AgentConfigFile, BadValueIsRefusedNamingFileLineKeyAndValue) {
  testing_support::TempDir dir;
  const auto refusal = [&](const std::string& line) {
    testing_support::writeFile(dir / "agent.conf", "# the site\nbind = 127.0.0.1\n\n" + line + "\n");
    return expandConfigOption({"--config", (dir / "agent.conf").string()}).error;
  };
  const std::string at = (dir / "agent.conf").string() + ":4: ";
  EXPECT_EQ(refusal("allow = not-an-address"),
            at + "allow = not-an-address: not an IPv4 address or ADDRESS/PREFIX (0 to 32)");
  EXPECT_EQ(refusal("allow = 192.0.2.0/33"),
            at + "allow = 192.0.2.0/33: not an IPv4 address or ADDRESS/PREFIX (0 to 32)");
  EXPECT_EQ(refusal("port = http"), at + "port = http: not a port number (0 to 65535)");
  EXPECT_EQ(refusal("  bind=localhost "), at + "bind = localhost: not an IPv4 address");
  EXPECT_EQ(refusal("lock-timeout = 0"), at + "lock-timeout = 0: not a number of seconds (1 to 32767)");
  EXPECT_EQ(refusal("log ="), at + "log = : needs a file name");
  EXPECT_EQ(refusal("results = "), at + "results = : needs a directory");
}

TEST(AgentConfigFile, MistypedPasswordLineIsRefusedWithoutShowingThePassword) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "a.conf", "pasword = s3cret\n");
  testing_support::writeFile(dir / "b.conf", "password s3cret\n");
  for (const char* file : {"a.conf", "b.conf"}) {
    const std::string error = readConfigFile(dir / file).error;
    EXPECT_NE(error.find(std::string(file) + ":1: "), std::string::npos) << error;
    EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
  }
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
    ::testing::Values(
        BadCase{{"--port", "65536"}, "--port"}, BadCase{{"--port", "-1"}, "--port"},
        BadCase{{"--port=12a"}, "--port"}, BadCase{{"--port"}, "needs a value"},
        BadCase{{"--bind", "localhost"}, "IPv4"}, BadCase{{"--bind", "300.1.1.1"}, "IPv4"},
        BadCase{{"--no-statements=yes"}, "takes no value"}, BadCase{{"--log="}, "--log"},
        BadCase{{"--verbose"}, "unknown option"}, BadCase{{"5029"}, "unknown option"},
        BadCase{{"--lock-timeout", "0"}, "--lock-timeout"},
        BadCase{{"--lock-timeout=32768"}, "--lock-timeout"},
        BadCase{{"--lock-timeout", "1.5"}, "--lock-timeout"}, BadCase{{"--lock-timeout"}, "needs a value"},
        BadCase{{"--allow", "dispatch.example"}, "--allow: not an IPv4 address or ADDRESS/PREFIX"},
        BadCase{{"--allow", "192.0.2.0/40"}, "192.0.2.0/40"}, BadCase{{"--results="}, "--results"}));

}  // namespace
}  // namespace mirrox::agent
