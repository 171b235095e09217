// The console's commands on real widgets (offscreen), with a seam that answers the modal dialogs.
#include "shell/console/console_commands.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <map>
#include <memory>

#include "engine/local_connection.h"
#include "link/cp1251.h"
#include "link/pinger2.h"
#include "link/send_command.h"
#include "link/tcp_client.h"
#include "mirrox_version.h"
#include "shell/console/about_box.h"
#include "shell/console/dialogs.h"
#include "shell/console/main_window.h"
#include "shell/console/set_form.h"
#include "shell/run_monitor.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_agent.h"
#include "tests/support/fake_scheduler_console.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::FakeAgent;
using testing_support::Script;

struct Box {
  QString text;
  QString caption;
};

class ScriptedDialogs : public Dialogs {
 public:
  void message(QWidget*, const QString& text, const QString& caption) override {
    boxes.push_back({text, caption});
    if (onMessage) onMessage();
  }
  void error(QWidget*, const QString& text) override { errors.push_back(text); }
  bool exec(QDialog& dialog) override {
    ++shown;
    if (answer) answer(dialog);
    return dialog.result() == QDialog::Accepted;
  }
  std::optional<QString> inputText(QWidget*, const QString& caption, const QString& prompt,
                                   const QString&) override {
    inputs.push_back(caption + "|" + prompt);
    return nextInput;
  }
  std::optional<QString> openFileName(QWidget*, const QString&) override { return std::nullopt; }

  std::function<void(QDialog&)> answer;
  std::function<void()> onMessage;  // called as each message box shows
  std::optional<QString> nextInput;
  std::vector<Box> boxes;
  std::vector<QString> errors;
  std::vector<QString> inputs;
  int shown = 0;
};

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest()
      : clock_(encodeDateTime({2009, 1, 18, 12, 0, 0, 0})),
        logFile_(dir_.path(), clock_),
        window_(logFile_),
        registry_(dir_ / "mirrox.ini", clock_, window_),
        paths_(AppPaths::forExecutableDir(dir_.path())) {
    window_.setRegistry(&registry_);
    ops_.checkConnection = [](TReplicationThread& t, int i) { return CheckConnection(t, i); };
    // The probe itself is tested in link; here it answers as scripted per host.
    ops_.ping = [this](const std::string& host, int timeoutMs, PingFailure* failure) {
      pings_.push_back(host + " " + std::to_string(timeoutMs));
      const auto answer = pingAnswers_.find(host);
      if (answer == pingAnswers_.end()) return 0;
      if (failure != nullptr) *failure = answer->second;
      return -1;
    };
    ops_.replicate = [this](TReplicationThread&, int i) {
      replicated_.push_back(i);
      return i == 1 ? 1 : 0;
    };
    ops_.replicateSinceDate = [this](TReplicationThread&, int i, const std::string& date) {
      sinceDates_.push_back(std::to_string(i) + " " + date);
      return 0;
    };
    ops_.prepare = [this](TReplicationThread&, int i) { prepared_.push_back(i); };
    ops_.disconnectLocalDatabase = [this] { ++localDisconnects_; };
    ops_.lockWorkstation = [this] { ++locks_; };
  }
  ~ConsoleTest() override {
    if (thread_) thread_->stopAndWait();
  }

  void load(const std::string& ini) {
    testing_support::writeFile(dir_ / "mirrox.ini", utf8ToCp1251(ini));
    registry_.LoadObjects();
    window_.objectTable()->setRowCount(registry_.count());
    makeCommands();
  }
  // The commands with the operations of `ops_` as they are now.
  void makeCommands() {
    commands_ = std::make_unique<ConsoleCommands>(
        window_, registry_, dialogs_, clock_, paths_, "mirrox", ops_,
        SchedulerAccess{[this]() -> TReplicationThread& { return thread(); }, [this] { thread().resume(); }});
  }
  TReplicationThread& thread() {
    if (!thread_) {
      thread_ = std::make_unique<TReplicationThread>(window_, registry_, tcp_, local_, clock_, dir_.path(),
                                                     replicate_);
    }
    return *thread_;
  }
  // A press on the row, as the operator makes it the object of the table's commands.
  void selectRow(int row) {
    QTest::mouseClick(window_.objectTable()->viewport(), Qt::LeftButton, {},
                      window_.objectTable()->visualItemRect(window_.objectTable()->item(row, 1)).center());
  }
  // The lines the ping command added to the log view.
  QStringList pingLines() const {
    return window_.logView()->toPlainText().split('\n').filter(QString::fromUtf8("Проверка сети (ping)"));
  }
  std::string ini() const { return cp1251ToUtf8(testing_support::readFile(dir_ / "mirrox.ini")); }
  QString cell(int row, int column) const {
    const QTableWidgetItem* item = window_.objectTable()->item(row, column);
    return item == nullptr ? QString() : item->text();
  }
  // Fills the properties dialog as an operator would and presses OK.
  void answerProperties(const QString& ip, const QString& port, const QString& name = "Новый",
                        bool journal = false) {
    dialogs_.answer = [=, this](QDialog& dialog) {
      auto& form = dynamic_cast<TSetForm&>(dialog);
      typeEnabled_ = form.rbJournal->isEnabled();
      if (journal) QTest::mouseClick(form.rbJournal, Qt::LeftButton);
      form.eName->clear();
      form.eName->insert(name);  // the test key map knows Latin keys only
      form.eIP->clear();
      QTest::keyClicks(form.eIP, ip);
      QLineEdit* portText = form.ePort->findChild<QLineEdit*>();
      portText->clear();
      QTest::keyClicks(portText, port);
      QTest::mouseClick(form.okButton, Qt::LeftButton);
    };
  }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_;
  EventLogFile logFile_;
  TfrmRepWnd window_;
  ObjectRegistry registry_;
  AppPaths paths_;
  TcpClient tcp_;
  LocalConnection local_;
  ScriptedDialogs dialogs_;
  ConsoleOperations ops_;
  // Hosts whose probe fails, with why; every other host answers.
  std::map<std::string, PingFailure> pingAnswers_;
  std::vector<std::string> pings_;  // "host timeout" of every probe
  std::vector<int> replicated_;
  std::vector<std::string> sinceDates_;
  std::vector<int> prepared_;
  int localDisconnects_ = 0;
  int locks_ = 0;
  bool typeEnabled_ = false;
  // The thread object's run, for the scheduler's runs and for console operations bound to it.
  TReplicationThread::ReplicateFn replicate_ = [](TReplicationThread&, int) { return 0; };
  std::unique_ptr<ConsoleCommands> commands_;
  std::unique_ptr<TReplicationThread> thread_;
};

