#include <cstdint>

#include "fb/error.h"
#include "fb/status.h"
#include "link/platform/shared_library.h"

namespace mirrox::fb {
namespace {

// Where no import library exists (Windows), the client library is loaded by name on first use and
// stays loaded for the life of the process, as a linked one would.
constexpr const char* kClientLibrary = "fbclient.dll";

using MasterEntry = Firebird::IMaster* (*)();

MasterEntry loadEntry() {
  static const platform::SharedLibrary library(kClientLibrary);
  if (!library.valid()) throw Error("The Firebird client library cannot be loaded: " + library.error());
  void* entry = library.symbol("fb_get_master_interface");
  if (entry == nullptr) throw Error(std::string(kClientLibrary) + " has no fb_get_master_interface");
  return reinterpret_cast<MasterEntry>(reinterpret_cast<std::uintptr_t>(entry));
}

}  // namespace

Firebird::IMaster* master() {
  static const MasterEntry entry = loadEntry();
  return entry();
}

}  // namespace mirrox::fb
