#pragma once

#include <string>

#include "fb/handle.h"

namespace Firebird {
class IAttachment;
class IService;
class ITransaction;
}  // namespace Firebird

namespace mirrox::fb {

class ParameterBlock;

// Attaches to `database` ("host:path", "host/port:path" or a path for the embedded engine) with
// the parameters of `dpb`. Throws Error.
Handle<Firebird::IAttachment> attach(const std::string& database, const ParameterBlock& dpb);
// Creates `database` with the parameters of `dpb` and leaves it attached. Throws Error.
Handle<Firebird::IAttachment> createDatabase(const std::string& database, const ParameterBlock& dpb);
// Starts a transaction with the parameters of `tpb`. Throws Error.
Handle<Firebird::ITransaction> startTransaction(Firebird::IAttachment* attachment, const ParameterBlock& tpb);
// Attaches to a server's service manager ("host/port:service_mgr"). Throws Error.
Handle<Firebird::IService> attachServiceManager(const std::string& service, const ParameterBlock& spb);

}  // namespace mirrox::fb