TEST_F(ConsoleTest, AddWithMissingRegistrationDataShowsTheErrorBoxAndWritesNothing) {
  load("[4]\r\nods=a\r\n");
  const std::string before = ini();
  for (const auto& [ip, port] :
       std::vector<std::pair<QString, QString>>{{"", "5029"}, {"10.0.0.1", "0"}, {"10.0.0.1", ""}}) {
    answerProperties(ip, port);
    window_.actions().addObject->trigger();
  }
  EXPECT_EQ(dialogs_.errors,
            (std::vector<QString>(3, QString::fromUtf8("Указаны не все регистрационные данные"))));
  EXPECT_EQ(registry_.count(), 1);
  EXPECT_EQ(window_.objectTable()->rowCount(), 1);
  EXPECT_EQ(ini(), before);
}

TEST_F(ConsoleTest, AddAppendsARowAndASectionAfterTheHighest) {
  load("[4]\r\nods=a\r\n[9]\r\nods=b\r\n");
  answerProperties("192.168.100.200:5029", "5030", "Котельная", true);
  window_.actions().addObject->trigger();
  ASSERT_EQ(registry_.count(), 3);
  EXPECT_TRUE(typeEnabled_);
  EXPECT_EQ(cell(2, 0), "3");
  EXPECT_EQ(cell(2, 2), QString::fromUtf8("Заявки"));
  EXPECT_EQ(cell(2, 3), "192.168.100.200");  // the first 15 of 20 characters
  EXPECT_EQ(cell(2, 4), "19.12 12:00");
  EXPECT_EQ(cell(2, 5), "Ok");
  const std::string section = ini().substr(ini().find("[10]"));
  EXPECT_EQ(section, "[10]\r\nods=Котельная\r\nhost=192.168.100.200:5029\r\nport=5030\r\ndb_path=" +
                         (dir_ / "DB" / "journal.db").string() +
                         "\r\nremote_db_path=C:\\1Tovin\\Kardo Vedar\\VEDAR\\journal.db\r\ndb_type=1\r\n");
}

