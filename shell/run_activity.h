#pragma once

#include <optional>
#include <string>

#include "link/progress.h"

namespace mirrox {

// What the run under way is doing, as the console shows it beside its status line and log: the
// object, the step the run last announced and the figures of a long step. Never logged.
struct RunActivity {
  // The object as the table shows it: its number from 1 (0: no run under way) and its name.
  int objectNumber = 0;
  std::string objectName;
  // The text with which the run opened its current step ("Архивы ..."); empty before the first.
  std::string step;
  // While a step that reports progress runs.
  std::optional<Progress> progress;

  bool running() const { return objectNumber > 0; }
};

}  // namespace mirrox
