#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "engine/batch_apply.h"
#include "engine/call_pack.h"
#include "engine/result_rows.h"
#include "link/progress.h"

namespace mirrox {

class EngineContext;

// The progress of one result file's application: the rows applied and the share of the file read.
// It looks after every row taken but reports only when rows were executed since it last looked (a
// full pack, or rows executed one call each), and the meter paces those reports further. While
// nobody listens a look costs one test.
class ApplyProgress {
 public:
  ApplyProgress(EngineContext& thread, const std::filesystem::path& file, std::optional<BatchKind> kind);

  void update(const CallPack& calls, const ResultRowReader& reader) {
    if (!meter_.listening()) return;
    const std::size_t executed = calls.rowsApplied() + calls.rowsFailed();
    if (executed == executed_) return;
    executed_ = executed;
    meter_.update(calls.rowsApplied(), reader.position(), fileSize_);
  }
  // The figures of the whole file, once every row taken has been executed; ends the reports.
  void finish(const CallPack& calls, const ResultRowReader& reader);

 private:
  ProgressMeter meter_;
  std::uint64_t fileSize_ = 0;
  std::size_t executed_ = 0;
};

}  // namespace mirrox
