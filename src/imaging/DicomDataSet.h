#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

class DcmFileFormat;
class DcmItem;
class DcmElement;

namespace imaging {

struct DicomTag {
  std::uint16_t group;
  std::uint16_t element;
};

struct DicomDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// How the stored pixel values of a decoded frame are to be read. The bitmap a frame is
// decoded into holds them as they are in the file, made unsigned (see frameImage).
struct PixelDescription {
  int samplesPerPixel = 1;
  int bitsAllocated = 0;
  int bitsStored = 0;
  int highBit = 0;
  bool isSigned = false;
  std::string photometric;  // "MONOCHROME2", "MONOCHROME1", "RGB", "PALETTE COLOR", "YBR_FULL", ...
  bool isColour() const;
  bool isMonochrome1() const { return photometric == "MONOCHROME1"; }
  // Grey values wider than the 16-bit bitmap (32-bit integers, Float and Double Float Pixel
  // Data) are scaled into it; see ValueMap.
  bool isWide() const { return samplesPerPixel == 1 && bitsAllocated > 16; }
};

// How the 16-bit values of a decoded frame give back the values the file stores:
// stored = bitmap value x scale + offset. Frames of 8- and 16-bit grey images hold the stored
// values themselves, made unsigned; wider ones (see PixelDescription::isWide) are mapped
// linearly from the range present over all frames, so that every frame shares one scale.
struct ValueMap {
  double scale = 1.0;
  double offset = 0.0;
};

// A DICOM data set loaded from a file, decoded with DCMTK (every transfer syntax it
// supports) and OpenJPEG (JPEG 2000). Stands in for the imaging library's data set.
class DicomDataSet {
 public:
  DicomDataSet();
  ~DicomDataSet();
  DicomDataSet(const DicomDataSet&) = delete;
  DicomDataSet& operator=(const DicomDataSet&) = delete;

  // How much of a file load reads. Header: the elements up to and including Pixel Data,
  // values longer than 1 KB left in the file until they are asked for, nothing after Pixel
  // Data; indexing a large image then costs what indexing a small one does.
  enum class Extent { Whole, Header };

  // 0 on success, else a negative ImagingError. Files without preamble or meta header are
  // read too. A malformed file never crashes: it gives an error code.
  int load(const std::string& path, Extent extent = Extent::Whole);
  // Writes the data set (with a fresh meta header) to path. 0 or a negative ImagingError.
  int save(const std::string& path);
  bool isLoaded() const;

  // Number of Frames (0028,0008); 1 for an image without it; 0 without Pixel Data (or Float
  // or Double Float Pixel Data).
  int frameCount() const;
  bool hasPixelData() const;
  PixelDescription pixelDescription() const;
  std::string transferSyntaxUid() const;

  // True when the element is present (searchIntoSequences: also inside sequence items,
  // depth first, item tag FFFE,E000).
  bool hasElement(DicomTag tag, bool searchIntoSequences = false) const;
  // The element's whole value as text (multiple values joined with "\"), as DCMTK prints it.
  // nullopt when absent. The text is converted to UTF-8 following Specific Character Set.
  std::optional<std::string> text(DicomTag tag, bool searchIntoSequences = false) const;
  // Like text() but cut to 255 bytes (the narrow-string rule of the image record).
  std::optional<std::string> string(DicomTag tag, bool searchIntoSequences = false) const;
  // A DA value (first value). nullopt when absent or not a valid date.
  std::optional<DicomDate> date(DicomTag tag, bool searchIntoSequences = false) const;
  // Like text() for an element of the first item of a top-level sequence.
  std::optional<std::string> itemText(DicomTag sequence, DicomTag tag) const;
  // Like text() for an element of the file meta header (group 0002).
  std::optional<std::string> metaText(DicomTag tag) const;
  // Sets (or inserts at top level) an element from text. 0 or a negative ImagingError.
  int setValue(DicomTag tag, const std::string& value);

  // Decodes frame `frame` (0-based) into `out`:
  //  - grey images into a 16-bit bitmap when Bits Allocated > 8, else into an 8-bit bitmap,
  //    holding the stored values masked to Bits Stored; signed values are shifted by
  //    2^(BitsStored-1) so that every value is unsigned and the order is kept;
  //  - Bits Allocated 1 into an 8-bit bitmap of 0 and 1;
  //  - wider grey values (32-bit, float) into a 16-bit bitmap through `map` (see ValueMap);
  //  - colour images (RGB, YBR_*, PALETTE COLOR) into a 24-bit RGB bitmap, samples wider
  //    than 8 bits reduced to their top 8 stored bits.
  // `map`, when given, receives how the bitmap's values give back the stored ones.
  // 0 or a negative ImagingError.
  int frameImage(int frame, Bitmap& out, ValueMap* map = nullptr) const;
  // Decodes every frame (same rules). 0 or a negative ImagingError.
  int allFrames(std::vector<Bitmap>& frames, ValueMap* map = nullptr) const;

  // The underlying DCMTK data set, for code that needs more (null when not loaded).
  DcmItem* dataset() const;

 private:
  // One reading of the file with the current DCMTK switches.
  int read(const std::string& path, Extent extent);

  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace imaging
