#include "tests/reliability/fault_proxy.h"

#include <chrono>
#include <span>
#include <stdexcept>

namespace mirrox::reliability {
namespace {

// How often the threads look at the stop request while nothing happens.
constexpr std::chrono::milliseconds kPoll{100};
constexpr std::uint32_t kLoopback = 0x7F000001;

}  // namespace

FaultProxy::FaultProxy(std::uint16_t agentPort) : agentPort_(agentPort) {
  platform::UniqueSocket listener(platform::openTcpSocket());
  int error = listener.valid() ? platform::bindTo(listener.get(), kLoopback, 0) : platform::lastSocketError();
  if (error == 0) error = platform::listenOn(listener.get(), 8);
  std::uint32_t address = 0;
  int port = 0;
  if (error == 0) error = platform::localAddress(listener.get(), address, port);
  if (error != 0) throw std::runtime_error("fault proxy: cannot listen: " + platform::socketErrorText(error));
  port_ = static_cast<std::uint16_t>(port);
  listener_ = std::move(listener);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

FaultProxy::~FaultProxy() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& relay : relays_) relay.join();
}

void FaultProxy::resetAfter(std::string text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  trigger_ = std::move(text);
  resetDone_ = false;
}

void FaultProxy::acceptLoop() {
  while (!stopping_) {
    const platform::NativeSocket listening[] = {listener_.get()};
    if (platform::waitReadable(listening, kPoll) != 0) continue;
    std::uint32_t address = 0;
    int port = 0;
    platform::UniqueSocket client(platform::acceptFrom(listener_.get(), address, port));
    if (!client.valid()) continue;
    relays_.emplace_back([this, client = std::move(client)]() mutable { relay(std::move(client)); });
  }
}

void FaultProxy::relay(platform::UniqueSocket client) {
  const platform::UniqueSocket agent(platform::openTcpSocket());
  if (!agent.valid() || platform::connectTo(agent.get(), kLoopback, agentPort_) != 0) {
    return;  // the client sees its connection closed, as with an agent that is not there
  }
  std::string line;
  char buffer[16384];
  while (!stopping_) {
    const platform::NativeSocket both[] = {client.get(), agent.get()};
    const int ready = platform::waitReadable(both, kPoll);
    if (ready == -1) continue;
    if (ready < 0) return;
    const std::int64_t got = platform::receiveSome(both[static_cast<std::size_t>(ready)], buffer);
    if (got <= 0) return;
    const std::string_view bytes(buffer, static_cast<std::size_t>(got));
    if (ready == 0) {
      if (!forwardFromClient(agent.get(), bytes, line)) {
        platform::enableResetOnClose(client.get());
        return;
      }
    } else if (platform::sendAll(client.get(), bytes) != 0) {
      return;
    }
  }
}

bool FaultProxy::forwardFromClient(platform::NativeSocket agent, std::string_view data, std::string& line) {
  if (platform::sendAll(agent, data) != 0) return false;
  line.append(data);
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!trigger_.empty()) {
    // Only complete lines count: the agent must have the whole command before the reset.
    const std::size_t end = line.rfind('\n');
    if (end != std::string::npos && line.substr(0, end).find(trigger_) != std::string::npos) {
      trigger_.clear();
      resetDone_ = true;
      return false;
    }
  }
  const std::size_t end = line.rfind('\n');
  if (end != std::string::npos) line.erase(0, end + 1);
  return true;
}

}  // namespace mirrox::reliability
