#pragma once

#include <QString>

#include "display/OverlaySwitches.h"

class COpenImages;

// What a display pane needs from the main frame: the list of open images, the window value and
// type it exchanges with the shown image, the open-image operation for a dropped file and the
// overlay groups to paint.
class CPaneHost {
 public:
  virtual ~CPaneHost() = default;

  virtual COpenImages& openImages() = 0;
  virtual double windowValue() const = 0;
  virtual void setWindowValue(double value) = 0;
  virtual int windowType() const = 0;
  // Whether the shown image came from a raw source (raw file or hand-over).
  virtual void setRawSource(bool raw) = 0;
  // Opens a file into the list and shows it; 0 or a negative code.
  virtual int openImage(const QString& path, bool dicom) = 0;
  virtual const OverlaySwitches& overlaySwitches() const = 0;
};
