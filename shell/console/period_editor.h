#pragma once

#include <QSpinBox>

namespace mirrox {

// The replication period in whole minutes, 1 to 240. Whatever the operator types is taken: a number
// outside the range counts as the nearer bound, any other text (an empty one included) as 1. The
// value follows the text while it is typed, so the scheduler and the exit step read what the field
// will show once the operator leaves it.
class PeriodEditor : public QSpinBox {
  Q_OBJECT

 public:
  static constexpr int kMinimum = 1;
  static constexpr int kMaximum = 240;

  explicit PeriodEditor(QWidget* parent = nullptr);

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
};

}  // namespace mirrox
