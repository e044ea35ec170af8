#include "display/DragPath.h"

#include <QMimeData>
#include <QUrl>

QMimeData* PathMimeData(const QString& path) {
  auto* data = new QMimeData;
  data->setUrls({QUrl::fromLocalFile(path)});
  data->setText(path);
  return data;
}

QString DroppedPath(const QMimeData& data) {
  if (data.hasUrls()) {
    for (const QUrl& url : data.urls()) {
      if (url.isLocalFile()) return url.toLocalFile();
    }
  }
  if (data.hasText()) {
    // The drag source may end the path with a terminating zero.
    QString text = data.text().section(QLatin1Char('\n'), 0, 0).trimmed();
    while (text.endsWith(QChar(0))) text.chop(1);
    const QUrl url(text);
    return url.isLocalFile() ? url.toLocalFile() : text;
  }
  return {};
}
