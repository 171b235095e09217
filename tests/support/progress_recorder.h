#pragma once

#include <algorithm>
#include <vector>

#include "link/progress.h"

namespace mirrox::testing_support {

// A progress listener that keeps every report and every end, in the order they came.
class ProgressRecorder final : public ProgressListener {
 public:
  struct Event {
    bool ended = false;
    Progress progress;  // of a report
  };

  void progressed(const Progress& progress) override { events.push_back({false, progress}); }
  void progressEnded() override { events.push_back({true, {}}); }

  // The reports of one step, in order.
  std::vector<Progress> reports(ProgressStep step) const {
    std::vector<Progress> result;
    for (const Event& event : events) {
      if (!event.ended && event.progress.step == step) result.push_back(event.progress);
    }
    return result;
  }
  long ends() const {
    return std::count_if(events.begin(), events.end(), [](const Event& e) { return e.ended; });
  }

  std::vector<Event> events;
};

}  // namespace mirrox::testing_support
