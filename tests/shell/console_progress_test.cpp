// The progress of a run as the operator sees it: the bar beside the status line and the tray icon's
// tooltip, on real widgets (offscreen), with the real engine against the local server and a fake
// agent on loopback. The run's clock is driven: every look at it moves it on, so a few thousand rows
// take the run's "seconds" without the test waiting for any. The log has a clock of its own that
// stands still, so two runs give logs that can be compared byte for byte.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>
#include <memory>
#include <optional>

#include "engine/batch_apply.h"
#include "engine/local_connection.h"
#include "engine/local_upgrade.h"
#include "engine/replicate_object.h"
#include "link/cp1251.h"
#include "link/result_file.h"
#include "link/tcp_client.h"
#include "shell/console/console_commands.h"
#include "shell/console/console_tray.h"
#include "shell/console/dialogs.h"
#include "shell/console/main_window.h"
#include "shell/console/progress_indicator.h"
#include "shell/gui_handoff.h"
#include "shell/object_registry.h"
#include "shell/replication_thread.h"
#include "tests/support/fake_agent.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zlib_stream.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::FakeAgent;
using testing_support::ManualClock;
using testing_support::ScratchDatabase;
using testing_support::Script;
using testing_support::TempDir;
using testing_support::zlibCompress;

constexpr char kResting[] = "Приложение запущено в режиме настройки карты";
// One house with channel 17 of region 0, the object at the top of the list.
const std::string kAddress =
    "1\t2\tStreet\t12\tA\t1\t1\t10.0.0.5\t4001\t3\t17\t5\t1\t1\t555\t2\t0\t0\tw\tACC\t1\r\n";
const std::string kCurrent = "17\t1\t10.5\t01.02.2024 10:00:00\r\n";

// `count` archive rows of channel 17, an hour apart; the row numbered `badDateAt` names the 31st
// of February, which stops the batch there.
std::string archive(int count, int badDateAt = -1) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    const int hours = i % (24 * 28);
    const std::string date = i == badDateAt ? "31.02.2024" : std::to_string(1 + hours / 24) + ".02.2024";
    text += "17\t1\t" + std::to_string(i % 1000) + ".5\t" + date + " " + std::to_string(hours % 24) +
            ":00:" + std::to_string(10 + i / (24 * 28)) + "\r\n";
  }
  return text;
}

// The agent's side of one metering run that ends with the site database closed.
Script meteringRun(const std::string& archiveRows, bool purge) {
  Script s;
  s.reply("Ok");  // open
  int resultId = 11;
  for (const std::string* rows : {&kAddress, &kCurrent}) {
    s.reply("Ok/" + std::to_string(resultId++)).send("Ok\n").reply("Ok").fileBlock(zlibCompress(*rows));
  }
  s.reply("Ok");  // mark
  s.reply("Ok/13").send("Ok\n").reply("Ok").fileBlock(zlibCompress(archiveRows));
  if (purge) s.reply("Ok");
  s.reply("Ok");  // close
  return s;
}

// What the window showed each time the program's state changed.
struct Seen {
  bool barVisible;
  QString barText;
  int barValue;
  QString toolTip;
};

// A scheduler's thread object whose runs have nobody listening to their progress: everything else
// is the program's own.
class ThreadWithoutProgress final : public TReplicationThread {
 public:
  using TReplicationThread::TReplicationThread;
  ProgressListener* progressListener() override { return nullptr; }
};

// A scheduler's thread object that, after each progress report it passes on from its own thread,
// waits until the GUI thread has taken the queued report: the relay itself never waits, but a test
// must see every report that the hand-off carries, however busy the machine is.
class ThreadWaitingForTheWindow final : public TReplicationThread {
 public:
  ThreadWaitingForTheWindow(SchedulerConsole& console, ObjectRegistry& registry, TcpClient& tcp,
                            LocalConnection& local, Clock& clock, std::filesystem::path logDir,
                            ReplicateFn replicate)
      : TReplicationThread(console, registry, tcp, local, clock, std::move(logDir), std::move(replicate)),
        gui_(*console.guiObject()) {}

