#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "shell/object_registry.h"
#include "shell/replication_thread.h"

namespace mirrox::testing_support {

// The window as the scheduler and the object registry see it, for tests: it keeps what it is
// handed (unless told not to, for long runs) and calls a test's hooks with each status and each
// log line. Lives on the GUI thread, where the scheduler's hand-offs run.
class FakeSchedulerConsole : public QObject, public SchedulerConsole, public RegistryObserver {
 public:
  // SchedulerConsole
  QObject* guiObject() override { return this; }
  void lockForScheduler() override { ++locks; }
  int period() override { return periodMinutes; }
  void ShowStatus(const std::string& text) override {
    if (keep) statuses.push_back(text);
    if (onStatus) onStatus(text);
  }
  void LogLine(const std::string& text) override {
    if (keep) log.push_back(text);
    if (onLogLine) onLogLine(text);
  }
  void threadEnded() override { ++ended; }

  // RegistryObserver: the loader's lines go to the same log view as the scheduler's.
  void scheduleLoaded(int, bool) override {}
  void logLine(const std::string& text) override {
    if (onLogLine) onLogLine(text);
  }
  void objectAdded(int) override {}
  void objectChanged(int index) override {
    if (keep) changed.push_back(index);
  }

  int periodMinutes = 10;
  // False: nothing is kept, only the hooks are called.
  bool keep = true;
  std::function<void(const std::string&)> onStatus;
  std::function<void(const std::string&)> onLogLine;

  int locks = 0;
  int ended = 0;
  std::vector<std::string> statuses;
  std::vector<std::string> log;  // the scheduler's lines
  std::vector<int> changed;
};

// Resumes the scheduler thread and serves its hand-offs as the GUI thread does until it ends,
// then delivers its last posted messages. False when it has not ended after `guard` (a hang).
inline bool runSchedulerToItsEnd(TReplicationThread& thread, std::chrono::milliseconds guard) {
  QEventLoop loop;
  QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(guard, &loop, &QEventLoop::quit);
  thread.resume();
  if (!thread.isFinished()) loop.exec();
  const bool ended = thread.wait(5000);
  QCoreApplication::processEvents();
  return ended;
}

}  // namespace mirrox::testing_support
