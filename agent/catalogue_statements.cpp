#include "agent/catalogue_statements.h"

#include "link/catalogue.h"
#include "link/cp1251.h"

namespace mirrox::agent {

std::unique_ptr<StatementSource> catalogueStatements() {
  std::map<std::string, std::string, std::less<>> statements;
  for (const TCommand* command : catalogueCommands()) {
    // The catalogue holds its texts as UTF-8; the agent works in the bytes of the wire and of its
    // WIN1251 connection.
    statements.emplace(command->Cmd, utf8ToCp1251(command->Param));
  }
  return std::make_unique<StatementTable>(std::move(statements));
}

}  // namespace mirrox::agent
