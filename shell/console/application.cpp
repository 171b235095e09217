#include "shell/console/application.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTableWidget>
#include <chrono>

#include "engine/engine_messages.h"
#include "engine/local_connection.h"
#include "engine/prepare_remote.h"
#include "engine/replicate_object.h"
#include "fb/client_version.h"
#include "link/pinger2.h"
#include "link/send_command.h"
#include "link/tcp_client.h"
#include "mirrox_version.h"
#include "shell/console/app_icon.h"
#include "shell/console/console_commands.h"
#include "shell/console/console_texts.h"
#include "shell/console/console_tray.h"
#include "shell/console/dialogs.h"
#include "shell/console/lock_workstation.h"
#include "shell/console/main_window.h"
#include "shell/event_log_file.h"
#include "shell/object_registry.h"
#include "shell/replication_thread.h"
#include "shell/run_monitor.h"
#include "shell/single_instance.h"
#include "shell/template_writer.h"

namespace mirrox {
namespace {

constexpr char kInstanceName[] = "MirroxTovin";
// Time for a database server started together with the operating system to come up.
constexpr std::chrono::milliseconds kAutoStartWait{30000};

// The console's commands, bound to the agent link and the engine. A run is the thread object's own,
// as the scheduler's runs are, so the console shows its object, step and progress alike; the runs
// that replicate are recorded for the status file.
ConsoleOperations operationsFor(LocalConnection& local, RunMonitor& monitor) {
  ConsoleOperations ops;
  ops.checkConnection = [](TReplicationThread& thread, int index) { return CheckConnection(thread, index); };
  ops.ping = [](const std::string& host, int timeoutMs, PingFailure* failure) {
    return PingHost(host, timeoutMs, failure);
  };
  ops.replicate = [](TReplicationThread& thread, int index) { return thread.replicate(index); };
  ops.runRecorded = [&monitor](int) { monitor.write(); };
  ops.replicateSinceDate = [&monitor](TReplicationThread& thread, int index, const std::string& dateText) {
    return thread.runShown(index, [&] {
      return monitor.record(index, [&] { return ReplicateSinceDate(thread, index, dateText); });
    });
  };
  ops.prepare = [](TReplicationThread& thread, int index) { PrepareRemoteDatabase(thread, index); };
  ops.disconnectLocalDatabase = [&local] { local.DB.disconnect(); };
  ops.lockWorkstation = lockWorkstation;
  return ops;
}

}  // namespace

MirroxApplication::MirroxApplication(QStringList arguments, Clock& clock)
    : arguments_(std::move(arguments)),
      clock_(clock),
      paths_(AppPaths::forExecutableDir(installationDirectory())),
      title_(QString::fromStdString(
          applicationTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString()))) {}

MirroxApplication::~MirroxApplication() = default;

bool MirroxApplication::firstArgumentIs(const char* word) const {
  return !arguments_.isEmpty() && arguments_.first() == QLatin1String(word);
}

bool MirroxApplication::onlyArgumentIs(const char* word) const {
  return arguments_.size() == 1 && firstArgumentIs(word);
}

int MirroxApplication::run() {
  SingleInstance instance(kInstanceName, QString::fromStdString(paths_.exeDir.string()));
  const SingleInstance::Lock lock = instance.acquire();
  if (lock != SingleInstance::Lock::Acquired) {
    // Another instance may run: pass on a close request, otherwise end silently.
    if (onlyArgumentIs("close")) {
      instance.sendClose();
      return 0;
    }
    if (lock == SingleInstance::Lock::HeldByAnother) return 0;
    // Without the lock this process cannot be sure it is the only one writing the installation.
    QMessageBox::critical(nullptr, title_, instance.lockError());
    return 1;
  }
  if (onlyArgumentIs("close")) return 0;  // nothing to close
  instance.listen();
  connect(&instance, &SingleInstance::closeRequested, this,
          &MirroxApplication::onCloseRequestFromSecondInstance);
  QApplication::setApplicationName(title_);
  QApplication::setWindowIcon(appIcon());

  // Main window creation.
  logFile_ = std::make_unique<EventLogFile>(paths_.logDir, clock_);
  tcp_ = std::make_unique<TcpClient>();
  local_ = std::make_unique<LocalConnection>();
  window_ = std::make_unique<TfrmRepWnd>(*logFile_);
  // Made with the window: a close request from a second instance may arrive from the first
  // LogLine's event processing on, and it restores the window through the tray.
  tray_ = std::make_unique<ConsoleTray>(*window_, title_);
  connect(window_.get(), &TfrmRepWnd::programStateChanged, tray_.get(), &ConsoleTray::showState);
  registry_ = std::make_unique<ObjectRegistry>(paths_.settingsFile, clock_, *window_);
  monitor_ = std::make_unique<RunMonitor>(
      clock_, paths_.logDir, *registry_, *window_, [this] { return programState(); },
      [this](const std::string& line) { window_->LogLine(line); });
  window_->setRegistry(registry_.get());
  window_->setStartupStep([this] { startupStep(); });
  window_->setCloseDecider([this] { return allowClose(); });
  dialogs_ = std::make_unique<QtDialogs>();
  commands_ = std::make_unique<ConsoleCommands>(
      *window_, *registry_, *dialogs_, clock_, paths_, title_, operationsFor(*local_, *monitor_),
      SchedulerAccess{[this]() -> TReplicationThread& { return thread(); }, [this] { startScheduler(); }});
  logFile_->trimAtStart();
  window_->LogLine(" -= Запуск приложения =- ");
  window_->LogLine("Версия " + std::string(kMirroxVersion) + ", клиент Firebird " + fb::clientVersion());
  if (onlyArgumentIs("/auto")) {
    window_->LogLine(" Ожидание запуска сервера БД ...");
    clock_.sleepFor(kAutoStartWait);
  }

  if (tray_->showWhereATrayExists()) window_->setHideToTrayOnMinimize(true);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window_->move(screen->availableGeometry().center() - window_->rect().center());
  }
  // Shown from the running event loop, so that a close request that arrives while the start-up
  // step shows a message box still ends the application.
  QMetaObject::invokeMethod(window_.get(), &QWidget::show, Qt::QueuedConnection);
  QApplication::exec();
  exitStep();
  return 0;
}

