// Application rate of result files, on demand (not part of the test suite):
//   cmake --build build --target engine_apply_rate_bench && build/bench/engine_apply_rate_bench [rows]
// Compares the engine's batch (one prepared call per row over loopback, one commit) with the same
// calls run by isql-fb from a script, and with an in-server EXECUTE BLOCK loop (no round trips).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "engine/batch_apply.h"
#include "engine/local_upgrade.h"
#include "engine/upgrade_scripts.h"
#include "link/result_file.h"
#include "tests/engine/engine_test_context.h"
#include "tests/engine/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using engine_test::EngineTestContext;
using engine_test::ScratchDatabase;
using Clock = std::chrono::steady_clock;

// Archive rows of one channel an hour apart; current values of distinct channel and parameter pairs.
std::string archiveRow(int i) {
  const int day = 1 + (i / 24) % 28;
  const int month = 1 + (i / (24 * 28)) % 12;
  const int year = 2000 + i / (24 * 28 * 12);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "17\t1\t%d.%d\t%02d.%02d.%04d %02d:00:00\r\n", i % 1000, i % 100, day, month,
                year, i % 24);
  return buffer;
}

std::string currentRow(int i) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%d\t%d\t%d.5\t01.02.2024 10:00:00\r\n", i / 10, i % 10, i % 1000);
  return buffer;
}

std::string sqlCall(const std::string& row, int tid, int fkey) {
  // channel, param, value, "dd.mm.yyyy hh:nn:ss" -> a literal call, as an administrator would write it
  std::string fields[4];
  std::size_t start = 0;
  for (int f = 0; f < 4; ++f) {
    const std::size_t end = row.find_first_of("\t\r", start);
    fields[f] = row.substr(start, end - start);
    start = end + 1;
  }
  return "execute procedure REPL_DATA (0," + std::to_string(tid) + "," + fields[0] + "," + fields[1] + "," +
         fields[2] + ",'" + fields[3] + "'," + std::to_string(fkey) + ");\n";
}

struct Setup {
  testing_support::TempDir dir;
  EngineTestContext context{dir.path()};
  std::optional<ScratchDatabase> db;

  Setup() {
    db.emplace(ScratchDatabase::fromTemplate(dir.path(), "local.fdb", DbTypeMetering));
    context.objects.push_back({{}, {"Bench", DbTypeMetering, db->path().string(), 0, 0}});
    context.localConnection().DB.setDatabaseName(db->connectionName());
    if (OpenLocalDatabase(context, 0) != 0) throw std::runtime_error(context.statusText());
    db->exec("insert into STREET values (1, 'S', 2, 0, 0, 0)");
    db->exec("insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (1, 1, '1', '', '')");
    db->exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (1, 1, 1)");
    db->exec("insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, IN_OUT) "
             "values (17, 1, 1, 1, 1, 1, 0, 0)");
  }
};

double engineRate(BatchKind kind, int rows) {
  Setup setup;
  std::string file;
  for (int i = 0; i < rows; ++i) file += kind == BatchKind::BatchArchive ? archiveRow(i) : currentRow(i);
  testing_support::writeFile(resultFile(setup.context), file);
  const auto start = Clock::now();
  if (ApplyResultFile(setup.context, 0, kind)) throw std::runtime_error(setup.context.statusText());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return rows / seconds;
}

double isqlRate(BatchKind kind, int rows) {
  Setup setup;
  setup.context.localConnection().DB.disconnect();
  const auto script = setup.dir.path() / "calls.sql";
  {
    std::ofstream out(script);
    out << "SET AUTODDL OFF;\n";
    for (int i = 0; i < rows; ++i) {
      out << (kind == BatchKind::BatchArchive ? sqlCall(archiveRow(i), 2, 1) : sqlCall(currentRow(i), 1, 0));
    }
    out << "COMMIT;\n";
  }
  std::string output;
  const auto start = Clock::now();
  if (engine_test::runIsql(setup.db->connectionName(), script, output) != 0) throw std::runtime_error(output);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return rows / seconds;
}

double blockRate(BatchKind kind, int rows) {
  Setup setup;
  setup.context.localConnection().DB.disconnect();
  const std::string call =
      kind == BatchKind::BatchArchive
          ? "execute procedure REPL_DATA (0, 2, 17, 1, mod(i, 1000), dateadd(i hour to timestamp '2000-01-01'), 1);"
          : "execute procedure REPL_DATA (0, 1, i / 10, mod(i, 10), mod(i, 1000), timestamp '2024-02-01 10:00', 0);";
  const std::string block = "execute block as declare variable i integer = 0; begin while (i < " +
                            std::to_string(rows) + ") do begin " + call + " i = i + 1; end end";
  const auto start = Clock::now();
  setup.db->exec(block);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return rows / seconds;
}

}  // namespace
}  // namespace mirrox

int main(int argc, char** argv) {
  using namespace mirrox;
  const int rows = argc > 1 ? std::stoi(argv[1]) : 100000;
  // "engine" measures the engine alone (for profiling it).
  if (argc > 2 && std::string(argv[2]) == "engine") {
    std::printf("archive %.0f rows/s, current values %.0f rows/s\n", engineRate(BatchKind::BatchArchive, rows),
                engineRate(BatchKind::BatchCurrentValues, rows));
    return 0;
  }
  std::cout << "| rows: " << rows << " | engine (rows/s) | isql-fb script (rows/s) | EXECUTE BLOCK (rows/s) | "
            << "engine / isql | engine / block |\n|---|---|---|---|---|---|\n";
  for (BatchKind kind : {BatchKind::BatchArchive, BatchKind::BatchCurrentValues}) {
    const double engine = engineRate(kind, rows);
    const double isql = isqlRate(kind, rows);
    const double block = blockRate(kind, rows);
    std::printf("| %s | %.0f | %.0f | %.0f | %.2f | %.2f |\n",
                kind == BatchKind::BatchArchive ? "archive (REPL_DATA, fkey 1)" : "current values (REPL_DATA, tid 1)",
                engine, isql, block, engine / isql, engine / block);
  }
  return 0;
}
