#include "agent/result_store.h"

#include <string>
#include <system_error>

#include "agent/zlib_file.h"

namespace mirrox::agent {

ResultStore::ResultStore(std::filesystem::path directory, std::atomic<std::uint64_t>& counter)
    : directory_(std::move(directory)), counter_(counter) {}

ResultStore::~ResultStore() {
  for (const auto& [id, entry] : entries_) removeFiles(id);
}

std::uint64_t ResultStore::reserve() {
  // The client keeps the identifier in a signed 32-bit field: stay within 1 .. 2^31-1, wrapping
  // after some two billion selects, long after the first of them was forgotten.
  const std::uint64_t id = counter_++ % 2147483647u + 1;
  entries_[id] = Entry{};
  return id;
}

std::filesystem::path ResultStore::rowsPath(std::uint64_t id) const {
  return directory_ / (std::to_string(id) + ".rows");
}

std::filesystem::path ResultStore::packedPath(std::uint64_t id) const {
  return directory_ / (std::to_string(id) + ".z");
}

void ResultStore::complete(std::uint64_t id) {
  const auto it = entries_.find(id);
  if (it == entries_.end()) return;
  it->second.packedSize = deflateFile(rowsPath(id), packedPath(id));
  std::error_code ignored;
  std::filesystem::remove(rowsPath(id), ignored);
}

void ResultStore::discard(std::uint64_t id) {
  removeFiles(id);
  entries_.erase(id);
}

std::optional<ResultStore::Packed> ResultStore::packed(std::uint64_t id) const {
  const auto it = entries_.find(id);
  if (it == entries_.end() || !it->second.packedSize) return std::nullopt;
  return Packed{packedPath(id), *it->second.packedSize};
}

void ResultStore::removeFiles(std::uint64_t id) const noexcept {
  std::error_code ignored;
  std::filesystem::remove(rowsPath(id), ignored);
  std::filesystem::remove(packedPath(id), ignored);
}

}  // namespace mirrox::agent
