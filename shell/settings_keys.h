#pragma once

#include <string_view>

namespace mirrox::settings {

// Every key of the settings file "mirrox.ini", in one place for the loader and the saver.

struct IntegerKey {
  std::string_view name;
  int fallback;  // when the key is missing or does not read as an integer
};

struct TextKey {
  std::string_view name;
};

inline constexpr std::string_view kFileName = "mirrox.ini";
inline constexpr std::string_view kMainSection = "Main";

// Section "Main", written at exit.
inline constexpr IntegerKey kPeriod{"period", 10};  // minutes
inline constexpr IntegerKey kNight{"chk", 0};       // "1" or "0"

// Object sections, named by the decimal SectionId. Written by the console's add and edit, in
// this order.
inline constexpr TextKey kName{"ods"};
inline constexpr TextKey kHost{"host"};
inline constexpr IntegerKey kPort{"port", 5029};
inline constexpr TextKey kLocalDbPath{"db_path"};
inline constexpr TextKey kRemoteDbPath{"remote_db_path"};
inline constexpr IntegerKey kDbType{"db_type", 0};

// Object sections, written at exit.
inline constexpr TextKey kLastReplication{"dtime"};  // missing or unreadable: load time - 30 days
inline constexpr IntegerKey kAddressChecksum{"f32", 0};

// Object sections, read only.
inline constexpr IntegerKey kResultId{"servers", 0};
inline constexpr IntegerKey kUseSsl{"use_ssl", 0};  // read and ignored

inline constexpr int kDefaultLastReplicationAgeDays = 30;
inline constexpr int kMaxLoadedObjects = 100;

}  // namespace mirrox::settings
