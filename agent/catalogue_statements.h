#pragma once

#include <memory>

#include "agent/statement_source.h"

namespace mirrox::agent {

// The statements of the command catalogue, by identifier: what this agent runs for a command
// line that carries an identifier and no text.
std::unique_ptr<StatementSource> catalogueStatements();

}  // namespace mirrox::agent
