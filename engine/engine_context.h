#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "link/run_context.h"

namespace mirrox {

struct LocalConnection;
struct BatchReport;
enum class BatchKind : std::int32_t;

// The fields of one replicated object that the engine reads beyond what the link needs.
struct LocalSite {
  std::string name;
  std::int32_t dbType = 0;              // DbTypeMetering or DbTypeJournal; anything else is refused
  std::string localDbPath;              // the local database file as the server sees it
  std::int32_t addressChecksum = 0;     // `AddressChecksum`: of the last address file applied
  std::int32_t localSchemaVersion = 0;  // `LocalSchemaVersion`: 0 = not established in this process
};

// The context of a run as the engine sees it: everything a RunContext gives the link, plus the
// local connection and the object's engine fields. The scheduler's thread object implements it;
// every call comes from the thread that performs the run.
class EngineContext : public RunContext {
 public:
  // `DB`, `TR` and `Qr`, shared by every run of the process.
  virtual LocalConnection& localConnection() = 0;

  // The object at this position of `ObjectList`, or nothing when there is none.
  virtual std::optional<LocalSite> localSite(int index) const = 0;
  // Setters for an existing object: `AddressChecksum` (saved to the settings file at exit) and
  // `LocalSchemaVersion` (kept in memory only).
  virtual void setAddressChecksum(int index, std::int32_t checksum) = 0;
  virtual void setLocalSchemaVersion(int index, std::int32_t version) = 0;

  // The directory of the row error file "replica_error.txt": the process's working directory.
  virtual std::filesystem::path rowErrorDirectory() const { return std::filesystem::current_path(); }

  // Told of every result file applied and committed, with its counts; a batch that failed tells
  // nothing. For monitoring: nothing of the run depends on it.
  virtual void batchApplied(BatchKind /*kind*/, const BatchReport& /*report*/) {}
};

}  // namespace mirrox
