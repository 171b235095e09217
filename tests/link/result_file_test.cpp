#include "link/result_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "link/original_rep.h"
#include "link/protocol.h"
#include "link/send_command.h"
#include "tests/support/fake_agent.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"
#include "tests/support/zlib_stream.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeAgent;
using testing_support::readFile;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::TestContext;
using testing_support::zlibCompress;

constexpr std::chrono::milliseconds kPatient = 10s;

// Rows as an agent writes them: tab-separated code page 1251 text.
std::string rows(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += std::to_string(i) + "\t\xD3\xEB\xE8\xF6\xE0 " + std::to_string(i * 7 % 113) +
            "\t12.05.2024 10:" + std::to_string(10 + i % 50) + ":00\t" + std::to_string(i * 31 % 1000) +
            ".125\r\n";
  }
  return text;
}

// Content whose stored (level 0) zlib stream is exactly `size` bytes: header 2, block header 5,
// the bytes, Adler-32 4.
std::string contentForPayloadOf(std::size_t size) { return rows(size).substr(0, size - 11); }

class ResultFileTest : public testing::Test {
 protected:
  ResultFileTest() {
    LinkLimits limits;
    limits.readTimeout = kPatient;
    context_ = std::make_unique<TestContext>(dir_.path(), limits);
  }
  void useShortLimit() {
    LinkLimits limits;
    limits.readTimeout = 150ms;
    context_ = std::make_unique<TestContext>(dir_.path(), limits);
  }
  std::int32_t fetch(const FakeAgent& agent, std::int32_t resultId = 17) {
    context_->sites.push_back(AgentSite{agent.host(), agent.port(), "/site.fdb", resultId});
    return SendCommand(*context_, static_cast<int>(context_->sites.size()) - 1, fetchResultCommand(resultId));
  }
  std::string compressed() { return readFile(dir_.file("repl.rc~")); }
  std::string result() { return readFile(dir_.file("repl.rc")); }
  const std::vector<std::string>& published() { return context_->published; }
  const std::string& status() { return context_->statusText(); }

  TempDir dir_;
  std::unique_ptr<TestContext> context_;
};

class PayloadSize : public ResultFileTest, public testing::WithParamInterface<std::size_t> {};

TEST_P(PayloadSize, ArrivesWholeAndLeavesTheNextByteOnTheConnection) {
  const std::size_t size = GetParam();
  const std::string content = contentForPayloadOf(size);
  const std::string payload = zlibCompress(content, 0);
  ASSERT_EQ(payload.size(), size);
  // The agent's next replies follow the block at once; they must still be there for the select.
  FakeAgent agent({Script().reply("Ok").fileBlock(payload).send("Ok/99\nOk\n").readLine()});
  EXPECT_EQ(fetch(agent), kSendOk) << status();
  EXPECT_EQ(agent.lines(), (std::vector<std::string>{"/4/17\r\n"}));
  EXPECT_EQ(compressed(), payload);
  EXPECT_EQ(result(), content);
  EXPECT_EQ(published(),
            (std::vector<std::string>{"Файл Ok. Размер(б): " + std::to_string(size),
                                      "Декомпрессия. Размер (б): " + std::to_string(content.size())}));
  EXPECT_EQ(SendCommand(*context_, 0, OriginalRep::CmdSelectArchive), kSendOk) << status();
  EXPECT_EQ(context_->sites[0].resultId, 99);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PayloadSize,
                         testing::Values(12u, 1023u, 1024u, 1025u, 1500u, 2048u, 5120u, 40000u));

TEST_F(ResultFileTest, LargeResultInflatesThroughManyBufferFulls) {
  const std::string content = rows(20000);  // about 1 MB, compresses well: many full output buffers
  const std::string payload = zlibCompress(content, 9);
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  EXPECT_EQ(fetch(agent), kSendOk) << status();
  EXPECT_EQ(result(), content);
}

