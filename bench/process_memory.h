#pragma once

#include <string>

namespace mirrox::bench {

// A "<name>: <n> kB" line of /proc/self/status (VmRSS, RssAnon, RssFile); -1 when the kernel does
// not report it.
long statusKiB(const std::string& name);

// What malloc has handed out and not got back (small blocks in its arenas and blocks it mapped on
// their own), and what it holds free inside its arenas. Every object of this program's own code is
// in usedKiB; memory the Firebird client maps for its own pools, thread stacks and code pages are in
// neither figure. Blocks freed into a thread's cache still count as used, so the figure moves by a
// few KiB without any allocation changing hands.
struct HeapFigures {
  long usedKiB;
  long freeKiB;
};

HeapFigures heapFigures();

}  // namespace mirrox::bench
