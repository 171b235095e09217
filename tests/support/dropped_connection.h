#pragma once

#include <cstdint>
#include <string>

#include "engine/local_connection.h"
#include "tests/support/scratch_database.h"

namespace mirrox::testing_support {

// Has the server end the attachment that `local` holds on `db`, as it does when it is shut down or
// the link breaks. `local` is left believing it is connected, with no transaction active; its next
// statement finds the connection gone.
// REQUIRES: `local` is connected to `db` and no transaction is active.
inline void dropConnection(LocalConnection& local, const ScratchDatabase& db) {
  local.TR.start();
  local.Qr.setSql("select current_connection from rdb$database");
  local.Qr.execute();
  const std::int64_t attachment = local.Qr.fetchInt64().value();
  local.TR.commit();
  db.exec("delete from mon$attachments where mon$attachment_id = " + std::to_string(attachment));
}

}  // namespace mirrox::testing_support
