// Application rate of result files, on demand (not part of the test suite):
//   cmake --build build --target engine_apply_rate_bench && build/bench/engine_apply_rate_bench [rows] [case]
// Compares the engine's batch (rows sent to the local server in packs over loopback, one commit)
// with the same rows one call each, with the same calls run by isql-fb from a script, and with an
// in-server EXECUTE BLOCK loop (no round trips, no text to convert). `case` runs one case alone:
// archive, current, spread, address, requests, events, badrow, listener.
#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/batch_apply.h"
#include "engine/local_upgrade.h"
#include "engine/upgrade_scripts.h"
#include "link/clock.h"
#include "link/result_file.h"
#include "shell/activity_relay.h"
#include "tests/support/engine_test_context.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::EngineTestContext;
using testing_support::ScratchDatabase;
using Steady = std::chrono::steady_clock;

// A dispatch centre's archive: every channel's parameters once an hour, hour after hour.
constexpr int kChannels = 2000;
constexpr int kParams = 4;

std::string archiveRow(int i) {
  const int day = 1 + (i / 24) % 28;
  const int month = 1 + (i / (24 * 28)) % 12;
  const int year = 2000 + i / (24 * 28 * 12);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "17\t1\t%d.%d\t%02d.%02d.%04d %02d:00:00\r\n", i % 1000, i % 100, day,
                month, year, i % 24);
  return buffer;
}

std::string spreadRow(int i) {
  const int hour = i / (kChannels * kParams);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%d\t%d\t%d.25\t%02d.01.2024 %02d:00:00\r\n", 1 + i % kChannels,
                1 + (i / kChannels) % kParams, i % 1000, 1 + hour / 24, hour % 24);
  return buffer;
}

std::string currentRow(int i) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%d\t%d\t%d.5\t01.02.2024 10:00:00\r\n", i / 10, i % 10, i % 1000);
  return buffer;
}

// One channel of a house of a street, the whole address row as the site selects it.
std::string addressRow(int i) {
  const std::string n = std::to_string(i);
  return std::to_string(1 + i / 500) + "\t" + std::to_string(1 + i / 20) + "\t\xD3\xEB\xE8\xF6\xE0 " +
         std::to_string(i / 500) + "\t" + std::to_string(i / 20 % 200) + "\tA\t1\t1\t10.0.0.5\t4001\t3\t" +
         n + "\t" + std::to_string(1 + i / 20) + "\t" + std::to_string(i % 20) + "\t1\t" + n +
         "\t2\t0\t0\tw\tACC\t1\r\n";
}

std::string requestRow(int i) {
  const std::string n = std::to_string(i);
  const int day = 1 + i % 28;
  const int minute = i / 28 % 1440;
  char opened[32];
  std::snprintf(opened, sizeof opened, "%02d.03.2024 %02d:%02d:00", day, minute / 60, minute % 60);
  return std::to_string(1 + i % 90) + "\t" + opened + "\t\t0\tN-" + n + "\tMain st " +
         std::to_string(i % 300) + "\tLeak\tWater\tClient " + std::to_string(i % 5000) + "\tFitter " +
         std::to_string(i % 20) + "\tcomment " + n + "\t\t555-" + std::to_string(i % 5000) + "\t2\t3\r\n";
}

