#pragma once

#include "engine/database.h"
#include "engine/query.h"
#include "engine/transaction.h"

namespace mirrox {

// `DB` with its transaction `TR` and statement `Qr`: one of these exists for the whole process,
// created with the main window and shared by whichever thread performs a run.
struct LocalConnection {
  Database DB;
  Transaction TR{DB};
  Query Qr{DB, TR};

  LocalConnection() = default;
  // Commits an active transaction, as every disconnect does.
  ~LocalConnection() { DB.disconnect(); }
  LocalConnection(const LocalConnection&) = delete;
  LocalConnection& operator=(const LocalConnection&) = delete;
};

}  // namespace mirrox
