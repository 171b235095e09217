#pragma once

#include <QString>
#include <chrono>
#include <optional>

#include "link/progress.h"

namespace mirrox {

// A step's progress is shown once the step has run this long: shorter steps would only flicker.
inline constexpr std::chrono::milliseconds kProgressShownAfter{1000};

// Whether the console shows this progress (a step under way for about a second or more).
bool progressShown(const std::optional<Progress>& progress);

// The step and its figures as the console shows them: "Файл: 3,1 из 5,3 МБ",
// "Распаковка: 12,4 МБ, 37 %", "Архивы: 250 000 строк, 41 %".
QString progressText(const Progress& progress);

// The share behind in thousandths: done of total, 1000 for an empty whole.
int progressPerMille(const Progress& progress);

}  // namespace mirrox
