#pragma once

#include <QDialog>

class QLabel;

namespace mirrox {

// The About view: icon, product line, the executable's file version, supplier, OK.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* versionLabel() const { return version_; }

  // The file version that the build stamps into the executable; "0.0" when it is shorter than
  // two characters.
  static QString fileVersion();

 private:
  QLabel* version_;
};

}  // namespace mirrox
