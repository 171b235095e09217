#include "link/cp1251.h"

#include <gtest/gtest.h>

#include <string>

namespace mirrox {
namespace {

TEST(Cp1251, EveryByteValueRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(all)), all);
}

TEST(Cp1251, CyrillicAndPunctuationMapToTheirCodePoints) {
  EXPECT_EQ(cp1251ToUtf8("\xC0\xFF\xA8\xB8\xB9"), "АяЁё№");
  EXPECT_EQ(utf8ToCp1251("Учет №1 — «Заявки»"),
            "\xD3\xF7\xE5\xF2 \xB9"
            "1 \x97 \xAB\xC7\xE0\xFF\xE2\xEA\xE8\xBB");
  // The one byte without a letter keeps its value as U+0098.
  EXPECT_EQ(cp1251ToUtf8("\x98"), "\xC2\x98");
}

TEST(Cp1251, UnmappableOrMalformedUtf8BecomesQuestionMark) {
  EXPECT_EQ(utf8ToCp1251("a\xE4\xB8\xAD"
                         "b"),
            "a?b");                                  // a CJK letter
  EXPECT_EQ(utf8ToCp1251("x\xD0"), "x?");            // truncated sequence
  EXPECT_EQ(utf8ToCp1251("\xFF\xD0\x41"), "??A");    // stray bytes
  EXPECT_EQ(utf8ToCp1251("\xF0\x9F\x98\x80"), "?");  // emoji outside the BMP
}

}  // namespace
}  // namespace mirrox
