#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mirrox::agent {

// The agent's own statements, by command identifier. A command line that carries an identifier
// and no parameter asks for the statement kept here.
class StatementSource {
 public:
  virtual ~StatementSource() = default;
  // nullopt when the agent has no statement for `identifier`; the client then resends the command
  // with its text.
  virtual std::optional<std::string> statementFor(std::string_view identifier) const = 0;
};

// A fixed table; an empty one is an agent started without statements.
class StatementTable final : public StatementSource {
 public:
  StatementTable() = default;
  explicit StatementTable(std::map<std::string, std::string, std::less<>> statements)
      : statements_(std::move(statements)) {}

  std::optional<std::string> statementFor(std::string_view identifier) const override {
    const auto it = statements_.find(identifier);
    if (it == statements_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::string, std::string, std::less<>> statements_;
};

}  // namespace mirrox::agent
