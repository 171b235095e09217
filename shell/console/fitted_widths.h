#pragma once

#include <QString>

class QFontMetrics;
class QLineEdit;
class QTableView;

namespace mirrox {

// Widths measured with the font in use, for the columns and fields whose given pixel widths are
// minimums: what an operator must read is never cut off, whatever the desktop's font and size.

// `pattern` with every digit replaced by the widest digit of the font, so that any number of that
// form fits where this text fits.
QString widestDigits(const QFontMetrics& metrics, QString pattern);

// The width of a column of `table` that shows `text` whole, the cell's margins and grid included.
int cellWidthFor(const QTableView& table, const QString& text);

// The width of `edit` that shows `text` whole, frame, margins and cursor included.
int lineEditWidthFor(const QLineEdit& edit, const QString& text);

}  // namespace mirrox
