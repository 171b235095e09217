#include "tests/support/private_firebird_server.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "link/unique_fd.h"

namespace mirrox::testing_support {
namespace {

const std::filesystem::path kFirebirdHome = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
const std::filesystem::path kServerProgram = "/usr/sbin/firebird";
const std::filesystem::path kSecurityDatabase = "/var/lib/firebird/3.0/system/security3.fdb";
const std::filesystem::path kCharsetConfig = "/etc/firebird/3.0/fbintl.conf";
constexpr std::uint16_t kPort = 3050;

bool bringLoopbackUp(std::string& why) {
  const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM, 0));
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  if (fd.get() < 0 || ::ioctl(fd.get(), SIOCGIFFLAGS, &request) != 0) {
    why = std::string("cannot read the loopback's flags: ") + std::strerror(errno);
    return false;
  }
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  if (::ioctl(fd.get(), SIOCSIFFLAGS, &request) != 0) {
    why = std::string("cannot bring the loopback up: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool acceptsConnections() {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(kPort);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return fd.get() >= 0 &&
         ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

bool enterPrivateNetwork(std::string& why) {
  if (::unshare(CLONE_NEWNET) != 0) {
    why = std::string("cannot create a network namespace: ") + std::strerror(errno);
    return false;
  }
  return bringLoopbackUp(why);
}

PrivateFirebirdServer::PrivateFirebirdServer(std::filesystem::path root,
                                             const std::filesystem::path& udfLibrary)
    : root_(std::move(root)) {
  namespace fs = std::filesystem;
  fs::create_directories(root_ / "udf");
  fs::create_directories(root_ / "intl");
  fs::create_directories(root_ / "lock");
  for (const char* name : {"firebird.msg", "plugins", "lib", "plugins.conf"}) {
    fs::create_symlink(kFirebirdHome / name, root_ / name);
  }
  // The engine refuses UDF libraries and the character set module behind symbolic links, and the
  // module finds its configuration beside itself: copies, not links.
  fs::copy_file(kFirebirdHome / "intl" / "libfbintl.so", root_ / "intl" / "libfbintl.so");
  fs::copy_file(kCharsetConfig, root_ / "intl" / "fbintl.conf");
  for (const fs::directory_entry& entry : fs::directory_iterator(kFirebirdHome / "UDF")) {
    if (entry.path().extension() == ".so")
      fs::copy_file(entry.path(), root_ / "udf" / entry.path().filename());
  }
  fs::copy_file(udfLibrary, root_ / "udf" / "testudf.dll");
  // A copy: two servers must never share one security database.
  fs::copy_file(kSecurityDatabase, root_ / "security3.fdb");
  writeText(root_ / "firebird.conf",
            "UdfAccess = Restrict " + (root_ / "udf").string() +
                "\nRemoteBindAddress = 127.0.0.1\nRemoteServicePort = " + std::to_string(kPort) +
                "\nSecurityDatabase = " + (root_ / "security3.fdb").string() + "\n");
  writeText(root_ / "databases.conf", "security.db = " + (root_ / "security3.fdb").string() + "\n");
  start();
}

PrivateFirebirdServer::~PrivateFirebirdServer() {
  try {
    stop(SIGTERM);
  } catch (...) {
    // The child process object kills whatever is left.
  }
}

void PrivateFirebirdServer::start() {
  if (running()) return;
  server_ = std::make_unique<ChildProcess>(
      kServerProgram, std::vector<std::string>{},
      std::map<std::string, std::string>{{"FIREBIRD", root_.string()},
                                         {"FIREBIRD_LOCK", (root_ / "lock").string()}},
      root_, root_ / "server.out");
  if (!eventually([] { return acceptsConnections(); }, std::chrono::seconds(20))) {
    throw std::runtime_error("the private Firebird server did not accept connections on 127.0.0.1:3050");
  }
}

void PrivateFirebirdServer::stop(int signal) {
  if (!running()) return;
  if (!server_->stop(signal, std::chrono::seconds(20))) server_->stop(SIGKILL, std::chrono::seconds(20));
  server_.reset();
}

bool PrivateFirebirdServer::running() { return server_ != nullptr && server_->running(); }

}  // namespace mirrox::testing_support
