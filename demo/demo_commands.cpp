#include "demo/demo_commands.h"

#include <set>

#include "demo/demo_context.h"
#include "demo/demo_objects.h"
#include "demo/local_summary.h"
#include "demo/site_rows.h"
#include "engine/prepare_remote.h"
#include "fb/error.h"
#include "shell/settings_keys.h"

namespace mirrox::demo {
namespace {

// Status texts carry CR LF between lines, as the log file does; a terminal wants LF.
std::string terminalText(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  while (!out.empty() && out.front() == '\n') out.erase(out.begin());
  return out;
}

std::filesystem::path settingsPath(const std::filesystem::path& installDir) {
  return installDir / std::string(settings::kFileName);
}

bool reportEmpty(const DemoObjects& objects, const std::filesystem::path& installDir, std::ostream& out) {
  if (objects.registry().count() > 0) return false;
  out << "no objects in " << settingsPath(installDir).string() << "\n";
  return true;
}

}  // namespace

int prepareSites(const std::filesystem::path& installDir, std::ostream& out) {
  DemoObjects objects(settingsPath(installDir));
  if (reportEmpty(objects, installDir, out)) return 1;
  // The engine keeps its result files in the log directory; preparation fetches none, but the
  // context must name a directory that exists.
  const std::filesystem::path workDir = installDir / "Log";
  std::error_code ignored;
  std::filesystem::create_directories(workDir, ignored);
  DemoContext context(objects.registry(), workDir,
                      [&out](const std::string& status) { out << "  " << terminalText(status) << "\n"; });
  int failures = 0;
  for (int index = 0; index < objects.registry().count(); ++index) {
    const TMyPic& object = objects.registry().at(index);
    out << "preparing \"" << object.Name << "\" (agent " << object.Host() << ":" << object.Port() << ", site "
        << object.RemoteDbPath << ")\n";
    if (PrepareRemoteDatabase(context, index) != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

int addSiteRows(const std::filesystem::path& installDir, int round, std::ostream& out) {
  DemoObjects objects(settingsPath(installDir));
  if (reportEmpty(objects, installDir, out)) return 1;
  int failures = 0;
  for (int index = 0; index < objects.registry().count(); ++index) {
    const TMyPic& object = objects.registry().at(index);
    try {
      if (object.DbType == DbTypeMetering) {
        const SiteRowsAdded added = addMeteringRows(object.RemoteDbPath, round);
        out << "  \"" << object.Name << "\": " << added.archiveRows << " new hourly readings\n";
      } else if (object.DbType == DbTypeJournal) {
        const SiteRowsAdded added = addJournalRows(object.RemoteDbPath, round);
        out << "  \"" << object.Name << "\": " << added.newRequests << " new request, "
            << added.closedRequests << " request closed, " << added.newEvents << " new hardware event, "
            << added.closedEvents << " event confirmed and closed\n";
      } else {
        out << "  \"" << object.Name << "\": database type " << object.DbType << " has no sample rows\n";
      }
    } catch (const fb::Error& error) {
      out << "  \"" << object.Name << "\": the site database refused the new rows: " << error.what() << "\n";
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

int showLocalDatabases(const std::filesystem::path& installDir, int sampleRows, std::ostream& out) {
  DemoObjects objects(settingsPath(installDir));
  if (reportEmpty(objects, installDir, out)) return 1;
  int failures = 0;
  std::set<std::string> shown;
  for (int index = 0; index < objects.registry().count(); ++index) {
    const TMyPic& object = objects.registry().at(index);
    // Several metering objects may share one local database: it is shown once.
    if (!shown.insert(object.LocalDbPath).second) continue;
    out << object.LocalDbPath << " (" << (object.DbType == DbTypeJournal ? "journal" : "metering")
        << ", filled by \"" << object.Name << "\")\n";
    try {
      printSummary(out, summarizeDatabase(object.LocalDbPath, object.DbType, sampleRows));
    } catch (const fb::Error& error) {
      out << "  cannot read it: " << error.what() << "\n";
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace mirrox::demo