TEST_F(ConsoleTest, EditChangesRowAndFileButNotTypeStatusOrTime) {
  load("[1]\r\nods=a\r\nhost=10.0.0.1\r\nport=5029\r\ndb_path=/x.gdb\r\ndb_type=1\r\n[2]\r\nods=b\r\n");
  registry_.at(0).SetLinkOk(false);
  const DateTime time = registry_.at(0).LastReplicationTime;
  answerProperties("10.0.0.2", "6000", "Изменено");
  window_.actions().properties->trigger();
  EXPECT_FALSE(typeEnabled_);
  EXPECT_EQ(cell(0, 1), QString::fromUtf8("Изменено"));
  EXPECT_EQ(cell(0, 3), "10.0.0.2");
  EXPECT_EQ(cell(0, 5), QString::fromUtf8("Ошибка"));
  EXPECT_EQ(registry_.at(0).LastReplicationTime, time);
  EXPECT_EQ(registry_.at(0).DbType, 1);
  EXPECT_NE(ini().find("[1]\r\nods=Изменено\r\nhost=10.0.0.2\r\nport=6000\r\ndb_path=/x.gdb\r\n"),
            std::string::npos)
      << ini();
  EXPECT_EQ(registry_.count(), 2);
}

TEST_F(ConsoleTest, AddRefillsThePathsOnlyWhenTheTypeChanges) {
  load("");
  std::vector<QString> seen;
  dialogs_.answer = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TSetForm&>(dialog);
    auto type = [&](QLineEdit* field, const QString& text) {
      field->clear();
      QTest::keyClicks(field, text);
    };
    auto paths = [&] { seen.push_back(form.edtRemoteDBPath->text() + "|" + form.edtf1->text()); };
    type(form.edtRemoteDBPath, "/site/original.gdb");
    type(form.edtf1, "/srv/db/mine.gdb");
    QTest::mouseClick(form.rbMetering, Qt::LeftButton);  // the type already chosen
    paths();
    QTest::mouseClick(form.rbJournal, Qt::LeftButton);
    paths();
    type(form.edtf1, "/srv/db/j.db");
    QTest::mouseClick(form.rbJournal, Qt::LeftButton);
    paths();
    type(form.eIP, "10.0.0.1");
    QTest::mouseClick(form.okButton, Qt::LeftButton);
  };
  window_.actions().addObject->trigger();
  const QString journalDefault = QString::fromStdString((dir_ / "DB" / "journal.db").string());
  EXPECT_EQ(seen, (std::vector<QString>{"/site/original.gdb|/srv/db/mine.gdb",
                                        "C:\\1Tovin\\Kardo Vedar\\VEDAR\\journal.db|" + journalDefault,
                                        "C:\\1Tovin\\Kardo Vedar\\VEDAR\\journal.db|/srv/db/j.db"}));
  EXPECT_NE(ini().find("db_path=/srv/db/j.db\r\n"), std::string::npos) << ini();
}

TEST_F(ConsoleTest, CancelledDialogChangesNothing) {
  load("[1]\r\nods=a\r\n");
  const std::string before = ini();
  dialogs_.answer = [](QDialog& dialog) {
    QTest::mouseClick(dynamic_cast<TSetForm&>(dialog).cancelButton, Qt::LeftButton);
  };
  window_.actions().addObject->trigger();
  window_.actions().properties->trigger();
  EXPECT_EQ(dialogs_.shown, 2);
  EXPECT_EQ(registry_.count(), 1);
  EXPECT_EQ(ini(), before);
}

