#pragma once

#include <QObject>
#include <functional>

namespace mirrox {

// Runs `call` on the thread that owns `guiObject` (the GUI thread) and returns once it has run:
// the synchronous hand-off by which the scheduler thread reaches the window. On the GUI thread
// itself the call runs at once.
// REQUIRES: while another thread waits here, the GUI thread keeps running its event loop (the
// exit step serves hand-offs while it waits for the scheduler to end).
void runOnGuiThread(QObject* guiObject, const std::function<void()>& call);

}  // namespace mirrox
