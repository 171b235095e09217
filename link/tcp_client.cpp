#include "link/tcp_client.h"

#include <algorithm>
#include <cstring>

#include "link/link_fault.h"

namespace mirrox {
namespace {

constexpr std::size_t kReceiveChunk = 16384;

}  // namespace

TcpClient::TcpClient(LinkLimits limits, std::unique_ptr<ByteStream> stream)
    : limits_(limits),
      stream_(stream ? std::move(stream) : std::make_unique<SocketStream>(limits.keepAlive)),
      readTimeout_(limits.readTimeout) {}

void TcpClient::setTarget(std::string host, int port) {
  host_ = std::move(host);
  port_ = port;
}

void TcpClient::connect() {
  disconnect();
  stream_->open(host_, port_);
}

void TcpClient::disconnect() noexcept {
  stream_->close();
  buffer_.clear();
  consumed_ = 0;
}

void TcpClient::writeLine(std::string_view line) {
  std::string bytes;
  bytes.reserve(line.size() + 2);
  bytes.append(line);
  bytes.append("\r\n");
  stream_->write(bytes);
}

std::size_t TcpClient::readSome(std::span<char> into) {
  if (readTimeout_) {
    const std::size_t got = stream_->read(into, readTimeout_);
    if (got == 0) throw LinkFault(kReadTimeoutMessage);
    return got;
  }
  for (;;) {
    const auto slice = stopRequested_ ? std::optional(limits_.stopPollInterval) : std::nullopt;
    const std::size_t got = stream_->read(into, slice);
    if (got > 0) return got;
    if (stopRequested_ && stopRequested_()) throw LinkFault(kStopRequestedMessage);
  }
}

void TcpClient::receiveMore() {
  if (consumed_ > 0 && consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  } else if (consumed_ > kReceiveChunk) {
    buffer_.erase(0, consumed_);
    consumed_ = 0;
  }
  const std::size_t old = buffer_.size();
  buffer_.resize(old + kReceiveChunk);
  std::size_t got = 0;
  try {
    got = readSome(std::span<char>(buffer_.data() + old, kReceiveChunk));
  } catch (...) {
    buffer_.resize(old);
    throw;
  }
  buffer_.resize(old + got);
}

std::string TcpClient::readLine() {
  std::size_t scanned = consumed_;
  for (;;) {
    const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(scanned);
    const auto lf = std::find(begin, buffer_.end(), '\n');
    if (lf != buffer_.end()) {
      const std::size_t end = static_cast<std::size_t>(lf - buffer_.begin());
      if (end - consumed_ > limits_.maxLineLength) throw LinkFault(kMaxLineLengthMessage);
      std::string line = buffer_.substr(consumed_, end - consumed_);
      consumed_ = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    // Refuse before holding more than one over-long line in memory.
    if (buffer_.size() - consumed_ > limits_.maxLineLength) throw LinkFault(kMaxLineLengthMessage);
    scanned = buffer_.size();
    const std::size_t keepFrom = scanned - consumed_;
    receiveMore();
    scanned = consumed_ + keepFrom;
  }
}

void TcpClient::readExact(std::span<char> into) {
  std::size_t filled = 0;
  const std::size_t buffered = std::min(into.size(), buffer_.size() - consumed_);
  if (buffered > 0) {
    std::memcpy(into.data(), buffer_.data() + consumed_, buffered);
    consumed_ += buffered;
    filled = buffered;
  }
  // The buffer is empty now (or `into` is full); read the rest straight into place, so that
  // nothing beyond the requested bytes is taken from the connection.
  while (filled < into.size()) {
    filled += readSome(into.subspan(filled));
  }
}

}  // namespace mirrox
