#include "fb/status.h"

#include <vector>

#include "link/cp1251.h"

namespace mirrox::fb {
namespace {

// Whether a failure means that the attachment is gone.
bool connectionLost(const intptr_t* errors) {
  for (const intptr_t* item = errors; item != nullptr && *item != isc_arg_end; item += 2) {
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

}  // namespace

Firebird::IMaster* master() { return Firebird::fb_get_master_interface(); }

Firebird::IUtil* util() { return master()->getUtilInterface(); }

Status::Status(Mode mode) : BaseStatusWrapper(master()->getStatus()), mode_(mode) {}

Status::~Status() { dispose(); }

Error Status::error() const {
  std::vector<char> buffer(4096);
  const unsigned length = util()->formatStatus(buffer.data(), static_cast<unsigned>(buffer.size()), status);
  std::string text(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return Error(cp1251ToUtf8(text), connectionLost(getErrors()));
}

void Status::checkException(Status* status) {
  if (status->mode_ == Throwing && status->failed()) throw status->error();
}

}  // namespace mirrox::fb
