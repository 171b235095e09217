#include "agent/catalogue_statements.h"

namespace mirrox::agent {

std::unique_ptr<StatementSource> catalogueStatements() {
  // Filled from the shared command catalogue once it is available to the agent.
  return std::make_unique<StatementTable>();
}

}  // namespace mirrox::agent
