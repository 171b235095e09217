#include "link/platform/host.h"

#include <sys/auxv.h>

#include <cstdlib>
#include <system_error>

namespace mirrox::platform {

HostSystem hostSystem() noexcept { return HostSystem::Posix; }

bool abstractLocalSockets() noexcept { return true; }

std::optional<std::filesystem::path> startedFromDirectory() {
  // The path given to execve, as the kernel keeps it for the process.
  if (const auto* started = reinterpret_cast<const char*>(::getauxval(AT_EXECFN)); started != nullptr) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(started, error).lexically_normal();
    if (!error && path.has_parent_path()) return path.parent_path();
  }
  return std::nullopt;
}

std::filesystem::path temporaryDirectory() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

std::tm localTime(std::time_t moment) noexcept {
  std::tm parts{};
  ::localtime_r(&moment, &parts);
  return parts;
}

// The session manager locks the graphical session this program runs in.
Command lockSessionCommand() { return {"loginctl", {"lock-session"}}; }

}  // namespace mirrox::platform
