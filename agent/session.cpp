#include "agent/session.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <charconv>
#include <limits>

#include "agent/agent_error.h"
#include "agent/agent_log.h"
#include "agent/row_file_writer.h"
#include "agent/statement_source.h"

namespace mirrox::agent {

namespace {

std::optional<std::uint64_t> parseResultId(const std::string& text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// A fault after the reply has begun: the connection can no longer be kept in step, so the
// session ends.
struct ConnectionLost {};

}  // namespace

Session::Session(const Socket& socket, std::string peer, const SessionContext& context)
    : socket_(socket),
      peer_(std::move(peer)),
      context_(context),
      results_(context.resultsDirectory, *context.resultCounter) {}

Session::~Session() = default;

void Session::run() noexcept {
  try {
    context_.log->write(peer_ + " connected");
    LineReader reader(socket_, context_.maxLineLength);
    std::string line;
    for (;;) {
      const LineReader::Status status = reader.readLine(line);
      if (status == LineReader::Status::Closed) break;
      if (status == LineReader::Status::TooLong) {
        context_.log->write(peer_ + " command line longer than " + std::to_string(context_.maxLineLength) +
                            " bytes; closing");
        fail(FailureCode::BadCommand, "command line too long");
        break;
      }
      context_.log->write(peer_ + " " + line);
      handle(line);
    }
    context_.log->write(peer_ + " disconnected");
  } catch (const ConnectionLost&) {
    context_.log->write(peer_ + " connection lost");
  } catch (const std::exception& error) {
    context_.log->write(peer_ + " session ended: " + error.what());
  } catch (...) {
    context_.log->write(peer_ + " session ended by an unknown fault");
  }
}

void Session::handle(const std::string& line) {
  try {
    dispatch(line);
  } catch (const AgentError& error) {
    fail(error.code(), error.what());
  }
}

void Session::dispatch(const std::string& line) {
  const std::optional<WireCommand> command = readCommandLine(line);
  if (!command)
    throw AgentError(FailureCode::BadCommand, "not a command line: expected identifier/kind[/parameter]");
  switch (command->Kind) {
    case KindOpenDatabase:
      open(*command);
      break;
    case KindCloseDatabase:
      // Closing when nothing is open is no fault: the end state is the one asked for.
      close();
      send(okReply());
      break;
    case KindExecute:
      execute(*command);
      break;
    case KindSelect:
      select(*command);
      break;
    case KindFetchFile:
      fetch(*command);
      break;
  }
}

void Session::open(const WireCommand& command) {
  // A second open replaces the first, also when it names another database.
  close();
  try {
    database_ = std::make_unique<SiteDatabase>(context_.firebirdServer, command.Param.value_or(""),
                                               context_.credentials, context_.lockTimeoutSeconds);
  } catch (const AgentError& error) {
    throw AgentError(error.code(),
                     "cannot open database " + command.Param.value_or("") + ": " + error.what());
  }
  send(okReply());
}

void Session::close() {
  if (database_) {
    database_->close();
    database_.reset();
  }
}

std::string Session::statementOf(const WireCommand& command) {
  if (command.Param) return *command.Param;
  if (command.Cmd.empty()) return std::string();
  std::optional<std::string> statement = context_.statements->statementFor(command.Cmd);
  if (!statement) throw AgentError(FailureCode::NoStatement, "no statement for " + command.Cmd);
  return *statement;
}

SiteDatabase& Session::database() {
  if (!database_) throw AgentError(FailureCode::NoDatabase, "no database is open");
  return *database_;
}

void Session::execute(const WireCommand& command) {
  const std::string statement = statementOf(command);
  // A statement that ran to its end is committed whether or not its client is still there: a
  // client that gave up waiting sends the command again with its next run, and a mark or purge
  // that took longer than the client's patience must not have to start over then, or it never
  // gets done. Marks and purges are safe to find done already.
  database().execute(statement);
  if (socket_.peerGone()) {
    context_.log->write(peer_ + " left before the statement ended; committed");
    throw ConnectionLost{};
  }
  send(okReply());
}

void Session::select(const WireCommand& command) {
  const std::string statement = statementOf(command);
  std::unique_ptr<PreparedSelect> prepared = database().prepareSelect(statement);
  // The result exists from here on: its identifier goes out now, its outcome when the rows are
  // on disk, however long the select takes.
  const std::uint64_t id = results_.reserve();
  send(okReply(id));
  try {
    RowFileWriter writer(results_.rowsPath(id));
    const SelectOutcome outcome = prepared->writeRows(writer, [this] { return !socket_.peerGone(); });
    if (outcome.abandoned) {
      results_.discard(id);
      context_.log->write(peer_ + " left while result " + std::to_string(id) +
                          " was written: select abandoned after " + std::to_string(outcome.rows) + " rows");
      throw ConnectionLost{};
    }
    writer.finish();
    results_.complete(id);
    // The length field in front of the stream is a signed 32-bit number.
    if (results_.packed(id)->size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      throw AgentError(FailureCode::ResultFile,
                       "result of " + std::to_string(outcome.rows) + " rows is too large for one transfer");
    }
    context_.log->write(peer_ + " result " + std::to_string(id) + ": " + std::to_string(outcome.rows) +
                        " rows");
  } catch (const AgentError&) {
    // The select's transaction is undone before the client hears of the failure.
    prepared.reset();
    results_.discard(id);
    throw;
  }
  prepared.reset();
  send(okReply());
}

void Session::fetch(const WireCommand& command) {
  const std::optional<std::uint64_t> id = parseResultId(command.Param.value_or(""));
  if (!id)
    throw AgentError(FailureCode::BadCommand, "not a result identifier: " + command.Param.value_or(""));
  const std::optional<ResultStore::Packed> packed = results_.packed(*id);
  if (!packed) throw AgentError(FailureCode::NoResult, "no result " + std::to_string(*id));

  // Opened and measured before anything is sent: once "Ok" is out, a failure can only end the
  // connection.
  const UniqueFd file(::open(packed->path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0 ||
      static_cast<std::uint64_t>(info.st_size) != packed->size) {
    throw AgentError(FailureCode::ResultFile, "result " + std::to_string(*id) + " is no longer on disk");
  }
  send(okReply() + encodeBlockLength(static_cast<std::int32_t>(packed->size)));
  try {
    socket_.writeFile(file.get());
  } catch (const std::exception& error) {
    // Half a block is out: nothing more can be said on this connection.
    context_.log->write(peer_ + " transfer of result " + std::to_string(*id) + " broken: " + error.what());
    throw ConnectionLost{};
  }
  context_.log->write(peer_ + " result " + std::to_string(*id) + " sent, " + std::to_string(packed->size) +
                      " bytes");
}

void Session::send(const std::string& reply) {
  try {
    socket_.writeAll(reply);
  } catch (const SocketError&) {
    throw ConnectionLost{};
  }
}

void Session::fail(FailureCode code, const std::string& message) {
  const std::string reply = failureReply(code, message);
  context_.log->write(peer_ + " " + reply.substr(0, reply.size() - 1));
  send(reply);
}

}  // namespace mirrox::agent