TEST_F(ConsoleTest, CheckAllSummarisesEveryObjectAndMarksTheUnreachableOne) {
  FakeAgent first({Script().reply("Ok").reply("Ok")});
  FakeAgent third({Script().reply("Ok").reply("Ok")});
  int closedPort = 0;
  {
    FakeAgent gone({});
    closedPort = gone.port();
  }
  load("[1]\r\nods=Первый\r\nhost=127.0.0.1\r\nport=" + std::to_string(first.port()) +
       "\r\n[2]\r\nods=Второй\r\nhost=127.0.0.1\r\nport=" + std::to_string(closedPort) +
       "\r\n[3]\r\nods=Третий\r\nhost=127.0.0.1\r\nport=" + std::to_string(third.port()) + "\r\n");
  window_.actions().checkAll->trigger();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].caption, QString::fromUtf8("Состояние компьютерной сети"));
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Первый OK \r\nВторой Ошибка\r\nТретий OK \r\n"));
  EXPECT_EQ(cell(1, 5), QString::fromUtf8("Ошибка"));
  EXPECT_EQ(cell(2, 5), "Ok");
  EXPECT_EQ(window_.statusLabel()->text(),
            QString::fromUtf8(" Приложение запущено в режиме настройки карты"));
  EXPECT_TRUE(window_.startButton()->isEnabled());
}

TEST_F(ConsoleTest, ConnectionCheckAndPingOfTheSelectedObject) {
  FakeAgent agent({Script().reply("Ok").reply("Ok")});
  load("[1]\r\nods=a\r\nhost=127.0.0.1\r\nport=" + std::to_string(agent.port()) + "\r\n");
  window_.actions().checkConnection->trigger();
  window_.actions().ping->trigger();
  // One probe of the object's host, with the console's two-second limit.
  EXPECT_EQ(pings_, (std::vector<std::string>{"127.0.0.1 2000"}));
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Успешное соединение"));
  EXPECT_EQ(dialogs_.boxes[0].caption, "mirrox");
  EXPECT_EQ(dialogs_.boxes[1].text, QString::fromUtf8("Успешно"));
  EXPECT_EQ(cell(0, 5), "Ok");
  window_.actions().checkConnection->trigger();  // the agent takes no second connection
  EXPECT_EQ(dialogs_.boxes.back().text, QString::fromUtf8("Соединение невозможно"));
  EXPECT_EQ(cell(0, 5), QString::fromUtf8("Ошибка"));
}

TEST_F(ConsoleTest, PingThatFailsForALocalReasonLogsTheReasonBesideTheBox) {
  pingAnswers_["192.0.2.10"] = {true, "нет маршрута к адресу (Network is unreachable)"};
  pingAnswers_["site.example"] = {true, "не адрес IPv4: \"site.example\""};
  load("[1]\r\nods=a\r\nhost=192.0.2.10\r\n[2]\r\nods=b\r\nhost=site.example\r\n");
  window_.actions().ping->trigger();
  selectRow(1);
  window_.actions().ping->trigger();
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Ошибка"));
  EXPECT_EQ(cell(0, 5), QString::fromUtf8("Ошибка"));
  const QStringList lines = pingLines();
  ASSERT_EQ(lines.size(), 2) << window_.logView()->toPlainText().toStdString();
  EXPECT_TRUE(
      lines[0].startsWith(QString::fromUtf8("Проверка сети (ping) 192.0.2.10: нет маршрута к адресу (")))
      << lines[0].toStdString();
  EXPECT_EQ(lines[1],
            QString::fromUtf8("Проверка сети (ping) site.example: не адрес IPv4: \"site.example\""));
}

TEST_F(ConsoleTest, PingOfAHostThatDoesNotAnswerLogsNothingBesideTheBox) {
  pingAnswers_["10.213.20.2"] = {false, "нет ответа за отведенное время"};
  load("[1]\r\nods=a\r\nhost=10.213.20.2\r\n");
  window_.actions().ping->trigger();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Ошибка"));
  EXPECT_TRUE(pingLines().isEmpty()) << window_.logView()->toPlainText().toStdString();
}

