#pragma once

#include <QThread>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "link/clock.h"
#include "shell/activity_relay.h"
#include "shell/registry_engine_context.h"
#include "shell/run_activity.h"

namespace mirrox {

class TcpClient;
struct LocalConnection;

// What the scheduler needs from the window, all run on the GUI thread by synchronous hand-off.
class SchedulerConsole {
 public:
  virtual ~SchedulerConsole() = default;
  // The object the hand-offs are queued to; it lives on the GUI thread.
  virtual QObject* guiObject() = 0;
  // Takes the start button, the "Файл" menu, the period editor and the table's context menu
  // away for the rest of the run.
  virtual void lockForScheduler() = 0;
  virtual int period() = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void LogLine(const std::string& text) = 0;
  // `ThreadEndMessage`: posted, never sent, when the thread ends.
  virtual void threadEnded() = 0;
  // What the run under way is doing, beside the status line (never logged). Reaches the window
  // without the scheduler waiting for it: a change may come late or be overtaken by a newer one.
  // A console that shows no such thing ignores it.
  virtual void showActivity(const RunActivity& /*activity*/) {}
};

// The scheduler: replicates every object once per period, unattended, and is the context of
// every replication run, including the console's runs on the GUI thread while it is suspended.
// Created suspended; resume() starts it once; it never suspends again.
class TReplicationThread : public QThread, public RegistryEngineContext {
  Q_OBJECT

 public:
  // One replication run of the object at an index: 0 on success. May throw; the loop swallows it.
  using ReplicateFn = std::function<int(TReplicationThread&, int)>;

  static constexpr std::chrono::milliseconds kTick{1000};

  // `tcp` and `local` are the process's one agent connection and one local database connection.
  TReplicationThread(SchedulerConsole& console, ObjectRegistry& registry, TcpClient& tcp,
                     LocalConnection& local, Clock& clock, std::filesystem::path logDir,
                     ReplicateFn replicate);
  ~TReplicationThread() override;

  std::string StatusText;
  std::atomic<int> CurrentIndex{-1};

  // One replication run of the object at `index` in this context, while the console shows that
  // object as the one being replicated. Runs on the thread that performs the run; may throw.
  int replicate(int index) {
    return runShown(index, [&] { return replicate_(*this, index); });
  }
  // Runs `run` while the console shows the object at `index` as the one being replicated, its step
  // and the progress of its long steps; the object is shown no more once `run` returns or throws.
  int runShown(int index, const std::function<int()>& run);

  // Starts the loop; later calls do nothing.
  void resume();
  bool suspended() const { return !resumed_; }
  // The stop request: seen within about a second while waiting, or after the current object.
  void requestStop() { stop_ = true; }

  // For monitoring. `batchApplied` is told of every committed result file of a run in this
  // context, on the run's thread; `runRecorded` of each scheduled run, on the GUI thread, once the
  // object shows the run's outcome. Set before the thread starts.
  void setMonitoring(std::function<void(BatchKind, const BatchReport&)> batchApplied,
                     std::function<void(int index)> runRecorded);

  // Sets the stop request and waits for the thread to end, serving its hand-offs meanwhile. A
  // thread that never ran is started with the request set, so it ends without a cycle.
  // GUI thread only.
  void stopAndWait();

  // RunContext
  std::string& statusText() override { return StatusText; }
  void publishStatus() override;
  bool stopRequested() const override { return stop_; }
  TcpClient& tcp() override { return tcp_; }
  std::filesystem::path logDir() const override { return logDir_; }
  Clock& clock() override { return clock_; }
  ProgressListener* progressListener() override { return &activity_; }

  // EngineContext
  LocalConnection& localConnection() override { return local_; }
  void batchApplied(BatchKind kind, const BatchReport& report) override;

 protected:
  void run() override;

 private:
  void handOff(const std::function<void()>& call);
  DateTime nextRunAfter(DateTime from);
  void runCycle();

  SchedulerConsole& console_;
  TcpClient& tcp_;
  LocalConnection& local_;
  Clock& clock_;
  std::filesystem::path logDir_;
  ReplicateFn replicate_;
  std::function<void(BatchKind, const BatchReport&)> batchApplied_;
  std::function<void(int)> runRecorded_;
  std::atomic<bool> stop_{false};
  bool resumed_ = false;
  ActivityRelay activity_;
};

}  // namespace mirrox
