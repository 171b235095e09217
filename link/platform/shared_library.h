#pragma once

#include <string>

// A shared library loaded at run time (dlopen, LoadLibrary), for a client library that the build
// cannot link against. One implementation per system is chosen by the build.
namespace mirrox::platform {

class SharedLibrary {
 public:
  // Loads the library by its file name through the system's search order. valid() tells whether it
  // was found; error() then says why not.
  explicit SharedLibrary(const std::string& name);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool valid() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }
  // The address of an exported function, or null.
  void* symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace mirrox::platform
