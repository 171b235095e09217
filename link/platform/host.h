#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What the program asks of the system it runs on, beyond files and sockets. One implementation per
// system is chosen by the build.
namespace mirrox::platform {

// The system the program runs on, where it decides a path's form.
enum class HostSystem { Windows, Posix };
HostSystem hostSystem() noexcept;

// Whether local socket names live outside the file system (Linux's abstract namespace), so that
// none is left behind by a process that crashed.
bool abstractLocalSockets() noexcept;

// The directory of the path this process was started by (a symbolic link there not followed), or
// of its executable file where the system keeps no such path; empty when the system does not say.
std::optional<std::filesystem::path> startedFromDirectory();

// Where temporary files go: TMPDIR, else /tmp; on Windows the user's temporary directory. Not
// checked for existence: a missing one fails where it is used, naming it.
std::filesystem::path temporaryDirectory();

// The broken-down local time of a moment, safe to call from any thread.
std::tm localTime(std::time_t moment) noexcept;

// The command that locks the interactive session: started, not waited for.
struct Command {
  std::string program;
  std::vector<std::string> arguments;
};
Command lockSessionCommand();

}  // namespace mirrox::platform
