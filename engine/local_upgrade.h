#pragma once

#include <cstdint>
#include <string_view>

#include "link/command.h"

namespace mirrox {

class EngineContext;
struct LocalConnection;

// Results of OpenLocalDatabase.
inline constexpr std::int32_t kLocalOk = 0;
inline constexpr std::int32_t kLocalConnectFailed = 1;
inline constexpr std::int32_t kLocalUpgradeFailed = 2;

// Connects `DB` and brings the local database of the object at `index` up to the replication
// schema of its type, reading the version generator at most once per object and process.
// REQUIRES: `DB` is disconnected and named "127.0.0.1:" + the object's `LocalDbPath`.
// 0: connected and up to date (`LocalSchemaVersion` set to the target); 1: the connection failed
// ("Ошибка подключения к локальной БД " + the error); 2: an upgrade statement failed ("Ошибка
// обновления локальной БД: " + the statement), or the version generator could be neither read nor
// created (the same prefix, the create statement and the server's message). The message is
// published. Never throws.
std::int32_t OpenLocalDatabase(EngineContext& thread, int index);

// The generator's value, or 0 after creating a generator that could not be read. Throws
// fb::Error when the generator can be neither read nor created; the parameter check is on again
// in every case.
std::int32_t ReadOrCreateGenerator(LocalConnection& local, std::string_view name);

// Executes the command's statement with the parameter check off and commits it. False: executed
// and committed; true: failed, with `TR` left active (the next commit or disconnect ends it).
bool ExecLocalStatement(LocalConnection& local, TCommand command);

}  // namespace mirrox
