#include "agent/session.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <charconv>
#include <limits>

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
  const std::optional<WireCommand> command = readCommandLine(line);
  if (!command) {
    fail(FailureCode::BadCommand, "not a command line: expected identifier/kind[/parameter]");
    return;
  }
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
                                               context_.credentials);
  } catch (const DatabaseError& error) {
    fail(FailureCode::Database, "cannot open database " + command.Param.value_or("") + ": " + error.what());
    return;
  }
  send(okReply());
}

void Session::close() {
  if (database_) {
    database_->close();
    database_.reset();
  }
}

std::optional<std::string> Session::statementOf(const WireCommand& command) {
  if (command.Param) return command.Param;
  if (command.Cmd.empty()) return std::string();
  std::optional<std::string> statement = context_.statements->statementFor(command.Cmd);
  if (!statement) fail(FailureCode::NoStatement, "no statement for " + command.Cmd);
  return statement;
}

bool Session::requireDatabase() {
  if (database_) return true;
  fail(FailureCode::NoDatabase, "no database is open");
  return false;
}

void Session::execute(const WireCommand& command) {
  const std::optional<std::string> statement = statementOf(command);
  if (!statement || !requireDatabase()) return;
  try {
    // A statement that ran to its end is committed whether or not its client is still there: a
    // client that gave up waiting sends the command again with its next run, and a mark or purge
    // that took longer than the client's patience must not have to start over then, or it never
    // gets done. Marks and purges are safe to find done already.
    database_->execute(*statement);
  } catch (const DatabaseError& error) {
    fail(FailureCode::Database, error.what());
    return;
  }
  if (socket_.peerGone()) {
    context_.log->write(peer_ + " left before the statement ended; committed");
    throw ConnectionLost{};
  }
  send(okReply());
}

void Session::select(const WireCommand& command) {
  const std::optional<std::string> statement = statementOf(command);
  if (!statement || !requireDatabase()) return;
  std::unique_ptr<PreparedSelect> prepared;
  try {
    prepared = database_->prepareSelect(*statement);
  } catch (const DatabaseError& error) {
    fail(FailureCode::Database, error.what());
    return;
  }
  // The result exists from here on: its identifier goes out now, its outcome when the rows are
  // on disk, however long the select takes.
  const std::uint64_t id = results_.reserve();
  send(okReply(id));
  std::optional<std::string> failure;
  FailureCode code = FailureCode::Database;
  try {
    RowFileWriter writer(results_.rowsPath(id));
    const std::uint64_t rows = prepared->writeRows(writer, [this] { return !socket_.peerGone(); });
    writer.finish();
    results_.complete(id);
    // The length field in front of the stream is a signed 32-bit number.
    if (results_.packed(id)->size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      throw std::runtime_error("result of " + std::to_string(rows) + " rows is too large for one transfer");
    }
    context_.log->write(peer_ + " result " + std::to_string(id) + ": " + std::to_string(rows) + " rows");
  } catch (const DatabaseError& error) {
    failure = error.what();
  } catch (const SelectAbandoned& error) {
    results_.discard(id);
    context_.log->write(peer_ + " left while result " + std::to_string(id) + " was written: " + error.what());
    throw ConnectionLost{};
  } catch (const std::runtime_error& error) {
    failure = error.what();
    code = FailureCode::ResultFile;
  }
  prepared.reset();
  if (!failure) {
    send(okReply());
  } else {
    results_.discard(id);
    fail(code, *failure);
  }
}

void Session::fetch(const WireCommand& command) {
  const std::optional<std::uint64_t> id = parseResultId(command.Param.value_or(""));
  if (!id) {
    fail(FailureCode::BadCommand, "not a result identifier: " + command.Param.value_or(""));
    return;
  }
  const std::optional<ResultStore::Packed> packed = results_.packed(*id);
  if (!packed) {
    fail(FailureCode::NoResult, "no result " + std::to_string(*id));
    return;
  }

  // Opened and measured before anything is sent: once "Ok" is out, a failure can only end the
  // connection.
  const UniqueFd file(::open(packed->path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0 ||
      static_cast<std::uint64_t>(info.st_size) != packed->size) {
    fail(FailureCode::ResultFile, "result " + std::to_string(*id) + " is no longer on disk");
    return;
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
