#include "agent/command_line.h"

#include <gtest/gtest.h>

#include "agent/reply.h"

namespace mirrox::agent {
namespace {

struct LineCase {
  const char* line;
  const char* identifier;
  CommandKind kind;
  std::optional<std::string> param;
};

class CommandLineParses : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineParses, IntoIdentifierKindAndParameter) {
  const LineCase& c = GetParam();
  const std::optional<AgentCommand> command = parseCommandLine(c.line);
  ASSERT_TRUE(command.has_value()) << c.line;
  EXPECT_EQ(command->identifier, c.identifier);
  EXPECT_EQ(command->kind, c.kind);
  EXPECT_EQ(command->param, c.param);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineParses,
    ::testing::Values(
        // An identifier alone asks for the agent's own statement: no parameter at all.
        LineCase{"{C5403F4B-19F2-4B23-8C9F-29909F0C761C}/1", "{C5403F4B-19F2-4B23-8C9F-29909F0C761C}",
                 CommandKind::Select, std::nullopt},
        // The resend after code 4 carries the text, slashes in it included.
        LineCase{"{A}/0/update t set a = 1/2", "{A}", CommandKind::Execute, "update t set a = 1/2"},
        LineCase{"/2//var/lib/site.fdb", "", CommandKind::OpenDatabase, "/var/lib/site.fdb"},
        LineCase{"/3/", "", CommandKind::CloseDatabase, ""},
        LineCase{"/3", "", CommandKind::CloseDatabase, std::nullopt},
        LineCase{"/4/17", "", CommandKind::FetchFile, "17"},
        // 0x09 and 0x08 stand for CR and LF of a multi-line text.
        LineCase{"/0/create table x (\x09\x08" "a integer)", "", CommandKind::Execute,
                 "create table x (\r\na integer)"}));

TEST(CommandLineRejects, LinesThatAreNotCommands) {
  for (const char* line : {"", "hello", "/", "/5/x", "/9/", "/x/", "{A}/", "{A}/12", "/01/x", "/-1/"}) {
    EXPECT_FALSE(parseCommandLine(line).has_value()) << '"' << line << '"';
  }
}

TEST(DecodeParam, TurnsOnlyTheEncodedLineBreaksBack) {
  const std::string encoded = std::string("a\x09\x08" "b\x08" "c\x09") + "\xE0\xFF/\x07";
  EXPECT_EQ(decodeParam(encoded), std::string("a\r\nb\nc\r") + "\xE0\xFF/\x07");
}

TEST(Reply, FailureStaysOneLineAndKeepsSlashes) {
  EXPECT_EQ(failureReply(FailureCode::NoStatement, "no statement\r\nfor a/b\n"),
            "Error/4/no statement  for a/b \n");
}

}  // namespace
}  // namespace mirrox::agent
