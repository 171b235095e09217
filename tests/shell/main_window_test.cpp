#include "shell/console/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QThread>

#include "link/cp1251.h"
#include "shell/console/console_tray.h"
#include "shell/gui_handoff.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : clock_(encodeDateTime({2009, 1, 18, 12, 0, 0, 0})), logFile_(dir_.path(), clock_), window_(logFile_) {
    window_.setRegistry(&registry_);
  }

  void load(const std::string& ini) {
    testing_support::writeFile(dir_ / "mirrox.ini", utf8ToCp1251(ini));
    registry_.LoadObjects();
  }
  QString cell(int row, int column) const {
    const QTableWidgetItem* item = window_.objectTable()->item(row, column);
    return item == nullptr ? QString() : item->text();
  }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_;
  EventLogFile logFile_;
  TfrmRepWnd window_;
  ObjectRegistry registry_{dir_ / "mirrox.ini", clock_, window_};
};

TEST_F(MainWindowTest, TableHasTheSixColumnsWithTheirHeadersAndLeastWidths) {
  const QTableWidget* table = window_.objectTable();
  const char* headers[] = {"№", "Наименование", "Тип БД", "IP", "Время обновления", "Статус"};
  const int widths[] = {24, 135, 64, 94, 123, 76};
  ASSERT_EQ(table->columnCount(), 6);
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(table->horizontalHeaderItem(c)->text(), QString::fromUtf8(headers[c]));
    EXPECT_GE(table->columnWidth(c), widths[c]);  // wider where the font needs it
  }
  EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_FALSE(table->isSortingEnabled());
  EXPECT_EQ(window_.windowTitle(), QString::fromUtf8("Сервер репликации БД "));
}

TEST_F(MainWindowTest, RowsShowTheObjectsAndFollowTheirLinkState) {
  load(
      "[1]\r\nods=Котельная\r\nhost=10.0.0.1\r\ndtime=18.01.2009 9:05:33\r\n"
      "[2]\r\nods=Диспетчерская\r\ndb_type=1\r\n[3]\r\nods=Странный\r\ndb_type=7\r\n");
  ASSERT_EQ(window_.objectTable()->rowCount(), 3);
  EXPECT_EQ(cell(0, 0), "1");
  EXPECT_EQ(cell(0, 1), QString::fromUtf8("Котельная"));
  EXPECT_EQ(cell(0, 2), QString::fromUtf8("Учет"));
  EXPECT_EQ(cell(0, 3), "10.0.0.1");
  EXPECT_EQ(cell(0, 4), "18.01 09:05");
  EXPECT_EQ(cell(0, 5), "Ok");
  EXPECT_EQ(cell(1, 2), QString::fromUtf8("Заявки"));
  EXPECT_EQ(cell(1, 4), "19.12 12:00");
  EXPECT_EQ(cell(2, 2), QString());  // an unknown type leaves the cell empty

  registry_.at(1).SetLinkOk(false);
  EXPECT_EQ(cell(1, 5), QString::fromUtf8("Ошибка"));
  registry_.at(1).SetLinkOk(true);
  EXPECT_EQ(cell(1, 5), "Ok");
  // Loading logged one numbered line per object, through the same log as everything else.
  EXPECT_NE(testing_support::readFile(logFile_.path()).find(utf8ToCp1251("3. Странный\r\n")),
            std::string::npos);
}