void MirroxApplication::startupStep() {
  window_->LogLine("");
  registry_->LoadObjects();
  window_->objectTable()->setRowCount(registry_->count());
  if (registry_->count() > 0) window_->objectTable()->selectRow(0);
  window_->ShowStatus(messages::kConsoleIdle);
  window_->LogLine("---------------------------");

  std::error_code ec;
  std::filesystem::create_directory(paths_.dbDir, ec);  // a failure shows up as the write's error
  const std::pair<std::filesystem::path, int> templates[] = {{paths_.meteringDb, 0}, {paths_.journalDb, 1}};
  for (const auto& [path, type] : templates) {
    if (std::filesystem::exists(path, ec)) continue;
    if (const auto error = WriteTemplate(path, type)) {
      // Without its databases the program cannot replicate; the rest of the start-up step is
      // skipped, and the operator can still close the program.
      QMessageBox::critical(window_.get(), title_, QString::fromStdString(*error));
      return;
    }
    window_->LogLine("Создан файл серверной БД: \r\n" + path.string());
  }
  thread();

  QMetaObject::invokeMethod(this, &MirroxApplication::onStartupMessage, Qt::QueuedConnection);
}

void MirroxApplication::onStartupMessage() {
  logFile_->ensureLogDir();
  // Monitoring sees every object from the start, with its last success from the settings file.
  monitor_->write();
  if (firstArgumentIs("/auto")) {
    tray_->hideWindow();
    if (thread_) thread_->resume();
  }
}

TReplicationThread& MirroxApplication::thread() {
  if (!thread_) {
    thread_ = std::make_unique<TReplicationThread>(
        *window_, *registry_, *tcp_, *local_, clock_, paths_.logDir,
        [this](TReplicationThread& thread, int index) {
          return monitor_->record(index, [&] { return ReplicateObject(thread, index); });
        });
    thread_->setMonitoring(
        [this](BatchKind kind, const BatchReport& report) { monitor_->batchApplied(kind, report); },
        [this](int) { monitor_->write(); });
  }
  return *thread_;
}

void MirroxApplication::startScheduler() { thread().resume(); }

RunMonitor::ProgramState MirroxApplication::programState() const {
  const bool running =
      thread_ && !thread_->suspended() && !thread_->isFinished() && !thread_->stopRequested();
  return {window_->period(), running};
}

bool MirroxApplication::allowClose() {
  if (!thread_ || thread_->suspended() || thread_->isFinished()) return true;
  // The scheduler ends after its current object or within a second, then ends the application.
  thread_->requestStop();
  return false;
}

void MirroxApplication::onCloseRequestFromSecondInstance() {
  QApplication::beep();
  tray_->restoreWindow();
  window_->close();
}

void MirroxApplication::exitStep() {
  if (thread_) thread_->stopAndWait();
  thread_.reset();
  // A close that came while the scheduler waited ended no run: without this the file would still
  // say that the scheduler runs.
  monitor_->write();
  try {
    registry_->SaveObjectState(window_->period(), window_->night());
  } catch (const ProfileWriteError& error) {
    // Nobody is left to answer a message box; the log keeps the reason.
    window_->LogLine(error.what());
  }
  registry_->clear();
  window_->LogLine(" Приложение завершено ");
}

}  // namespace mirrox
