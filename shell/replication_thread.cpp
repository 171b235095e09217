#include "shell/replication_thread.h"

#include <QCoreApplication>

#include "link/tcp_client.h"
#include "shell/gui_handoff.h"
#include "shell/object_registry.h"

namespace mirrox {
namespace {

constexpr char kBanner[] = "Р Е П Л И К А Ц И Я    Д А Н Н Ы Х   . . .";
constexpr char kCountdown[] = "Репликация будет выполнена - ";
constexpr double kMinutesPerDay = 1440.0;

}  // namespace

TReplicationThread::TReplicationThread(SchedulerConsole& console, ObjectRegistry& registry, TcpClient& tcp,
                                       LocalConnection& local, Clock& clock, std::filesystem::path logDir,
                                       ReplicateFn replicate)
    : RegistryEngineContext(registry),
      console_(console),
      tcp_(tcp),
      local_(local),
      clock_(clock),
      logDir_(std::move(logDir)),
      replicate_(std::move(replicate)),
      activity_(*this, [&console](const RunActivity& activity) { console.showActivity(activity); }) {}

TReplicationThread::~TReplicationThread() {
  if (isRunning()) stopAndWait();
}

void TReplicationThread::resume() {
  if (resumed_) return;
  resumed_ = true;
  start();
}

void TReplicationThread::stopAndWait() {
  requestStop();
  resume();
  // The thread may be blocked in a hand-off to this thread: keep serving them.
  while (!wait(QDeadlineTimer(20))) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

void TReplicationThread::handOff(const std::function<void()>& call) {
  runOnGuiThread(console_.guiObject(), call);
}

void TReplicationThread::publishStatus() {
  const std::string text = StatusText;
  handOff([&] { console_.LogLine(text); });
  activity_.statusPublished(text);
}

int TReplicationThread::runShown(int index, const std::function<int()>& run) {
  std::string name;
  if (index >= 0 && index < registry().count()) name = registry().at(index).Name;
  activity_.runStarted(index, std::move(name));
  // Ends the shown run also when `run` throws.
  struct Shown {
    ActivityRelay& activity;
    ~Shown() {
      try {
        activity.runEnded();
      } catch (...) {
        // Costs the operator an object left on show, never the run's outcome.
      }
    }
  } shown{activity_};
  return run();
}

void TReplicationThread::setMonitoring(std::function<void(BatchKind, const BatchReport&)> batchApplied,
                                       std::function<void(int index)> runRecorded) {
  batchApplied_ = std::move(batchApplied);
  runRecorded_ = std::move(runRecorded);
}

void TReplicationThread::batchApplied(BatchKind kind, const BatchReport& report) {
  if (batchApplied_) batchApplied_(kind, report);
}

DateTime TReplicationThread::nextRunAfter(DateTime from) {
  int minutes = 0;
  handOff([&] { minutes = console_.period(); });
  return (from * kMinutesPerDay + minutes) / kMinutesPerDay;
}

void TReplicationThread::run() {
  handOff([this] { console_.lockForScheduler(); });
  tcp_.disconnect();
  DateTime nextRunTime = nextRunAfter(clock_.now());
  while (!stop_) {
    if (clock_.now() >= nextRunTime) {
      runCycle();
      nextRunTime = nextRunAfter(clock_.now());
    } else {
      clock_.sleepFor(kTick);
      StatusText = kCountdown + formatDateTime("hh:nn:ss", nextRunTime);
      const std::string text = StatusText;
      handOff([&] { console_.ShowStatus(text); });
    }
  }
  QMetaObject::invokeMethod(
      console_.guiObject(), [console = &console_] { console->threadEnded(); }, Qt::QueuedConnection);
}

void TReplicationThread::runCycle() {
  StatusText = kBanner;
  const std::string banner = StatusText;
  handOff([&] { console_.ShowStatus(banner); });
  const int count = registry().count();
  for (int i = 0; i < count; ++i) {
    CurrentIndex = i;
    std::optional<int> result;
    try {
      result = replicate(i);
    } catch (...) {
      // A run that escapes with an error leaves the object as it was; the cycle goes on.
    }
    if (result) {
      const bool ok = *result == 0;
      handOff([&] {
        TMyPic& object = registry().at(CurrentIndex);
        if (ok) object.SetLastReplicationTime(clock_.now());
        object.SetLinkOk(ok);
        if (runRecorded_) runRecorded_(CurrentIndex);
      });
    }
    if (stop_) break;
  }
}

}  // namespace mirrox
