#include "shell/gui_handoff.h"

#include <QThread>

namespace mirrox {

void runOnGuiThread(QObject* guiObject, const std::function<void()>& call) {
  if (QThread::currentThread() == guiObject->thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(guiObject, call, Qt::BlockingQueuedConnection);
}

}  // namespace mirrox
