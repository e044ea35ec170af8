#pragma once

#include "db/ValueRecords.h"

// One image listed in the thumbnail strip. Its picture is not kept here: the thumbnail cache
// holds it, so a long series costs no more picture memory than the cache allows.
class CBrwsrImgElement {
 public:
  explicit CBrwsrImgElement(const CDImgInfo& info) : imageInfo(info) {}
  virtual ~CBrwsrImgElement() = default;

  CDImgInfo imageInfo;
  // 1 when the operator picked the image for opening; elements added from the browser's list
  // start selected.
  int selected = 0;
  // Set while the image file is being written; the browser opens no image marked so.
  int beingSaved = 0;
};
