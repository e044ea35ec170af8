#include "net/AutoForward.h"

#include <QDir>

#include "app/CompanionSettings.h"
#include "app/IniFile.h"
#include "db/ValueRecords.h"
#include "net/SendQueue.h"

QStringList ParseNodeList(const QString& text) {
  QStringList nodes;
  for (const QString& name : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    if (const QString trimmed = name.trimmed(); !trimmed.isEmpty() && !nodes.contains(trimmed))
      nodes.append(trimmed);
  }
  return nodes;
}

QStringList ForwardNodes(const QString& settingsFolder) {
  const CIniFile ini(QDir(settingsFolder).filePath(QLatin1String(CompanionSettings::kFileName)));
  return ParseNodeList(ini.ReadString(QStringLiteral("RECEIVER"), QStringLiteral("ForwardTo")));
}

void ForwardIndexedImages(CDropFolder& drop, CDaoDatabase& database, const QStringList& nodes) {
  if (nodes.isEmpty()) return;
  drop.SetPlacedHook(
      [&database, nodes](const QString& path, const CDImgInfo& image, QString& reason) {
        CSendQueue queue(database);
        for (const QString& node : nodes) {
          if (!queue.EnqueueWithin(node, {{1, path, image.SOPInstanceUID}})) {
            reason = QStringLiteral("cannot queue it for %1: %2").arg(node, queue.LastError());
            return false;
          }
        }
        return true;
      });
}
