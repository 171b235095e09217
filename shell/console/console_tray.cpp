#include "shell/console/console_tray.h"

#include <QAction>
#include <QWidget>

#include "shell/console/app_icon.h"

namespace mirrox {

ConsoleTray::ConsoleTray(QWidget& window, const QString& title)
    : window_(window),
      title_(title),
      restore_(menu_.addAction(QStringLiteral("Показать окно"))),
      close_(menu_.addAction(QStringLiteral("Выход"))),
      icon_(appIcon()) {
  icon_.setToolTip(title_);
  icon_.setContextMenu(&menu_);
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) restoreWindow();
  });
  connect(restore_, &QAction::triggered, this, &ConsoleTray::restoreWindow);
  connect(close_, &QAction::triggered, &window_, &QWidget::close);
}

bool ConsoleTray::showWhereATrayExists() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  icon_.show();
  return true;
}

void ConsoleTray::hideWindow() {
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    window_.hide();
  } else {
    window_.showMinimized();
  }
}

void ConsoleTray::restoreWindow() {
  window_.showNormal();
  window_.raise();
  window_.activateWindow();
}

void ConsoleTray::showState(const QString& state) { icon_.setToolTip(title_ + '\n' + state); }

}  // namespace mirrox
