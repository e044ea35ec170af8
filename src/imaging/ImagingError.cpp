#include "imaging/ImagingError.h"

namespace imaging {

std::string imagingErrorText(int code) {
  switch (code) {
    case kImagingOk: return "Success";
    case kErrFileNotFound: return "File not found";
    case kErrFileRead: return "The file cannot be read";
    case kErrNotDicom: return "The file is not a DICOM file";
    case kErrCorrupt: return "The DICOM data set is malformed or truncated";
    case kErrUnsupportedSyntax: return "Unsupported transfer syntax";
    case kErrDecode: return "The compressed pixel data cannot be decoded";
    case kErrNoPixelData: return "The data set has no pixel data";
    case kErrNoMemory: return "Not enough memory";
    case kErrInvalidParameter: return "Invalid parameter";
    case kErrWrite: return "The file cannot be written";
    case kErrBadFrame: return "No such frame in the image";
    case kErrPixelFormat: return "Unsupported pixel format";
  }
  return "Unknown imaging error " + std::to_string(code);
}

}  // namespace imaging
