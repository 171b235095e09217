#pragma once

// For the environment of a program a test starts (mirrox, mirrox-agent): in sanitizer builds
// LeakSanitizer then ignores the Firebird client library's process-wide state, which it keeps
// until exit. Ignored by builds without the sanitizer. Test programs only (they define
// MIRROX_FIXTURES_DIR).
namespace mirrox::testing_support {

inline constexpr const char* kLsanOptions = "suppressions=" MIRROX_FIXTURES_DIR "/lsan.supp";

}  // namespace mirrox::testing_support
