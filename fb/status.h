#pragma once

// The OO API itself and its status: the layer's one place that includes the vendor's header for
// everyone. Public headers outside fb/ forward-declare the interfaces they hold instead.

#include <firebird/Interface.h>

#include "fb/error.h"

namespace mirrox::fb {

Firebird::IMaster* master();
Firebird::IUtil* util();

// The status of one sequence of calls, disposed with the object. Passed as the status of an OO API
// call (`&status`): a throwing status turns a failed call into Error; a quiet one only records the
// failure, for cleanup that must not throw. Messages arrive in the connection's character set
// (WIN1251 for every attachment of this system) and are converted to UTF-8.
class Status final : public Firebird::BaseStatusWrapper<Status> {
 public:
  enum Mode { Throwing, Quiet };

  explicit Status(Mode mode = Throwing);
  ~Status();
  Status(const Status&) = delete;
  Status& operator=(const Status&) = delete;

  bool failed() const { return (getState() & Firebird::IStatus::STATE_ERRORS) != 0; }
  // The last failure as the exception a throwing status raises.
  Error error() const;

  // Called by the OO API after every call.
  static void checkException(Status* status);

 private:
  Mode mode_;
};

}  // namespace mirrox::fb
