#include "shell/console/progress_text.h"

#include <QLocale>
#include <cstdint>

#include "engine/batch_apply.h"

namespace mirrox {
namespace {

constexpr std::uint64_t kKilobyte = 1024;
constexpr std::uint64_t kMegabyte = 1024 * 1024;

const QLocale& russian() {
  static const QLocale locale(QLocale::Russian, QLocale::Russia);
  return locale;
}

// What the rows of a file of this kind are, in the words of the run's steps.
QString kindName(std::int32_t kind) {
  switch (static_cast<BatchKind>(kind)) {
    case BatchKind::BatchArchive:
      return QStringLiteral("Архивы");
    case BatchKind::BatchCurrentValues:
      return QStringLiteral("Мгновенные данные");
    case BatchKind::BatchAddress:
      return QStringLiteral("Адресная информация");
    case BatchKind::BatchEvents:
      return QStringLiteral("События");
    case BatchKind::BatchRequests:
      return QStringLiteral("Заявки");
  }
  return QStringLiteral("Применение");
}

// "строка", "строки" or "строк", as Russian counts them.
QString rowsWord(std::uint64_t n) {
  const std::uint64_t lastTwo = n % 100;
  const std::uint64_t last = n % 10;
  if (last == 1 && lastTwo != 11) return QStringLiteral("строка");
  if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return QStringLiteral("строки");
  return QStringLiteral("строк");
}

// Bytes in the unit that suits `scale`: МБ with one decimal, КБ or Б whole.
QString size(std::uint64_t bytes, std::uint64_t scale) {
  if (scale >= kMegabyte) return russian().toString(static_cast<double>(bytes) / kMegabyte, 'f', 1);
  if (scale >= kKilobyte) return russian().toString(static_cast<qulonglong>(bytes / kKilobyte));
  return russian().toString(static_cast<qulonglong>(bytes));
}

QString unit(std::uint64_t scale) {
  if (scale >= kMegabyte) return QStringLiteral("МБ");
  if (scale >= kKilobyte) return QStringLiteral("КБ");
  return QStringLiteral("Б");
}

// ", 41 %", or nothing while the whole is unknown.
QString share(const Progress& progress) {
  if (progress.total == 0) return {};
  return ", " + QString::number(progressPerMille(progress) / 10) + QChar(0x00A0) + "%";
}

}  // namespace

bool progressShown(const std::optional<Progress>& progress) {
  return progress && progress->elapsed >= kProgressShownAfter;
}

int progressPerMille(const Progress& progress) {
  if (progress.total == 0) return 1000;
  if (progress.done >= progress.total) return 1000;
  return static_cast<int>(progress.done * 1000 / progress.total);
}

QString progressText(const Progress& progress) {
  switch (progress.step) {
    case ProgressStep::Receiving:
      return "Файл: " + size(progress.done, progress.total) + " из " + size(progress.total, progress.total) +
             " " + unit(progress.total);
    case ProgressStep::Inflating:
      return "Распаковка: " + size(progress.count, progress.count) + " " + unit(progress.count) +
             share(progress);
    case ProgressStep::Applying:
      return kindName(progress.batchKind) + ": " +
             russian().toString(static_cast<qulonglong>(progress.count)) + " " + rowsWord(progress.count) +
             share(progress);
  }
  return {};
}

}  // namespace mirrox
