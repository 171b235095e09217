// mirrox-agent: the site agent. Wires options, log, statements and the server together; the
// requests that stop it are taken synchronously on the main thread.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/agent_log.h"
#include "agent/agent_options.h"
#include "agent/catalogue_statements.h"
#include "agent/config_file.h"
#include "agent/scratch_directory.h"
#include "agent/server.h"
#include "agent/statement_source.h"
#include "fb/client_version.h"
#include "link/platform/stop_requests.h"
#include "mirrox_version.h"

namespace {

using namespace mirrox::agent;

int serve(const AgentOptions& options, mirrox::platform::StopRequests& requests) {
  std::unique_ptr<AgentLog> log =
      options.logFile ? std::make_unique<AgentLog>(*options.logFile) : std::make_unique<AgentLog>();
  const std::unique_ptr<StatementSource> statements =
      options.noStatements ? std::make_unique<StatementTable>() : catalogueStatements();
  const ScratchDirectory results("mirrox-agent-", options.resultsDirectory);
  std::atomic<std::uint64_t> resultCounter{0};

  SessionContext context;
  context.firebirdServer = options.firebirdServer;
  context.credentials = Credentials{options.user, options.password};
  context.statements = statements.get();
  context.resultsDirectory = results.path();
  context.resultCounter = &resultCounter;
  context.log = log.get();
  context.lockTimeoutSeconds = options.lockTimeout;

  Server server(options.bindAddress, options.port, context, AllowedNetworks(options.allowed));
  const std::string where = options.bindAddress + ":" + std::to_string(server.port());
  // The first line names both versions, so that a report from a site says which agent and which
  // Firebird client served it.
  log->write("mirrox-agent " + std::string(mirrox::kMirroxVersion) + " (Firebird client " +
             mirrox::fb::clientVersion() + ") listening on " + where +
             (options.noStatements ? " without statements" : "") +
             (options.allowed.empty() ? std::string() : ", clients from the allowed addresses only"));
  std::cout << "listening on " << where << std::endl;

  std::exception_ptr failure;
  std::thread serving([&] {
    try {
      server.run();
    } catch (...) {
      failure = std::current_exception();
    }
    // Wake the main thread if the server stopped on its own.
    requests.requestStop();
  });
  // A rotated log file is taken up again under its name; the agent goes on serving.
  while (requests.wait() == mirrox::platform::StopRequests::Request::ReopenLog) {
    if (const std::optional<std::string> refused = log->reopen()) {
      log->write(*refused + "; the log stays where it was");
    } else {
      log->write("log reopened");
    }
  }
  server.stop();
  serving.join();
  log->write("stopped");
  if (failure) std::rethrow_exception(failure);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread exists, so that every thread leaves the requests to the main thread.
  mirrox::platform::StopRequests requests;

  const ConfigArguments arguments = expandConfigOption(std::vector<std::string>(argv + 1, argv + argc));
  if (!arguments.error.empty()) {
    std::cerr << "mirrox-agent: " << arguments.error << "\n";
    return 2;
  }
  const ParsedOptions parsed =
      parseAgentOptions(arguments.arguments, std::getenv("ISC_USER"), std::getenv("ISC_PASSWORD"));
  if (!parsed.options) {
    std::cerr << "mirrox-agent: " << parsed.error << "\n";
    return 2;
  }
  if (parsed.options->help) {
    std::cout << agentUsage();
    return 0;
  }
  if (parsed.options->version) {
    std::cout << "mirrox-agent " << mirrox::kMirroxVersion << "\n";
    return 0;
  }
  try {
    return serve(*parsed.options, requests);
  } catch (const std::exception& error) {
    std::cerr << "mirrox-agent: " << error.what() << "\n";
    return 1;
  }
}