std::string eventRow(int i) {
  const std::string n = std::to_string(i);
  const int minute = i / 1000;
  char opened[32];
  char closed[32];
  std::snprintf(opened, sizeof opened, "%02d.03.2024 %02d:%02d:00", 1 + minute / 1440, minute / 60 % 24,
                minute % 60);
  std::snprintf(closed, sizeof closed, "%02d.03.2024 %02d:%02d:30", 1 + minute / 1440, minute / 60 % 24,
                minute % 60);
  return "House " + std::to_string(i % 300) + "\t" + opened + "\t\t" + closed + "\tDoor open\t192.168.1." +
         std::to_string(i % 1000) + " door\t" + std::to_string(i % 50) + "\t\r\n";
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

// The engine's test context on the machine's clock, as the program's runs are: a listener is then
// told at the program's pace, not only at the end of a step.
class BenchContext final : public EngineTestContext {
 public:
  using EngineTestContext::EngineTestContext;
  Clock& clock() override { return systemClock_; }

 private:
  SystemClock systemClock_;
};

struct Setup {
  testing_support::TempDir dir;
  BenchContext context{dir.path()};
  std::optional<ScratchDatabase> db;

  explicit Setup(std::int32_t dbType = DbTypeMetering) {
    db.emplace(ScratchDatabase::fromTemplate(dir.path(), "local.fdb", dbType));
    context.objects.push_back({{}, {"Bench", dbType, db->path().string(), 0, 0}});
    context.localConnection().DB.setDatabaseName(db->connectionName());
    if (OpenLocalDatabase(context, 0) != 0) throw std::runtime_error(context.statusText());
    if (dbType != DbTypeMetering) return;
    db->exec("insert into STREET values (1, 'S', 2, 0, 0, 0)");
    db->exec("insert into HOUSE (ID_HOUSE, STREET_ID, NUMBER, BUILDING, KORPUS) values (1, 1, '1', '', '')");
    db->exec("insert into CONC (ID_CONC, MODEL_ID, HOUSE_ID) values (1, 1, 1)");
    db->exec(
        "execute block as declare c integer = 1; begin while (c <= " + std::to_string(kChannels) +
        ") do begin insert into CHANNEL (ID_CHANNEL, CONC_ID, CHANNEL_NUMBER, DEVICE_ID, UIN, SERV_ID, FLAT, "
        "IN_OUT) values (:c, 1, :c, 1, 1, 1, 0, 0); c = c + 1; end end");
  }
};

// Rows a second through the engine's batch; `rowsPerPack` 1 sends one call a row. `listener` is
// told of the batch's progress (nobody listens without one).
double engineRate(BatchKind kind, int rows, const std::function<std::string(int)>& row,
                  std::size_t rowsPerPack = 0, ProgressListener* listener = nullptr) {
  Setup setup(kind == BatchKind::BatchRequests || kind == BatchKind::BatchEvents ? DbTypeJournal
                                                                                 : DbTypeMetering);
  setup.context.listener = listener;
  std::string file;
  for (int i = 0; i < rows; ++i) file += row(i);
  testing_support::writeFile(resultFile(setup.context), file);
  LocalConnection& local = setup.context.localConnection();
  const auto start = Steady::now();
  local.DB.connect();
  const BatchReport report =
      BatchApply(setup.context, batchStatement(kind, 0), resultFile(setup.context), rowsPerPack);
  const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
  if (report.rowsApplied + report.rowsFailed != static_cast<std::size_t>(rows)) {
    throw std::runtime_error("only " + std::to_string(report.rowsApplied) + " rows applied");
  }
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
  const auto start = Steady::now();
  if (testing_support::runIsql(setup.db->connectionName(), script, output) != 0)
    throw std::runtime_error(output);
  const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
  return rows / seconds;
}

// The same calls in a loop inside the server: `call` uses the loop counter i.
double blockRate(const std::string& call, int rows) {
  Setup setup;
  setup.context.localConnection().DB.disconnect();
  const std::string block = "execute block as declare variable i integer = 0; begin while (i < " +
                            std::to_string(rows) + ") do begin " + call + " i = i + 1; end end";
  const auto start = Steady::now();
  setup.db->exec(block);
  const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
  return rows / seconds;
}

const std::string kArchiveLoopCall =
    "execute procedure REPL_DATA (0, 2, 17, 1, mod(i, 1000), dateadd(i hour to timestamp '2000-01-01'), 1);";
const std::string kCurrentLoopCall =
    "execute procedure REPL_DATA (0, 1, i / 10, mod(i, 10), mod(i, 1000), timestamp '2024-02-01 10:00', 0);";
const std::string kSpreadLoopCall =
    "execute procedure REPL_DATA (0, 2, 1 + mod(i, " + std::to_string(kChannels) + "), 1 + mod(i / " +
    std::to_string(kChannels) + ", " + std::to_string(kParams) + "), mod(i, 1000), dateadd(i / " +
    std::to_string(kChannels * kParams) + " hour to timestamp '2024-01-01'), 1);";

void againstLoop(const char* name, BatchKind kind, int rows, const std::function<std::string(int)>& row,
                 const std::string& loopCall, bool withIsql) {
  const double engine = engineRate(kind, rows, row);
  const double alone = engineRate(kind, rows, row, 1);
  const double block = blockRate(loopCall, rows);
  if (withIsql) {
    const double isql = isqlRate(kind, rows);
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f | %.2f | %.2f |\n", name, engine, alone, isql, block,
                engine / alone, engine / block);
  } else {
    std::printf("| %s | %.0f | %.0f | - | %.0f | %.2f | %.2f |\n", name, engine, alone, block, engine / alone,
                engine / block);
  }
}

void packedAgainstAlone(const char* name, BatchKind kind, int rows,
                        const std::function<std::string(int)>& row) {
  const double engine = engineRate(kind, rows, row);
  const double alone = engineRate(kind, rows, row, 1);
  std::printf("| %s | %.0f | %.0f | - | - | %.2f | - |\n", name, engine, alone, engine / alone);
}

