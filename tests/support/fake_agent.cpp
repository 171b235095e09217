#include "tests/support/fake_agent.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "link/protocol.h"

namespace mirrox::testing_support {
namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error("fake agent: " + what + ": " + std::strerror(errno));
}

int listenOn(const std::string& address) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) fail("socket");
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    ::close(fd);
    throw std::runtime_error("fake agent: bad bind address " + address);
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    fail("bind/listen " + address);
  }
  return fd;
}

// A socket belongs to the network namespace of the thread that created it, so the listener is
// made on a short-lived thread that has entered the namespace.
int listenInNamespace(const std::string& address, const std::string& netns) {
  int fd = -1;
  std::string error;
  std::thread maker([&] {
    const int ns = ::open(netns.c_str(), O_RDONLY | O_CLOEXEC);
    if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
      error = std::string("cannot enter ") + netns + ": " + std::strerror(errno);
      if (ns >= 0) ::close(ns);
      return;
    }
    ::close(ns);
    try {
      fd = listenOn(address);
    } catch (const std::exception& e) {
      error = e.what();
    }
  });
  maker.join();
  if (fd < 0) throw std::runtime_error("fake agent: " + error);
  return fd;
}

bool sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
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
  listenFd_.reset(options_.networkNamespace.empty()
                      ? listenOn(options_.bindAddress)
                      : listenInNamespace(options_.bindAddress, options_.networkNamespace));
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  ::getsockname(listenFd_.get(), reinterpret_cast<sockaddr*>(&bound), &size);
  port_ = ntohs(bound.sin_port);
  thread_ = std::thread([this] { run(); });
}

FakeAgent::~FakeAgent() { stop(); }

void FakeAgent::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    // shutdown wakes the agent thread out of accept and recv.
    ::shutdown(listenFd_.get(), SHUT_RDWR);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
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
    const int fd = ::accept4(listenFd_.get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      break;
    }
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        ::close(fd);
        break;
      }
      ++accepted_;
      openFds_.insert(fd);
    }
    changed_.notify_all();
    served.emplace_back([this, fd, next] {
      if (next < scripts_.size()) serve(fd, scripts_[next]);
      std::lock_guard lock(mutex_);
      openFds_.erase(fd);
      ::close(fd);
    });
  }
  for (std::thread& connection : served) connection.join();
}

void FakeAgent::serve(int fd, const Script& script) {
  std::string pending;
  for (const Script::Step& step : script.steps()) {
    switch (step.action) {
      case Script::Action::ReadLine:
        if (!readOneLine(fd, pending)) return;
        break;
      case Script::Action::Send:
        if (!sendAll(fd, step.bytes)) return;
        break;
      case Script::Action::Pause:
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoll(step.bytes)));
        break;
      case Script::Action::Stop:
        drain(fd, pending);
        return;
      case Script::Action::Reset: {
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        return;
      }
      case Script::Action::Close:
        ::shutdown(fd, SHUT_WR);
        drain(fd, pending);
        return;
    }
  }
  drain(fd, pending);
}

// Reads until one whole line (up to LF) is in `pending`, records it, and removes it.
bool FakeAgent::readOneLine(int fd, std::string& pending) {
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
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
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

void FakeAgent::drain(int fd, std::string& pending) {
  while (readOneLine(fd, pending)) {
  }
}

}  // namespace mirrox::testing_support