  ProgressListener* progressListener() override { return &waiter_; }
  // The reports passed on from the scheduler's thread, and those from the GUI thread.
  int reportsQueued() const { return queued_; }
  int reportsOnTheGuiThread() const { return onGui_; }

 private:
  class Waiter final : public ProgressListener {
   public:
    explicit Waiter(ThreadWaitingForTheWindow& thread) : thread_(thread) {}
    void progressed(const Progress& progress) override {
      thread_.TReplicationThread::progressListener()->progressed(progress);
      thread_.waitForTheWindow();
    }
    void progressEnded() override {
      thread_.TReplicationThread::progressListener()->progressEnded();
      thread_.waitForTheWindow();
    }

   private:
    ThreadWaitingForTheWindow& thread_;
  };

  void waitForTheWindow() {
    if (QThread::currentThread() == gui_.thread()) {
      ++onGui_;
      return;
    }
    ++queued_;
    // Queued after the report, so it runs once the GUI thread has taken the report.
    runOnGuiThread(&gui_, [] {});
  }

  QObject& gui_;
  Waiter waiter_{*this};
  std::atomic<int> queued_{0};
  std::atomic<int> onGui_{0};
};

// One console as the program builds it: window, tray, registry, commands and the scheduler's thread
// object, with one metering object whose agent is `agent` and whose local database is a scratch
// copy of the template.
class Console {
 public:
  Console(const FakeAgent& agent, bool progress, TReplicationThread::ReplicateFn replicate = ReplicateObject)
      : db_(ScratchDatabase::fromTemplate(dir_.path(), "local.fdb", DbTypeMetering)),
        logFile_(dir_.path(), logClock_),
        window_(logFile_),
        tray_(window_, "mirrox"),
        registry_(dir_ / "mirrox.ini", logClock_, window_) {
    window_.setRegistry(&registry_);
    QObject::connect(&window_, &TfrmRepWnd::programStateChanged, &tray_, &ConsoleTray::showState);
    QObject::connect(&window_, &TfrmRepWnd::programStateChanged, [this] {
      const ProgressIndicator& indicator = *window_.progressIndicator();
      seen.push_back({indicator.isVisible(), indicator.label()->text(), indicator.bar()->value(),
                      tray_.icon().toolTip()});
    });
    testing_support::writeFile(dir_ / "mirrox.ini", "[1]\r\nods=Site\r\nhost=" + agent.host() +
                                                        "\r\nport=" + std::to_string(agent.port()) +
                                                        "\r\ndb_path=" + db_.path().string() +
                                                        "\r\nremote_db_path=/site/db.gdb\r\n");
    registry_.LoadObjects();
    if (progress) {
      makeThread<TReplicationThread>(std::move(replicate));
    } else {
      makeThread<ThreadWithoutProgress>(std::move(replicate));
    }
    ConsoleOperations ops;
    // As the program binds it: the run is the thread object's own.
    ops.replicate = [](TReplicationThread& thread, int index) { return thread.replicate(index); };
    commands_ = std::make_unique<ConsoleCommands>(
        window_, registry_, dialogs_, runClock, AppPaths::forExecutableDir(dir_.path()), "mirrox", ops,
        SchedulerAccess{[this]() -> TReplicationThread& { return *thread_; }, [this] { thread_->resume(); }});
    window_.show();
    window_.ShowStatus(kResting);
  }
  ~Console() {
    thread_->stopAndWait();
    local_.DB.disconnect();
  }

  // The scheduler's thread object, of the kind given, in place of the one there is (never started).
  template <class Thread>
  void makeThread(TReplicationThread::ReplicateFn replicate) {
    thread_ = std::make_unique<Thread>(window_, registry_, tcp_, local_, runClock, dir_.path(),
                                       std::move(replicate));
  }

