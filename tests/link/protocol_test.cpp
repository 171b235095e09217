#include "link/protocol.h"

#include <gtest/gtest.h>

#include <string>

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
  EXPECT_EQ(decodeParam(EncodeParam("line1\r\nline2\r\n")), "line1\r\nline2\r\n");
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

TEST(ParseCommandLine, ReadsWhatTheServerSends) {
  auto guid = parseCommandLine("{C5403F4B-19F2-4B23-8C9F-29909F0C761C}/1");
  ASSERT_TRUE(guid);
  EXPECT_EQ(guid->cmd, "{C5403F4B-19F2-4B23-8C9F-29909F0C761C}");
  EXPECT_EQ(guid->kind, KindSelect);
  EXPECT_FALSE(guid->param);

  auto withText = parseCommandLine(
      "{X}/0/a\x09\x08"
      "b/c");
  ASSERT_TRUE(withText);
  EXPECT_EQ(withText->param, "a\r\nb/c");

  auto close = parseCommandLine("/3/");
  ASSERT_TRUE(close);
  EXPECT_TRUE(close->cmd.empty());
  EXPECT_EQ(close->kind, KindCloseDatabase);
  EXPECT_EQ(close->param, "");

  EXPECT_FALSE(parseCommandLine("no slash"));
  EXPECT_FALSE(parseCommandLine("{X}/"));
  EXPECT_FALSE(parseCommandLine("{X}/x"));
  EXPECT_FALSE(parseCommandLine("/256/"));
  EXPECT_FALSE(parseCommandLine("/-1/"));
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
