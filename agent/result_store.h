#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>

namespace mirrox::agent {

// The results of one client connection. Each select's rows go to a file under a new identifier;
// identifiers come from a counter shared by all connections of the agent, so they never repeat
// during its life and an identifier from an earlier connection is never someone else's result.
// Identifiers are positive and fit a signed 32-bit number, as the client stores them.
// The files are removed when the connection's store goes away: the server fetches a result in the
// same dialogue that produced it.
// Not thread-safe: one store belongs to one connection's thread.
class ResultStore {
 public:
  // REQUIRES: `directory` exists and outlives the store; `counter` outlives the store.
  ResultStore(std::filesystem::path directory, std::atomic<std::uint64_t>& counter);
  ~ResultStore();
  ResultStore(const ResultStore&) = delete;
  ResultStore& operator=(const ResultStore&) = delete;

  // A new identifier and the path its rows are to be written to; not fetchable until completed.
  std::uint64_t reserve();
  std::filesystem::path rowsPath(std::uint64_t id) const;
  // Packs the written rows into the result's zlib stream and drops the plain file. Done while the
  // select's second reply is awaited, which may take any time, so that a fetch, whose reply must
  // come within the client's read limit, only has to send. Throws AgentError when packing
  // fails; the result then stays unfetchable.
  void complete(std::uint64_t id);
  // Forgets a reserved result and removes whatever was written for it.
  void discard(std::uint64_t id);

  struct Packed {
    std::filesystem::path path;
    std::uint64_t size = 0;
  };
  // The zlib stream of a completed result, kept for repeated fetches. nullopt for an identifier
  // that is not a completed result of this store.
  std::optional<Packed> packed(std::uint64_t id) const;

 private:
  std::filesystem::path packedPath(std::uint64_t id) const;
  void removeFiles(std::uint64_t id) const noexcept;

  std::filesystem::path directory_;
  std::atomic<std::uint64_t>& counter_;
  struct Entry {
    std::optional<std::uint64_t> packedSize;  // set once complete
  };
  std::map<std::uint64_t, Entry> entries_;
};

}  // namespace mirrox::agent
