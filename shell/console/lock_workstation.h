#pragma once

namespace mirrox {

// Locks the workstation through the platform's own command, started detached; the outcome is not
// looked at.
void lockWorkstation();

}  // namespace mirrox