TEST_F(MainWindowTest, LogViewIsEmptiedPastTheLimitWhileTheFileKeepsEveryLine) {
  for (int i = 1; i <= TfrmRepWnd::kMaxLogViewLines; ++i) window_.LogLine("line " + std::to_string(i));
  EXPECT_EQ(window_.logView()->document()->blockCount(), TfrmRepWnd::kMaxLogViewLines);
  window_.LogLine("line 1025");
  EXPECT_TRUE(window_.logView()->toPlainText().isEmpty());
  window_.LogLine("two\r\nlines");
  EXPECT_EQ(window_.logView()->toPlainText(), "two\nlines");
  const std::string file = testing_support::readFile(logFile_.path());
  EXPECT_NE(file.find("line 1025\r\n"), std::string::npos);
  EXPECT_NE(file.find(" two\r\nlines\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, EmptyLineRightAfterTheViewWasEmptiedStillAppears) {
  for (int i = 1; i <= TfrmRepWnd::kMaxLogViewLines + 1; ++i) window_.LogLine("line " + std::to_string(i));
  ASSERT_TRUE(window_.logView()->toPlainText().isEmpty());
  window_.LogLine("");
  window_.LogLine("-------");
  EXPECT_EQ(window_.logView()->toPlainText(), "\n-------");
  EXPECT_EQ(window_.logView()->document()->blockCount(), 2);
  window_.LogLine("");
  window_.LogLine("");
  EXPECT_EQ(window_.logView()->toPlainText(), "\n-------\n\n");
}

TEST_F(MainWindowTest, StatusLineShowsALeadingBlank) {
  window_.ShowStatus("Приложение запущено в режиме настройки карты");
  EXPECT_EQ(window_.statusLabel()->text(),
            QString::fromUtf8(" Приложение запущено в режиме настройки карты"));
}

TEST_F(MainWindowTest, ScheduleControlsFollowPeriodAndNightFlag) {
  load("[Main]\r\nperiod=500\r\nchk=1\r\n");
  EXPECT_EQ(window_.period(), 240);  // brought to the nearer bound
  EXPECT_TRUE(window_.night());
  EXPECT_FALSE(window_.nightBox()->isEnabled());
  EXPECT_FALSE(window_.periodEditor()->isEnabled());
  load("[Main]\r\nperiod=0\r\nchk=0\r\n");
  EXPECT_EQ(window_.period(), 1);
  EXPECT_FALSE(window_.night());
  EXPECT_TRUE(window_.periodEditor()->isEnabled());
}

TEST_F(MainWindowTest, TypedPeriodIsBroughtToTheNearerBoundAndAnythingButANumberCountsAsOne) {
  QSpinBox* editor = window_.periodEditor();
  const std::pair<const char*, int> cases[] = {{"500", 240}, {"0", 1},    {"-7", 1},  {"", 1},
                                               {"abc", 1},   {"1x", 1},   {"37", 37}, {"99999999999", 240},
                                               {"007", 7},   {"240", 240}};
  for (const auto& [typed, expected] : cases) {
    editor->setValue(10);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClicks(editor, typed);
    // Read while the operator is still in the field, as the scheduler and the exit step may.
    EXPECT_EQ(window_.period(), expected) << typed;
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(editor->text(), QString::number(expected)) << typed;
  }
}

TEST_F(MainWindowTest, LinesHandedOffFromAnotherThreadReachTheLogInOrderOnTheGuiThread) {
  std::vector<bool> ranOnGuiThread;
  QThread* worker = QThread::create([&] {
    for (int i = 1; i <= 3; ++i) {
      const std::string text = "Репликации данных " + std::to_string(i);
      runOnGuiThread(&window_, [&] { window_.LogLine(text); });
      runOnGuiThread(&window_,
                     [&] { ranOnGuiThread.push_back(QThread::currentThread() == window_.thread()); });
    }
  });
  QEventLoop loop;
  QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();  // serves the hand-offs, as the GUI thread does while it waits for the scheduler
  worker->wait();
  delete worker;
  EXPECT_EQ(window_.logView()->toPlainText(),
            QString::fromUtf8("Репликации данных 1\nРепликации данных 2\nРепликации данных 3"));
  EXPECT_EQ(ranOnGuiThread, (std::vector<bool>{true, true, true}));
  // On the GUI thread itself the call runs at once.
  bool ran = false;
  runOnGuiThread(&window_, [&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST_F(MainWindowTest, TrayBringsTheWindowBackOnASingleActivationOrADoubleClick) {
  ConsoleTray tray(window_, "mirrox");
  for (const auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
    window_.show();
    window_.hide();
    emit tray.icon().activated(reason);
    EXPECT_TRUE(window_.isVisible()) << reason;
  }
  window_.hide();
  emit tray.icon().activated(QSystemTrayIcon::Context);  // opens the menu instead
  EXPECT_FALSE(window_.isVisible());
  ASSERT_EQ(tray.icon().contextMenu()->actions(),
            (QList<QAction*>{tray.restoreAction(), tray.closeAction()}));
  tray.restoreAction()->trigger();
  EXPECT_TRUE(window_.isVisible());
}

TEST_F(MainWindowTest, TrayMenuAsksToCloseAsTheCloseButtonDoesWithItsRefusal) {
  int asked = 0;
  window_.setCloseDecider([&] { return ++asked > 1; });  // refused while the scheduler runs
  ConsoleTray tray(window_, "mirrox");
  window_.show();
  tray.closeAction()->trigger();
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.logView()->toPlainText(), QString::fromUtf8("Запрос на завершение приложения ..."));
  EXPECT_EQ(window_.statusLabel()->text(), QString::fromUtf8(" Завершение приложения. Пожалуйста ждите!!!"));
  tray.closeAction()->trigger();
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(asked, 2);
}

TEST_F(MainWindowTest, CloseRefusedWhileTheSchedulerRunsIsLoggedAndShown) {
  int asked = 0;
  window_.setCloseDecider([&] { return ++asked > 1; });  // refuses the first close only
  window_.show();
  EXPECT_FALSE(window_.close());
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.statusLabel()->text(), QString::fromUtf8(" Завершение приложения. Пожалуйста ждите!!!"));
  EXPECT_EQ(window_.logView()->toPlainText(), QString::fromUtf8("Запрос на завершение приложения ..."));
  EXPECT_TRUE(window_.close());
  EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace mirrox
