#include "shell/console/gui_handoff.h"

#include <QThread>

#include "shell/console/main_window.h"

namespace mirrox {

void runOnGuiThread(QObject* guiObject, const std::function<void()>& call) {
  if (QThread::currentThread() == guiObject->thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(guiObject, call, Qt::BlockingQueuedConnection);
}

void PublishStatus(TfrmRepWnd& window, const std::string& statusText) {
  runOnGuiThread(&window, [&] { window.LogLine(statusText); });
}

}  // namespace mirrox
