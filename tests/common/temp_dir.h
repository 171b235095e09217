#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mirrox::test {

// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes away, so tests can run side by side.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace mirrox::test
