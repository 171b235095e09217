#include "engine/batch_apply.h"

#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "engine/apply_progress.h"
#include "engine/call_pack.h"
#include "engine/engine_context.h"
#include "engine/engine_messages.h"
#include "engine/local_connection.h"
#include "engine/result_rows.h"
#include "engine/row_error_file.h"
#include "fb/error.h"
#include "link/clock.h"
#include "link/cp1251.h"
#include "link/date_time.h"
#include "link/result_file.h"

namespace mirrox {
namespace {

constexpr const char* kDataTemplate = "execute procedure REPL_DATA (%d,%d,:p3,:p4,:p5,:p6,%d)";
constexpr const char* kAddressTemplate =
    "execute procedure REPL_ADDRESS (%d,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9,:p10,:p11,:p12,:p13,:p14,:p15,:p16, "
    ":p17, :p18,:p19,:p20)";
constexpr const char* kEventsStatement = "execute procedure REPL_HW (:p0, :p1, :p2,:p3,:p4,:p5,:p6,:p7)";
constexpr const char* kRequestsStatement =
    "execute procedure REPL_ZAYAVKA (:p0, :p1, :p2,:p3,:p4,:p5,:p6,:p7, :p8, :p9, :p10, :p11, :p12, :p13, "
    ":p14)";

std::string format3(const char* pattern, int a, int b, int c) {
  char buffer[256];
  std::snprintf(buffer, sizeof(buffer), pattern, a, b, c);
  return buffer;
}

std::string format1(const char* pattern, int a) {
  char buffer[256];
  std::snprintf(buffer, sizeof(buffer), pattern, a);
  return buffer;
}

// A date field as the server reads it unambiguously; the field itself is day first.
std::string timestampText(const std::string& field) {
  const std::optional<DateTime> value = parseRussianDateTime(field);
  if (!value) throw fb::Error(std::string(messages::kBadDateField) + "\"" + cp1251ToUtf8(field) + "\"");
  return formatDateTime("yyyy-mm-dd hh:nn:ss", *value);
}

// The values bound for one row, and the same values as the row error file shows them.
void bindRow(const std::vector<ParamInfo>& params, const std::vector<std::string>& fields,
             std::span<InputValue> bound, std::span<InputValue> shown) {
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i >= fields.size()) {
      bound[i].reset();
      shown[i].reset();
      continue;
    }
    const std::string& field = fields[i];
    shown[i] = field;
    switch (params[i].kind) {
      case ParamKind::Text:
        if (field.size() > params[i].length) {
          throw fb::Error(
              "arithmetic exception, numeric overflow, or string truncation\n"
              "-string right truncation\n-expected length " +
              std::to_string(params[i].length) + ", actual " + std::to_string(field.size()));
        }
        bound[i] = field;
        break;
      case ParamKind::Timestamp:
        if (field.empty()) {
          bound[i].reset();
        } else {
          bound[i] = timestampText(field);
        }
        break;
      case ParamKind::Number:
        if (field.empty()) {
          bound[i].reset();
        } else {
          bound[i] = field;
        }
        break;
    }
  }
}

}  // namespace

std::string batchStatement(BatchKind kind, int regionId) {
  switch (kind) {
    case BatchKind::BatchArchive:
      return format3(kDataTemplate, regionId, 2, 1);
    case BatchKind::BatchCurrentValues:
      return format3(kDataTemplate, regionId, 1, 0);
    case BatchKind::BatchAddress:
      return format1(kAddressTemplate, regionId);
    case BatchKind::BatchEvents:
      return kEventsStatement;
    case BatchKind::BatchRequests:
      return kRequestsStatement;
  }
  throw std::invalid_argument("Unknown batch kind " + std::to_string(static_cast<std::int32_t>(kind)));
}

BatchReport BatchApply(EngineContext& thread, std::string_view statement, const std::filesystem::path& file,
                       std::size_t rowsPerPack, std::optional<BatchKind> kind) {
  BatchReport report;
  if (!std::filesystem::exists(file)) return report;
  LocalConnection& local = thread.localConnection();
  local.TR.start();
  local.Qr.setParamCheck(true);
  local.Qr.setSql(statement);
  local.Qr.prepare();

  const std::filesystem::path errorFile = thread.rowErrorDirectory() / kRowErrorFileName;
  const std::vector<ParamInfo> params = local.Qr.params();
  ResultRowReader reader(file);
  CallPack calls(local, statement, params, rowsPerPack,
                 [&](const std::string& error, std::span<const InputValue> shown) {
                   appendRowError(errorFile, thread.clock().now(), error, statement, shown);
                 });
  ApplyProgress progress(thread, file, kind);
  ResultRowReader::Row row;
  bool cutOff = false;
  while (reader.next(row)) {
    try {
      bindRow(params, row.fields, calls.nextBound(), calls.nextShown());
    } catch (const fb::Error&) {
      // The batch stops at this row: the rows before it are executed first, as they were read.
      calls.flush();
      throw;
    }
    if (!row.terminated && row.fields.size() < params.size()) {
      // A cut-off last row is not applied; it is recorded, after the rows before it, so that it
      // is not lost unseen.
      const std::span<const InputValue> slot = calls.nextShown();
      const std::vector<InputValue> shown(slot.begin(), slot.end());
      calls.flush();
      appendRowError(errorFile, thread.clock().now(), messages::kIncompleteLastRow, statement, shown);
      cutOff = true;
      break;
    }
    calls.add();
    progress.update(calls, reader);
  }
  calls.flush();
  progress.finish(calls, reader);
  report.rowsApplied = calls.rowsApplied();
  report.rowsFailed = calls.rowsFailed() + (cutOff ? 1 : 0);
  report.packsApplied = calls.packsApplied();
  local.Qr.close();
  if (local.TR.active()) local.TR.commit();
  if (report.rowErrorFlag()) {
    thread.statusText() = std::string(messages::kRowErrorsSee) + kRowErrorFileName;
    thread.publishStatus();
  }
  return report;
}

bool ApplyResultFile(EngineContext& thread, int index, BatchKind kind) {
  try {
    LocalConnection& local = thread.localConnection();
    if (!local.DB.connected()) local.DB.connect();
    const BatchReport report = BatchApply(thread, batchStatement(kind, index), resultFile(thread), 0, kind);
    thread.batchApplied(kind, report);
    return false;
  } catch (const std::exception& error) {
    thread.statusText() = std::string(messages::kBatchFailed) + error.what() + messages::kSeparator;
    thread.publishStatus();
    return true;
  }
}

}  // namespace mirrox
