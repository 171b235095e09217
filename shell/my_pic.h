#pragma once

#include <string>
#include <string_view>

#include "engine/db_type.h"
#include "link/date_time.h"

namespace mirrox {

// Told when an object's row in the console has to be redrawn. Called on the GUI thread only.
class ObjectObserver {
 public:
  virtual ~ObjectObserver() = default;
  virtual void objectChanged(int index) = 0;
};

// One replicated site ("object"). Plain data with the two setters that keep derived state and
// the console's row in step; touched by the engine only while the console does not touch it.
class TMyPic {
 public:
  static constexpr std::size_t kMaxHostLength = 15;

  TMyPic(int index, ObjectObserver* observer) : Index(index), observer_(observer) {}

  std::string Name;
  std::string LastReplicationText;
  std::string LocalDbPath;
  int LocalSchemaVersion = 0;
  int SectionId = 0;
  // The object's section name as the file spells it ("007" for SectionId 7), so that its state
  // goes back to that section and never founds a second object "7".
  std::string SectionName;
  int DbType = DbTypeMetering;
  std::string RemoteDbPath;
  DateTime LastReplicationTime = 0;
  bool LinkOk = true;
  int ResultId = 0;
  int AddressChecksum = 0;
  const int Index;

  const std::string& Host() const { return host_; }
  int Port() const { return port_; }
  // The host is cut to its first 15 characters; the port goes with it.
  void SetHostAndPort(std::string_view host, int port);

  // Sets the time and its table text "dd.mm hh:nn" together.
  void SetLastReplicationTime(DateTime value);
  // Sets the outcome of the last operation and has the console redraw the row.
  void SetLinkOk(bool ok);

 private:
  std::string host_;
  int port_ = 0;
  ObjectObserver* observer_;
};

}  // namespace mirrox
