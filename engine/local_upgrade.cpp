#include "engine/local_upgrade.h"

#include <string>

#include "engine/engine_context.h"
#include "engine/engine_messages.h"
#include "engine/local_connection.h"
#include "engine/upgrade_scripts.h"
#include "fb/error.h"

namespace mirrox {
namespace {

// Turns the parameter check back on however the statement ends.
class ParamCheckOff {
 public:
  explicit ParamCheckOff(Query& query) : query_(query) { query_.setParamCheck(false); }
  ~ParamCheckOff() { query_.setParamCheck(true); }
  ParamCheckOff(const ParamCheckOff&) = delete;
  ParamCheckOff& operator=(const ParamCheckOff&) = delete;

 private:
  Query& query_;
};

std::int32_t fail(EngineContext& thread, std::int32_t result, std::string message) {
  thread.statusText() = std::move(message);
  thread.publishStatus();
  return result;
}

}  // namespace

std::int32_t ReadOrCreateGenerator(LocalConnection& local, std::string_view name) {
  try {
    local.TR.start();
    local.Qr.setSql("select gen_id (" + std::string(name) + ",0) from RDB$Database");
    local.Qr.execute();
    const std::optional<std::int64_t> value = local.Qr.fetchInt64();
    local.Qr.close();
    local.TR.commit();
    if (!value) throw fb::Error("no row");
    return static_cast<std::int32_t>(*value);
  } catch (const fb::Error&) {
    // Most often the generator does not exist yet; whatever the cause, creating it is the cure.
  }
  if (local.TR.active()) {
    try {
      local.TR.rollback();
    } catch (const fb::Error&) {
      // The rollback released the transaction; the create below reports a dead connection.
    }
  }
  local.TR.start();
  ParamCheckOff off(local.Qr);
  local.Qr.setSql("CREATE GENERATOR " + std::string(name));
  local.Qr.execute();
  local.TR.commit();
  return 0;
}

bool ExecLocalStatement(LocalConnection& local, TCommand command) {
  ParamCheckOff off(local.Qr);
  try {
    local.TR.start();
    local.Qr.setSql(command.Param);
    local.Qr.execute();
    local.Qr.close();
    local.TR.commit();
    return false;
  } catch (const fb::Error&) {
    return true;
  }
}

std::int32_t OpenLocalDatabase(EngineContext& thread, int index) {
  LocalConnection& local = thread.localConnection();
  const std::optional<LocalSite> site = thread.localSite(index);
  if (!site) {
    return fail(thread, kLocalConnectFailed, messages::kLocalConnectFailed + noObjectMessage(index));
  }
  try {
    local.DB.connect();
  } catch (const fb::Error& error) {
    return fail(thread, kLocalConnectFailed, std::string(messages::kLocalConnectFailed) + error.what());
  }

  const SchemaTarget* target = schemaTarget(site->dbType);
  // A type without a schema reads and runs nothing; the run itself refuses such an object.
  if (target == nullptr) return kLocalOk;

  std::int32_t version = site->localSchemaVersion;
  if (version == 0) {
    try {
      version = ReadOrCreateGenerator(local, target->generator);
    } catch (const fb::Error& error) {
      return fail(thread, kLocalUpgradeFailed,
                  std::string(messages::kLocalUpgradeFailed) + "CREATE GENERATOR " + target->generator +
                      "\r\n" + error.what());
    }
  }
  if (version < target->version) {
    for (const TCommand& entry : target->script) {
      if (ExecLocalStatement(local, entry)) {
        return fail(thread, kLocalUpgradeFailed, std::string(messages::kLocalUpgradeFailed) + entry.Param);
      }
    }
  }
  thread.setLocalSchemaVersion(index, target->version);
  return kLocalOk;
}

}  // namespace mirrox
