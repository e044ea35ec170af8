#pragma once

#include <string>

namespace imaging {

// Error codes of the imaging adapter. They are negative and never collide with the
// codes the image record itself returns (-1 bad argument, -100 no memory).
enum ImagingError : int {
  kImagingOk = 0,
  kErrFileNotFound = -2,
  kErrFileRead = -3,         // the file exists but cannot be read
  kErrNotDicom = -4,         // no DICOM data set could be parsed
  kErrCorrupt = -5,          // the data set is malformed or truncated
  kErrUnsupportedSyntax = -6,
  kErrDecode = -7,           // compressed pixel data could not be decoded
  kErrNoPixelData = -8,
  kErrNoMemory = -9,
  kErrInvalidParameter = -10,
  kErrWrite = -11,
  kErrBadFrame = -12,        // frame index outside the file's frames
  kErrPixelFormat = -13,     // photometric interpretation or bit depth not supported
};

// A short English description for messages and the command-line tool.
std::string imagingErrorText(int code);

}  // namespace imaging
