#include "shell/console/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "shell/console/console_texts.h"
#include "shell/console/fitted_widths.h"
#include "shell/console/period_editor.h"
#include "shell/console/program_state.h"
#include "shell/console/progress_indicator.h"

namespace mirrox {
namespace {

struct Column {
  const char* header;
  int width;            // the least width in pixels; wider where the font needs it
  const char* longest;  // the longest content usually shown, or nullptr where the operator names it
};

constexpr std::array<Column, 6> kColumns = {{
    {"№", 24, "999"},
    {"Наименование", 135, nullptr},
    {"Тип БД", 64, texts::kDbTypeJournal},
    {"IP", 94, "255.255.255.255"},
    {"Время обновления", 123, "00.00 00:00"},
    {"Статус", 76, texts::kLinkFailed},
}};
constexpr int kMinimumTableWidth = 540;
constexpr QSize kMinimumWindowSize(900, 540);

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TfrmRepWnd::TfrmRepWnd(EventLogFile& logFile, QWidget* parent) : QMainWindow(parent), logFile_(logFile) {
  setObjectName("TfrmRepWnd");
  setWindowTitle("Сервер репликации БД ");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);

  tableGroup_ = new QGroupBox("Таблица репликации баз данных ", central);
  tableGroup_->setObjectName("tableGroup");
  auto* tableLayout = new QVBoxLayout(tableGroup_);
  table_ = new QTableWidget(0, static_cast<int>(kColumns.size()), tableGroup_);
  table_->setObjectName("objectTable");
  table_->horizontalHeader()->setMinimumSectionSize(0);
  QStringList headers;
  for (const Column& column : kColumns) headers << column.header;
  table_->setHorizontalHeaderLabels(headers);
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSortingEnabled(false);
  fitColumns();
  // A press on a row, with either button, makes it the object of the table's commands.
  connect(table_, &QTableWidget::cellPressed, this, [this](int row, int) { selectedIndex_ = row; });
  tableLayout->addWidget(table_);
  columns->addWidget(tableGroup_);

  auto* controls = new QVBoxLayout;
  auto* scheduleGroup = new QGroupBox(central);
  auto* scheduleLayout = new QVBoxLayout(scheduleGroup);
  auto* periodRow = new QHBoxLayout;
  periodLabel_ = new QLabel("Период репликации (мин.)", scheduleGroup);
  periodEditor_ = new PeriodEditor(scheduleGroup);
  periodEditor_->setObjectName("periodEditor");
  periodEditor_->setValue(10);
  periodRow->addWidget(periodLabel_);
  periodRow->addWidget(periodEditor_);
  scheduleLayout->addLayout(periodRow);
  nightBox_ = new QCheckBox("Репликация ночью с 3 до 6:", scheduleGroup);
  nightBox_->setObjectName("chkNightReplication");
  nightBox_->setEnabled(false);  // shows the stored flag; the operator cannot change it
  scheduleLayout->addWidget(nightBox_);
  controls->addWidget(scheduleGroup);

  startButton_ = new QPushButton("Запуск репликации", central);
  startButton_->setObjectName("startButton");
  controls->addWidget(startButton_);

  logView_ = new QPlainTextEdit(central);
  logView_->setObjectName("logView");
  logView_->setReadOnly(true);
  logView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  controls->addWidget(logView_, 1);
  columns->addLayout(controls);
  setCentralWidget(central);

  statusLabel_ = new QLabel(this);
  statusLabel_->setObjectName("statusLine");
  statusBar()->addWidget(statusLabel_, 1);
  progress_ = new ProgressIndicator(this);
  statusBar()->addPermanentWidget(progress_);

  buildMenus();
  setFixedSize(sizeHint().expandedTo(kMinimumWindowSize));
}

void TfrmRepWnd::fitColumns() {
  const QFontMetrics metrics(table_->font());
  int total = 0;
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    const int column = static_cast<int>(c);
    int width = std::max(kColumns[c].width, table_->horizontalHeader()->sectionSizeHint(column));
    if (kColumns[c].longest != nullptr) {
      width = std::max(width,
                       cellWidthFor(*table_, widestDigits(metrics, QString::fromUtf8(kColumns[c].longest))));
    }
    table_->setColumnWidth(column, width);
    total += width;
  }
  // Every column in view beside the vertical scroll bar, so no header is pushed out of sight.
  const int frame = 2 * table_->frameWidth();
  const int scrollBar = table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table_);
  table_->setMinimumWidth(std::max(kMinimumTableWidth, total + frame + scrollBar));
}

void TfrmRepWnd::buildMenus() {
  auto action = [this](QMenu* menu, const char* text) {
    QAction* a = menu->addAction(QString::fromUtf8(text));
    return a;
  };
  fileMenu_ = menuBar()->addMenu("Файл");
  actions_.addObject = action(fileMenu_, "Добавить объект");
  fileMenu_->addSeparator();
  actions_.checkAll = action(fileMenu_, "Проверить соединение для всех объектов");
  actions_.replicateAll = action(fileMenu_, "Общая репликация данных");
  fileMenu_->addSeparator();
  actions_.exit = action(fileMenu_, "Выход");
  extraMenu_ = menuBar()->addMenu("Дополнительно");
  actions_.lockComputer = action(extraMenu_, "Блокировать компьютер");
  helpMenu_ = menuBar()->addMenu("Справка");
  actions_.about = action(helpMenu_, "О программе");

  contextMenu_ = new QMenu(this);
  actions_.properties = action(contextMenu_, "Свойства");
  actions_.checkConnection = action(contextMenu_, "Проверить соединение с БД");
  actions_.ping = action(contextMenu_, "Проверка сети (ping)");
  contextMenu_->addSeparator();
  actions_.replicate = action(contextMenu_, "Репликация данных");
  actions_.replicateSinceDate = action(contextMenu_, "Репликация данных с даты");
  contextMenu_->addSeparator();
  actions_.prepare = action(contextMenu_, "Подготовить к репликации");
  contextMenu_->addSeparator();
  actions_.remove = action(contextMenu_, "Удалить");
  connect(table_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { contextMenu_->popup(table_->viewport()->mapToGlobal(pos)); });
  setContextMenuAvailable(true);
  connect(actions_.exit, &QAction::triggered, this, &QWidget::close);
}

