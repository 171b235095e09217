#include "shell/console/set_form.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

#include "shell/app_paths.h"
#include "shell/console/console_texts.h"
#include "shell/console/dialogs.h"
#include "shell/console/fitted_widths.h"

namespace mirrox {

TSetForm::TSetForm(const AppPaths& paths, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      meteringDbProposal_(QString::fromStdString(paths.meteringDbProposal)),
      journalDbProposal_(QString::fromStdString(paths.journalDbProposal)) {
  setObjectName("TSetForm");
  setWindowTitle("Свойства");
  setModal(true);
  auto* layout = new QVBoxLayout(this);

  auto* remote = new QGroupBox("Параметры соединения с удаленным клиентом", this);
  auto* remoteForm = new QFormLayout(remote);
  eName = new QLineEdit(remote);
  eIP = new QLineEdit(remote);
  ePort = new QSpinBox(remote);
  ePort->setRange(INT_MIN, INT_MAX);
  ePort->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  auto* typeBox = new QWidget(remote);
  auto* typeRow = new QHBoxLayout(typeBox);
  typeRow->setContentsMargins(0, 0, 0, 0);
  rbMetering = new QRadioButton(texts::kDbTypeMetering, typeBox);
  rbJournal = new QRadioButton("События и Заявки", typeBox);
  auto* typeGroup = new QButtonGroup(this);
  typeGroup->addButton(rbMetering, 0);
  typeGroup->addButton(rbJournal, 1);
  typeRow->addWidget(rbMetering);
  typeRow->addWidget(rbJournal);
  edtRemoteDBPath = new QLineEdit(remote);
  remoteForm->addRow("Имя", eName);
  remoteForm->addRow("IP-адрес", eIP);
  remoteForm->addRow("Порт", ePort);
  remoteForm->addRow("Тип базы данных", typeBox);
  remoteForm->addRow("Расположение БД:", edtRemoteDBPath);
  layout->addWidget(remote);

  auto* local = new QGroupBox("Локальная БД", this);
  auto* localLayout = new QVBoxLayout(local);
  localLayout->addWidget(new QLabel("Сохранять полученные данные в БД:", local));
  auto* pathRow = new QHBoxLayout;
  edtf1 = new QLineEdit(local);
  browseButton = new QPushButton("...", local);
  pathRow->addWidget(edtf1, 1);
  pathRow->addWidget(browseButton);
  localLayout->addLayout(pathRow);
  layout->addWidget(local);

  auto* info = new QGroupBox("Информация", this);
  auto* infoForm = new QFormLayout(info);
  eLastReplicationTime = new QLineEdit(info);
  // The longest date and time of the machine's format, whole in the font in use.
  eLastReplicationTime->setMinimumWidth(lineEditWidthFor(
      *eLastReplicationTime,
      widestDigits(QFontMetrics(eLastReplicationTime->font()), QStringLiteral("00.00.0000 00:00:00"))));
  infoForm->addRow("Время последней репликации", eLastReplicationTime);
  layout->addWidget(info);

  auto* buttons = new QHBoxLayout;
  okButton = new QPushButton("OK", this);
  cancelButton = new QPushButton("Cancel", this);
  okButton->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  layout->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  // Only a change of the type refills the paths: a click on the type already chosen toggles nothing
  // and keeps what the operator typed.
  connect(typeGroup, &QButtonGroup::idToggled, this, [this](int type, bool checked) {
    if (checked) fillDefaultPaths(type);
  });
  connect(browseButton, &QPushButton::clicked, this, [this, &dialogs] {
    if (const auto name = dialogs.openFileName(this, edtf1->text())) edtf1->setText(*name);
  });
  setFixedSize(sizeHint());
}

int TSetForm::port() const {
  bool ok = false;
  const int value = ePort->cleanText().toInt(&ok);
  return ok ? value : 0;
}

int TSetForm::dbType() const { return rbJournal->isChecked() ? 1 : 0; }

void TSetForm::setDbType(int type) { (type == 1 ? rbJournal : rbMetering)->setChecked(true); }

void TSetForm::setDbTypeEnabled(bool enabled) {
  rbMetering->setEnabled(enabled);
  rbJournal->setEnabled(enabled);
}

void TSetForm::fillDefaultPaths(int type) {
  if (type == 1) {
    edtRemoteDBPath->setText("C:\\1Tovin\\Kardo Vedar\\VEDAR\\journal.db");
    edtf1->setText(journalDbProposal_);
  } else {
    edtRemoteDBPath->setText("C:\\1Tovin\\Kardo Vedar\\OPC Server\\original.gdb");
    edtf1->setText(meteringDbProposal_);
  }
}

}  // namespace mirrox
