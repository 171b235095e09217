#include "shell/console/period_editor.h"

#include <QRegularExpression>

namespace mirrox {

PeriodEditor::PeriodEditor(QWidget* parent) : QSpinBox(parent) { setRange(kMinimum, kMaximum); }

// Every text is acceptable: a spin box would otherwise refuse the keystroke that leaves the range,
// or put the last value back over an empty or wrong text, instead of taking what was typed.
QValidator::State PeriodEditor::validate(QString&, int&) const { return QValidator::Acceptable; }

int PeriodEditor::valueFromText(const QString& text) const {
  static const QRegularExpression number(QStringLiteral("^([+-]?)0*(\\d*)$"));
  const QRegularExpressionMatch match = number.match(text.trimmed());
  if (!match.hasMatch()) return kMinimum;
  const bool negative = match.captured(1) == QLatin1String("-");
  const QString digits = match.captured(2);  // empty for "", "+", "-" and zeros: counts as 0
  // More digits than the range has: the nearer bound without risking an overflow.
  const int magnitude = digits.size() > 4 ? kMaximum + 1 : digits.toInt();
  return qBound(kMinimum, negative ? -magnitude : magnitude, kMaximum);
}

}  // namespace mirrox
