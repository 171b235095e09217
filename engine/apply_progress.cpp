#include "engine/apply_progress.h"

#include <system_error>

#include "engine/engine_context.h"

namespace mirrox {

ApplyProgress::ApplyProgress(EngineContext& thread, const std::filesystem::path& file,
                             std::optional<BatchKind> kind)
    : meter_(thread, ProgressStep::Applying, kind ? static_cast<std::int32_t>(*kind) : 0) {
  if (!meter_.listening()) return;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  // Without the size the rows still count; only the share stays blank.
  if (!error) fileSize_ = static_cast<std::uint64_t>(size);
}

void ApplyProgress::finish(const CallPack& calls, const ResultRowReader& reader) {
  meter_.finish(calls.rowsApplied(), reader.position(), fileSize_);
  meter_.end();
}

}  // namespace mirrox
