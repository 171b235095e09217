#pragma once

#include <windows.h>

#include <string>

// What the Windows implementations of the platform layer share: the errno value that stands for a
// system error code, and the system's own words for a code.
namespace mirrox::platform {

int errnoOf(DWORD error) noexcept;
// Sets errno from GetLastError() and gives -1, the failure value of the descriptor calls.
int failWithLastError() noexcept;
// FormatMessage's text for a system or Winsock error code, without the trailing line break.
std::string systemMessage(DWORD error);

}  // namespace mirrox::platform
