#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mirrox {

class EngineContext;

// What a result file holds, and so which procedure call applies its rows.
enum class BatchKind : std::int32_t {
  BatchArchive = 1,        // REPL_DATA, archive target, no duplicates
  BatchCurrentValues = 2,  // REPL_DATA, current-value target
  BatchAddress = 3,        // REPL_ADDRESS
  BatchEvents = 4,         // REPL_HW
  BatchRequests = 5,       // REPL_ZAYAVKA
};

// The call template of the kind with the object's region id (its position in `ObjectList`)
// written in. Throws std::invalid_argument for a value that is no kind.
std::string batchStatement(BatchKind kind, int regionId);

struct BatchReport {
  std::size_t rowsApplied = 0;
  std::size_t rowsFailed = 0;    // each has its entry in the row error file
  std::size_t packsApplied = 0;  // packs of rows that went to the server in one execution
  // `RowErrorFlag`: some row of the batch failed.
  bool rowErrorFlag() const { return rowsFailed > 0; }
};

// Applies every row of `file` with the one statement, prepared once, in `TR`, and commits once.
// Rows travel to the server in packs of `rowsPerPack` (0: as many as the statement's parameters
// allow; 1: one call a row); a row has the same outcome and the same row error entry either way.
// The rows applied and the share of the file read go to the context's progress listener, if any,
// after executions and at most a few times a second, named by `kind`.
// A missing file applies nothing and says nothing. A row whose execution fails gets its entry in
// thread.rowErrorDirectory()/"replica_error.txt" and the batch goes on; after the commit the status
// text becomes "Ошибка! См. replica_error.txt" and is published. Fields are bound by parameter type:
// texts byte for byte ('' when empty), dates and times parsed here (NULL when empty), numbers as text
// for the server (NULL when empty); a row with fewer fields binds NULL to the rest.
// Throws and commits nothing (fb::Error; std::runtime_error for the files) when the statement cannot be
// prepared, the file cannot be read, a text is longer than its parameter, a date does not parse, or the
// connection is lost; the rows executed before stay in the active `TR`. REQUIRES: `DB` is connected.
BatchReport BatchApply(EngineContext& thread, std::string_view statement, const std::filesystem::path& file,
                       std::size_t rowsPerPack = 0, std::optional<BatchKind> kind = std::nullopt);

// Applies ResultFile (LogDir/"repl.rc") for the object at `index` with the kind's call, connecting
// `DB` first when needed. False: applied, single failed rows included. True: the batch failed; the
// status text "Ошибка - " + the error + "\r\n-------" has been published. Never throws.
bool ApplyResultFile(EngineContext& thread, int index, BatchKind kind);

}  // namespace mirrox
