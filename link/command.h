#pragma once

#include <cstdint>
#include <string>

namespace mirrox {

// What an agent is to do with a command. The values travel on the wire in decimal.
inline constexpr std::uint8_t KindExecute = 0;        // a statement that returns no rows
inline constexpr std::uint8_t KindSelect = 1;         // a select whose rows the agent keeps as a result
inline constexpr std::uint8_t KindOpenDatabase = 2;   // Param: the site database path
inline constexpr std::uint8_t KindCloseDatabase = 3;  // Param: empty
inline constexpr std::uint8_t KindFetchFile = 4;      // Param: the result identifier in decimal

// One command for an agent. Catalogue commands carry a GUID in `Cmd` (registry form with braces,
// 38 characters) and go out without their statement; the agent runs its own copy of it. Commands
// with an empty `Cmd` always carry `Param`. `Param` is UTF-8 here and code page 1251 on the wire.
struct TCommand {
  std::string Cmd;
  std::uint8_t Kind = KindExecute;
  std::string Param;

  bool operator==(const TCommand&) const = default;
};

// The generic commands. They are constants: callers copy one and set `Param` on the copy
// (openDatabaseCommand and fetchResultCommand do exactly that).
extern const TCommand CmdOpenDatabase;
extern const TCommand CmdCloseDatabase;
extern const TCommand CmdFetchResult;

TCommand openDatabaseCommand(const std::string& remoteDbPath);
TCommand fetchResultCommand(std::int32_t resultId);

}  // namespace mirrox
