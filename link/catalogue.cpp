#include "link/catalogue.h"

#include <array>

#include "link/journal_rep.h"
#include "link/original_rep.h"

namespace mirrox {
namespace {

// Addresses only: safe to build before the commands themselves are initialised.
constexpr std::array<const TCommand*, 11> kWithGuid = {
    &OriginalRep::CmdSelectAddress, &OriginalRep::CmdSelectCurrentValues, &OriginalRep::CmdMarkArchive,
    &OriginalRep::CmdSelectArchive, &OriginalRep::CmdPurgeArchive,        &JournalRep::CmdMarkRequests,
    &JournalRep::CmdSelectRequests, &JournalRep::CmdPurgeRequests,        &JournalRep::CmdMarkEvents,
    &JournalRep::CmdSelectEvents,   &JournalRep::CmdPurgeEvents,
};

}  // namespace

std::span<const TCommand* const> catalogueCommands() { return kWithGuid; }

const TCommand* findCatalogueCommand(std::string_view guid) {
  if (guid.empty()) return nullptr;
  for (const TCommand* command : kWithGuid) {
    if (command->Cmd == guid) return command;
  }
  return nullptr;
}

}  // namespace mirrox
