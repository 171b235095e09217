// The settings file on disk as the program loads it at start and rewrites it at exit. Any file
// loads without a fault; what is saved loads back the same for every object that has a section
// of its own.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/date_time.h"
#include "shell/object_registry.h"
#include "shell/profile_document.h"
#include "tests/support/manual_clock.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

class QuietObserver final : public RegistryObserver {
 public:
  void objectChanged(int) override {}
  void scheduleLoaded(int periodMinutes, bool nightReplication) override {
    period = periodMinutes;
    night = nightReplication;
  }
  void logLine(const std::string&) override {}
  void objectAdded(int) override {}

  int period = -1;
  bool night = false;
};

// 15 March 2026, noon.
constexpr DateTime kNow = 46096.5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path path = fuzzing::scratchDirectory() / "mirrox.ini";
  testing_support::writeFile(path, bytes);

  testing_support::ManualClock clock(kNow);
  QuietObserver observer;
  ObjectRegistry registry(path, clock, observer);
  registry.LoadObjects();
  fuzzCheck(registry.count() <= 100, "at most 100 objects load", bytes);

  // The object sections in file order, as the loader is to pick them.
  const ProfileDocument document = ProfileDocument::parse(bytes);
  std::vector<std::string> objectSections;
  for (const std::string& name : document.sectionNames()) {
    const auto id = parseProfileInteger(name);
    if (id && *id >= 0 && objectSections.size() < 100) objectSections.push_back(name);
  }
  fuzzCheck(static_cast<std::size_t>(registry.count()) == objectSections.size(),
            "every section named by a number of zero or more is an object", bytes);

  std::map<int, int> sectionsPerId;
  for (int i = 0; i < registry.count(); ++i) {
    const TMyPic& object = registry.at(i);
    fuzzCheck(object.SectionId == *parseProfileInteger(objectSections[static_cast<std::size_t>(i)]),
              "an object's number is its section's name", bytes);
    fuzzCheck(object.Host().size() <= 4 * TMyPic::kMaxHostLength, "a host is cut to its limit", bytes);
    const DateTimeParts when = decodeDateTime(object.LastReplicationTime);
    fuzzCheck(isValidDate(when.year, when.month, when.day), "a last replication time is a valid date", bytes);
    ++sectionsPerId[object.SectionId];
  }

  const int period = observer.period;
  const bool night = observer.night;
  registry.SaveObjectState(period, night);

  QuietObserver again;
  ObjectRegistry reloaded(path, clock, again);
  reloaded.LoadObjects();
  fuzzCheck(again.period == period && again.night == night, "the schedule reads back as saved", bytes);
  for (int i = 0; i < registry.count(); ++i) {
    const TMyPic& object = registry.at(i);
    // An object shares its saved keys with any other section of the same number, and keys
    // saved under a number's plain decimal text belong to a section named otherwise.
    if (sectionsPerId[object.SectionId] != 1 ||
        std::to_string(object.SectionId) != objectSections[static_cast<std::size_t>(i)])
      continue;
    bool found = false;
    for (int j = 0; j < reloaded.count() && !found; ++j) {
      const TMyPic& back = reloaded.at(j);
      if (back.SectionId != object.SectionId) continue;
      found = true;
      fuzzCheck(formatRussianDateTime(back.LastReplicationTime) ==
                    formatRussianDateTime(object.LastReplicationTime),
                "a saved replication time loads back", bytes);
      fuzzCheck(back.AddressChecksum == object.AddressChecksum, "a saved checksum loads back", bytes);
      fuzzCheck(back.Name == object.Name && back.Host() == object.Host() && back.Port() == object.Port(),
                "saving the state leaves the object's settings alone", bytes);
    }
    fuzzCheck(found, "a saved object loads again", bytes);
  }
  return 0;
}
