#include "link/platform/shared_library.h"

#include <windows.h>

#include <cstdint>

#include "link/platform/windows/system_error.h"

namespace mirrox::platform {

SharedLibrary::SharedLibrary(const std::string& name) : handle_(::LoadLibraryA(name.c_str())) {
  if (handle_ == nullptr) error_ = name + ": " + systemMessage(::GetLastError());
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

void* SharedLibrary::symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  // The generic function pointer goes through an integer: there is no direct cast to void*.
  return reinterpret_cast<void*>(
      reinterpret_cast<std::uintptr_t>(::GetProcAddress(static_cast<HMODULE>(handle_), name)));
}

}  // namespace mirrox::platform
