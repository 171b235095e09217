#include "fb/connect.h"

#include "fb/parameter_block.h"
#include "fb/status.h"

namespace mirrox::fb {
namespace {

Handle<Firebird::IProvider> dispatcher() { return Handle<Firebird::IProvider>(master()->getDispatcher()); }

}  // namespace

Handle<Firebird::IAttachment> attach(const std::string& database, const ParameterBlock& dpb) {
  Status status;
  return Handle<Firebird::IAttachment>(
      dispatcher()->attachDatabase(&status, database.c_str(), dpb.length(), dpb.bytes()));
}

Handle<Firebird::IAttachment> createDatabase(const std::string& database, const ParameterBlock& dpb) {
  Status status;
  return Handle<Firebird::IAttachment>(
      dispatcher()->createDatabase(&status, database.c_str(), dpb.length(), dpb.bytes()));
}

Handle<Firebird::ITransaction> startTransaction(Firebird::IAttachment* attachment,
                                                const ParameterBlock& tpb) {
  Status status;
  return Handle<Firebird::ITransaction>(attachment->startTransaction(&status, tpb.length(), tpb.bytes()));
}

Handle<Firebird::IService> attachServiceManager(const std::string& service, const ParameterBlock& spb) {
  Status status;
  return Handle<Firebird::IService>(
      dispatcher()->attachServiceManager(&status, service.c_str(), spb.length(), spb.bytes()));
}

}  // namespace mirrox::fb
