// Measures the fetch of one large result over loopback against its physical limits: a plain socket
// copy of the same payload and zlib's own inflate of it; the peak memory of the receiving process;
// and FileChecksum over the inflated file. One size per run, so that each run's peak memory is its
// own. Usage: mirrox_fetch_bench <inflated megabytes> <scratch directory>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/checksum.h"
#include "link/clock.h"
#include "link/command.h"
#include "link/protocol.h"
#include "link/run_context.h"
#include "link/send_command.h"
#include "link/tcp_client.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class BenchContext final : public mirrox::RunContext {
 public:
  BenchContext(fs::path logDir, int port) : logDir_(std::move(logDir)), port_(port) {}
  std::string& statusText() override { return status_; }
  void publishStatus() override { std::printf("  status: %s\n", status_.c_str()); }
  bool stopRequested() const override { return false; }
  std::optional<mirrox::AgentSite> agentSite(int) const override {
    return mirrox::AgentSite{"127.0.0.1", port_, "/site.fdb", 1};
  }
  void setResultId(int, std::int32_t) override {}
  mirrox::TcpClient& tcp() override { return tcp_; }
  fs::path logDir() const override { return logDir_; }
  mirrox::Clock& clock() override { return clock_; }

 private:
  std::string status_;
  mirrox::SystemClock clock_;
  mirrox::TcpClient tcp_;
  fs::path logDir_;
  int port_;
};

// Archive and address rows as a metering agent writes them, with varying values so that the
// compression ratio is a realistic one rather than that of a repeated line.
void writeRows(const fs::path& rowsPath, const fs::path& payloadPath, std::size_t megabytes) {
  std::mt19937 random(42);
  std::ofstream payload(payloadPath, std::ios::binary);
  z_stream z{};
  deflateInit(&z, 6);
  std::vector<char> out(1 << 16);
  std::ofstream rows(rowsPath, std::ios::binary);
  const std::size_t target = megabytes * 1024 * 1024;
  std::size_t written = 0;
  std::string batch;
  static const char* streets[] = {"\xCB\xE5\xED\xE8\xED\xE0", "\xCF\xF3\xF8\xEA\xE8\xED\xE0",
                                  "\xD1\xE0\xE4\xEE\xE2\xE0\xFF", "\xCC\xE8\xF0\xE0"};
  while (written < target) {
    batch.clear();
    for (int i = 0; i < 2000; ++i) {
      auto r = [&](unsigned range) { return static_cast<unsigned>(random() % range); };
      char line[200];
      const int n = std::snprintf(
          line, sizeof line, "%u\t%u\t%u.%05u\t%02u.%02u.2024 %02u:%02u:00\t%s %u\r\n", 1000 + r(5000),
          1 + r(4), r(100000), r(100000), 1 + r(28), 1 + r(12), r(24), r(60), streets[r(4)], r(200));
      batch.append(line, static_cast<std::size_t>(n));
    }
    if (written + batch.size() > target) batch.resize(target - written);
    written += batch.size();
    rows.write(batch.data(), static_cast<std::streamsize>(batch.size()));
    z.next_in = reinterpret_cast<Bytef*>(batch.data());
    z.avail_in = static_cast<uInt>(batch.size());
    const int flush = written >= target ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      payload.write(out.data(), static_cast<std::streamsize>(out.size() - z.avail_out));
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
}

int listenLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 1) != 0) {
    throw std::runtime_error("listen failed");
  }
  socklen_t size = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
  port = ntohs(addr.sin_port);
  return fd;
}

void sendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) std::_Exit(3);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// A child process that serves the payload once: after the command line (when `withReply`) the
// success reply, then the block (length and payload) read from disk in 64 KiB pieces.
pid_t serve(int listenFd, const fs::path& payloadPath, bool withReply) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  const int fd = ::accept(listenFd, nullptr, nullptr);
  char line[256];
  if (withReply && ::recv(fd, line, sizeof line, 0) <= 0) std::_Exit(2);
  const auto size = static_cast<std::uint32_t>(fs::file_size(payloadPath));
  std::string head = withReply ? "Ok\n" : "";
  head += mirrox::encodeBlockLength(static_cast<std::int32_t>(size));
  sendAll(fd, head.data(), head.size());
  std::ifstream in(payloadPath, std::ios::binary);
  std::vector<char> buffer(1 << 16);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    sendAll(fd, buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  ::recv(fd, line, sizeof line, 0);  // until the client closes
  std::_Exit(0);
}

long peakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 10, '\n');
  }
  return -1;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double mib(std::uintmax_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <inflated megabytes> <scratch directory>\n", argv[0]);
    return 2;
  }
  const std::size_t megabytes = std::strtoul(argv[1], nullptr, 10);
  const fs::path dir = argv[2];
  fs::create_directories(dir);
  const fs::path rowsPath = dir / "rows.txt";
  const fs::path payloadPath = dir / "payload.z";
  writeRows(rowsPath, payloadPath, megabytes);
  const auto inflated = fs::file_size(rowsPath);
  const auto compressed = fs::file_size(payloadPath);
  std::printf("inflated %.1f MiB, payload %.1f MiB (ratio %.2f)\n", mib(inflated), mib(compressed),
              static_cast<double>(inflated) / static_cast<double>(compressed));
  const long rssBefore = peakRssKiB();

  // 1. The whole exchange: command, reply, block to repl.rc~, inflate to repl.rc.
  int port = 0;
  int listenFd = listenLoopback(port);
  pid_t child = serve(listenFd, payloadPath, true);
  BenchContext context(dir, port);
  const auto t0 = Clock::now();
  const std::int32_t result = mirrox::SendCommand(context, 0, mirrox::fetchResultCommand(1));
  const double fetchSeconds = seconds(Clock::now() - t0);
  context.tcp().disconnect();
  ::waitpid(child, nullptr, 0);
  ::close(listenFd);
  if (result != 0) {
    std::fprintf(stderr, "fetch failed: %d %s\n", result, context.statusText().c_str());
    return 1;
  }
  const long rssAfterFetch = peakRssKiB();

  // 2. A plain socket copy of the same block to a file: the transport's limit.
  listenFd = listenLoopback(port);
  child = serve(listenFd, payloadPath, false);
  const auto t1 = Clock::now();
  {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    std::ofstream copy(dir / "copy.z", std::ios::binary);
    std::vector<char> buffer(1 << 16);
    std::uintmax_t total = 0;
    while (total < compressed + 4) {
      const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      copy.write(buffer.data(), n);
      total += static_cast<std::uintmax_t>(n);
    }
    ::close(fd);
  }
  const double copySeconds = seconds(Clock::now() - t1);
  ::waitpid(child, nullptr, 0);
  ::close(listenFd);

  // 3. zlib's own inflate of the payload, file to file, 32 KiB buffers.
  const auto t2 = Clock::now();
  {
    std::ifstream in(payloadPath, std::ios::binary);
    std::ofstream out(dir / "inflated.txt", std::ios::binary);
    z_stream z{};
    inflateInit(&z);
    std::vector<char> inBuf(32768), outBuf(32768);
    int rc = Z_OK;
    while (rc != Z_STREAM_END && (in.read(inBuf.data(), 32768) || in.gcount() > 0)) {
      z.next_in = reinterpret_cast<Bytef*>(inBuf.data());
      z.avail_in = static_cast<uInt>(in.gcount());
      do {
        z.next_out = reinterpret_cast<Bytef*>(outBuf.data());
        z.avail_out = 32768;
        rc = inflate(&z, Z_NO_FLUSH);
        out.write(outBuf.data(), 32768 - z.avail_out);
      } while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
    }
    inflateEnd(&z);
  }
  const double inflateSeconds = seconds(Clock::now() - t2);

  // 4. FileChecksum over the inflated file.
  const auto t3 = Clock::now();
  const std::int32_t checksum = mirrox::FileChecksum(dir / "repl.rc");
  const double checksumSeconds = seconds(Clock::now() - t3);

  const bool same = fs::file_size(dir / "repl.rc") == inflated;
  std::printf("result file complete: %s\n", same ? "yes" : "NO");
  std::printf("fetch+inflate   %7.3f s  %8.1f MiB/s inflated  %8.1f MiB/s payload\n", fetchSeconds,
              mib(inflated) / fetchSeconds, mib(compressed) / fetchSeconds);
  std::printf("socket copy     %7.3f s  %8.1f MiB/s payload\n", copySeconds, mib(compressed) / copySeconds);
  std::printf("zlib inflate    %7.3f s  %8.1f MiB/s inflated\n", inflateSeconds,
              mib(inflated) / inflateSeconds);
  std::printf("FileChecksum    %7.3f s  %8.1f MiB/s  value 0x%04X\n", checksumSeconds,
              mib(inflated) / checksumSeconds, static_cast<unsigned>(checksum));
  std::printf("peak RSS KiB: before fetch %ld, after fetch %ld (growth %ld)\n", rssBefore, rssAfterFetch,
              rssAfterFetch - rssBefore);
  return same ? 0 : 1;
}
