#pragma once

// The watched drop folder of the station mode: the companion (or anyone) puts DICOM files into
// it, and each pass indexes every complete file there into the image database and moves it into
// the archive, one folder per study. A file that cannot be read goes to the folder "rejected"
// beside the others, with a line in "rejected/rejected.log" that says why, so it never holds up
// the files after it. Files still being written are left alone: hidden names (the companion's
// ".vantrel-N.part") and names ending in ".part".
//
// A pass runs without a window: the browser's timer and `torascan-cli watch` both drive it.

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "browser/ImportImage.h"

// What one file of a pass came to, when it was not indexed.
struct DropFileOutcome {
  QString name;    // in the drop folder
  int code = 0;    // the import's result
  QString reason;  // in words
};

// What one pass did.
struct DropBatch {
  long imported = 0;                // new images, now in the archive
  long duplicates = 0;              // already indexed: the dropped copy is gone
  QList<DropFileOutcome> rejected;  // unreadable: moved to "rejected"
  QList<DropFileOutcome> failed;    // left in the drop folder for the next pass
  bool indexedAny() const { return imported + duplicates > 0; }
};

class CDropFolder : private CImportPlacement {
 public:
  static constexpr const char* kRejectedFolder = "rejected";
  static constexpr const char* kRejectedLog = "rejected.log";
  static constexpr const char* kArchiveFolder = "archive";

  // The archive a drop folder uses unless told otherwise: "archive" beside it, so in the same
  // storage (the companion's SavePath) and on the same file system.
  static QString DefaultArchiveFolder(const QString& dropFolder);

  // Indexes through `database` (open, outliving this) from dropFolder into archiveFolder.
  CDropFolder(CDaoDatabase& database, const QString& dropFolder, const QString& archiveFolder);

  const QString& dropFolder() const { return m_drop; }
  const QString& archiveFolder() const { return m_archive; }

  // The names of the files a pass would take now, in name order.
  QStringList WaitingFiles() const;

  // Called for each new image inside its import's transaction, with its archive path and row;
  // false (the reason set) undoes the import, and the file waits for the next pass. So work
  // written there (auto-forwarding's send jobs) and the image's rows are committed together.
  using PlacedHook =
      std::function<bool(const QString& path, const CDImgInfo& image, QString& reason)>;
  void SetPlacedHook(PlacedHook hook) { m_placedHook = std::move(hook); }

  // One pass over the files present now. Stops before the next file once `stop` is set.
  DropBatch PollDropFolder(const std::atomic<bool>* stop = nullptr);

 private:
  // CImportPlacement: the file into <archive>/<study>/<SOP Instance UID>.dcm.
  QString Place(const QString& source, const CDStuInfo& study, const CDImgInfo& image,
                QString& reason) override;
  // Moves a file into "rejected" under a name not taken yet, after the log line; false when it
  // stays.
  bool Reject(const QString& name, const QString& reason);

  CDaoDatabase& m_database;
  CImageImport m_import;
  CDRImgInfo m_images;
  QString m_drop;
  QString m_archive;
  QString m_placed;  // what Place put into the archive during the current import
  PlacedHook m_placedHook;
};
