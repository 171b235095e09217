#pragma once

#include <QWidget>
#include <optional>

#include "link/progress.h"

class QLabel;
class QProgressBar;

namespace mirrox {

// The status bar's progress of a long step: the step and its figures beside a bar of the share
// behind. Hidden until a step has run for about a second, and again when it ends. GUI thread only.
class ProgressIndicator : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressIndicator(QWidget* parent = nullptr);

  // Shows the progress of a step under way long enough; hides for anything else.
  void showProgress(const std::optional<Progress>& progress);

  QLabel* label() const { return label_; }
  QProgressBar* bar() const { return bar_; }

 private:
  QLabel* label_;
  QProgressBar* bar_;
};

}  // namespace mirrox
