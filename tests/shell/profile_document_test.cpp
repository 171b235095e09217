#include "shell/profile_document.h"

#include <gtest/gtest.h>

#include <string>

namespace mirrox {
namespace {

TEST(ProfileDocument, MatchesSectionAndKeyNamesWithoutRegardToCaseAndTrimsValues) {
  const auto doc = ProfileDocument::parse(
      "[MAIN]\r\n  Period =  15 "
      "\t\r\n[\xCE\xE1\xFA\xE5\xEA\xF2]\r\nKey=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n");
  EXPECT_EQ(doc.value("main", "period"), "15");
  EXPECT_EQ(doc.value("объект", "KEY"), "Значение");  // Cyrillic names fold case too
  EXPECT_EQ(doc.value("Main", "chk"), std::nullopt);
  EXPECT_EQ(doc.value("Other", "period"), std::nullopt);
}

TEST(ProfileDocument, StrayTextBomAndLinesWithoutEqualsAreIgnored) {
  const auto doc = ProfileDocument::parse(
      "\xEF\xBB\xBF[Main]\nthis is stray text\nperiod=7\n[1\nhost\n==\n[2]\nhost=a=b\n\xFF\x98 junk\n");
  EXPECT_EQ(doc.value("Main", "period"), "7");
  EXPECT_EQ(doc.value("2", "host"), "a=b");
  EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"Main", "2"}));
}

TEST(ProfileDocument, ValueInAMatchingPairOfQuotationMarksReadsWithoutThem) {
  const auto doc = ProfileDocument::parse(
      "[1]\r\nods= \"\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF\" \r\ndb_path='/opt/db/a b.gdb'\r\nhost=\"\"\r\n"
      "a=\"x'\r\nb='\r\nc=\"in \"the\" middle\"\r\nd=say \"hi\"\r\ne='\"x\"'\r\n");
  EXPECT_EQ(doc.value("1", "ods"), "Котельная");
  EXPECT_EQ(doc.value("1", "db_path"), "/opt/db/a b.gdb");
  EXPECT_EQ(doc.value("1", "host"), "");
  EXPECT_EQ(doc.value("1", "a"), "\"x'");  // not a matching pair
  EXPECT_EQ(doc.value("1", "b"), "'");     // one mark is no pair
  EXPECT_EQ(doc.value("1", "c"), "in \"the\" middle");
  EXPECT_EQ(doc.value("1", "d"), "say \"hi\"");
  EXPECT_EQ(doc.value("1", "e"), "\"x\"");  // one pair only
  EXPECT_EQ(parseProfileInteger(*ProfileDocument::parse("[M]\r\np='15'\r\n").value("M", "p")), 15);
}

TEST(ProfileDocument, ValueIsCutToWhatATwoKilobyteBufferHolds) {
  const std::string longValue(5000, '7');
  const auto doc = ProfileDocument::parse("[1]\r\nods=" + longValue + "\r\n");
  EXPECT_EQ(doc.value("1", "ods")->size(), ProfileDocument::kValueBufferSize - 1);
}

TEST(ProfileDocument, SectionNamesStopAtTheBufferLimitWithoutACutName) {
  // 3000 names of four digits and a NUL each need 15001 bytes; the next one of 1400 bytes would
  // only fit in part and must not appear as a shorter, different name.
  std::string text;
  for (int i = 1000; i < 4000; ++i) text += "[" + std::to_string(i) + "]\r\n";
  text += "[" + std::string(1400, '9') + "]\r\n[5]\r\n";
  const auto names = ProfileDocument::parse(text).sectionNames();
  ASSERT_EQ(names.size(), 3000u);
  EXPECT_EQ(names.back(), "3999");
}

TEST(ProfileDocument, WritingChangesOneKeyAndPreservesEverythingElseByteForByte) {
  const std::string original =
      "; comment line\r\n[Main]\r\nperiod=10\r\n\r\n[7]\nods=x\nhost = old \n\n[other]\r\nkeep=me";
  auto doc = ProfileDocument::parse(original);
  doc.setValue("7", "HOST", "10.0.0.1");
  doc.setValue("7", "port", "5029");
  doc.setValue("main", "chk", "1");
  doc.setValue("9", "ods", "Новый");
  EXPECT_EQ(doc.serialize(),
            "; comment line\r\n[Main]\r\nperiod=10\r\nchk=1\r\n\r\n[7]\nods=x\nHOST=10.0.0.1\nport=5029\r\n\n"
            "[other]\r\nkeep=me\r\n[9]\r\nods=\xCD\xEE\xE2\xFB\xE9\r\n");
}

TEST(ProfileDocument, DuplicateSectionsReadAndWriteTheFirst) {
  auto doc = ProfileDocument::parse("[3]\r\nods=first\r\n[3]\r\nods=second\r\n");
  EXPECT_EQ(doc.value("3", "ods"), "first");
  doc.setValue("3", "ods", "changed");
  EXPECT_EQ(doc.serialize(), "[3]\r\nods=changed\r\n[3]\r\nods=second\r\n");
}

TEST(ProfileInteger, ReadsDecimalHexAndRejectsEverythingElse) {
  EXPECT_EQ(parseProfileInteger("007"), 7);
  EXPECT_EQ(parseProfileInteger(" -5 "), -5);
  EXPECT_EQ(parseProfileInteger("+12"), 12);
  EXPECT_EQ(parseProfileInteger("0x1F"), 31);
  EXPECT_EQ(parseProfileInteger("0XffffFFFF"), -1);
  EXPECT_EQ(parseProfileInteger("0x"), std::nullopt);  // too short to be hexadecimal
  for (const char* bad : {"", "abc", "12abc", "1.5", "0x1G", "0x123456789", "99999999999", "+-1", "- 1"}) {
    EXPECT_EQ(parseProfileInteger(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace mirrox
