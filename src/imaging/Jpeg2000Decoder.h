#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/Bitmap.h"

namespace imaging {

struct PixelDescription;

// Decodes one JPEG 2000 codestream (or JP2 file) of a rows x columns frame with OpenJPEG.
// Grey frames go into an 8- or 16-bit bitmap (by Bits Allocated) holding the decoded values
// as they are (the caller masks them to Bits Stored); three-component frames go into a 24-bit
// bitmap, the reversible or irreversible colour transform already undone.
// 0 or a negative ImagingError (kErrDecode for a damaged or truncated stream).
int decodeJpeg2000(const std::uint8_t* data, std::size_t size, int rows, int columns,
                   const PixelDescription& pixels, Bitmap& out);

}  // namespace imaging
