#include "browser/ThumbnailCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace {

// The state of the file a thumbnail was made from; a file written again differs in size or
// modification time.
QString fileKey(const QFileInfo& info) {
  return QStringLiteral("%1\n%2\n%3")
      .arg(info.absoluteFilePath())
      .arg(info.size())
      .arg(info.lastModified().toMSecsSinceEpoch());
}

QString diskPath(const QString& folder, const QString& key) {
  const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1);
  return folder + QLatin1Char('/') + QString::fromLatin1(hash.toHex()) + QStringLiteral(".png");
}

// A disk copy counts only when it is a whole thumbnail: a damaged file is made again.
bool isSoundThumbnail(const QImage& picture) {
  return picture.format() == QImage::Format_Grayscale16 &&
         picture.size() == QSize(thumbnail::kSide, thumbnail::kSide);
}

}  // namespace

CThumbnailCache::CThumbnailCache(const QString& diskFolder, int memoryCapacity)
    : m_diskFolder(diskFolder), m_memory(memoryCapacity) {
  m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

CThumbnailCache::~CThumbnailCache() {
  m_waiting.clear();
  m_pool.waitForDone();
}

QString CThumbnailCache::DefaultDiskFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
         QStringLiteral("/thumbnails");
}

std::optional<thumbnail::Result> CThumbnailCache::Find(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile()) return thumbnail::Result{};
  const Kept* kept = m_memory.object(path);
  if (kept == nullptr || kept->fileKey != fileKey(info)) return std::nullopt;
  return kept->result;
}

void CThumbnailCache::Request(const QStringList& paths) {
  m_waiting.clear();
  for (const QString& path : paths) {
    if (!m_running.contains(path) && !m_waiting.contains(path)) m_waiting.append(path);
  }
  startWaiting();
}

CThumbnailCache::Made CThumbnailCache::LoadOrMake(const QString& path, const QString& diskFolder) {
  const QFileInfo info(path);
  if (!info.isFile()) return {};
  Made made{fileKey(info), {}};
  const QString copy = diskPath(diskFolder, made.fileKey);
  QImage kept;
  if (kept.load(copy, "PNG") && isSoundThumbnail(kept)) {
    made.result = {thumbnail::Outcome::Ready, kept};
    return made;
  }
  made.result = thumbnail::Make(path);
  if (made.result.outcome == thumbnail::Outcome::Ready && QDir().mkpath(diskFolder)) {
    // Written whole or not at all: another copy of the program may read it at the same time.
    QSaveFile file(copy);
    if (file.open(QIODevice::WriteOnly) && made.result.picture.save(&file, "PNG")) file.commit();
  }
  return made;
}

void CThumbnailCache::startWaiting() {
  while (m_running.size() < m_pool.maxThreadCount() && !m_waiting.isEmpty()) {
    const QString path = m_waiting.takeFirst();
    m_running.insert(path);
    QtConcurrent::run(&m_pool, &CThumbnailCache::LoadOrMake, path, m_diskFolder)
        .then(&m_receiver, [this, path](Made made) { finished(path, made); });
  }
}

void CThumbnailCache::finished(const QString& path, const Made& made) {
  m_running.remove(path);
  if (made.result.outcome != thumbnail::Outcome::Missing) {
    m_memory.insert(path, new Kept{made.fileKey, made.result});
  }
  startWaiting();
  if (m_ready) m_ready(path, made.result);
}
