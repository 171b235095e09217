#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

class QAction;
class QWidget;

namespace mirrox {

// The program's tray icon, from start to end. It brings the window back on a single activation as
// well as on a double click: Qt's D-Bus tray, which the Linux desktops of today use, reports a
// single activation and never a double click. Its context menu restores the window or asks the
// program to close, with the same close request as the window's own close button (refused while
// the scheduler runs). GUI thread only.
class ConsoleTray : public QObject {
  Q_OBJECT

 public:
  // The tooltip shows `title` alone until the first state arrives.
  ConsoleTray(QWidget& window, const QString& title);

  QSystemTrayIcon& icon() { return icon_; }
  QAction* restoreAction() const { return restore_; }
  QAction* closeAction() const { return close_; }

  // Shows the icon when the desktop has a tray. False when it has none.
  bool showWhereATrayExists();
  // Hides the window to the tray where there is one; minimises it otherwise, so that it can
  // always be brought back.
  void hideWindow();
  void restoreWindow();
  // The tooltip: the title, then the program's state (see programState).
  void showState(const QString& state);

 private:
  QWidget& window_;
  QString title_;
  QMenu menu_;
  QAction* restore_;
  QAction* close_;
  QSystemTrayIcon icon_;  // after the menu it shows, so it goes first
};

}  // namespace mirrox