TEST_F(ResultFileTest, EmptyPayloadIsStoredAndFailsToInflate) {
  FakeAgent agent({Script().reply("Ok").fileBlock("")});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(status(), "Ошибка получения файла");
  EXPECT_EQ(compressed(), "");
  EXPECT_EQ(published(), (std::vector<std::string>{"Файл Ok. Размер(б): 0", "Ошибка декомпрессии"}));
}

TEST_F(ResultFileTest, NegativeLengthStoresAnEmptyFileAndReadsNothingMore) {
  FakeAgent agent({Script().reply("Ok").fileBlock(-5, "")});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(compressed(), "");
  EXPECT_EQ(published(), (std::vector<std::string>{"Файл Ok. Размер(б): 0", "Ошибка декомпрессии"}));
}

struct CorruptCase {
  const char* name;
  std::string (*damage)(std::string payload);
};

class CorruptPayload : public ResultFileTest, public testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptPayload, FailsWithTheDecompressionMessage) {
  const std::string content = rows(300);
  const std::string payload = GetParam().damage(zlibCompress(content));
  FakeAgent agent({Script().reply("Ok").fileBlock(payload).send("Ok\n").readLine()});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(status(), "Ошибка получения файла");
  EXPECT_EQ(compressed(), payload);
  EXPECT_EQ(published(), (std::vector<std::string>{"Файл Ok. Размер(б): " + std::to_string(payload.size()),
                                                   "Ошибка декомпрессии"}));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, CorruptPayload,
    testing::Values(CorruptCase{"BadAdler32",
                                [](std::string p) {
                                  p.back() = static_cast<char>(p.back() ^ 0x01);
                                  return p;
                                }},
                    CorruptCase{"BadHeader",
                                [](std::string p) {
                                  p[0] = 0x79;
                                  return p;
                                }},
                    CorruptCase{"CorruptData",
                                [](std::string p) {
                                  for (std::size_t i = 10; i < 40; ++i) p[i] = static_cast<char>(0xFF);
                                  return p;
                                }},
                    CorruptCase{"StreamCutShort", [](std::string p) { return p.substr(0, p.size() / 2); }},
                    CorruptCase{"TrailerMissing", [](std::string p) { return p.substr(0, p.size() - 4); }},
                    CorruptCase{"NotZlibAtAll",
                                [](std::string) { return std::string("plain text, no stream"); }}),
    [](const testing::TestParamInfo<CorruptCase>& row) { return std::string(row.param.name); });

TEST_F(ResultFileTest, BytesAfterTheEndOfTheStreamAreIgnored) {
  const std::string content = rows(50);
  const std::string payload = zlibCompress(content) + std::string(3000, '\x5A');
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  EXPECT_EQ(fetch(agent), kSendOk) << status();
  EXPECT_EQ(result(), content);
  EXPECT_EQ(compressed(), payload);
}

TEST_F(ResultFileTest, PayloadShorterThanItsLengthTimesOutAndDropsTheConnection) {
  useShortLimit();
  const std::string payload = zlibCompress(rows(500));
  FakeAgent agent(
      {Script().reply("Ok").fileBlock(static_cast<std::int32_t>(payload.size() + 100), payload).stall()});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(status(), "Ошибка получения файла");
  EXPECT_TRUE(published().empty());
  EXPECT_FALSE(context_->tcp().connected());
  EXPECT_TRUE(agent.waitForClientClose(kPatient));
}

TEST_F(ResultFileTest, StallInsideTheLengthFieldTimesOut) {
  useShortLimit();
  FakeAgent agent({Script().reply("Ok").send(encodeBlockLength(5000).substr(0, 2)).stall()});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_TRUE(published().empty());
}

