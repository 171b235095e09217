// The figures beside the console's bar as the operator reads them: units that suit the whole, the
// Russian forms of "rows", shares that reach 100 % only at the end, and the second before a step
// is shown at all.
#include "shell/console/progress_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>

#include "engine/batch_apply.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kMiB = 1024 * 1024;

struct TextCase {
  const char* name;
  Progress progress;
  const char* text;  // UTF-8; "_" stands for a no-break space
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

Progress receiving(std::uint64_t done, std::uint64_t total) {
  return {ProgressStep::Receiving, 0, done, done, total, 2s};
}
Progress inflating(std::uint64_t inflated, std::uint64_t read, std::uint64_t payload) {
  return {ProgressStep::Inflating, 0, inflated, read, payload, 2s};
}
Progress applying(BatchKind kind, std::uint64_t rows, std::uint64_t read, std::uint64_t size) {
  return {ProgressStep::Applying, static_cast<std::int32_t>(kind), rows, read, size, 2s};
}

class ProgressTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ProgressTextTest, ReadsAsTheOperatorExpects) {
  const TextCase& c = GetParam();
  EXPECT_EQ(progressText(c.progress), QString::fromUtf8(c.text).replace('_', QChar(0x00A0)));
}

INSTANTIATE_TEST_SUITE_P(
    Figures, ProgressTextTest,
    ::testing::Values(
        TextCase{"MegabytesWithOneDecimal", receiving(3250586, 5557453), "Файл: 3,1 из 5,3 МБ"},
        TextCase{"KilobytesWhole", receiving(2048, 40000), "Файл: 2 из 39 КБ"},
        TextCase{"BytesOfASmallBlock", receiving(512, 700), "Файл: 512 из 700 Б"},
        TextCase{"EmptyBlock", receiving(0, 0), "Файл: 0 из 0 Б"},
        TextCase{"InflatedWithShareOfPayload", inflating(13 * kMiB, 37, 100), "Распаковка: 13,0 МБ, 37_%"},
        TextCase{"ArchiveRowsWithGroupedThousands", applying(BatchKind::BatchArchive, 250000, 41, 100),
                 "Архивы: 250_000 строк, 41_%"},
        TextCase{"OneRow", applying(BatchKind::BatchEvents, 1, 1, 3), "События: 1 строка, 33_%"},
        TextCase{"TwentyTwoRows", applying(BatchKind::BatchRequests, 22, 1, 2), "Заявки: 22 строки, 50_%"},
        TextCase{"TwelveRows", applying(BatchKind::BatchAddress, 12, 1, 2),
                 "Адресная информация: 12 строк, 50_%"},
        TextCase{"HundredAndElevenRows", applying(BatchKind::BatchCurrentValues, 111, 1, 2),
                 "Мгновенные данные: 111 строк, 50_%"},
        // Nearly done is not done: the share is cut, never rounded up to 100.
        TextCase{"ShareCutBelowTheWhole", applying(BatchKind::BatchArchive, 104, 999, 1000),
                 "Архивы: 104 строки, 99_%"},
        TextCase{"WholeFile", applying(BatchKind::BatchArchive, 3000, 1000, 1000),
                 "Архивы: 3_000 строк, 100_%"},
        // A file whose size could not be read, of a kind the caller did not name: rows alone.
        TextCase{"UnknownSizeAndKind", applying(BatchKind{0}, 5, 0, 0), "Применение: 5 строк"}),
    [](const ::testing::TestParamInfo<TextCase>& param) { return param.param.name; });

TEST(ProgressShown, OnlyOnceAStepHasRunASecond) {
  Progress progress = receiving(1024, 4096);
  EXPECT_FALSE(progressShown(std::nullopt));
  progress.elapsed = 999ms;
  EXPECT_FALSE(progressShown(progress));
  progress.elapsed = 1000ms;
  EXPECT_TRUE(progressShown(progress));
}

}  // namespace
}  // namespace mirrox
