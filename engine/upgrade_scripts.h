#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/db_type.h"
#include "link/command.h"

namespace mirrox {

// The statements that bring a local database up to the replication schema, in order. Each entry has
// an empty `Cmd`, `Kind` KindExecute and one statement in `Param`; they never travel to an agent.
// Every procedure entry is a create-or-alter, so running a script again changes nothing; the last
// entry sets the version generator to the target.
extern const std::array<TCommand, 4> MeteringUpgradeScript;
extern const std::array<TCommand, 3> JournalUpgradeScript;

// The version generator, target version and script of a database type.
struct SchemaTarget {
  const char* generator;
  std::int32_t version;
  std::span<const TCommand> script;
};

inline constexpr std::int32_t kMeteringSchemaVersion = 2;
// 5: REPL_HW opens an event once however often its row arrives.
inline constexpr std::int32_t kJournalSchemaVersion = 5;

// Nothing for a type other than DbTypeMetering and DbTypeJournal.
const SchemaTarget* schemaTarget(std::int32_t dbType);

}  // namespace mirrox
