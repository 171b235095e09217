#include "link/platform/shared_library.h"

#include <dlfcn.h>

namespace mirrox::platform {

SharedLibrary::SharedLibrary(const std::string& name)
    : handle_(::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) error_ = ::dlerror();
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

void* SharedLibrary::symbol(const char* name) const {
  return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace mirrox::platform
