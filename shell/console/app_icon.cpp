#include "shell/console/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace mirrox {

QIcon appIcon() {
  QIcon icon;
  for (int size : {16, 32, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x5f, 0x9f));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    // Two arrows: data flowing from a site to the server.
    painter.setPen(QPen(Qt::white, size / 10.0, Qt::SolidLine, Qt::RoundCap));
    const double m = size * 0.22;
    painter.drawLine(QPointF(m, size * 0.38), QPointF(size - m, size * 0.38));
    painter.drawLine(QPointF(size - m, size * 0.38), QPointF(size - m - size * 0.15, size * 0.26));
    painter.drawLine(QPointF(size - m, size * 0.62), QPointF(m, size * 0.62));
    painter.drawLine(QPointF(m, size * 0.62), QPointF(m + size * 0.15, size * 0.74));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace mirrox