void TfrmRepWnd::setContextMenuAvailable(bool available) {
  table_->setContextMenuPolicy(available ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

bool TfrmRepWnd::contextMenuAvailable() const { return table_->contextMenuPolicy() == Qt::CustomContextMenu; }

void TfrmRepWnd::LogLine(const std::string& text) {
  logFile_.append(text);
  QString viewText = qs(text);
  viewText.replace("\r\n", "\n");
  appendToLogView(viewText);
  if (logView_->document()->blockCount() > kMaxLogViewLines) {
    logView_->clear();
    logViewHoldsLines_ = false;
  }
  QApplication::processEvents();
}

void TfrmRepWnd::appendToLogView(const QString& text) {
  if (logViewHoldsLines_ && logView_->document()->isEmpty()) {
    // The view holds one empty line, which appendPlainText would take for an empty view and fill.
    QTextCursor cursor(logView_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertText(text);
  } else {
    logView_->appendPlainText(text);
  }
  logViewHoldsLines_ = true;
}

void TfrmRepWnd::ShowStatus(const std::string& text) {
  statusText_ = qs(text);
  statusLabel_->setText(" " + statusText_);
  emit programStateChanged(programState());
  QApplication::processEvents();
}

void TfrmRepWnd::showActivity(const RunActivity& activity) {
  activity_ = activity;
  progress_->showProgress(activity.progress);
  emit programStateChanged(programState());
}

QString TfrmRepWnd::programState() const { return mirrox::programState(statusText_, activity_); }

int TfrmRepWnd::period() { return periodEditor_->value(); }

bool TfrmRepWnd::night() const { return nightBox_->isChecked(); }

int TfrmRepWnd::SelectedIndex() const { return table_->rowCount() == 0 ? -1 : selectedIndex_; }

void TfrmRepWnd::SetBusy(bool busy) {
  startButton_->setEnabled(!busy);
  tableGroup_->setEnabled(!busy);
  fileMenu_->menuAction()->setEnabled(!busy);
  extraMenu_->menuAction()->setEnabled(!busy);
  periodEditor_->setEnabled(!busy);
  setContextMenuAvailable(!busy);
}

void TfrmRepWnd::lockForScheduler() {
  startButton_->setEnabled(false);
  fileMenu_->menuAction()->setEnabled(false);
  periodEditor_->setEnabled(false);
  setContextMenuAvailable(false);
}

// exit(), not quit(): quit() would ask the windows to close once more, and this one refuses.
void TfrmRepWnd::threadEnded() { QApplication::exit(0); }

void TfrmRepWnd::scheduleLoaded(int periodMinutes, bool nightFlag) {
  periodEditor_->setValue(periodMinutes);  // the editor brings it within 1..240
  nightBox_->setChecked(nightFlag);
  periodEditor_->setEnabled(!nightFlag);
  periodLabel_->setEnabled(!nightFlag);
}

void TfrmRepWnd::objectAdded(int index) { showObject(index); }

void TfrmRepWnd::showObject(int index) {
  if (registry_ != nullptr) table_->setRowCount(registry_->count());
  fillRow(index);
  table_->viewport()->update();
}

void TfrmRepWnd::objectChanged(int index) {
  fillRow(index);
  table_->viewport()->update();
}

void TfrmRepWnd::fillRow(int index) {
  if (registry_ == nullptr || index < 0 || index >= registry_->count()) return;
  const TMyPic& object = registry_->at(index);
  auto set = [&](int column, const QString& text) {
    QTableWidgetItem* item = table_->item(index, column);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      table_->setItem(index, column, item);
    }
    item->setText(text);
  };
  set(0, QString::number(index + 1));
  set(1, qs(object.Name));
  // Any other type leaves the cell as it was.
  if (object.DbType == DbTypeMetering) set(2, texts::kDbTypeMetering);
  if (object.DbType == DbTypeJournal) set(2, texts::kDbTypeJournal);
  set(3, qs(object.Host()));
  set(4, qs(object.LastReplicationText));
  set(5, object.LinkOk ? texts::kLinkOk : texts::kLinkFailed);
}

void TfrmRepWnd::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (startupStep_) startupStep_();
}

void TfrmRepWnd::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && hideToTrayOnMinimize_ && isMinimized()) {
    QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
  }
}

void TfrmRepWnd::closeEvent(QCloseEvent* event) {
  LogLine("Запрос на завершение приложения ...");
  ShowStatus("Завершение приложения. Пожалуйста ждите!!!");
  if (closeDecider_ && !closeDecider_()) {
    event->ignore();
    return;
  }
  event->accept();
  QApplication::exit(0);
}

}  // namespace mirrox
