#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace mirrox {

struct AppPaths;
class Dialogs;

// The object properties dialog, in add or edit mode. It only holds the fields; the console
// validates and applies them.
class TSetForm : public QDialog {
  Q_OBJECT

 public:
  // The local database proposed for each type comes from `paths`.
  TSetForm(const AppPaths& paths, Dialogs& dialogs, QWidget* parent = nullptr);

  QLineEdit* eName;
  QLineEdit* eIP;
  QSpinBox* ePort;
  QRadioButton* rbMetering;
  QRadioButton* rbJournal;
  QLineEdit* edtRemoteDBPath;
  QLineEdit* edtf1;
  QPushButton* browseButton;
  QLineEdit* eLastReplicationTime;
  QPushButton* okButton;
  QPushButton* cancelButton;

  // The port as typed: a text that is not a number counts as 0.
  int port() const;
  int dbType() const;
  // Selects a type; when the choice changes, both path fields get that type's defaults.
  void setDbType(int type);
  // The type choice of an existing object cannot change.
  void setDbTypeEnabled(bool enabled);

 private:
  void fillDefaultPaths(int type);

  QString meteringDbProposal_;
  QString journalDbProposal_;
};

}  // namespace mirrox
