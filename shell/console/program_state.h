#pragma once

#include <QString>

#include "shell/run_activity.h"

namespace mirrox {

// The program's state in a few lines, as the tray icon's tooltip shows it: while a run is under way
// the object being replicated, its step and the figures of a long step; otherwise the status line's
// text (the resting text, the scheduler's countdown, a command's text).
QString programState(const QString& statusText, const RunActivity& activity);

}  // namespace mirrox
