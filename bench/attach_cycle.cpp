// Memory of repeated local attachments, on demand (not part of the test suite):
//   cmake --build build --target mirrox_attach_cycle && build/bench/mirrox_attach_cycle [attachments]
// Every replication run detaches the local database and attaches it again, so a long-running
// server makes one attachment per run. This program does only that, through the engine's own
// Database (attach with the run's login and character set, read the dialect, detach), against a
// scratch copy of the metering template on the local server, default 4000 times. Ten times along
// the way it prints the process's resident memory, its anonymous part and the heap malloc has handed
// out and holds free, and the anonymous memory gained per attachment since the first report
// (resident memory moves in 4 KiB pages, so that figure settles only over thousands).
// Anonymous memory that grows with every attachment while the heap stays level is kept by the
// Firebird client library outside malloc (its own memory pool), not by this program.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "bench/process_memory.h"
#include "engine/database.h"
#include "engine/upgrade_scripts.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

int run(int argc, char** argv) {
  const int attachments = argc > 1 && std::atoi(argv[1]) >= 10 ? std::atoi(argv[1]) : 4000;
  const int step = attachments / 10;

  testing_support::TempDir dir;
  const auto database =
      testing_support::ScratchDatabase::fromTemplate(dir.path(), "local.fdb", DbTypeMetering);
  Database db;
  db.setDatabaseName(database.connectionName());

  std::printf("%12s %9s %9s %9s %9s %15s\n", "attachments", "VmRSS_KiB", "anon_KiB", "heap_KiB", "free_KiB",
              "anon_B/attach");
  long firstAnon = -1;
  int firstCount = 0;
  for (int i = 1; i <= attachments; ++i) {
    db.connect();
    db.disconnect();
    if (i % step != 0) continue;
    const long anon = bench::statusKiB("RssAnon");
    const bench::HeapFigures heap = bench::heapFigures();
    std::string perAttachment = "-";
    if (firstAnon < 0) {
      firstAnon = anon;
      firstCount = i;
    } else {
      char text[32];
      std::snprintf(text, sizeof(text), "%.1f",
                    1024.0 * static_cast<double>(anon - firstAnon) / (i - firstCount));
      perAttachment = text;
    }
    std::printf("%12d %9ld %9ld %9ld %9ld %15s\n", i, bench::statusKiB("VmRSS"), anon, heap.usedKiB,
                heap.freeKiB, perAttachment.c_str());
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace
}  // namespace mirrox

int main(int argc, char** argv) {
  try {
    return mirrox::run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "attach cycle failed: " << error.what() << "\n";
    return 1;
  }
}
