#include "link/command.h"

namespace mirrox {

const TCommand CmdOpenDatabase{"", KindOpenDatabase, ""};
const TCommand CmdCloseDatabase{"", KindCloseDatabase, ""};
const TCommand CmdFetchResult{"", KindFetchFile, ""};

TCommand openDatabaseCommand(const std::string& remoteDbPath) {
  TCommand command = CmdOpenDatabase;
  command.Param = remoteDbPath;
  return command;
}

TCommand fetchResultCommand(std::int32_t resultId) {
  TCommand command = CmdFetchResult;
  command.Param = std::to_string(resultId);
  return command;
}

}  // namespace mirrox
