#pragma once

// Thumbnails made once and kept: the last few hundred in memory, every one made on disk under
// the user's cache folder, both keyed by the image file's path, size and modification time so
// that a changed file is made again. Thumbnails are made on a pool of worker threads (one per
// core); the owner hears of each one on its own thread, through the ready handler.

#include <QCache>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <functional>
#include <optional>

#include "browser/ThumbnailMaker.h"

class CThumbnailCache {
 public:
  static constexpr int kDefaultCapacity = 500;

  using ReadyHandler = std::function<void(const QString& path, const thumbnail::Result& result)>;

  // diskFolder holds one PNG per thumbnail; memoryCapacity counts thumbnails.
  explicit CThumbnailCache(const QString& diskFolder = DefaultDiskFolder(),
                           int memoryCapacity = kDefaultCapacity);
  // Waits for the thumbnails being made; their results are dropped.
  ~CThumbnailCache();
  CThumbnailCache(const CThumbnailCache&) = delete;
  CThumbnailCache& operator=(const CThumbnailCache&) = delete;

  // The user's cache folder + "/thumbnails".
  static QString DefaultDiskFolder();
  QString DiskFolder() const { return m_diskFolder; }

  void SetReadyHandler(ReadyHandler handler) { m_ready = std::move(handler); }

  // The result kept in memory for the file as it is now; nullopt when memory holds none, or
  // one made from an older state of the file.
  std::optional<thumbnail::Result> Find(const QString& path);
  // The files whose thumbnails are wanted next, in this order. Replaces the wishes of the last
  // call that no worker has started on (a strip scrolled on no longer wants them); paths being
  // made already are not made twice. Each result reaches the ready handler and memory.
  void Request(const QStringList& paths);
  // True while thumbnails are being made or wait to be.
  bool Busy() const { return !m_running.isEmpty() || !m_waiting.isEmpty(); }

  // What a worker does for one file: the disk copy when there is a sound one for the file as
  // it is now, else the thumbnail made anew (and stored on disk when it has a picture).
  struct Made {
    QString fileKey;
    thumbnail::Result result;
  };
  static Made LoadOrMake(const QString& path, const QString& diskFolder);

 private:
  struct Kept {
    QString fileKey;
    thumbnail::Result result;
  };

  void startWaiting();
  void finished(const QString& path, const Made& made);

  QString m_diskFolder;
  QCache<QString, Kept> m_memory;
  QStringList m_waiting;
  QSet<QString> m_running;
  ReadyHandler m_ready;
  QThreadPool m_pool;
  // Results come back to the owner's thread through this object; destroyed before the pool
  // waits, so a late result finds no receiver.
  QObject m_receiver;
};
