#include "browser/FileExport.h"

#include <QDir>

#include "image/Export.h"
#include "ui/MessageSink.h"

QStringList ExportImageFiles(const QStringList& files, const QString& folder, const QString& name,
                             const QString& extension, const std::function<void()>& step) {
  if (name.isEmpty()) {
    ShowMessage(QStringLiteral("Please input file name."), QStringLiteral("Browser"));
    return {};
  }
  const QString target = folder.isEmpty() ? QDir::rootPath() : folder;
  QString format = extension;
  while (format.startsWith(QLatin1Char('.'))) format.remove(0, 1);
  QStringList written;
  for (const QString& file : files) {
    if (!file.isEmpty()) {
      // Silent: a batch of pictures would otherwise open a viewer each.
      const QString path = ExportImage(file, target, name, 1, format);
      if (!path.isEmpty()) written.append(path);
    }
    if (step) step();
  }
  return written;
}
