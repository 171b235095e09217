#include "link/protocol.h"

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <utility>

#include "link/journal_rep.h"
#include "link/original_rep.h"

namespace mirrox {
namespace {

struct ReplyCase {
  const char* line;
  int result;
  std::int32_t value;
  const char* text;
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class ParseReplyTable : public testing::TestWithParam<ReplyCase> {};

TEST_P(ParseReplyTable, GivesResultValueAndText) {
  const ReplyCase& c = GetParam();
  std::int32_t value = -999;
  std::string text = "previous";
  EXPECT_EQ(ParseReply(c.line, value, text), c.result);
  EXPECT_EQ(value, c.value);
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseReplyTable,
    testing::Values(ReplyCase{"Ok", 0, 0, ""},               //
                    ReplyCase{"Ok/17", 0, 17, ""},           //
                    ReplyCase{"Ok/17/more text", 0, 0, ""},  // a value must not be followed by "/"
                    ReplyCase{"Ok/", 0, 0, ""},              //
                    ReplyCase{"Ok/abc", 0, 0, ""},           //
                    ReplyCase{"Ok/-5", 0, -5, ""},           //
                    ReplyCase{"Ok/99999999999", 0, 0, ""},   // does not fit 32 bits
                    ReplyCase{"ok/17", 1, 17, ""},           // case-sensitive: 17 is the code
                    ReplyCase{"Ok ", 1, 10, ""},             //
                    ReplyCase{"Error/4/no statement", 1, 4, "no statement"},
                    ReplyCase{"Error/7/path /a/b.gdb: not found", 1, 7, "path /a/b.gdb: not found"},
                    ReplyCase{"Error/x/message", 1, 10, "message"},  // code not a number
                    ReplyCase{"Error/12", 1, 12, ""},                // no second "/": no message
                    ReplyCase{"Error//", 1, 10, ""},                 //
                    ReplyCase{"Error", 1, 10, ""},                   // no "/" at all
                    ReplyCase{"", 1, 10, ""},                        //
                    ReplyCase{"/3/text", 1, 3, "text"}));

TEST(EncodeParam, TurnsLineBreaksIntoBackspaceAndTabAndKeepsTheLength) {
  EXPECT_EQ(EncodeParam("a\r\nb"),
            "a\x09\x08"
            "b");
  EXPECT_EQ(EncodeParam("\n\r"), "\x08\x09");
  // Existing TAB and backspace bytes pass unchanged, so decoding is not a true inverse for them.
  EXPECT_EQ(EncodeParam("x\ty\bz"), "x\ty\bz");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string encoded = EncodeParam(all);
  ASSERT_EQ(encoded.size(), all.size());
  EXPECT_EQ(encoded.find('\r'), std::string::npos);
  EXPECT_EQ(encoded.find('\n'), std::string::npos);
  EXPECT_EQ(readCommandLine("/0/" + EncodeParam("line1\r\nline2\r\n"))->Param, "line1\r\nline2\r\n");
}

TEST(CommandLine, GuidCommandGoesOutWithoutItsStatement) {
  EXPECT_EQ(firstCommandLine(OriginalRep::CmdSelectAddress), "{C5403F4B-19F2-4B23-8C9F-29909F0C761C}/1");
  EXPECT_EQ(firstCommandLine(OriginalRep::CmdMarkArchive), "{A429281C-D55B-44BA-B96B-26FEDBC2015E}/0");
}

TEST(CommandLine, ResendCarriesTheEncodedStatement) {
  EXPECT_EQ(commandLine(JournalRep::CmdSelectEvents, true).substr(0, 42),
            "{F5121078-35A8-49F4-9454-746C7FD0F507}/1/s");
  const std::string line = commandLine(OriginalRep::MeteringPrepScript[1], true);
  EXPECT_EQ(line.substr(0, 3), "/0/");
  EXPECT_EQ(line.find('\r'), std::string::npos);
  EXPECT_NE(line.find("RASHOD2004\x09\x08"
                      "ACTIVE"),
            std::string::npos);
}

TEST(CommandLine, GenericCommandsBeginWithASlash) {
  EXPECT_EQ(firstCommandLine(CmdCloseDatabase), "/3/");
  EXPECT_EQ(firstCommandLine(fetchResultCommand(17)), "/4/17");
  EXPECT_EQ(firstCommandLine(openDatabaseCommand("/data/site.fdb")), "/2//data/site.fdb");
  // The parameter leaves in code page 1251.
  EXPECT_EQ(firstCommandLine(openDatabaseCommand("C:\\База.gdb")), "/2/C:\\\xC1\xE0\xE7\xE0.gdb");
}

TEST(ReadCommandLine, ReadsWhatTheServerSends) {
  auto guid = readCommandLine("{C5403F4B-19F2-4B23-8C9F-29909F0C761C}/1");
  ASSERT_TRUE(guid);
  EXPECT_EQ(guid->Cmd, "{C5403F4B-19F2-4B23-8C9F-29909F0C761C}");
  EXPECT_EQ(guid->Kind, KindSelect);
  EXPECT_FALSE(guid->Param);

  auto withText = readCommandLine(
      "{X}/0/a\x09\x08"
      "b/c");
  ASSERT_TRUE(withText);
  EXPECT_EQ(withText->Param, "a\r\nb/c");

  auto close = readCommandLine("/3/");
  ASSERT_TRUE(close);
  EXPECT_TRUE(close->Cmd.empty());
  EXPECT_EQ(close->Kind, KindCloseDatabase);
  EXPECT_EQ(close->Param, "");

  EXPECT_FALSE(readCommandLine("no slash"));
  EXPECT_FALSE(readCommandLine("{X}/"));
  EXPECT_FALSE(readCommandLine("{X}/x"));
  EXPECT_FALSE(readCommandLine("/256/"));
  EXPECT_FALSE(readCommandLine("/-1/"));
}

struct LineCase {
  const char* line;
  const char* identifier;
  std::uint8_t kind;
  std::optional<std::string> param;
};

class CommandLineReads : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineReads, IntoIdentifierKindAndParameter) {
  const LineCase& c = GetParam();
  const std::optional<WireCommand> command = readCommandLine(c.line);
  ASSERT_TRUE(command.has_value()) << c.line;
  EXPECT_EQ(command->Cmd, c.identifier);
  EXPECT_EQ(command->Kind, c.kind);
  EXPECT_EQ(command->Param, c.param);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineReads,
    ::testing::Values(
        // An identifier alone asks for the agent's own statement: no parameter at all.
        LineCase{"{C5403F4B-19F2-4B23-8C9F-29909F0C761C}/1", "{C5403F4B-19F2-4B23-8C9F-29909F0C761C}",
                 KindSelect, std::nullopt},
        // The resend after code 4 carries the text, slashes in it included.
        LineCase{"{A}/0/update t set a = 1/2", "{A}", KindExecute, "update t set a = 1/2"},
        LineCase{"/2//var/lib/site.fdb", "", KindOpenDatabase, "/var/lib/site.fdb"},
        LineCase{"/3/", "", KindCloseDatabase, ""}, LineCase{"/3", "", KindCloseDatabase, std::nullopt},
        LineCase{"/4/17", "", KindFetchFile, "17"},
        // 0x09 and 0x08 stand for CR and LF of a multi-line text.
        LineCase{"/0/create table x (\x09\x08"
                 "a integer)",
                 "", KindExecute, "create table x (\r\na integer)"}));

TEST(ReadCommandLine, RefusesLinesThatAreNotCommands) {
  for (const char* line :
       {"", "hello", "/", "/5/x", "/9/", "/x/", "{A}/", "{A}/12", "/01/x", "/-1/", "/+1/"}) {
    EXPECT_FALSE(readCommandLine(line).has_value()) << '"' << line << '"';
  }
}

TEST(ReadCommandLine, TurnsOnlyTheEncodedLineBreaksBack) {
  const std::string encoded = std::string(
                                  "a\x09\x08"
                                  "b\x08"
                                  "c\x09") +
                              "\xE0\xFF/\x07";
  EXPECT_EQ(readCommandLine("/0/" + encoded)->Param, std::string("a\r\nb\nc\r") + "\xE0\xFF/\x07");
}

// The kind table of docs/protocol.md: each kind travels as its one decimal digit, and a command
// read from its line is the command that was encoded.
TEST(CommandLine, EveryKindTravelsAsItsDigitAndReadsBackAsSent) {
  const std::pair<std::uint8_t, char> kinds[] = {{KindExecute, '0'},
                                                 {KindSelect, '1'},
                                                 {KindOpenDatabase, '2'},
                                                 {KindCloseDatabase, '3'},
                                                 {KindFetchFile, '4'}};
  for (const auto& [kind, digit] : kinds) {
    for (const WireCommand& command :
         {WireCommand{"{G}", kind, std::nullopt}, WireCommand{"", kind, "x\r\ny/z"}}) {
      const std::string line = encodeCommandLine(command);
      EXPECT_EQ(line[command.Cmd.size() + 1], digit) << line;
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
      EXPECT_EQ(readCommandLine(line), command) << line;
    }
  }
}

TEST(Reply, LinesOfTheAgentAreReadBackByTheServer) {
  std::int32_t value = -1;
  std::string text = "previous";
  EXPECT_EQ(okReply(), "Ok\n");
  EXPECT_EQ(ParseReply("Ok", value, text), 0);
  EXPECT_EQ(okReply(2147483647u), "Ok/2147483647\n");
  EXPECT_EQ(ParseReply("Ok/2147483647", value, text), 0);
  EXPECT_EQ(value, 2147483647);
  EXPECT_EQ(failureReply(FailureCode::NoStatement, "no statement\r\nfor a/b\n"),
            "Error/4/no statement  for a/b \n");
  EXPECT_EQ(ParseReply("Error/4/no statement  for a/b ", value, text), 1);
  EXPECT_EQ(value, static_cast<std::int32_t>(FailureCode::NoStatement));
  EXPECT_EQ(text, "no statement  for a/b ");
}

// The failure codes as the agent's documentation lists them; the server reads an unreadable one as 10.
TEST(Reply, FailureCodesHaveTheirWireNumbers) {
  const std::pair<FailureCode, const char*> codes[] = {
      {FailureCode::Database, "Error/1/m\n"},   {FailureCode::NoDatabase, "Error/2/m\n"},
      {FailureCode::BadCommand, "Error/3/m\n"}, {FailureCode::NoStatement, "Error/4/m\n"},
      {FailureCode::NoResult, "Error/5/m\n"},   {FailureCode::ResultFile, "Error/6/m\n"}};
  for (const auto& [code, line] : codes) EXPECT_EQ(failureReply(code, "m"), line);
  std::int32_t value = 0;
  std::string text;
  ParseReply("Error/x/m", value, text);
  EXPECT_EQ(value, 10);
}

TEST(FileBlock, LengthIsFourBytesBigEndianAndSigned) {
  EXPECT_EQ(encodeBlockLength(0x01020304), std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(encodeBlockLength(-2), std::string("\xFF\xFF\xFF\xFE", 4));
  for (const std::int32_t length : {0, 1, 1024, 0x7FFFFFFF, -1, INT32_MIN}) {
    const std::string bytes = encodeBlockLength(length);
    ASSERT_EQ(bytes.size(), kBlockLengthSize);
    EXPECT_EQ(decodeBlockLength(std::span<const char, kBlockLengthSize>(bytes.data(), kBlockLengthSize)),
              length);
  }
}

TEST(ParseDecimal, AcceptsOnlyAWholeSignedNumberThatFits) {
  EXPECT_EQ(parseDecimal("0"), 0);
  EXPECT_EQ(parseDecimal("+12"), 12);
  EXPECT_EQ(parseDecimal("-2147483648"), INT32_MIN);
  EXPECT_FALSE(parseDecimal("2147483648"));
  EXPECT_FALSE(parseDecimal("+-1"));
  EXPECT_FALSE(parseDecimal(" 1"));
  EXPECT_FALSE(parseDecimal("1 "));
  EXPECT_FALSE(parseDecimal("0x10"));
  EXPECT_FALSE(parseDecimal(""));
}

}  // namespace
}  // namespace mirrox
