#include "bench/process_memory.h"

#include <malloc.h>

#include <fstream>

namespace mirrox::bench {

long statusKiB(const std::string& name) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = name + ":";
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  }
  return -1;
}

HeapFigures heapFigures() {
  const struct mallinfo2 info = ::mallinfo2();
  return {static_cast<long>((info.uordblks + info.hblkhd) / 1024), static_cast<long>(info.fordblks / 1024)};
}

}  // namespace mirrox::bench
