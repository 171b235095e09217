#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/clock.h"
#include "shell/my_pic.h"
#include "shell/profile_file.h"

namespace mirrox {

// What the registry tells the console while it loads and changes objects. GUI thread only.
class RegistryObserver : public ObjectObserver {
 public:
  // The replication period (minutes) and the night-replication flag read from "Main".
  virtual void scheduleLoaded(int periodMinutes, bool night) = 0;
  virtual void logLine(const std::string& text) = 0;
  // A new object was appended at `index`; its row is to be added and filled.
  virtual void objectAdded(int index) = 0;
};

// The texts of the properties dialog, exactly as the operator typed them.
struct ObjectSettingsTexts {
  std::string name;
  std::string host;
  std::string port;
  std::string localDbPath;
  std::string remoteDbPath;
  std::string dbType;
};

// The objects replicated by this server and the settings file that keeps them.
// The list grows only on the GUI thread; indices are stable for the whole run.
class ObjectRegistry {
 public:
  ObjectRegistry(std::filesystem::path settingsPath, Clock& clock, RegistryObserver& observer);

  // Reads the settings file and builds the list: at most the first 100 object sections in file
  // order, each logged as "<n>. <name>" and handed to the observer. A file that exists but cannot
  // be read in full gives the defaults and no objects, with a log line that says why.
  void LoadObjects();

  // Appends an object with a section number that no section of the file or the list uses yet,
  // and the last replication time 30 days back. Returns its index.
  int AddObject();

  // Writes the six keys of one object's section. Throws ProfileWriteError, also when the file
  // exists but cannot be read in full.
  void WriteObjectSettings(int index, const ObjectSettingsTexts& texts);

  // Writes "period" and "chk", then "dtime" and "f32" of every object, in one replacement of the
  // file. Throws ProfileWriteError, also when the file exists but cannot be read in full; the file
  // is then unchanged.
  void SaveObjectState(int periodMinutes, bool night);

  int count() const { return static_cast<int>(objects_.size()); }
  TMyPic& at(int index) { return *objects_.at(static_cast<std::size_t>(index)); }
  const TMyPic& at(int index) const { return *objects_.at(static_cast<std::size_t>(index)); }
  void clear() { objects_.clear(); }

 private:
  DateTime defaultLastReplicationTime();

  ProfileFile file_;
  Clock& clock_;
  RegistryObserver& observer_;
  std::vector<std::unique_ptr<TMyPic>> objects_;  // ObjectList
};

}  // namespace mirrox