// A file whose one row is refused (a channel not known here): only its pack goes one call a row.
void oneBadRow(int rows) {
  const auto withBadRow = [rows](int i) {
    return i == rows / 2 ? std::string("99999\t1\t1\t01.01.2024 00:00:00\r\n") : spreadRow(i);
  };
  const double clean = engineRate(BatchKind::BatchArchive, rows, spreadRow);
  const double bad = engineRate(BatchKind::BatchArchive, rows, withBadRow);
  std::printf(
      "| one refused row in %d archive rows | clean %.0f rows/s | with the refused row %.0f rows/s | "
      "time ratio %.2f |\n",
      rows, clean, bad, clean / bad);
}

// The archive application on a thread of its own, as the scheduler runs it, with the program's
// listener: the scheduler's relay, queuing each change to an event loop on this thread that stands
// for the console's window. Returns rows a second; `changesShown` counts what reached the loop.
double rateWithTheConsoleListening(int rows, long& changesShown) {
  QObject window;
  ActivityRelay relay(window, [&changesShown](const RunActivity&) { ++changesShown; });
  double rate = 0;
  std::exception_ptr error;
  std::thread run([&] {
    try {
      rate = engineRate(BatchKind::BatchArchive, rows, spreadRow, 0, &relay);
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
  });
  QCoreApplication::exec();
  run.join();
  QCoreApplication::processEvents();  // the changes queued last
  if (error) std::rethrow_exception(error);
  return rate;
}

std::string listed(const std::vector<double>& values) {
  std::string text;
  for (const double value : values) text += (text.empty() ? "" : " ") + std::to_string(std::lround(value));
  return text;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The same archive file applied with nobody listening and with the console listening, alternately,
// kRounds times each: the medians and their ratio, all from this one run.
void withAndWithoutListener(int rows) {
  constexpr int kRounds = 5;
  int argc = 1;
  char name[] = "engine_apply_rate_bench";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  std::vector<double> alone;
  std::vector<double> listened;
  long changesShown = 0;
  // Each goes first in turn, so that neither gains from a server the other has warmed up.
  for (int i = 0; i < kRounds; ++i) {
    if (i % 2 == 0) alone.push_back(engineRate(BatchKind::BatchArchive, rows, spreadRow));
    listened.push_back(rateWithTheConsoleListening(rows, changesShown));
    if (i % 2 != 0) alone.push_back(engineRate(BatchKind::BatchArchive, rows, spreadRow));
  }
  std::printf(
      "| progress of %d archive rows | nobody listening %.0f rows/s | console listening %.0f rows/s | "
      "ratio %.3f | %ld changes shown in %d runs |\n",
      rows, median(alone), median(listened), median(listened) / median(alone), changesShown, kRounds);
  std::printf("each run, rows/s: nobody listening %s; console listening %s\n", listed(alone).c_str(),
              listed(listened).c_str());
}

}  // namespace
}  // namespace mirrox

int main(int argc, char** argv) {
  using namespace mirrox;
  const int rows = argc > 1 ? std::stoi(argv[1]) : 100000;
  const std::string only = argc > 2 ? argv[2] : "";
  const auto wanted = [&](const char* name) { return only.empty() || only == name; };
  std::cout
      << "| " << rows << " rows | engine, packed (rows/s) | engine, one call a row (rows/s) | "
      << "isql-fb script (rows/s) | EXECUTE BLOCK loop (rows/s) | packed / one a row | packed / loop |\n"
      << "|---|---|---|---|---|---|---|\n";
  if (wanted("archive")) {
    againstLoop("archive, one channel (REPL_DATA, fkey 1)", BatchKind::BatchArchive, rows, archiveRow,
                kArchiveLoopCall, true);
  }
  if (wanted("current")) {
    againstLoop("current values (REPL_DATA, tid 1)", BatchKind::BatchCurrentValues, rows, currentRow,
                kCurrentLoopCall, true);
  }
  if (wanted("spread")) {
    againstLoop("archive, 2,000 channels x 4 parameters hourly", BatchKind::BatchArchive, rows, spreadRow,
                kSpreadLoopCall, false);
  }
  // Address, request and event files are far smaller than a backlog of archive rows.
  const int small = std::min(rows, 20000);
  if (wanted("address"))
    packedAgainstAlone("addresses (REPL_ADDRESS), 20,000 at most", BatchKind::BatchAddress, small,
                       addressRow);
  if (wanted("requests"))
    packedAgainstAlone("requests (REPL_ZAYAVKA), 20,000 at most", BatchKind::BatchRequests, small,
                       requestRow);
  if (wanted("events"))
    packedAgainstAlone("events (REPL_HW), 20,000 at most", BatchKind::BatchEvents, small, eventRow);
  if (wanted("badrow")) oneBadRow(rows);
  if (wanted("listener")) withAndWithoutListener(rows);
  if (only == "spreadpacked")
    std::printf("packed spread %.0f rows/s\n", engineRate(BatchKind::BatchArchive, rows, spreadRow));
  if (only == "spreadloop") std::printf("loop spread %.0f rows/s\n", blockRate(kSpreadLoopCall, rows));
  return 0;
}