  // "Репликация данных" for the object on the first row, run on the GUI thread.
  void replicateFromTheMenu() { window_.actions().replicate->trigger(); }
  // Starts the scheduler and serves its hand-offs until its thread has ended.
  void runSchedulerUntilItEnds() {
    QEventLoop loop;
    QObject::connect(thread_.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120s, &loop, &QEventLoop::quit);  // hang guard
    thread_->resume();
    if (!thread_->isFinished()) loop.exec();
    ASSERT_TRUE(thread_->wait(5000));
    QCoreApplication::processEvents();
  }

  // The texts the bar showed, in order, each once for as long as it stood.
  QStringList barTexts() const {
    QStringList texts;
    for (const Seen& s : seen) {
      if (s.barVisible && (texts.isEmpty() || texts.back() != s.barText)) texts << s.barText;
    }
    return texts;
  }
  bool barEverShown() const {
    return std::any_of(seen.begin(), seen.end(), [](const Seen& s) { return s.barVisible; });
  }
  std::string logFile() const { return testing_support::readFile(logFile_.path()); }

  TempDir dir_;
  ManualClock logClock_{encodeDateTime({2009, 1, 18, 12, 0, 0, 0})};
  ManualClock runClock{encodeDateTime({2009, 1, 18, 12, 0, 0, 0})};
  ScratchDatabase db_;
  EventLogFile logFile_;
  TfrmRepWnd window_;
  ConsoleTray tray_;
  ObjectRegistry registry_;
  TcpClient tcp_;
  LocalConnection local_;
  QtDialogs dialogs_;  // the commands used here open none
  std::unique_ptr<TReplicationThread> thread_;
  std::unique_ptr<ConsoleCommands> commands_;
  std::vector<Seen> seen;
};

// The figures in a bar text "Архивы: 1 600 строк, 53 %", as numbers.
std::pair<int, int> rowsAndPercent(const QString& text) {
  const QStringList parts = QString(text).remove(QChar(0x00A0)).split(' ');
  return {parts.value(1).toInt(), parts.value(3).toInt()};
}

// What a long application of the 3000 archive rows showed: the file's transfer, then rising figures
// of its rows up to the whole file, with the tooltip naming the object and its step meanwhile, and
// no bar once the run has ended.
void expectRisingFiguresOfTheArchivesAndNoBarAtTheEnd(const Console& console) {
  const QStringList archives = console.barTexts().filter(QString::fromUtf8("Архивы: "));
  ASSERT_GE(archives.size(), 3) << console.barTexts().join(" | ").toStdString();
  for (int i = 1; i < archives.size(); ++i) {
    EXPECT_GT(rowsAndPercent(archives[i]).first, rowsAndPercent(archives[i - 1]).first);
    EXPECT_GE(rowsAndPercent(archives[i]).second, rowsAndPercent(archives[i - 1]).second);
  }
  EXPECT_EQ(archives.back(), QString::fromUtf8("Архивы: 3\u00A0000 строк, 100\u00A0%"));
  // The transfer of the archive's file came before its rows, in the same bar.
  EXPECT_TRUE(console.barTexts().first().startsWith(QString::fromUtf8("Файл: ")));
  const auto during = std::find_if(console.seen.begin(), console.seen.end(), [](const Seen& s) {
    return s.barVisible && s.barText.startsWith(QString::fromUtf8("Архивы: "));
  });
  ASSERT_NE(during, console.seen.end());
  EXPECT_EQ(during->toolTip,
            QString::fromUtf8("mirrox\nРепликация: 1. Site\nАрхивы ...\n") + during->barText);

  EXPECT_FALSE(console.window_.progressIndicator()->isVisible());
  EXPECT_FALSE(console.seen.back().barVisible);
  EXPECT_TRUE(console.registry_.at(0).LinkOk);
}

TEST(ConsoleProgress, LongApplicationShowsTheBarWithRisingFiguresAndHidesItAtTheEnd) {
  FakeAgent agent({meteringRun(archive(3000), true)});
  Console console(agent, true);
  console.runClock.advanceOnEveryReading(300ms);
  console.replicateFromTheMenu();
  expectRisingFiguresOfTheArchivesAndNoBarAtTheEnd(console);
  EXPECT_EQ(console.tray_.icon().toolTip(), QString::fromUtf8("mirrox\n") + QString::fromUtf8(kResting));
}

