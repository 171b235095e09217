#pragma once

#include <QMainWindow>
#include <functional>
#include <string>

#include "shell/event_log_file.h"
#include "shell/object_registry.h"
#include "shell/replication_thread.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace mirrox {

class ProgressIndicator;

// The main window: the object table, the log view, the schedule controls, the menus and the
// status line. It is the registry's observer, the scheduler's console and the one place where
// LogLine and ShowStatus happen. Every member runs on the GUI thread only.
class TfrmRepWnd : public QMainWindow, public RegistryObserver, public SchedulerConsole {
  Q_OBJECT

 public:
  static constexpr int kMaxLogViewLines = 1024;

  // The actions of the menus and of the table's context menu.
  struct Actions {
    QAction* addObject;
    QAction* checkAll;
    QAction* replicateAll;
    QAction* exit;
    QAction* lockComputer;
    QAction* about;
    QAction* properties;
    QAction* checkConnection;
    QAction* ping;
    QAction* replicate;
    QAction* replicateSinceDate;
    QAction* prepare;
    QAction* remove;
  };

  explicit TfrmRepWnd(EventLogFile& logFile, QWidget* parent = nullptr);

  // The registry whose objects the table shows. REQUIRES: set before LoadObjects runs.
  void setRegistry(ObjectRegistry* registry) { registry_ = registry; }

  // A time-stamped line in the log file and the text in the log view; then lets the window
  // process pending events so it stays responsive during long operations.
  void LogLine(const std::string& text) override;
  // One blank and the text in the status line; then lets the window process pending events.
  void ShowStatus(const std::string& text) override;
  // The run's object, step and progress: the progress bar beside the status line and the program's
  // state; the status line and the log stay as they are.
  void showActivity(const RunActivity& activity) override;
  // The program's state as the tray icon's tooltip shows it (see programState).
  QString programState() const;

  int period() override;
  bool night() const;

  // The index of the object on the highlighted row, -1 while the table has no rows.
  int SelectedIndex() const;
  // Busy: only "Справка" and the close button stay usable. Idle: everything again.
  void SetBusy(bool busy);
  // Sets the row count to the registry's length and fills the object's row.
  void showObject(int index);

  // Decides whether a close request may end the application. By default every close is allowed;
  // the application refuses the close while the scheduler runs and stops it instead.
  void setCloseDecider(std::function<bool()> decider) { closeDecider_ = std::move(decider); }
  // Runs once, the first time the window is shown.
  void setStartupStep(std::function<void()> step) { startupStep_ = std::move(step); }
  // With a system tray, minimising hides the window and its taskbar button; the tray icon
  // brings it back.
  void setHideToTrayOnMinimize(bool on) { hideToTrayOnMinimize_ = on; }

  const Actions& actions() const { return actions_; }
  QTableWidget* objectTable() const { return table_; }
  QPlainTextEdit* logView() const { return logView_; }
  QLabel* statusLabel() const { return statusLabel_; }
  ProgressIndicator* progressIndicator() const { return progress_; }
  QSpinBox* periodEditor() const { return periodEditor_; }
  QCheckBox* nightBox() const { return nightBox_; }
  QPushButton* startButton() const { return startButton_; }
  QMenu* fileMenu() const { return fileMenu_; }
  QMenu* extraMenu() const { return extraMenu_; }
  QMenu* helpMenu() const { return helpMenu_; }
  QMenu* contextMenu() const { return contextMenu_; }
  bool contextMenuAvailable() const;

  // RegistryObserver
  void scheduleLoaded(int periodMinutes, bool nightFlag) override;
  void logLine(const std::string& text) override { LogLine(text); }
  void objectAdded(int index) override;
  void objectChanged(int index) override;

  // SchedulerConsole
  QObject* guiObject() override { return this; }
  void lockForScheduler() override;
  void threadEnded() override;

 signals:
  // The program's state has changed (a new status text, or the run's object, step or progress).
  void programStateChanged(const QString& state);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void buildMenus();
  // Widens each column to what its header and its longest usual content need in the table's font.
  void fitColumns();
  void fillRow(int index);
  void setContextMenuAvailable(bool available);
  void appendToLogView(const QString& text);

  EventLogFile& logFile_;
  ObjectRegistry* registry_ = nullptr;
  std::function<bool()> closeDecider_;
  std::function<void()> startupStep_;
  bool shown_ = false;
  bool hideToTrayOnMinimize_ = false;
  int selectedIndex_ = 0;
  // Whether the log view holds any line: a view holding one empty line looks empty to Qt.
  bool logViewHoldsLines_ = false;
  // The status line's text without its leading blank, and what the run under way is doing.
  QString statusText_;
  RunActivity activity_;

  Actions actions_{};
  QMenu* fileMenu_ = nullptr;
  QMenu* extraMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QMenu* contextMenu_ = nullptr;
  QGroupBox* tableGroup_;
  QTableWidget* table_;
  QPlainTextEdit* logView_;
  QLabel* statusLabel_;
  ProgressIndicator* progress_;
  QLabel* periodLabel_;
  QSpinBox* periodEditor_;
  QCheckBox* nightBox_;
  QPushButton* startButton_;
};

}  // namespace mirrox
