#include "shell/console/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace mirrox {

void QtDialogs::message(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox::information(parent, caption, text, QMessageBox::Ok);
}

void QtDialogs::error(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, "Error", text, QMessageBox::Ok);
}

bool QtDialogs::exec(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

std::optional<QString> QtDialogs::inputText(QWidget* parent, const QString& caption, const QString& prompt,
                                            const QString& initial) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
  if (!ok) return std::nullopt;
  return text;
}

std::optional<QString> QtDialogs::openFileName(QWidget* parent, const QString& start) {
  const QString name = QFileDialog::getOpenFileName(parent, QString(), start);
  if (name.isEmpty()) return std::nullopt;
  return name;
}

}  // namespace mirrox