TEST_F(ConsoleTest, ReplicateSelectedSetsStatusAndTimeOnlyOnSuccess) {
  load("[1]\r\nods=a\r\n[2]\r\nods=b\r\n");
  window_.actions().replicate->trigger();
  EXPECT_EQ(cell(0, 4), "18.01 12:00");
  selectRow(1);
  EXPECT_EQ(window_.SelectedIndex(), 1);
  window_.actions().replicate->trigger();
  EXPECT_EQ(replicated_, (std::vector<int>{0, 1}));
  EXPECT_EQ(cell(1, 5), QString::fromUtf8("Ошибка"));
  EXPECT_EQ(cell(1, 4), "19.12 12:00");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(ConsoleTest, SinceDateAcceptsOnlyAWholeDateFromEighteenthOfJanuary2000) {
  load("[1]\r\nods=a\r\n");
  for (const char* text : {"17.01.2000", "31.02.2010", "18.01.2000'", "1.1.10", ""}) {
    dialogs_.nextInput = QString::fromUtf8(text);
    window_.actions().replicateSinceDate->trigger();
  }
  EXPECT_EQ(dialogs_.boxes.size(), 5u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Не верный формат даты"));
  dialogs_.nextInput = "18.01.2000";
  window_.actions().replicateSinceDate->trigger();
  dialogs_.nextInput.reset();  // cancel
  window_.actions().replicateSinceDate->trigger();
  EXPECT_EQ(sinceDates_, (std::vector<std::string>{"0 18.01.2000"}));
  EXPECT_EQ(dialogs_.inputs.front(),
            QString::fromUtf8("Запрос архива с указанной даты|Введите дату в формате ДД.ММ.ГГГГ"));
}

TEST_F(ConsoleTest, EmptyTableIgnoresObjectCommandsButRemoveStillAnswers) {
  load("");
  EXPECT_EQ(window_.SelectedIndex(), -1);
  dialogs_.nextInput = "18.01.2009";
  for (QAction* action :
       {window_.actions().properties, window_.actions().checkConnection, window_.actions().ping,
        window_.actions().replicate, window_.actions().replicateSinceDate, window_.actions().prepare}) {
    action->trigger();
  }
  EXPECT_EQ(dialogs_.shown, 0);
  EXPECT_TRUE(dialogs_.inputs.empty());
  EXPECT_TRUE(replicated_.empty());
  EXPECT_TRUE(prepared_.empty());
  window_.actions().remove->trigger();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Недоступно в данной версии!"));
}

TEST_F(ConsoleTest, BusyStateLeavesOnlyHelpAndClose) {
  load("[1]\r\nods=a\r\n");
  window_.SetBusy(true);
  EXPECT_FALSE(window_.startButton()->isEnabled());
  EXPECT_FALSE(window_.objectTable()->isEnabled());
  EXPECT_FALSE(window_.fileMenu()->menuAction()->isEnabled());
  EXPECT_FALSE(window_.extraMenu()->menuAction()->isEnabled());
  EXPECT_FALSE(window_.periodEditor()->isEnabled());
  EXPECT_FALSE(window_.contextMenuAvailable());
  EXPECT_TRUE(window_.helpMenu()->menuAction()->isEnabled());
  window_.SetBusy(false);
  EXPECT_TRUE(window_.startButton()->isEnabled());
  EXPECT_TRUE(window_.objectTable()->isEnabled());
  EXPECT_TRUE(window_.extraMenu()->menuAction()->isEnabled());
  EXPECT_TRUE(window_.periodEditor()->isEnabled());
  EXPECT_TRUE(window_.contextMenuAvailable());
}

TEST_F(ConsoleTest, ReplicateAllLogsTheSummaryAndLocksTheConsoleForTheScheduler) {
  load("[1]\r\nods=Первый\r\n[2]\r\nods=Второй\r\n");
  const std::string timeBefore = registry_.at(0).LastReplicationText;
  window_.actions().replicateAll->trigger();
  EXPECT_EQ(replicated_, (std::vector<int>{0, 1}));
  EXPECT_EQ(registry_.at(0).LastReplicationText, timeBefore);
  const std::string log = cp1251ToUtf8(testing_support::readFile(logFile_.path()));
  EXPECT_NE(log.find("Результат репликации всех ОДС:\r\nПервый OK \r\nВторой Ошибка\r\n\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("12:00:00 \r\nOk-----\r\n"), std::string::npos);
  EXPECT_NE(log.find("Запуск основного потока репликации...\r\n"), std::string::npos);

  ASSERT_TRUE(thread_ && !thread_->suspended());
  ASSERT_TRUE(testing_support::eventually([&] {
    QCoreApplication::processEvents();
    return !window_.startButton()->isEnabled();
  }));
  EXPECT_FALSE(window_.startButton()->isEnabled());
  EXPECT_FALSE(window_.fileMenu()->menuAction()->isEnabled());
  EXPECT_FALSE(window_.periodEditor()->isEnabled());
  EXPECT_FALSE(window_.contextMenuAvailable());
  EXPECT_TRUE(window_.extraMenu()->menuAction()->isEnabled());
  EXPECT_TRUE(window_.helpMenu()->menuAction()->isEnabled());
  EXPECT_TRUE(window_.objectTable()->isEnabled());
}

TEST_F(ConsoleTest, StartButtonDisconnectsTheLocalDatabaseAndStartsTheScheduler) {
  load("[1]\r\nods=a\r\n");
  QTest::mouseClick(window_.startButton(), Qt::LeftButton);
  EXPECT_EQ(localDisconnects_, 1);
  ASSERT_TRUE(thread_);
  EXPECT_FALSE(thread_->suspended());
}

TEST_F(ConsoleTest, OtherCommandsReachTheirOperations) {
  load("[1]\r\nods=a\r\n");
  window_.actions().prepare->trigger();
  window_.actions().lockComputer->trigger();
  EXPECT_EQ(prepared_, (std::vector<int>{0}));
  EXPECT_EQ(locks_, 1);
  dialogs_.answer = [](QDialog& dialog) {
    auto& about = dynamic_cast<TAboutBox&>(dialog);
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("О программе..."));
    // The one version of the build, as --version and the log show it.
    EXPECT_EQ(about.versionLabel()->text(),
              QString::fromUtf8("Версия: ") + QString::fromLatin1(kMirroxVersion));
    about.accept();
  };
  window_.actions().about->trigger();
  EXPECT_EQ(dialogs_.shown, 1);
}

TEST_F(ConsoleTest, ErrorInsideReplicateAllEndsTheCommandWithoutSummaryOrScheduler) {
  load("[1]\r\nods=Первый\r\n[2]\r\nods=Второй\r\n[3]\r\nods=Третий\r\n");
  ops_.replicate = [this](TReplicationThread&, int i) -> int {
    replicated_.push_back(i);
    if (i == 1) throw std::runtime_error("Ошибка в ходе репликации");
    return 0;
  };
  makeCommands();
  window_.actions().replicateAll->trigger();
  EXPECT_EQ(replicated_, (std::vector<int>{0, 1}));
  const QString view = window_.logView()->toPlainText();
  EXPECT_NE(view.indexOf(QString::fromUtf8("Ошибка в ходе репликации")), -1);
  EXPECT_EQ(view.indexOf(QString::fromUtf8("Результат репликации всех ОДС")), -1) << view.toStdString();
  EXPECT_EQ(view.indexOf("Ok-----"), -1);
  EXPECT_EQ(view.indexOf(QString::fromUtf8("Запуск основного потока репликации")), -1);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Ошибка в ходе репликации"));
  EXPECT_EQ(dialogs_.boxes[0].caption, "mirrox");
  EXPECT_TRUE(!thread_ || thread_->suspended());
  EXPECT_EQ(window_.statusLabel()->text(),
            QString::fromUtf8(" Приложение запущено в режиме настройки карты"));
  EXPECT_TRUE(window_.startButton()->isEnabled());
  EXPECT_TRUE(window_.fileMenu()->menuAction()->isEnabled());
  EXPECT_TRUE(window_.contextMenuAvailable());
}

TEST_F(ConsoleTest, OperationThatThrowsStillReturnsTheConsoleToIdle) {
  load("[1]\r\nods=a\r\n");
  ops_.replicate = [](TReplicationThread&, int) -> int {
    throw std::runtime_error("Ошибка в ходе репликации");
  };
  makeCommands();
  // The box comes once the console is idle again.
  std::vector<QString> statusWhenShown;
  dialogs_.onMessage = [&] { statusWhenShown.push_back(window_.statusLabel()->text()); };
  window_.actions().replicate->trigger();
  EXPECT_TRUE(window_.startButton()->isEnabled());
  EXPECT_EQ(window_.statusLabel()->text(),
            QString::fromUtf8(" Приложение запущено в режиме настройки карты"));
  EXPECT_NE(window_.logView()->toPlainText().indexOf(QString::fromUtf8("Ошибка в ходе репликации")), -1);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromUtf8("Ошибка в ходе репликации"));
  EXPECT_EQ(dialogs_.boxes[0].caption, "mirrox");
  EXPECT_EQ(statusWhenShown,
            std::vector<QString>{QString::fromUtf8(" Приложение запущено в режиме настройки карты")});
}

TEST_F(ConsoleTest, EveryRunThatReturnsIsRecordedOnceItsObjectShowsTheOutcome) {
  std::vector<QString> recorded;  // the object and its status as each run was recorded
  ops_.runRecorded = [&](int i) { recorded.push_back(QString::number(i) + " " + cell(i, 5)); };
  load("[1]\r\nods=a\r\n[2]\r\nods=b\r\n");
  window_.actions().replicate->trigger();
  selectRow(1);
  window_.actions().replicate->trigger();
  dialogs_.nextInput = "18.01.2000";
  window_.actions().replicateSinceDate->trigger();
  dialogs_.nextInput = "31.02.2010";  // refused: no run
  window_.actions().replicateSinceDate->trigger();
  window_.actions().checkConnection->trigger();  // no run either
  window_.actions().replicateAll->trigger();
  EXPECT_EQ(sinceDates_, (std::vector<std::string>{"1 18.01.2000"}));
  EXPECT_EQ(recorded,
            (std::vector<QString>{"0 Ok", QString::fromUtf8("1 Ошибка"), QString::fromUtf8("1 Ошибка"),
                                  "0 Ok", QString::fromUtf8("1 Ошибка")}));
}

TEST_F(ConsoleTest, RunThatBreaksOffRewritesTheStatusFileInTheConsoleAndUnderTheScheduler) {
  load("[1]\r\nods=a\r\nhost=10.0.0.1\r\n");
  std::filesystem::create_directory(dir_ / "Log");
  RunMonitor monitor(
      clock_, dir_ / "Log", registry_, window_,
      [this] {
        return RunMonitor::ProgramState{window_.period(), thread_ && !thread_->suspended()};
      },
      [this](const std::string& line) { window_.LogLine(line); });
  replicate_ = [&](TReplicationThread& thread, int index) {
    return monitor.record(index, [&]() -> int {
      if (!thread.suspended()) thread.requestStop();  // the scheduler runs one object, then ends
      throw std::runtime_error("Ошибка в ходе репликации");
    });
  };
  // As the program binds it: the run is the thread object's own.
  ops_.replicate = [](TReplicationThread& thread, int index) { return thread.replicate(index); };
  makeCommands();
  const std::string labels = R"({index="0",object="a",host="10.0.0.1"})";

  window_.actions().replicate->trigger();
  ASSERT_TRUE(std::filesystem::exists(monitor.file()));
  EXPECT_NE(testing_support::readFile(monitor.file()).find("mirrox_object_link_ok" + labels + " 1\n"),
            std::string::npos);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);

  std::filesystem::remove(monitor.file());
  window_.periodEditor()->setValue(1);
  ASSERT_TRUE(testing_support::runSchedulerToItsEnd(thread(), std::chrono::seconds(120)));
  ASSERT_TRUE(std::filesystem::exists(monitor.file()));
  const std::string text = testing_support::readFile(monitor.file());
  EXPECT_NE(text.find("mirrox_scheduler_running 1\n"), std::string::npos) << text;
  // Neither run ended with a result: the object has no last run to show.
  EXPECT_EQ(text.find("mirrox_object_last_run_result" + labels), std::string::npos) << text;
  EXPECT_EQ(window_.logView()->toPlainText().indexOf(QString::fromUtf8("Файл состояния")), -1);
}

}  // namespace
}  // namespace mirrox