TEST_F(ResultFileTest, ResetInTheMiddleOfTheFileFailsTheFetch) {
  const std::string payload = zlibCompress(rows(2000), 0);
  FakeAgent agent(
      {Script()
           .reply("Ok")
           .send(encodeBlockLength(static_cast<std::int32_t>(payload.size())) + payload.substr(0, 5000))
           .reset()});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(status(), "Ошибка получения файла");
  EXPECT_TRUE(published().empty());
  EXPECT_FALSE(context_->tcp().connected());
}

TEST_F(ResultFileTest, SecondFetchReplacesBothFiles) {
  const std::string first = rows(400);
  const std::string second = rows(3);
  FakeAgent agent(
      {Script().reply("Ok").fileBlock(zlibCompress(first)).reply("Ok").fileBlock(zlibCompress(second))});
  EXPECT_EQ(fetch(agent), kSendOk);
  EXPECT_EQ(SendCommand(*context_, 0, fetchResultCommand(18)), kSendOk) << status();
  EXPECT_EQ(result(), second);
  EXPECT_EQ(compressed(), zlibCompress(second));
  EXPECT_EQ(agent.lines(), (std::vector<std::string>{"/4/17\r\n", "/4/18\r\n"}));
}

TEST_F(ResultFileTest, FailureReplyToAFetchIsFollowedByNothing) {
  FakeAgent agent({Script().reply("Error/6/no result 17").reply("Ok")});
  EXPECT_EQ(fetch(agent), kSendFailed);
  EXPECT_EQ(status(), "no result 17");
  EXPECT_TRUE(published().empty());
  EXPECT_EQ(SendCommand(*context_, 0, CmdCloseDatabase), kSendOk);
}

TEST_F(ResultFileTest, CompressedFileThatCannotBeCreatedBreaksTheExchange) {
  std::filesystem::create_directory(dir_.file("repl.rc~"));
  FakeAgent agent({Script().reply("Ok").fileBlock(zlibCompress("x"))});
  EXPECT_EQ(fetch(agent), kSendBroken);
  EXPECT_EQ(
      status().rfind("Невозможно создать файл \"" + dir_.file("repl.rc~").string() + "\". Is a directory", 0),
      0u)
      << status();
  EXPECT_EQ(status().back(), ' ');
  EXPECT_TRUE(published().empty());
}

TEST_F(ResultFileTest, WriteErrorWhileReceivingFailsTheFetch) {
  std::filesystem::create_symlink("/dev/full", dir_.file("repl.rc~"));
  FakeAgent agent({Script().reply("Ok").fileBlock(zlibCompress(rows(10)))});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(status(), "Ошибка получения файла");
  EXPECT_TRUE(published().empty());
}

TEST_F(ResultFileTest, TargetThatCannotBeCreatedFailsWithoutTheDecompressionMessage) {
  std::filesystem::create_directory(dir_.file("repl.rc"));
  const std::string payload = zlibCompress(rows(10));
  FakeAgent agent({Script().reply("Ok").fileBlock(payload)});
  EXPECT_EQ(fetch(agent), kSendFileNotReceived);
  EXPECT_EQ(published(), (std::vector<std::string>{"Файл Ok. Размер(б): " + std::to_string(payload.size())}));
}

TEST_F(ResultFileTest, DecompressReportsAMissingCompressedFileAsAFault) {
  EXPECT_THROW(DecompressResultFile(*context_, dir_.file("out")), std::exception);
}

TEST_F(ResultFileTest, DecompressKeepsWhatWasWrittenBeforeAnError) {
  const std::string content = rows(5000);
  std::string payload = zlibCompress(content, 0);
  payload.back() = static_cast<char>(payload.back() ^ 0x40);
  testing_support::writeFile(dir_.file("repl.rc~"), payload);
  EXPECT_FALSE(DecompressResultFile(*context_, dir_.file("out")));
  const std::string partial = readFile(dir_.file("out"));
  EXPECT_EQ(partial, content.substr(0, partial.size()));
  EXPECT_GT(partial.size(), 0u);
}

}  // namespace
}  // namespace mirrox
