#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "image/ImageEach.h"

// The main frame's list of open images, addressed by index 0 … count − 1 in order of opening;
// every pane shows one entry of it.
class COpenImages {
 public:
  int count() const { return static_cast<int>(m_images.size()); }
  bool isEmpty() const { return m_images.empty(); }
  // Null for an index outside the list.
  CImageEach* at(int index) const;
  // Appends and returns the new entry's index.
  int append(std::unique_ptr<CImageEach> image);
  void removeAt(int index);
  void clear() { m_images.clear(); }
  // Index of the first entry whose file path equals path, compared case-insensitively with
  // "_org.dcm" read as ".dcm"; searched from the newest entry when newestFirst. -1 when none.
  int findByPath(const QString& path, bool newestFirst) const;

  // The path under which an image is known: lower case, the original's "_org.dcm" as ".dcm".
  static QString normalisedPath(const QString& path);

 private:
  std::vector<std::unique_ptr<CImageEach>> m_images;
};

// Opening step after the image is read: the acquisition protocol of the image's body part and
// modality kind (tEP), patient position (tVP) and patient kind (tEC) gives its film size (where
// above 0) and its processing values A to E, look-up table and parameter names. An image
// without a protocol keeps its values, and so does every image when no database is configured.
// 0, or -1 after a database error, shown with the engine's text under the caption
// "Main control". databasePath empty: the application's image database.
int LookUpAcquisitionProtocol(CImageEach& entry, const QString& databasePath = QString());
