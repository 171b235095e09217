#include "link/platform/host.h"

#include <windows.h>

#include <string>

namespace mirrox::platform {

HostSystem hostSystem() noexcept { return HostSystem::Windows; }

// Local sockets are named pipes there: nothing is left in the file system.
bool abstractLocalSockets() noexcept { return false; }

std::optional<std::filesystem::path> startedFromDirectory() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return std::nullopt;
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    // Cut short: the path is longer than the buffer.
    name.resize(name.size() * 2);
  }
}

std::filesystem::path temporaryDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  return length == 0 ? std::filesystem::path(L"C:\\Windows\\Temp")
                     : std::filesystem::path(std::wstring(buffer, length));
}

std::tm localTime(std::time_t moment) noexcept {
  std::tm parts{};
  ::localtime_s(&parts, &moment);
  return parts;
}

Command lockSessionCommand() { return {"rundll32.exe", {"user32.dll,LockWorkStation"}}; }

}  // namespace mirrox::platform
