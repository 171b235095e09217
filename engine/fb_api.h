#pragma once

// Private to the local database layer: the Firebird OO API and the helpers every wrapper uses.
// Public headers of engine/ forward-declare the interfaces they hold instead of including this.

#include <firebird/Interface.h>

#include <string>

namespace mirrox::fb {

Firebird::IMaster* master();
Firebird::IUtil* util();

// A status vector for one call sequence, disposed with the object.
class Status {
 public:
  Status();
  ~Status();
  Status(const Status&) = delete;
  Status& operator=(const Status&) = delete;

  Firebird::CheckStatusWrapper* operator&() { return &wrapper_; }
  bool failed() const;
  // The formatted message of the last failure, converted from code page 1251.
  std::string message();
  // True when the failure means the attachment is gone.
  bool connectionLost() const;
  // Throws LocalDbError with message() when the last call failed.
  void check();
  void clear() { wrapper_.init(); }

 private:
  Firebird::IStatus* status_;
  Firebird::CheckStatusWrapper wrapper_;
};

}  // namespace mirrox::fb
