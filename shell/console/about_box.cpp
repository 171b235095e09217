#include "shell/console/about_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "mirrox_version.h"
#include "shell/console/app_icon.h"

namespace mirrox {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("TAboutBox");
  setWindowTitle("О программе...");
  setModal(true);
  auto* layout = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(appIcon().pixmap(64, 64));
  layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(new QLabel("\"Сервер репликации БД\"", this), 0, 1);
  version_ = new QLabel("Версия: " + fileVersion(), this);
  version_->setObjectName("version");
  layout->addWidget(version_, 1, 1);
  layout->addWidget(new QLabel("Разработка и сопровождение: группа разработки Mirrox", this), 2, 1);
  auto* ok = new QPushButton("OK", this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 3, 0, 1, 2, Qt::AlignHCenter);
  setFixedSize(sizeHint());
}

QString TAboutBox::fileVersion() {
  const QString version = QString::fromLatin1(kMirroxVersion);
  return version.size() < 2 ? QStringLiteral("0.0") : version;
}

}  // namespace mirrox
