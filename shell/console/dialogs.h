#pragma once

#include <QString>
#include <optional>

class QDialog;
class QWidget;

namespace mirrox {

// The seam under every modal dialog of the console, so tests can answer them. The real one shows
// the toolkit's boxes; every message box has one OK button.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A message box with the given caption.
  virtual void message(QWidget* parent, const QString& text, const QString& caption) = 0;
  // The toolkit's error box: caption "Error", error symbol.
  virtual void error(QWidget* parent, const QString& text) = 0;
  // Shows a prepared dialog modally; true for the OK result.
  virtual bool exec(QDialog& dialog) = 0;
  // The one-line input dialog; nullopt when cancelled.
  virtual std::optional<QString> inputText(QWidget* parent, const QString& caption, const QString& prompt,
                                           const QString& initial) = 0;
  // A file to open, or nullopt when cancelled.
  virtual std::optional<QString> openFileName(QWidget* parent, const QString& start) = 0;
};

class QtDialogs final : public Dialogs {
 public:
  void message(QWidget* parent, const QString& text, const QString& caption) override;
  void error(QWidget* parent, const QString& text) override;
  bool exec(QDialog& dialog) override;
  std::optional<QString> inputText(QWidget* parent, const QString& caption, const QString& prompt,
                                   const QString& initial) override;
  std::optional<QString> openFileName(QWidget* parent, const QString& start) override;
};

}  // namespace mirrox
