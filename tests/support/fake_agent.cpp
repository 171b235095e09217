#include "tests/support/fake_agent.h"

#include <zlib.h>

#include <stdexcept>

#include "link/protocol.h"
#include "tests/support/network_namespace_listener.h"

namespace mirrox::testing_support {
namespace {

platform::NativeSocket listenOn(const std::string& address) {
  const std::optional<std::uint32_t> local = platform::parseIpv4(address);
  if (!local) throw std::runtime_error("fake agent: bad bind address " + address);
  platform::UniqueSocket socket(platform::openTcpSocket());
  if (!socket.valid()) {
    throw std::runtime_error("fake agent: socket: " + platform::socketErrorText(platform::lastSocketError()));
  }
  platform::enableReuseAddress(socket.get());
  int error = platform::bindTo(socket.get(), *local, 0);
  if (error == 0) error = platform::listenOn(socket.get(), 8);
  if (error != 0) {
    throw std::runtime_error("fake agent: bind/listen " + address + ": " + platform::socketErrorText(error));
  }
  return socket.release();
}

}  // namespace

Script& Script::readLine() {
  steps_.push_back({Action::ReadLine, {}});
  return *this;
}

Script& Script::reply(std::string_view line) {
  readLine();
  return send(std::string(line) + "\n");
}

Script& Script::send(std::string_view bytes) {
  steps_.push_back({Action::Send, std::string(bytes)});
  return *this;
}

Script& Script::fileBlock(std::string_view payload) {
  return fileBlock(static_cast<std::int32_t>(payload.size()), payload);
}

Script& Script::fileBlock(std::int32_t length, std::string_view payload) {
  return send(encodeBlockLength(length) + std::string(payload));
}

Script& Script::pause(std::chrono::milliseconds duration) {
  steps_.push_back({Action::Pause, std::to_string(duration.count())});
  return *this;
}

Script& Script::stall() {
  steps_.push_back({Action::Stop, {}});
  return *this;
}

Script& Script::reset() {
  steps_.push_back({Action::Reset, {}});
  return *this;
}

Script& Script::close() {
  steps_.push_back({Action::Close, {}});
  return *this;
}

FakeAgent::FakeAgent(std::vector<Script> connections, FakeAgentOptions options)
    : options_(std::move(options)), scripts_(std::move(connections)) {
  // A socket belongs to the network namespace of the thread that created it.
  listener_.reset(options_.networkNamespace.empty() ? listenOn(options_.bindAddress)
                                                    : inNetworkNamespace(options_.networkNamespace, [&] {
                                                        return listenOn(options_.bindAddress);
                                                      }));
  wake_ = platform::connectedPair();
  std::uint32_t address = 0;
  platform::localAddress(listener_.get(), address, port_);
  thread_ = std::thread([this] { run(); });
}

FakeAgent::~FakeAgent() { stop(); }

void FakeAgent::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    // The byte wakes the agent thread out of its wait for a client, shutdown the connections'
    // threads out of recv.
    platform::sendAll(wake_.second.get(), std::string_view("\0", 1));
    for (const platform::NativeSocket socket : openSockets_) platform::shutdownBoth(socket);
  }
  thread_.join();
}

std::vector<std::string> FakeAgent::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

int FakeAgent::connectionsAccepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

bool FakeAgent::waitForLines(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return lines_.size() >= count; });
}

bool FakeAgent::waitForClientClose(std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return clientClosed_ > 0; });
}

void FakeAgent::run() {
  std::vector<std::thread> served;
  for (std::size_t next = 0;; ++next) {
    const platform::NativeSocket waitFor[] = {listener_.get(), wake_.first.get()};
    if (platform::waitReadable(waitFor, std::nullopt) != 0) break;
    std::uint32_t address = 0;
    int port = 0;
    platform::UniqueSocket socket(platform::acceptFrom(listener_.get(), address, port));
    if (!socket.valid()) break;
    const platform::NativeSocket accepted = socket.get();
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
      ++accepted_;
      openSockets_.insert(accepted);
    }
    changed_.notify_all();
    served.emplace_back([this, connection = std::move(socket), next]() mutable {
      if (next < scripts_.size()) serve(connection.get(), scripts_[next]);
      std::lock_guard lock(mutex_);
      openSockets_.erase(connection.get());
      connection.reset();
    });
  }
  for (std::thread& connection : served) connection.join();
}

void FakeAgent::serve(platform::NativeSocket fd, const Script& script) {
  std::string pending;
  for (const Script::Step& step : script.steps()) {
    switch (step.action) {
      case Script::Action::ReadLine:
        if (!readOneLine(fd, pending)) return;
        break;
      case Script::Action::Send:
        if (platform::sendAll(fd, step.bytes) != 0) return;
        break;
      case Script::Action::Pause:
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoll(step.bytes)));
        break;
      case Script::Action::Stop:
        drain(fd, pending);
        return;
      case Script::Action::Reset: {
        platform::enableResetOnClose(fd);
        return;
      }
      case Script::Action::Close:
        platform::shutdownSend(fd);
        drain(fd, pending);
        return;
    }
  }
  drain(fd, pending);
}

// Reads until one whole line (up to LF) is in `pending`, records it, and removes it.
bool FakeAgent::readOneLine(platform::NativeSocket fd, std::string& pending) {
  for (;;) {
    const std::size_t lf = pending.find('\n');
    if (lf != std::string::npos) {
      {
        std::lock_guard lock(mutex_);
        lines_.push_back(pending.substr(0, lf + 1));
      }
      changed_.notify_all();
      pending.erase(0, lf + 1);
      return true;
    }
    char buffer[4096];
    // Waiting on the wake socket too: shutdown does not end a blocked receive on every system.
    const platform::NativeSocket waitFor[] = {fd, wake_.first.get()};
    const bool readable = platform::waitReadable(waitFor, std::nullopt) == 0;
    const std::int64_t got = readable ? platform::receiveSome(fd, buffer) : 0;
    if (got <= 0) {
      {
        std::lock_guard lock(mutex_);
        ++clientClosed_;
      }
      changed_.notify_all();
      return false;
    }
    pending.append(buffer, static_cast<std::size_t>(got));
  }
}

void FakeAgent::drain(platform::NativeSocket fd, std::string& pending) {
  while (readOneLine(fd, pending)) {
  }
}

}  // namespace mirrox::testing_support
