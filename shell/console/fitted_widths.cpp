#include "shell/console/fitted_widths.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionViewItem>
#include <QTableView>

namespace mirrox {
namespace {

// QLineEdit keeps this many pixels free on either side of its text.
constexpr int kLineEditHorizontalMargin = 2;

}  // namespace

QString widestDigits(const QFontMetrics& metrics, QString pattern) {
  QChar widest = QLatin1Char('0');
  for (char digit = '1'; digit <= '9'; ++digit) {
    if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
      widest = QLatin1Char(digit);
  }
  for (QChar& c : pattern) {
    if (c.isDigit()) c = widest;
  }
  return pattern;
}

int cellWidthFor(const QTableView& table, const QString& text) {
  // What the item delegate asks the style for when it sizes a cell.
  QStyleOptionViewItem option;
  option.initFrom(table.viewport());
  option.font = table.font();
  option.fontMetrics = QFontMetrics(option.font);
  option.features = QStyleOptionViewItem::HasDisplay;
  option.text = text;
  option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  const int grid = table.showGrid() ? 1 : 0;
  return table.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &table).width() + grid;
}

int lineEditWidthFor(const QLineEdit& edit, const QString& text) {
  const QFontMetrics metrics(edit.font());
  const QMargins textMargins = edit.textMargins();
  const QMargins contentsMargins = edit.contentsMargins();
  const int cursor = 1;
  const int inner = metrics.horizontalAdvance(text) + 2 * kLineEditHorizontalMargin + cursor +
                    textMargins.left() + textMargins.right() + contentsMargins.left() +
                    contentsMargins.right();
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.rect = edit.contentsRect();
  option.lineWidth =
      edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  option.features = QStyleOptionFrame::None;
  return edit.style()
      ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, metrics.height()), &edit)
      .width();
}

}  // namespace mirrox
