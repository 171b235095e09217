#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/progress.h"
#include "shell/run_activity.h"

namespace mirrox {

// Keeps what the run under way is doing and hands every change to the console without waiting for
// it. On the GUI thread (a console command's run) the change is shown at once and the window may
// repaint; from the scheduler thread it is queued to the GUI thread and the run goes on at once.
// Queued changes that a newer one has overtaken are dropped on arrival, so a GUI thread that falls
// behind shows only the latest state and never a step's progress after the step has ended.
//
// Every member except the constructor runs on the thread that performs the run. Runs never overlap
// (the console's runs end before the scheduler starts), so the state needs no lock.
class ActivityRelay final : public ProgressListener {
 public:
  using Show = std::function<void(const RunActivity&)>;

  // `context` lives on the GUI thread; queued changes are dropped with it. `show` runs there.
  ActivityRelay(QObject& context, Show show);

  // The run of the object at `index` (shown as index + 1) begins; the previous state is forgotten.
  void runStarted(int index, std::string objectName);
  // The run has ended, however it ended: nothing is under way any more.
  void runEnded();
  // A text the run published to the log: the run's step texts become its current step.
  void statusPublished(const std::string& text);

  // ProgressListener
  void progressed(const Progress& progress) override;
  void progressEnded() override;

 private:
  void deliver();

  QObject& context_;
  Show show_;
  RunActivity activity_;
  // The number of the latest change; a queued change shows only while it is still the latest.
  std::shared_ptr<std::atomic<std::uint64_t>> latest_ = std::make_shared<std::atomic<std::uint64_t>>(0);
};

}  // namespace mirrox
