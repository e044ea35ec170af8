#include "frame/widgets/CommandIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "frame/Commands.h"

namespace {

constexpr int kSize = 32;

// Light strokes with a dark edge read on light and dark tool bars alike.
void stroke(QPainter& painter, const QPainterPath& path, qreal width = 2.5) {
  painter.strokePath(
      path, QPen(QColor(40, 40, 40), width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.strokePath(
      path, QPen(QColor(235, 235, 235), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QPainterPath lens(qreal radius) {
  QPainterPath path;
  path.addEllipse(QPointF(13, 13), radius, radius);
  path.moveTo(13 + radius * 0.72, 13 + radius * 0.72);
  path.lineTo(28, 28);
  return path;
}

QPainterPath arrow(QPointF from, QPointF to) {
  QPainterPath path(from);
  path.lineTo(to);
  const QPointF d = (to - from) / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y()));
  const QPointF n(-d.y(), d.x());
  path.moveTo(to - d * 6 + n * 5);
  path.lineTo(to);
  path.lineTo(to - d * 6 - n * 5);
  return path;
}

QPainterPath panes(int columns, int rows) {
  QPainterPath path;
  const qreal w = 24.0 / columns;
  const qreal h = 24.0 / rows;
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < rows; ++r) path.addRect(QRectF(4 + c * w, 4 + r * h, w, h));
  }
  return path;
}

QPainterPath drawing(int id) {
  QPainterPath path;
  switch (id) {
    case command::Zoom:
      path = lens(8);
      path.moveTo(9, 13);
      path.lineTo(17, 13);
      path.moveTo(13, 9);
      path.lineTo(13, 17);
      break;
    case command::Magnify:
      path = lens(10);
      break;
    case command::Pan:
      path = arrow({16, 16}, {16, 3});
      path.addPath(arrow({16, 16}, {16, 29}));
      path.addPath(arrow({16, 16}, {3, 16}));
      path.addPath(arrow({16, 16}, {29, 16}));
      break;
    case command::Default:
      path.moveTo(8, 4);
      path.lineTo(8, 26);
      path.lineTo(14, 20);
      path.lineTo(19, 29);
      path.moveTo(14, 20);
      path.lineTo(22, 19);
      path.lineTo(8, 4);
      break;
    case command::Mirror:
      path.moveTo(16, 3);
      path.lineTo(16, 29);
      path.addPath(arrow({12, 16}, {3, 16}));
      path.addPath(arrow({20, 16}, {29, 16}));
      break;
    case command::Flip:
      path.moveTo(3, 16);
      path.lineTo(29, 16);
      path.addPath(arrow({16, 12}, {16, 3}));
      path.addPath(arrow({16, 20}, {16, 29}));
      break;
    case command::Layout1x1:
      path = panes(1, 1);
      break;
    case command::Layout1x2:
      path = panes(2, 1);
      break;
    case command::Layout2x2:
      path = panes(2, 2);
      break;
  }
  return path;
}

}  // namespace

QIcon CommandIcon(int commandId) {
  const QPainterPath path = drawing(commandId);
  if (path.isEmpty()) {
    struct Themed {
      int id;
      const char* name;
      QStyle::StandardPixmap fallback;
    };
    static const Themed themed[] = {
        {command::Browser, "system-search", QStyle::SP_FileDialogContentsView},
        {command::PrevImage, "go-previous", QStyle::SP_ArrowBack},
        {command::NextImage, "go-next", QStyle::SP_ArrowForward},
        {command::RotateLeft, "object-rotate-left", QStyle::SP_BrowserReload},
        {command::RotateRight, "object-rotate-right", QStyle::SP_BrowserReload},
        {command::Report, "document-edit", QStyle::SP_FileIcon},
    };
    for (const Themed& t : themed) {
      if (t.id == commandId) {
        return QIcon::fromTheme(QString::fromLatin1(t.name),
                                QApplication::style()->standardIcon(t.fallback));
      }
    }
    return {};
  }
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  stroke(painter, path);
  return QIcon(pixmap);
}
