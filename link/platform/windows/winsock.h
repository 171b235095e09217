#pragma once

// Winsock for the Windows implementations of the platform layer: started once per process, before
// the first socket call, and cleaned up at exit.
namespace mirrox::platform {

void startWinsock();

}  // namespace mirrox::platform
