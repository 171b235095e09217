#include "engine/fb_api.h"

#include <vector>

#include "engine/local_db_error.h"
#include "link/cp1251.h"

namespace mirrox::fb {

Firebird::IMaster* master() { return Firebird::fb_get_master_interface(); }

Firebird::IUtil* util() { return master()->getUtilInterface(); }

Status::Status() : status_(master()->getStatus()), wrapper_(status_) {}

Status::~Status() { status_->dispose(); }

bool Status::failed() const {
  return (status_->getState() & Firebird::IStatus::STATE_ERRORS) != 0;
}

std::string Status::message() {
  std::vector<char> buffer(4096);
  const unsigned length = util()->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), status_);
  std::string text(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  // Object names and key values in server messages arrive in the connection's character set.
  return cp1251ToUtf8(text);
}

bool Status::connectionLost() const {
  const ISC_STATUS* errors = status_->getErrors();
  for (const ISC_STATUS* item = errors; item != nullptr && *item != isc_arg_end; item += 2) {
    if (item[0] != isc_arg_gds) continue;
    switch (item[1]) {
      case isc_network_error:
      case isc_net_read_err:
      case isc_net_write_err:
      case isc_conn_lost:
      case isc_lost_db_connection:
      case isc_att_shutdown:
      case isc_shutdown:
      case isc_bad_db_handle:
        return true;
      default:
        break;
    }
  }
  return false;
}

void Status::check() {
  if (failed()) throw LocalDbError(message(), connectionLost());
}

}  // namespace mirrox::fb
