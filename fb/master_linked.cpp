#include "fb/status.h"

namespace mirrox::fb {

// Where the client library is linked in, its entry point is called directly.
Firebird::IMaster* master() { return Firebird::fb_get_master_interface(); }

}  // namespace mirrox::fb
