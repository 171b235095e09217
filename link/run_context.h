#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace mirrox {

class Clock;
class ProgressListener;
class TcpClient;

// The fields of one replicated object that the link reads: where its agent listens, which site
// database the agent opens, and the identifier of its last select's result.
struct AgentSite {
  std::string host;  // IPv4 address text, at most 15 characters
  std::int32_t port = 0;
  std::string remoteDbPath;
  std::int32_t resultId = 0;
};

// The context of one replication run as the link and the engine see it. The scheduler's thread
// object implements it (the console's runs use the same object while the thread is suspended).
// Every call comes from the thread that runs the dialogue; the implementation hands publishStatus
// over to the GUI thread when needed.
class RunContext {
 public:
  virtual ~RunContext() = default;

  // `StatusText`: the message being built; the link leaves its results here.
  virtual std::string& statusText() = 0;
  // `PublishStatus`: writes the current statusText() to the log, synchronously.
  virtual void publishStatus() = 0;
  // True once the operator asked the program to stop.
  virtual bool stopRequested() const = 0;

  // The object at this position of `ObjectList`, or nothing when there is none.
  virtual std::optional<AgentSite> agentSite(int index) const = 0;
  // Sets `ResultId` of the object at this position (an existing one).
  virtual void setResultId(int index, std::int32_t resultId) = 0;

  // `TCP`, the one agent connection of the process.
  virtual TcpClient& tcp() = 0;
  // `LogDir`: holds the result files "repl.rc~" and "repl.rc".
  virtual std::filesystem::path logDir() const = 0;

  // The run's clock: under the engine's waits and the pace of progress reports.
  virtual Clock& clock() = 0;
  // Where the progress of the run's long steps goes (see ProgressMeter); nothing while nobody
  // listens, and then no step spends anything on it.
  virtual ProgressListener* progressListener() { return nullptr; }
};

}  // namespace mirrox
