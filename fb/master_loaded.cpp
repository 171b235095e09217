#include <array>
#include <cstdint>

#include "fb/client_version.h"
#include "fb/error.h"
#include "fb/status.h"
#include "link/platform/shared_library.h"

namespace mirrox::fb {
namespace {

// Where no import library exists (Windows), the client library is loaded by name on first use and
// stays loaded for the life of the process, as a linked one would.
constexpr const char* kClientLibrary = "fbclient.dll";

const platform::SharedLibrary& clientLibrary() {
  static const platform::SharedLibrary library(kClientLibrary);
  return library;
}

// The library's exported function `name` as a `Function` pointer, or null where it has none.
template <class Function>
Function entryPoint(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<std::uintptr_t>(clientLibrary().symbol(name)));
}

using MasterEntry = Firebird::IMaster* (*)();
using VersionEntry = void (*)(char*);

MasterEntry loadEntry() {
  if (!clientLibrary().valid()) {
    throw Error("The Firebird client library cannot be loaded: " + clientLibrary().error());
  }
  const MasterEntry entry = entryPoint<MasterEntry>("fb_get_master_interface");
  if (entry == nullptr) throw Error(std::string(kClientLibrary) + " has no fb_get_master_interface");
  return entry;
}

}  // namespace

Firebird::IMaster* master() {
  static const MasterEntry entry = loadEntry();
  return entry();
}

std::string clientVersion() {
  if (!clientLibrary().valid())
    return std::string(kClientLibrary) + " not loaded: " + clientLibrary().error();
  const VersionEntry entry = entryPoint<VersionEntry>("isc_get_client_version");
  if (entry == nullptr) return std::string(kClientLibrary) + " without isc_get_client_version";
  // The library writes a NUL-terminated text of at most a few dozen bytes.
  std::array<char, 256> text{};
  entry(text.data());
  text.back() = '\0';
  return text.data();
}

}  // namespace mirrox::fb
