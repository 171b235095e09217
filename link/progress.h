#pragma once

#include <chrono>
#include <cstdint>

#include "link/date_time.h"

namespace mirrox {

class Clock;
class RunContext;

// The long steps of a run that tell how far they have come.
enum class ProgressStep : std::int32_t {
  Receiving,  // a result file's block arriving from the agent
  Inflating,  // the received payload inflated into the result file
  Applying,   // the rows of a result file going to the local database
};

// How far a long step has come. It lives beside the status texts and is never logged.
struct Progress {
  ProgressStep step = ProgressStep::Receiving;
  // Applying: the engine's BatchKind of the file, 0 when the caller did not name one. 0 for the
  // link's steps.
  std::int32_t batchKind = 0;
  // Receiving: bytes received; Inflating: bytes inflated; Applying: rows applied.
  std::uint64_t count = 0;
  // The share behind: `done` of `total` bytes, of the file block (Receiving), of the compressed file
  // (Inflating) or of the result file (Applying).
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  // Since the step began, on the run's clock.
  std::chrono::milliseconds elapsed{0};
};

// Told of the progress of a run's long steps. Every call comes from the thread that runs the step
// and must return without waiting for another thread.
class ProgressListener {
 public:
  virtual ~ProgressListener() = default;
  virtual void progressed(const Progress& progress) = 0;
  // The step whose progress was reported has ended, completed or not; no report of it follows.
  virtual void progressEnded() = 0;
};

// Paces the reports of one long step to the context's listener and ends them with the step. Reports
// are at least kInterval apart on the run's clock, except finish(), which always reports. While
// nobody listens (the context has no listener) an update costs one test and the clock is never read.
// Lives on the stack of the step: its destructor tells the listener that the step ended, also when
// the step is left by an error.
class ProgressMeter {
 public:
  static constexpr std::chrono::milliseconds kInterval{250};

  ProgressMeter(RunContext& context, ProgressStep step, std::int32_t batchKind = 0);
  ~ProgressMeter();
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  bool listening() const { return listener_ != nullptr; }

  // The step's figures so far; reported when the last report is kInterval old.
  void update(std::uint64_t count, std::uint64_t done, std::uint64_t total) {
    if (listener_ != nullptr) report(count, done, total, false);
  }
  // The step's figures at its end; always reported.
  void finish(std::uint64_t count, std::uint64_t done, std::uint64_t total) {
    if (listener_ != nullptr) report(count, done, total, true);
  }
  // Ends the step's reports here rather than in the destructor; later calls report nothing.
  void end();

 private:
  void report(std::uint64_t count, std::uint64_t done, std::uint64_t total, bool always);

  ProgressListener* listener_;
  Clock* clock_ = nullptr;
  Progress progress_;
  DateTime started_ = 0;
  DateTime lastReport_ = 0;
  bool reported_ = false;
};

}  // namespace mirrox
