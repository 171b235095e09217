#include "shell/console/console_commands.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <exception>
#include <optional>

#include "engine/engine_messages.h"
#include "engine/replicate_object.h"
#include "shell/console/about_box.h"
#include "shell/console/console_texts.h"
#include "shell/console/dialogs.h"
#include "shell/console/main_window.h"
#include "shell/console/set_form.h"
#include "shell/object_registry.h"
#include "shell/replication_thread.h"

namespace mirrox {
namespace {

constexpr char kPleaseWait[] = " Пожалуйста   ждите!";
constexpr int kPingTimeoutMs = 2000;

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

}  // namespace

ConsoleCommands::ConsoleCommands(TfrmRepWnd& window, ObjectRegistry& registry, Dialogs& dialogs, Clock& clock,
                                 AppPaths paths, QString title, ConsoleOperations operations,
                                 SchedulerAccess scheduler)
    : window_(window),
      registry_(registry),
      dialogs_(dialogs),
      clock_(clock),
      paths_(std::move(paths)),
      title_(std::move(title)),
      ops_(std::move(operations)),
      scheduler_(std::move(scheduler)) {
  const TfrmRepWnd::Actions& a = window_.actions();
  connect(a.addObject, &QAction::triggered, this, &ConsoleCommands::addObject);
  connect(a.properties, &QAction::triggered, this, &ConsoleCommands::editObject);
  connect(a.checkConnection, &QAction::triggered, this, &ConsoleCommands::checkConnection);
  connect(a.ping, &QAction::triggered, this, &ConsoleCommands::ping);
  connect(a.replicate, &QAction::triggered, this, &ConsoleCommands::replicate);
  connect(a.replicateSinceDate, &QAction::triggered, this, &ConsoleCommands::replicateSinceDate);
  connect(a.prepare, &QAction::triggered, this, &ConsoleCommands::prepare);
  connect(a.remove, &QAction::triggered, this, &ConsoleCommands::remove);
  connect(a.checkAll, &QAction::triggered, this, &ConsoleCommands::checkAll);
  connect(a.replicateAll, &QAction::triggered, this, &ConsoleCommands::replicateAll);
  connect(a.lockComputer, &QAction::triggered, this, &ConsoleCommands::lockComputer);
  connect(a.about, &QAction::triggered, this, &ConsoleCommands::about);
  connect(window_.startButton(), &QPushButton::clicked, this, &ConsoleCommands::startScheduler);
}

void ConsoleCommands::setIdle() {
  window_.SetBusy(false);
  window_.ShowStatus(messages::kConsoleIdle);
}

bool ConsoleCommands::busy(const std::function<void()>& work) {
  window_.SetBusy(true);
  std::optional<std::string> error;
  try {
    work();
  } catch (const std::exception& escaped) {
    error = escaped.what();
  } catch (...) {
    error = "Непредвиденная ошибка выполнения команды";
  }
  if (error) window_.LogLine(*error);
  setIdle();
  // As the toolkit shows an error that escapes a command handler: in a box with the program's
  // title, the console behind it already idle, as it stays once the box is closed.
  if (error) dialogs_.message(&window_, qs(*error), title_);
  return !error;
}

void ConsoleCommands::addObject() { properties(-1); }

void ConsoleCommands::editObject() {
  if (window_.SelectedIndex() >= 0) properties(window_.SelectedIndex());
}

void ConsoleCommands::properties(int index) {
  const bool add = index < 0;
  TSetForm form(paths_, dialogs_, &window_);
  if (add) {
    form.eName->clear();
    form.eIP->clear();
    form.ePort->setValue(5029);
    form.eLastReplicationTime->setText(qs(formatRussianDateTime(clock_.now() - 30)));
    form.setDbType(DbTypeMetering);
    form.setDbTypeEnabled(true);
  } else {
    const TMyPic& object = registry_.at(index);
    form.eName->setText(qs(object.Name));
    form.eIP->setText(qs(object.Host()));
    form.ePort->setValue(object.Port());
    form.eLastReplicationTime->setText(qs(formatRussianDateTime(object.LastReplicationTime)));
    form.setDbType(object.DbType == DbTypeJournal ? DbTypeJournal : DbTypeMetering);
    form.edtf1->setText(qs(object.LocalDbPath));
    form.edtRemoteDBPath->setText(qs(object.RemoteDbPath));
    form.setDbTypeEnabled(false);
  }
  if (!dialogs_.exec(form)) return;
  if (form.eIP->text().isEmpty() || form.port() == 0 || form.edtf1->text().isEmpty()) {
    dialogs_.error(&window_, "Указаны не все регистрационные данные");
    return;
  }

  try {
    if (add) index = registry_.AddObject();
    TMyPic& object = registry_.at(index);
    object.SetHostAndPort(ss(form.eIP->text()), form.port());
    object.Name = ss(form.eName->text());
    object.LocalDbPath = ss(form.edtf1->text());
    object.RemoteDbPath = ss(form.edtRemoteDBPath->text());
    // The type of an existing object cannot change; its choice is disabled in edit mode.
    if (add) object.DbType = form.dbType();
    registry_.WriteObjectSettings(
        index, {ss(form.eName->text()), ss(form.eIP->text()), std::to_string(form.port()),
                ss(form.edtf1->text()), ss(form.edtRemoteDBPath->text()), std::to_string(object.DbType)});
    window_.showObject(index);
  } catch (const ProfileWriteError& error) {
    window_.showObject(index);
    dialogs_.message(&window_, QString::fromUtf8(error.what()), title_);
  }
}

void ConsoleCommands::checkConnection() {
  const int i = window_.SelectedIndex();
  if (i < 0) return;
  busy([&] {
    TMyPic& object = registry_.at(i);
    window_.ShowStatus("Проверка соединения " + object.Name + " " + object.Host() + " " + kPleaseWait);
    const bool ok = ops_.checkConnection(scheduler_.thread(), i);
    object.SetLinkOk(ok);
    dialogs_.message(&window_, ok ? "Успешное соединение" : "Соединение невозможно", title_);
  });
}

void ConsoleCommands::ping() {
  const int i = window_.SelectedIndex();
  if (i < 0) return;
  busy([&] {
    TMyPic& object = registry_.at(i);
    window_.ShowStatus("Проверка сети (ping) " + object.Name + " " + object.Host() + " " + kPleaseWait);
    PingFailure failure;
    const bool ok = ops_.ping(object.Host(), kPingTimeoutMs, &failure) == 0;
    object.SetLinkOk(ok);
    // A cause on this machine is the operator's to fix; a host that does not answer needs no line.
    if (!ok && failure.local)
      window_.LogLine("Проверка сети (ping) " + object.Host() + ": " + failure.reason);
    dialogs_.message(&window_, ok ? "Успешно" : "Ошибка", title_);
  });
}

void ConsoleCommands::replicate() {
  const int i = window_.SelectedIndex();
  if (i < 0) return;
  busy([&] {
    window_.ShowStatus(std::string("Репликация данных") + kPleaseWait);
    const int result = ops_.replicate(scheduler_.thread(), i);
    TMyPic& object = registry_.at(i);
    // The time first: SetLinkOk redraws the row, which then shows the new time at once.
    if (result == 0) object.SetLastReplicationTime(clock_.now());
    object.SetLinkOk(result == 0);
    if (ops_.runRecorded) ops_.runRecorded(i);
  });
}

void ConsoleCommands::replicateSinceDate() {
  const int i = window_.SelectedIndex();
  if (i < 0) return;
  const auto text = dialogs_.inputText(&window_, "Запрос архива с указанной даты",
                                       "Введите дату в формате ДД.ММ.ГГГГ", QString());
  if (!text) return;
  const std::string dateText = ss(*text);
  if (!sinceDateAccepted(dateText)) {
    dialogs_.message(&window_, messages::kBadDate, title_);
    return;
  }
  busy([&] {
    window_.ShowStatus(messages::kSinceDateBusy);
    ops_.replicateSinceDate(scheduler_.thread(), i, dateText);
    // The run leaves its object's status and time alone: there is no outcome to show first.
    if (ops_.runRecorded) ops_.runRecorded(i);
  });
}

void ConsoleCommands::prepare() {
  const int i = window_.SelectedIndex();
  if (i < 0) return;
  busy([&] { ops_.prepare(scheduler_.thread(), i); });
}

void ConsoleCommands::remove() { dialogs_.message(&window_, "Недоступно в данной версии!", title_); }

void ConsoleCommands::checkAll() {
  std::string summary;
  busy([&] {
    for (int i = 0; i < registry_.count(); ++i) {
      TMyPic& object = registry_.at(i);
      window_.ShowStatus("Проверка соединения " + object.Name + " " + object.Host() + " " + kPleaseWait);
      const bool ok = ops_.checkConnection(scheduler_.thread(), i);
      object.SetLinkOk(ok);
      summary += object.Name + (ok ? " OK " : " Ошибка") + "\r\n";
    }
    dialogs_.message(&window_, qs(summary), "Состояние компьютерной сети");
  });
}

void ConsoleCommands::replicateAll() {
  std::string summary;
  // An error ends the command where it arose: a summary cut short, or a scheduler started after
  // a run that broke off, would tell the operator that every object had its turn.
  const bool completed = busy([&] {
    for (int i = 0; i < registry_.count(); ++i) {
      TMyPic& object = registry_.at(i);
      window_.ShowStatus("Репликация данных " + object.Name + kPleaseWait);
      const int result = ops_.replicate(scheduler_.thread(), i);
      object.SetLinkOk(result == 0);
      if (ops_.runRecorded) ops_.runRecorded(i);
      summary += object.Name + (result == 0 ? " OK " : " Ошибка") + "\r\n";
    }
  });
  if (!completed) return;
  window_.LogLine("Результат репликации всех ОДС:\r\n" + summary);
  window_.LogLine("\r\nOk-----");
  window_.LogLine("Запуск основного потока репликации...");
  scheduler_.start();
}

void ConsoleCommands::lockComputer() { ops_.lockWorkstation(); }

void ConsoleCommands::about() {
  TAboutBox box(&window_);
  dialogs_.exec(box);
}

void ConsoleCommands::startScheduler() {
  ops_.disconnectLocalDatabase();
  scheduler_.start();
}

}  // namespace mirrox
