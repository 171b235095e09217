// Nothing the operator must read is cut off: the table's headers and usual contents and the
// properties dialog's date field, at two font sizes, on real widgets (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableWidget>

#include "shell/app_paths.h"
#include "shell/console/dialogs.h"
#include "shell/console/main_window.h"
#include "shell/console/set_form.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

// The application's font at a point size for the test's widgets, the old one back at the end.
class ApplicationFont {
 public:
  explicit ApplicationFont(int pointSize) : saved_(QApplication::font()) {
    QFont font = saved_;
    font.setPointSize(pointSize);
    QApplication::setFont(font);
  }
  ~ApplicationFont() { QApplication::setFont(saved_); }
  ApplicationFont(const ApplicationFont&) = delete;
  ApplicationFont& operator=(const ApplicationFont&) = delete;

 private:
  QFont saved_;
};

class FittedWidths : public ::testing::TestWithParam<int> {
 protected:
  FittedWidths() : font_(GetParam()), clock_(45000.0), logFile_(dir_.path(), clock_) {}

  ApplicationFont font_;
  testing_support::TempDir dir_;
  testing_support::ManualClock clock_;
  EventLogFile logFile_;
};

TEST_P(FittedWidths, TableShowsEveryHeaderAndTheLongestUsualContentsWhole) {
  TfrmRepWnd window(logFile_);
  QTableWidget* table = window.objectTable();
  const char* headers[] = {"№", "Наименование", "Тип БД", "IP", "Время обновления", "Статус"};
  const int leastWidths[] = {24, 135, 64, 94, 123, 76};
  const char* contents[] = {"100", "", "Заявки", "255.255.255.255", "28.12 23:58", "Ошибка"};
  table->setRowCount(1);
  for (int c = 0; c < 6; ++c) table->setItem(0, c, new QTableWidgetItem(QString::fromUtf8(contents[c])));
  window.show();

  const QFontMetrics headerMetrics(table->horizontalHeader()->font());
  const int headerMargin =
      table->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table->horizontalHeader());
  const QAbstractItemView& view = *table;
  int total = 0;
  for (int c = 0; c < 6; ++c) {
    const int width = table->columnWidth(c);
    total += width;
    EXPECT_GE(width, leastWidths[c]) << headers[c];
    EXPECT_GE(width, headerMetrics.horizontalAdvance(QString::fromUtf8(headers[c])) + 2 * headerMargin)
        << headers[c];
    EXPECT_GE(width, view.sizeHintForColumn(c)) << contents[c];
  }
  EXPECT_GE(table->viewport()->width(), total);  // no column out of sight
}

TEST_P(FittedWidths, PropertiesDialogShowsTheLastReplicationTimeWhole) {
  QtDialogs dialogs;
  TSetForm form(AppPaths::forExecutableDir(dir_.path()), dialogs);
  QLineEdit* field = form.eLastReplicationTime;
  const QString text = "28.12.2008 23:58:58";
  field->setText(text);
  form.show();

  // Where QLineEdit draws its text: the style's contents rectangle less the text margins and the
  // two pixels it keeps free on either side.
  QStyleOptionFrame panel;
  panel.initFrom(field);
  panel.rect = field->rect();
  panel.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, field);
  const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &panel, field);
  const int room = contents.width() - field->textMargins().left() - field->textMargins().right() - 4;
  EXPECT_GE(room, QFontMetrics(field->font()).horizontalAdvance(text) + 1);
}

INSTANTIATE_TEST_SUITE_P(DesktopAndLargeFont, FittedWidths, ::testing::Values(9, 16));

}  // namespace
}  // namespace mirrox
