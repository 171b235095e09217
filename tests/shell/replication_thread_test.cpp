#include "shell/replication_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "engine/local_connection.h"
#include "link/tcp_client.h"
#include "shell/object_registry.h"
#include "tests/support/fake_scheduler_console.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;

using testing_support::FakeSchedulerConsole;

constexpr char kBanner[] = "Р Е П Л И К А Ц И Я    Д А Н Н Ы Х   . . .";

class SchedulerTest : public ::testing::Test {
 protected:
  SchedulerTest() : clock_(encodeDateTime({2009, 1, 18, 12, 0, 0, 0})) {}

  void objects(int count) {
    std::string ini;
    for (int i = 1; i <= count; ++i)
      ini += "[" + std::to_string(i) + "]\r\nods=N" + std::to_string(i) + "\r\n";
    testing_support::writeFile(dir_ / "mirrox.ini", ini);
    registry_.LoadObjects();
  }

  // Runs the thread until it ends, serving its hand-offs like the GUI thread does.
  void runUntilEnded(TReplicationThread& thread) {
    ASSERT_TRUE(testing_support::runSchedulerToItsEnd(thread, 60s));
  }

  DateTime at(int h, int m, int s) const { return encodeDateTime({2009, 1, 18, h, m, s, 0}); }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_;
  FakeSchedulerConsole console_;
  ObjectRegistry registry_{dir_ / "mirrox.ini", clock_, console_};
  TcpClient tcp_;
  LocalConnection local_;
};

TEST_F(SchedulerTest, FirstCycleComesOnePeriodAfterStartAndTheNextOnePeriodAfterItsEnd) {
  objects(1);
  std::vector<DateTime> runs;
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [&](TReplicationThread& t, int) {
                              runs.push_back(clock_.now());
                              clock_.advance(3min);  // a cycle that takes three minutes
                              if (runs.size() == 2) t.requestStop();
                              return 0;
                            });
  runUntilEnded(thread);

  ASSERT_EQ(runs.size(), 2u);
  EXPECT_GE(runs[0], at(12, 10, 0));
  EXPECT_LT(runs[0], at(12, 10, 2));
  EXPECT_GE(runs[1], at(12, 23, 0));
  EXPECT_LT(runs[1], at(12, 23, 2));
  ASSERT_GE(console_.statuses.size(), 2u);
  EXPECT_EQ(console_.statuses.front(), "Репликация будет выполнена - 12:10:00");
  EXPECT_NE(std::find(console_.statuses.begin(), console_.statuses.end(), kBanner), console_.statuses.end());
  EXPECT_EQ(console_.locks, 1);
  EXPECT_EQ(console_.ended, 1);
  // A successful run shows the new time.
  EXPECT_EQ(registry_.at(0).LastReplicationText, "18.01 12:26");
}

TEST_F(SchedulerTest, StopWhileTheFifthOfTenReplicatesLeavesTheRestUnrun) {
  objects(10);
  for (int i = 0; i < 10; ++i) registry_.at(i).SetLastReplicationTime(at(1, 0, 0));
  std::vector<int> ran;
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [&](TReplicationThread& t, int index) {
                              ran.push_back(index);
                              if (index == 4) {
                                t.requestStop();  // the operator closes the program meanwhile
                                return 1;
                              }
                              return 0;
                            });
  runUntilEnded(thread);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(registry_.at(3).LinkOk);
  EXPECT_FALSE(registry_.at(4).LinkOk);  // the fifth gets its result
  EXPECT_EQ(registry_.at(4).LastReplicationTime, at(1, 0, 0));
  EXPECT_EQ(registry_.at(5).LastReplicationTime, at(1, 0, 0));
  EXPECT_TRUE(registry_.at(5).LinkOk);
  EXPECT_EQ(console_.ended, 1);
}

TEST_F(SchedulerTest, RunThatThrowsKeepsTheObjectsStatusAndTimeAndTheCycleGoesOn) {
  objects(3);
  registry_.at(0).SetLinkOk(false);
  registry_.at(0).SetLastReplicationTime(at(1, 0, 0));
  std::vector<int> ran;
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [&](TReplicationThread& t, int index) {
                              ran.push_back(index);
                              if (index == 0) throw std::runtime_error("escaped");
                              if (index == 2) t.requestStop();
                              return index == 1 ? 0 : 7;
                            });
  runUntilEnded(thread);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(registry_.at(0).LinkOk);
  EXPECT_EQ(registry_.at(0).LastReplicationTime, at(1, 0, 0));
  EXPECT_TRUE(registry_.at(1).LinkOk);
  EXPECT_FALSE(registry_.at(2).LinkOk);
}

TEST_F(SchedulerTest, CountdownShowsTheTimeOfDayPastMidnight) {
  clock_.set(at(22, 30, 0));
  console_.periodMinutes = 240;
  objects(0);
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [](TReplicationThread&, int) { return 0; });
  console_.onStatus = [&](const std::string&) { thread.requestStop(); };
  runUntilEnded(thread);
  ASSERT_FALSE(console_.statuses.empty());
  EXPECT_EQ(console_.statuses.front(), "Репликация будет выполнена - 02:30:00");
}

TEST_F(SchedulerTest, EmptyListShowsTheBannerAndSchedulesTheNextCycle) {
  console_.periodMinutes = 1;
  objects(0);
  int banners = 0;
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [](TReplicationThread&, int) { return 0; });
  console_.onStatus = [&](const std::string& text) {
    if (text == kBanner && ++banners == 2) thread.requestStop();
  };
  runUntilEnded(thread);
  EXPECT_EQ(banners, 2);
  EXPECT_GE(clock_.now(), at(12, 2, 0));
}

TEST_F(SchedulerTest, ThreadReleasedWithoutEverRunningEndsWithoutACycle) {
  objects(2);
  int runs = 0;
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [&](TReplicationThread&, int) {
                              ++runs;
                              return 0;
                            });
  EXPECT_TRUE(thread.suspended());
  thread.stopAndWait();
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(console_.locks, 1);
  EXPECT_TRUE(thread.isFinished());
}

TEST_F(SchedulerTest, PublishedStatusReachesTheLogFromTheSchedulerThreadAndDirectlyWhileSuspended) {
  objects(1);
  TReplicationThread thread(console_, registry_, tcp_, local_, clock_, dir_.path(),
                            [&](TReplicationThread& t, int) {
                              t.StatusText = "Репликации данных \r\n1 N1";
                              t.publishStatus();
                              t.requestStop();
                              return 0;
                            });
  thread.StatusText = "while suspended";
  thread.publishStatus();
  EXPECT_EQ(console_.log, (std::vector<std::string>{"while suspended"}));
  console_.periodMinutes = 1;
  runUntilEnded(thread);
  EXPECT_EQ(console_.log.back(), "Репликации данных \r\n1 N1");
}

}  // namespace
}  // namespace mirrox
