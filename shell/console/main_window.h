#pragma once

#include <QMainWindow>
#include <functional>
#include <string>

#include "shell/event_log_file.h"
#include "shell/object_registry.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;
class QTableWidget;

namespace mirrox {

// The main window: the object table, the log view, the schedule controls and the status line.
// It is the registry's observer and the one place where LogLine and ShowStatus happen.
// Every member runs on the GUI thread only.
class TfrmRepWnd : public QMainWindow, public RegistryObserver {
  Q_OBJECT

 public:
  static constexpr int kMaxLogViewLines = 1024;

  explicit TfrmRepWnd(EventLogFile& logFile, QWidget* parent = nullptr);

  // The registry whose objects the table shows. REQUIRES: set before LoadObjects runs.
  void setRegistry(ObjectRegistry* registry) { registry_ = registry; }

  // A time-stamped line in the log file and the text in the log view; then lets the window
  // process pending events so it stays responsive during long operations.
  void LogLine(const std::string& text);
  // One blank and the text in the status line; then lets the window process pending events.
  void ShowStatus(const std::string& text);

  int period() const;
  bool night() const;

  // Decides whether a close request may end the application. By default every close is allowed;
  // the scheduler installs a decider that refuses the close while it runs and stops itself.
  void setCloseDecider(std::function<bool()> decider) { closeDecider_ = std::move(decider); }
  // With a system tray, minimising hides the window and its taskbar button; the tray icon
  // brings it back.
  void setHideToTrayOnMinimize(bool on) { hideToTrayOnMinimize_ = on; }
  // Runs once, the first time the window is shown.
  void setStartupStep(std::function<void()> step) { startupStep_ = std::move(step); }

  QTableWidget* objectTable() const { return table_; }
  QPlainTextEdit* logView() const { return logView_; }
  QLabel* statusLabel() const { return statusLabel_; }
  QSpinBox* periodEditor() const { return periodEditor_; }
  QCheckBox* nightBox() const { return nightBox_; }

  // RegistryObserver
  void scheduleLoaded(int periodMinutes, bool nightFlag) override;
  void logLine(const std::string& text) override { LogLine(text); }
  void objectAdded(int index) override;
  void objectChanged(int index) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void fillRow(int index);

  EventLogFile& logFile_;
  ObjectRegistry* registry_ = nullptr;
  std::function<bool()> closeDecider_;
  std::function<void()> startupStep_;
  bool shown_ = false;
  bool hideToTrayOnMinimize_ = false;

  QTableWidget* table_;
  QPlainTextEdit* logView_;
  QLabel* statusLabel_;
  QLabel* periodLabel_;
  QSpinBox* periodEditor_;
  QCheckBox* nightBox_;
};

}  // namespace mirrox