TEST(ConsoleProgress, LongApplicationUnderTheSchedulerShowsRisingFiguresHandedOverAndHidesTheBarAtTheEnd) {
  FakeAgent agent({meteringRun(archive(3000), true)});
  Console console(agent, true);
  console.makeThread<ThreadWaitingForTheWindow>([](TReplicationThread& thread, int index) {
    const int result = ReplicateObject(thread, index);
    thread.requestStop();
    return result;
  });
  console.window_.periodEditor()->setValue(1);
  console.runClock.advanceOnEveryReading(300ms);
  console.runSchedulerUntilItEnds();

  // Every report came from the scheduler's thread, through the queued hand-off.
  const auto& thread = dynamic_cast<const ThreadWaitingForTheWindow&>(*console.thread_);
  EXPECT_GT(thread.reportsQueued(), 3);
  EXPECT_EQ(thread.reportsOnTheGuiThread(), 0);
  expectRisingFiguresOfTheArchivesAndNoBarAtTheEnd(console);
}

TEST(ConsoleProgress, ApplicationThatFailsHidesTheBar) {
  FakeAgent agent({meteringRun(archive(3000, 2500), false)});
  Console console(agent, true);
  console.runClock.advanceOnEveryReading(300ms);
  console.replicateFromTheMenu();

  const QStringList archives = console.barTexts().filter(QString::fromUtf8("Архивы: "));
  ASSERT_FALSE(archives.isEmpty());  // the bar stood while the rows before the bad one went in
  EXPECT_EQ(rowsAndPercent(archives.back()).first, 2400);
  EXPECT_FALSE(console.window_.progressIndicator()->isVisible());
  EXPECT_FALSE(console.registry_.at(0).LinkOk);
  EXPECT_NE(console.window_.logView()->toPlainText().indexOf(QString::fromUtf8("Ошибка - ")), -1);
}

TEST(ConsoleProgress, ShortStepsNeverShowTheBar) {
  FakeAgent agent({meteringRun(archive(20), true)});
  Console console(agent, true);
  // Time passes, but no step of this run lasts a second.
  console.runClock.advanceOnEveryReading(20ms);
  console.replicateFromTheMenu();
  EXPECT_TRUE(console.registry_.at(0).LinkOk);
  EXPECT_FALSE(console.barEverShown());
  // The run was still shown, without figures.
  EXPECT_TRUE(std::any_of(console.seen.begin(), console.seen.end(), [](const Seen& s) {
    return s.toolTip == QString::fromUtf8("mirrox\nРепликация: 1. Site\nАрхивы ...");
  }));
}

TEST(ConsoleProgress, LogAndStatusLineAreTheSameWithAndWithoutProgress) {
  FakeAgent shownAgent({meteringRun(archive(3000), true)});
  FakeAgent unshownAgent({meteringRun(archive(3000), true)});
  Console shown(shownAgent, true);
  Console unshown(unshownAgent, false);
  for (Console* console : {&shown, &unshown}) {
    console->runClock.advanceOnEveryReading(300ms);
    console->replicateFromTheMenu();
  }
  ASSERT_TRUE(shown.barEverShown());
  EXPECT_FALSE(unshown.barEverShown());
  EXPECT_NE(shown.logFile().find(utf8ToCp1251("Архивы ...")), std::string::npos);
  EXPECT_EQ(shown.logFile(), unshown.logFile());
  EXPECT_EQ(shown.window_.logView()->toPlainText(), unshown.window_.logView()->toPlainText());
  EXPECT_EQ(shown.window_.statusLabel()->text(), unshown.window_.statusLabel()->text());
}

