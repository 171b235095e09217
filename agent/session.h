#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "agent/result_store.h"
#include "agent/site_database.h"
#include "agent/socket.h"
#include "link/protocol.h"

namespace mirrox::agent {

class AgentLog;
class StatementSource;

// What every connection shares; owned by the server and outliving every session.
struct SessionContext {
  std::string firebirdServer;  // Firebird's host part, "127.0.0.1/3050"
  Credentials credentials;
  const StatementSource* statements = nullptr;
  std::filesystem::path resultsDirectory;
  std::atomic<std::uint64_t>* resultCounter = nullptr;
  AgentLog* log = nullptr;
  // Longest command line accepted; a statement travels as one line, so this is generous.
  std::size_t maxLineLength = 1 << 20;
  // How long a statement waits for a row another writer holds.
  int lockTimeoutSeconds = kDefaultLockTimeoutSeconds;
};

// One client connection: reads command lines and answers each before reading the next, until the
// client closes the connection. Whatever the client leaves behind goes with the session: its
// attachment is released (the server rolls back an open transaction) and its result files are
// removed. A client that vanishes mid-reply ends only its own session.
class Session {
 public:
  Session(const Socket& socket, std::string peer, const SessionContext& context);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Serves the connection to its end. Never throws.
  void run() noexcept;

 private:
  // Runs one command line; a command the agent cannot carry out is answered with its failure line.
  void handle(const std::string& line);
  void dispatch(const std::string& line);
  void open(const WireCommand& command);
  void close();
  void execute(const WireCommand& command);
  void select(const WireCommand& command);
  void fetch(const WireCommand& command);
  // The statement a command asks for. Throws AgentError when the agent has none for it.
  std::string statementOf(const WireCommand& command);
  // The open database. Throws AgentError when none is open.
  SiteDatabase& database();
  void send(const std::string& reply);
  void fail(FailureCode code, const std::string& message);

  const Socket& socket_;
  std::string peer_;
  const SessionContext& context_;
  ResultStore results_;
  // Declared after results_: the attachment goes first when the session ends.
  std::unique_ptr<SiteDatabase> database_;
};

}  // namespace mirrox::agent
