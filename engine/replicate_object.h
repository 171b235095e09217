#pragma once

#include <cstdint>
#include <string_view>

namespace mirrox {

class EngineContext;

// The pause before a run's closing line, taken through the context's clock.
inline constexpr int kRunEndWaitMs = 2000;

// One replication run of the object at `index`: opens and upgrades its local database, opens the
// site database through its agent, and drives the metering or the journal sequence, applying each
// fetched result file. Returns 0 on success, else the code of the step that failed: SendCommand's
// 1, 101 or 1001, 1 for a failed batch, OpenLocalDatabase's 1 or 2. An object whose database type
// is neither metering nor journal fails with 1 before anything is opened. Ends by disconnecting
// the agent, waiting 2000 ms and publishing "\r\n-------" (appended to the failing step's message
// after a failure). `DB` stays connected after the run. Never throws.
std::int32_t ReplicateObject(EngineContext& thread, int index);

// The result of ReplicateSinceDate when the operator's text is refused (nothing was done; the
// console shows "Не верный формат даты").
inline constexpr std::int32_t kSinceDateRefused = -1;

// True when the whole text is a date dd.mm.yyyy (one-digit day and month allowed) not before
// 18.01.2000.
bool sinceDateAccepted(std::string_view text);

// The console's "replicate since a date" for the object at `index`, once the operator has typed
// `dateText`: the address (with the checksum rule) and the archive since the date for a metering
// object, the requests since the date for a journal object. No mark, no purge, no current values,
// no events, no wait. The text goes into the site's select exactly as typed. Returns
// kSinceDateRefused for a refused text, else the result as for ReplicateObject. Leaves `DB` and the
// agent disconnected; the console does the busy mark and the status bar. Never throws.
std::int32_t ReplicateSinceDate(EngineContext& thread, int index, std::string_view dateText);

}  // namespace mirrox