TEST(ConsoleProgress, TooltipFollowsTheSchedulersCountdownAndItsRuns) {
  FakeAgent agent({meteringRun(archive(3000), true)});
  std::optional<Console> console;
  console.emplace(agent, true, [&](TReplicationThread& thread, int index) {
    const int result = ReplicateObject(thread, index);
    thread.requestStop();
    return result;
  });
  console->window_.periodEditor()->setValue(1);
  EXPECT_EQ(console->tray_.icon().toolTip(), QString::fromUtf8("mirrox\n") + QString::fromUtf8(kResting));
  console->runClock.advanceOnEveryReading(300ms);
  console->runSchedulerUntilItEnds();

  QStringList toolTips;
  for (const Seen& s : console->seen) {
    if (toolTips.isEmpty() || toolTips.back() != s.toolTip) toolTips << s.toolTip;
  }
  const auto index = [&](const char* text) { return toolTips.indexOf(QString::fromUtf8(text)); };
  const qsizetype countdown =
      toolTips.indexOf(QRegularExpression("^mirrox\nРепликация будет выполнена - 12:0\\d:\\d\\d$"));
  const qsizetype banner = index("mirrox\nР Е П Л И К А Ц И Я    Д А Н Н Ы Х   . . .");
  const qsizetype run = index("mirrox\nРепликация: 1. Site");
  const qsizetype archives = index("mirrox\nРепликация: 1. Site\nАрхивы ...");
  ASSERT_GE(countdown, 0) << toolTips.join(" | ").toStdString();
  EXPECT_LT(countdown, banner);
  EXPECT_LT(banner, run);
  EXPECT_LT(run, archives);
  // After the run the tooltip is the status line's again.
  EXPECT_EQ(toolTips.back(), QString::fromUtf8("mirrox\nР Е П Л И К А Ц И Я    Д А Н Н Ы Х   . . ."));
}

TEST(ConsoleProgress, GuiThreadBusyForTheWholeApplicationDoesNotHoldTheSchedulerBack) {
  FakeAgent agent({});
  std::promise<void> applied;
  std::future<void> appliedFuture = applied.get_future();
  bool appliedWhileTheGuiWasBusy = false;
  std::size_t seenWhenTheGuiWasFree = 0;
  std::optional<Console> console;
  console.emplace(agent, true, [&](TReplicationThread& thread, int index) {
    // The GUI thread takes on something long and comes back only once the rows are in: any wait
    // for it below would never end.
    QMetaObject::invokeMethod(
        &console->window_,
        [&] {
          appliedWhileTheGuiWasBusy = appliedFuture.wait_for(120s) == std::future_status::ready;
          seenWhenTheGuiWasFree = console->seen.size();
        },
        Qt::QueuedConnection);
    const bool failed = ApplyResultFile(thread, index, BatchKind::BatchArchive);
    applied.set_value();
    thread.requestStop();
    return failed ? 1 : 0;
  });
  // The local database upgraded and given its channel before the scheduler starts.
  TReplicationThread& thread = *console->thread_;
  thread.localConnection().DB.setDatabaseName(console->db_.connectionName());
  ASSERT_EQ(OpenLocalDatabase(thread, 0), 0) << thread.StatusText;
  testing_support::writeFile(resultFile(thread), kAddress);
  ASSERT_FALSE(ApplyResultFile(thread, 0, BatchKind::BatchAddress)) << thread.StatusText;
  testing_support::writeFile(resultFile(thread), archive(3000));
  console->window_.periodEditor()->setValue(1);
  console->runClock.advanceOnEveryReading(300ms);
  console->runSchedulerUntilItEnds();

  EXPECT_TRUE(appliedWhileTheGuiWasBusy);
  // Once free, the GUI thread showed the run's end; the progress queued meanwhile was overtaken by
  // the step's end and the run's, so none of it shows.
  ASSERT_GT(console->seen.size(), seenWhenTheGuiWasFree);
  for (std::size_t i = seenWhenTheGuiWasFree; i < console->seen.size(); ++i) {
    EXPECT_FALSE(console->seen[i].barVisible) << console->seen[i].barText.toStdString();
  }
  EXPECT_FALSE(console->window_.progressIndicator()->isVisible());
  EXPECT_TRUE(console->registry_.at(0).LinkOk);
}

}  // namespace
}  // namespace mirrox
