#include "imaging/DicomDataSet.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmf.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcspchrs.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcvrda.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <shared_mutex>
#include <type_traits>

#include <unistd.h>
#include <zlib.h>

#include "imaging/ImagingError.h"
#include "imaging/JapaneseText.h"
#include "imaging/Jpeg2000Decoder.h"
#include "imaging/NestingScan.h"

namespace imaging {

namespace {

// Elements longer than this stay in the file until their value is needed; DCMTK checks
// every length against the bytes that remain, so a bogus length fails instead of allocating.
constexpr Uint32 kMaxReadLength = 64 * 1024;
// The same for a header read, which wants the short values only.
constexpr Uint32 kMaxHeaderReadLength = 1024;
// Largest single frame we agree to decode: 256 MiB holds 11585 x 11585 16-bit pixels, far
// beyond any detector; a larger frame is a broken header.
constexpr std::uint64_t kMaxFrameBytes = std::uint64_t{256} << 20;
// Largest sum of compressed frames decoded together. Compressed frames may legitimately be
// tiny, so without this cap a few kilobytes of fragments could ask for gigabytes.
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{1} << 30;
// Largest deflated data set we inflate. Deflate carries reports and small images; a stream
// that inflates past this is a bomb, not a radiograph.
constexpr std::uint64_t kMaxInflatedBytes = std::uint64_t{256} << 20;

void initCodecs() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Damaged files are answered with error codes; DCMTK's own warnings would only be noise.
    OFLog::configure(OFLogger::ERROR_LOG_LEVEL);
    // Systems that did not know an attribute pass it on with VR UN; read it by the VR the
    // dictionary gives it, or a Window Center "4394" would read as its bytes 34\33\39\34.
    dcmEnableUnknownVRConversion.set(OFTrue);
    DJDecoderRegistration::registerCodecs();
    DJLSDecoderRegistration::registerCodecs();
    DcmRLEDecoderRegistration::registerCodecs();
  });
}

// Guards DCMTK's process-wide switch for elements stored as UN: loads read with it on, side
// by side; the rare file read again with it off holds the switch alone.
std::shared_mutex& unknownVrSwitch() {
  static std::shared_mutex lock;
  return lock;
}

// Runs a call into DCMTK. Some damaged files make it throw from deep inside (a directory
// record whose type has the wrong length throws std::out_of_range from loadFile); whatever it
// throws means the file is malformed, so it becomes `onError` instead of ending the process.
template <class Call, class Result = std::invoke_result_t<Call&>>
Result guarded(std::type_identity_t<Result> onError, Call&& call) noexcept {
  try {
    return call();
  } catch (...) {
    return onError;
  }
}

DcmTagKey key(DicomTag tag) { return DcmTagKey(tag.group, tag.element); }

bool isJpeg2000(E_TransferSyntax xfer) {
  return xfer == EXS_JPEG2000LosslessOnly || xfer == EXS_JPEG2000 ||
         xfer == EXS_JPEG2000MulticomponentLosslessOnly || xfer == EXS_JPEG2000Multicomponent;
}

// Keeps valid UTF-8 sequences and replaces every invalid byte with U+FFFD.
std::string sanitizeUtf8(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto c = static_cast<unsigned char>(in[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool ok = len > 0 && i + len <= in.size();
    for (int k = 1; ok && k < len; ++k)
      ok = (static_cast<unsigned char>(in[i + k]) & 0xC0) == 0x80;
    if (ok && len == 2) ok = c >= 0xC2;  // no overlong forms
    if (ok && len == 3) {
      const auto c1 = static_cast<unsigned char>(in[i + 1]);
      ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
    }
    if (ok && len == 4) {
      const auto c1 = static_cast<unsigned char>(in[i + 1]);
      ok = c <= 0xF4 && !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
    }
    if (ok) {
      out.append(in, i, len);
      i += len;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

bool isCharsetDependent(DcmEVR vr) {
  return vr == EVR_SH || vr == EVR_LO || vr == EVR_ST || vr == EVR_LT || vr == EVR_UT ||
         vr == EVR_PN || vr == EVR_UC;
}

// The Specific Character Set in force for an element: that of the nearest enclosing item
// which declares one (items of a sequence may override the data set's).
OFString characterSetOf(DcmElement* element) {
  for (DcmObject* p = element->getParent(); p != nullptr; p = p->getParent()) {
    if (p->ident() != EVR_item && p->ident() != EVR_dataset) continue;
    OFString charset;
    if (static_cast<DcmItem*>(p)->findAndGetOFStringArray(DCM_SpecificCharacterSet, charset)
            .good())
      return charset;
  }
  return OFString();
}

std::string elementText(DcmElement* element) {
  OFString value;
  if (element->getOFStringArray(value).bad()) return std::string();
  std::string raw(value.c_str(), value.length());
  // Escape sequences switch 7-bit text to other sets (JIS X 0208 in ISO 2022 IR 87).
  const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != '\x1b';
  });
  if (ascii || !isCharsetDependent(element->ident())) return sanitizeUtf8(raw);
  const OFString delimiters = element->ident() == EVR_PN ? "\\^=" : "\\";
  const OFString charset = characterSetOf(element);
  const std::string_view terms(charset.c_str(), charset.length());
  if (IsJapaneseCodeExtension(terms)) {
    const bool katakana = terms.find("ISO 2022 IR 13") != std::string_view::npos;
    if (auto decoded = DecodeJapanese(raw, katakana, delimiters.c_str()))
      return sanitizeUtf8(*decoded);
    return sanitizeUtf8(raw);
  }
  DcmSpecificCharacterSet converter;
  OFString converted;
  if (converter.selectCharacterSet(charset).good() &&
      converter.convertString(value, converted, delimiters).good())
    return sanitizeUtf8(std::string(converted.c_str(), converted.length()));
  return sanitizeUtf8(raw);
}

int uint16Value(DcmItem* ds, const DcmTagKey& tag, int fallback) {
  Uint16 v = 0;
  return ds->findAndGetUint16(tag, v).good() ? v : fallback;
}

// Transfer syntaxes newer than this DCMTK. It reads their data sets as explicit little
// endian and files the encapsulated Pixel Data under that syntax; the frames are decoded here.
enum class OwnSyntax { None, HtJpeg2000, DeflatedFrames };

OwnSyntax ownSyntaxOf(const OFString& uid) {
  if (uid == "1.2.840.10008.1.2.4.201" || uid == "1.2.840.10008.1.2.4.202" ||
      uid == "1.2.840.10008.1.2.4.203")
    return OwnSyntax::HtJpeg2000;
  if (uid == "1.2.840.10008.1.2.8.1") return OwnSyntax::DeflatedFrames;
  return OwnSyntax::None;
}

// Everything frameImage needs to know about the pixel data, checked against the data.
struct FrameLayout {
  PixelDescription pixels;
  int rows = 0;
  int columns = 0;
  int planar = 0;
  int frames = 0;
  std::uint64_t frameBits = 0;     // one frame as stored; 1-bit frames need not end on a byte
  std::uint64_t frameBytes = 0;    // one frame as stored (or decompressed), whole bytes
  std::uint64_t decodedBytes = 0;  // one frame's bitmap
  bool packed422 = false;          // YBR_FULL_422 as stored: Y Y Cb Cr for two pixels
  DcmPixelData* pixelData = nullptr;
  DcmElement* floatData = nullptr;       // Float or Double Float Pixel Data instead of Pixel Data
  DcmPixelSequence* sequence = nullptr;  // set for encapsulated pixel data
  // Encapsulated data: its items in order (item 0 is the Basic Offset Table), collected once
  // because DCMTK finds an item by its index by walking the list from the start; and the
  // item each frame starts at.
  std::vector<DcmPixelItem*> items;
  std::vector<unsigned long> frameStarts;
  E_TransferSyntax xfer = EXS_Unknown;
  OwnSyntax own = OwnSyntax::None;
  ValueMap map;  // for wide grey values, set by mapWideValues
};

// The pixel module as the file states it (absent Bits Stored and High Bit take their usual
// defaults); readLayout decides whether it describes something decodable.
PixelDescription describePixels(DcmItem* ds) {
  PixelDescription d;
  d.samplesPerPixel = uint16Value(ds, DCM_SamplesPerPixel, 1);
  d.bitsAllocated = uint16Value(ds, DCM_BitsAllocated, 0);
  d.bitsStored = uint16Value(ds, DCM_BitsStored, d.bitsAllocated);
  d.highBit = uint16Value(ds, DCM_HighBit, d.bitsStored - 1);
  d.isSigned = uint16Value(ds, DCM_PixelRepresentation, 0) == 1;
  OFString photometric;
  if (ds->findAndGetOFString(DCM_PhotometricInterpretation, photometric).good())
    d.photometric = photometric.c_str();
  return d;
}

int frameCountOf(DcmItem* ds) {
  Sint32 frames = 0;
  if (ds->findAndGetSint32(DCM_NumberOfFrames, frames).bad() || frames < 1) return 1;
  return frames;
}

DcmPixelData* pixelDataOf(DcmItem* ds) {
  DcmElement* element = nullptr;
  if (ds->findAndGetElement(DCM_PixelData, element).bad() || element == nullptr) return nullptr;
  return dynamic_cast<DcmPixelData*>(element);
}

// Float Pixel Data (4-byte values) or Double Float Pixel Data (8-byte values) with a value.
DcmElement* floatPixelsOf(DcmItem* ds, int& bytesPerValue) {
  for (const auto& [tag, bytes] :
       {std::pair{DCM_FloatPixelData, 4}, std::pair{DCM_DoubleFloatPixelData, 8}}) {
    DcmElement* element = nullptr;
    if (ds->findAndGetElement(tag, element).good() && element != nullptr &&
        element->getLength() > 0) {
      bytesPerValue = bytes;
      return element;
    }
  }
  return nullptr;
}

// The fragments of encapsulated pixel data, filed under the syntax the data set was read in.
DcmPixelSequence* sequenceOf(DcmPixelData* pixelData, E_TransferSyntax xfer) {
  DcmPixelSequence* seq = nullptr;
  if (pixelData->getEncapsulatedRepresentation(xfer, nullptr, seq).bad()) return nullptr;
  return seq;
}

// True when a pixel data element holds something to decode (native bytes or fragments).
bool hasPixelValue(DcmPixelData* pixelData, E_TransferSyntax xfer) {
  if (pixelData == nullptr) return false;
  if (DcmPixelSequence* seq = sequenceOf(pixelData, xfer)) return seq->card() > 1;
  return pixelData->getLength() > 0;
}

bool hasAnyPixels(DcmItem* ds, E_TransferSyntax xfer) {
  int bytes = 0;
  return hasPixelValue(pixelDataOf(ds), xfer) || floatPixelsOf(ds, bytes) != nullptr;
}

// Finds the item each frame of an encapsulated pixel sequence starts at: one fragment per
// frame when the counts agree, else the Basic Offset Table when it is filled, else the
// codestream start markers. Every frame needs a fragment of its own, so a Number of Frames
// above the fragment count is refused before anything is sized by it.
int locateFrames(FrameLayout& layout) {
  DcmPixelSequence* seq = layout.sequence;
  for (DcmObject* o = seq->nextInContainer(nullptr); o != nullptr; o = seq->nextInContainer(o)) {
    auto* item = dynamic_cast<DcmPixelItem*>(o);
    if (item == nullptr) return kErrCorrupt;
    layout.items.push_back(item);
  }
  const unsigned long items = layout.items.size();
  const auto frames = static_cast<unsigned long>(layout.frames);
  if (items < 2) return kErrNoPixelData;
  if (frames > items - 1) return kErrCorrupt;
  std::vector<unsigned long>& starts = layout.frameStarts;
  if (frames == 1 || frames == items - 1) {
    for (unsigned long i = 1; i <= frames; ++i) starts.push_back(i);
    return kImagingOk;
  }
  DcmPixelItem* table = layout.items[0];
  Uint8* offsets = nullptr;
  if (table->getLength() / 4 >= frames &&
      table->getUint8Array(offsets).good() && offsets != nullptr) {
    // Offsets count bytes from the first fragment's item tag; each item adds an 8-byte header.
    std::uint64_t position = 0;
    for (unsigned long i = 1; i < items && starts.size() < frames; ++i) {
      const Uint8* o = offsets + 4 * starts.size();
      const std::uint64_t wanted = o[0] | (o[1] << 8) | (o[2] << 16) |
                                   (static_cast<std::uint64_t>(o[3]) << 24);
      if (position == wanted) starts.push_back(i);
      position += 8 + layout.items[i]->getLength();
    }
  }
  if (starts.size() != frames) {
    starts.clear();
    for (unsigned long i = 1; i < items; ++i) {
      DcmPixelItem* fragment = layout.items[i];
      Uint8 head[4] = {0, 0, 0, 0};
      if (fragment->getLength() < 4 || fragment->getPartialValue(head, 0, 4).bad()) continue;
      const bool jpeg = head[0] == 0xFF && head[1] == 0xD8;
      const bool j2k = head[0] == 0xFF && head[1] == 0x4F && head[2] == 0xFF && head[3] == 0x51;
      const bool jp2 = head[0] == 0 && head[1] == 0 && head[2] == 0 && head[3] == 0x0C;
      if (jpeg || j2k || jp2) starts.push_back(i);
    }
    if (starts.size() != frames) return kErrCorrupt;
  }
  return kImagingOk;
}

// A pixel module that contradicts itself is refused rather than guessed at: any guess
// paints noise that looks like an image.
int checkPixelModule(DcmDataset* ds, const FrameLayout& layout) {
  const PixelDescription& p = layout.pixels;
  const bool mono = p.photometric.starts_with("MONO") || p.photometric.empty();
  const bool palette = p.photometric == "PALETTE COLOR";
  if (layout.floatData != nullptr) {
    int bytes = 0;
    floatPixelsOf(ds, bytes);
    return p.bitsAllocated == 8 * bytes && p.samplesPerPixel == 1 && mono ? kImagingOk
                                                                          : kErrPixelFormat;
  }
  if (p.bitsAllocated != 1 && p.bitsAllocated != 8 && p.bitsAllocated != 16 &&
      p.bitsAllocated != 32)
    return kErrPixelFormat;
  if (p.bitsStored < 1 || p.bitsStored > p.bitsAllocated) return kErrPixelFormat;
  if (p.highBit < p.bitsStored - 1 || p.highBit >= p.bitsAllocated) return kErrPixelFormat;
  if (uint16Value(ds, DCM_PixelRepresentation, 0) > 1) return kErrPixelFormat;
  if (p.samplesPerPixel != 1 && p.samplesPerPixel != 3) return kErrPixelFormat;
  if (p.samplesPerPixel == 3 && (mono || layout.planar > 1)) return kErrPixelFormat;
  if (p.samplesPerPixel == 1 && !palette && !mono) return kErrPixelFormat;
  if (palette && p.bitsAllocated > 16) return kErrPixelFormat;
  // Single bits are packed end to end; only native and frame-deflated data keep them so.
  if (p.bitsAllocated == 1 &&
      (!mono || (layout.sequence != nullptr && layout.own != OwnSyntax::DeflatedFrames)))
    return kErrPixelFormat;
  // JPEG 2000 hands over at most 16 bits a grey sample here.
  if (p.isWide() && (isJpeg2000(layout.xfer) || layout.own == OwnSyntax::HtJpeg2000))
    return kErrPixelFormat;
  // Stored 4:2:2 pairs two pixels of a row on one chroma pair.
  if (layout.packed422 && (p.bitsAllocated != 8 || layout.planar != 0 || layout.columns % 2 != 0))
    return kErrPixelFormat;
  return kImagingOk;
}

int readLayout(DcmDataset* ds, OwnSyntax own, FrameLayout& layout) {
  layout.xfer = ds->getOriginalXfer();
  layout.own = own;
  layout.pixelData = pixelDataOf(ds);
  int floatBytes = 0;
  if (hasPixelValue(layout.pixelData, layout.xfer)) {
    layout.sequence = sequenceOf(layout.pixelData, layout.xfer);
    const bool encapsulated = DcmXfer(layout.xfer).isEncapsulated() || own != OwnSyntax::None;
    if (encapsulated && layout.sequence == nullptr) return kErrCorrupt;
    // Fragments under a syntax this DCMTK reads as native: a compression it does not know.
    if (!encapsulated && layout.sequence != nullptr) return kErrUnsupportedSyntax;
  } else {
    layout.floatData = floatPixelsOf(ds, floatBytes);
    if (layout.floatData == nullptr) return kErrNoPixelData;
  }
  layout.pixels = describePixels(ds);
  layout.rows = uint16Value(ds, DCM_Rows, 0);
  layout.columns = uint16Value(ds, DCM_Columns, 0);
  layout.planar = uint16Value(ds, DCM_PlanarConfiguration, 0);
  layout.frames = frameCountOf(ds);
  const PixelDescription& p = layout.pixels;
  if (layout.rows < 1 || layout.columns < 1) return kErrCorrupt;
  layout.packed422 = p.photometric == "YBR_FULL_422" &&
                     (layout.sequence == nullptr || own == OwnSyntax::DeflatedFrames);
  if (int rc = checkPixelModule(ds, layout); rc != kImagingOk) return rc;
  const std::uint64_t pixels = static_cast<std::uint64_t>(layout.rows) * layout.columns;
  layout.frameBits = pixels * (layout.packed422 ? 2 : p.samplesPerPixel) * p.bitsAllocated;
  layout.frameBytes = (layout.frameBits + 7) / 8;
  layout.decodedBytes = pixels * (p.isColour() ? 3 : p.bitsAllocated > 8 ? 2 : 1);
  if (std::max(layout.frameBytes, layout.decodedBytes) > kMaxFrameBytes) return kErrNoMemory;
  if (layout.sequence != nullptr) return locateFrames(layout);
  // Native frames lie end to end: the value must hold every frame the header counts.
  const std::uint64_t needed =
      (static_cast<std::uint64_t>(layout.frames) * layout.frameBits + 7) / 8;
  DcmElement* value = layout.floatData != nullptr ? layout.floatData : layout.pixelData;
  return value->getLength() < needed ? kErrCorrupt : kImagingOk;
}

// Fragment range [first, last) of a frame of an encapsulated pixel sequence.
void frameFragments(const FrameLayout& layout, int frame, unsigned long& first,
                    unsigned long& last) {
  const auto index = static_cast<std::size_t>(frame);
  first = layout.frameStarts[index];
  last = index + 1 < layout.frameStarts.size() ? layout.frameStarts[index + 1]
                                                : layout.items.size();
}

// The compressed bytes of one frame: straight from its fragment when it has one (the common
// case), else its fragments joined into `joined`.
int frameStream(const FrameLayout& layout, int frame, std::vector<std::uint8_t>& joined,
                const Uint8*& stream, std::size_t& size) {
  unsigned long first = 0;
  unsigned long last = 0;
  frameFragments(layout, frame, first, last);
  stream = nullptr;
  size = 0;
  for (unsigned long i = first; i < last; ++i) {
    DcmPixelItem* fragment = layout.items[i];
    Uint8* bytes = nullptr;
    if (fragment->getLength() == 0) continue;
    if (fragment->getUint8Array(bytes).bad() || bytes == nullptr) return kErrCorrupt;
    if (last - first == 1) {
      stream = bytes;
      size = fragment->getLength();
    } else {
      joined.insert(joined.end(), bytes, bytes + fragment->getLength());
    }
  }
  if (stream == nullptr) {
    stream = joined.data();
    size = joined.size();
  }
  return kImagingOk;
}

int decodeJpeg2000Frame(const FrameLayout& layout, int frame, Bitmap& out) {
  std::vector<std::uint8_t> joined;
  const Uint8* stream = nullptr;
  std::size_t size = 0;
  if (int rc = frameStream(layout, frame, joined, stream, size); rc != kImagingOk) return rc;
  return decodeJpeg2000(stream, size, layout.rows, layout.columns, layout.pixels, out);
}

// A frame of Deflated Image Frame Compression: a raw deflate stream that must give exactly
// one frame, never more (dst holds frameBytes).
int inflateFrame(const FrameLayout& layout, int frame, std::uint8_t* dst) {
  std::vector<std::uint8_t> joined;
  const Uint8* stream = nullptr;
  std::size_t size = 0;
  if (int rc = frameStream(layout, frame, joined, stream, size); rc != kImagingOk) return rc;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return kErrNoMemory;
  std::unique_ptr<z_stream, int (*)(z_stream*)> end(&zs, inflateEnd);
  zs.next_in = const_cast<Bytef*>(stream);
  zs.avail_in = static_cast<uInt>(size);
  zs.next_out = dst;
  zs.avail_out = static_cast<uInt>(layout.frameBytes);
  const int status = inflate(&zs, Z_FINISH);
  // Z_BUF_ERROR: the frame is full and the stream wants to go on, or the stream ran out.
  if (status != Z_STREAM_END || zs.avail_out != 0) return kErrDecode;
  return kImagingOk;
}

// DCMTK's RLE decoder reads the 64-byte header of a frame's first fragment and decodes from
// wherever its segment offsets point, without checking them against the fragment: they must
// be ascending and inside it.
bool rleHeaderFits(DcmPixelItem* fragment) {
  const Uint32 length = fragment->getLength();
  Uint8* data = nullptr;
  if (length < 64 || fragment->getUint8Array(data).bad() || data == nullptr) return false;
  const auto word = [data](int i) {
    const Uint8* p = data + 4 * i;
    return static_cast<Uint32>(p[0] | (p[1] << 8) | (p[2] << 16)) |
           (static_cast<Uint32>(p[3]) << 24);
  };
  const Uint32 segments = word(0);
  if (segments < 1 || segments > 15) return false;
  Uint32 previous = 64;
  for (int i = 1; i <= static_cast<int>(segments); ++i) {
    if (word(i) < previous || word(i) > length) return false;
    previous = word(i);
  }
  return true;
}

// One frame through DCMTK (native data or a registered codec) into dst (frameBytes long).
int decodeDcmtkFrame(DcmDataset* ds, const FrameLayout& layout, int frame, std::uint8_t* dst,
                     std::string& colourModel) {
  // DCMTK moves it on to the next frame's fragment; that is of no use here.
  Uint32 startFragment =
      layout.sequence != nullptr
          ? static_cast<Uint32>(layout.frameStarts[static_cast<std::size_t>(frame)])
          : 0;
  if (layout.xfer == EXS_RLELossless && !rleHeaderFits(layout.items[startFragment]))
    return kErrDecode;
  // DCMTK wants an even buffer size; odd frames (8-bit, odd pixel count) go through a copy.
  const auto bytes = static_cast<std::size_t>(layout.frameBytes);
  std::vector<std::uint8_t> scratch;
  std::uint8_t* target = dst;
  if (bytes % 2 != 0) {
    scratch.resize(bytes + 1);
    target = scratch.data();
  }
  OFString model;
  const OFCondition status = layout.pixelData->getUncompressedFrame(
      ds, static_cast<Uint32>(frame), startFragment, target,
      static_cast<Uint32>(bytes + bytes % 2), model);
  if (status.bad()) {
    if (layout.sequence == nullptr) return kErrCorrupt;
    if (status == EC_CannotChangeRepresentation) return kErrUnsupportedSyntax;
    return kErrDecode;
  }
  if (target != dst) std::memcpy(dst, target, bytes);
  colourModel = model.empty() ? layout.pixels.photometric : model.c_str();
  return kImagingOk;
}

// The stored bytes of one frame, uncompressed, into dst (frameBytes long). 1-bit native
// frames do not start on a byte and are read by unpackBits instead.
int storedFrame(DcmDataset* ds, const FrameLayout& layout, int frame, std::uint8_t* dst,
                std::string& colourModel) {
  if (layout.own == OwnSyntax::DeflatedFrames) {
    colourModel = layout.pixels.photometric;
    return inflateFrame(layout, frame, dst);
  }
  // DCMTK sizes a native frame by Samples per Pixel alone, which stored 4:2:2 does not fill,
  // and knows no float frames: these are read from the value directly.
  if (layout.sequence == nullptr && (layout.floatData != nullptr || layout.packed422)) {
    colourModel = layout.pixels.photometric;
    DcmElement* value = layout.floatData != nullptr ? layout.floatData : layout.pixelData;
    return value->getPartialValue(dst, static_cast<Uint32>(frame * layout.frameBytes),
                                  static_cast<Uint32>(layout.frameBytes))
                   .good()
               ? kImagingOk
               : kErrCorrupt;
  }
  return decodeDcmtkFrame(ds, layout, frame, dst, colourModel);
}

// Single bits (bit 0 of each byte first) from bit `start` on, as 8-bit 0 and 1.
void unpackBits(const std::uint8_t* src, std::uint64_t start, Bitmap& out) {
  std::uint8_t* dst = out.data();
  const std::size_t count = out.byteSize();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t bit = start + i;
    dst[i] = (src[bit / 8] >> (bit % 8)) & 1u;
  }
}

int decodeBitFrame(DcmDataset* ds, const FrameLayout& layout, int frame, Bitmap& out) {
  Bitmap bits;
  if (!bits.createForOverwrite(layout.columns, layout.rows, 8)) return kErrNoMemory;
  if (layout.sequence != nullptr) {
    std::vector<std::uint8_t> stored(static_cast<std::size_t>(layout.frameBytes));
    std::string model;
    if (int rc = storedFrame(ds, layout, frame, stored.data(), model); rc != kImagingOk) return rc;
    unpackBits(stored.data(), 0, bits);
  } else {
    Uint8* all = nullptr;
    if (layout.pixelData->getUint8Array(all).bad() || all == nullptr) return kErrCorrupt;
    unpackBits(all, static_cast<std::uint64_t>(frame) * layout.frameBits, bits);
  }
  out = std::move(bits);
  return kImagingOk;
}

// One stored grey value of a wide frame as a double (integers cut to Bits Stored).
template <class Each>
void forEachWideValue(const std::uint8_t* src, std::size_t count, const FrameLayout& layout,
                      Each&& each) {
  const PixelDescription& p = layout.pixels;
  if (layout.floatData != nullptr) {
    for (std::size_t i = 0; i < count; ++i) {
      if (p.bitsAllocated == 64) {
        double v = 0;
        std::memcpy(&v, src + 8 * i, 8);
        each(i, v);
      } else {
        float v = 0;
        std::memcpy(&v, src + 4 * i, 4);
        each(i, static_cast<double>(v));
      }
    }
    return;
  }
  const int shift = p.highBit + 1 - p.bitsStored;
  const std::uint32_t mask = p.bitsStored >= 32 ? 0xFFFFFFFFu : (1u << p.bitsStored) - 1u;
  const std::uint32_t sign = 1u << (p.bitsStored - 1);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t raw = 0;
    std::memcpy(&raw, src + 4 * i, 4);
    const std::uint32_t v = (raw >> shift) & mask;
    // Two's complement at Bits Stored: subtracting twice the sign bit's weight sign-extends.
    const double value = p.isSigned && (v & sign) != 0 ? static_cast<double>(v) - 2.0 * sign
                                                       : static_cast<double>(v);
    each(i, value);
  }
}

// Scale of wide grey values into 16 bits, from the finite values present in every frame, so
// that frames of one image share it. A range that fits 16 bits keeps every value exact.
int mapWideValues(DcmDataset* ds, FrameLayout& layout) {
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -lowest;
  std::vector<std::uint8_t> stored(static_cast<std::size_t>(layout.frameBytes));
  const std::size_t count = static_cast<std::size_t>(layout.rows) * layout.columns;
  for (int f = 0; f < layout.frames; ++f) {
    std::string model;
    if (int rc = storedFrame(ds, layout, f, stored.data(), model); rc != kImagingOk) return rc;
    forEachWideValue(stored.data(), count, layout, [&](std::size_t, double v) {
      if (!std::isfinite(v)) return;
      lowest = std::min(lowest, v);
      highest = std::max(highest, v);
    });
  }
  if (lowest > highest) lowest = highest = 0;  // nothing finite: all black
  const double range = highest - lowest;
  const bool integral = layout.floatData == nullptr;
  layout.map.offset = lowest;
  layout.map.scale = range > 65535 || (!integral && range > 0) ? range / 65535 : 1.0;
  return kImagingOk;
}

int decodeWideFrame(DcmDataset* ds, const FrameLayout& layout, int frame, Bitmap& out) {
  std::vector<std::uint8_t> stored(static_cast<std::size_t>(layout.frameBytes));
  std::string model;
  if (int rc = storedFrame(ds, layout, frame, stored.data(), model); rc != kImagingOk) return rc;
  Bitmap grey;
  if (!grey.createForOverwrite(layout.columns, layout.rows, 16)) return kErrNoMemory;
  std::uint16_t* dst = grey.grey16();
  const ValueMap& map = layout.map;
  forEachWideValue(stored.data(), grey.byteSize() / 2, layout, [&](std::size_t i, double v) {
    // NaN shows as the lowest value; infinities as the ends of the range.
    const double level = std::isnan(v) ? 0.0 : std::round((v - map.offset) / map.scale);
    dst[i] = static_cast<std::uint16_t>(std::clamp(level, 0.0, 65535.0));
  });
  out = std::move(grey);
  return kImagingOk;
}

// Colour samples of 16 or 32 bits to 8: the top 8 of their stored bits, as a viewer shows
// them. Pixel- or plane-interleaved in, pixel-interleaved out.
void reduceColour(const std::uint8_t* src, const FrameLayout& layout, Bitmap& out) {
  const PixelDescription& p = layout.pixels;
  const std::size_t count = static_cast<std::size_t>(out.width()) * out.height();
  const int bytes = p.bitsAllocated / 8;
  const int shift = p.highBit + 1 - p.bitsStored;
  const std::uint32_t mask = p.bitsStored >= 32 ? 0xFFFFFFFFu : (1u << p.bitsStored) - 1u;
  const int down = std::max(p.bitsStored - 8, 0);
  std::uint8_t* dst = out.data();
  for (std::size_t i = 0; i < count; ++i) {
    for (int c = 0; c < 3; ++c) {
      const std::size_t index = layout.planar == 1 ? c * count + i : i * 3 + c;
      std::uint32_t v = 0;
      std::memcpy(&v, src + index * bytes, static_cast<std::size_t>(bytes));
      dst[i * 3 + c] = static_cast<std::uint8_t>(((v >> shift) & mask) >> down);
    }
  }
}

// Stored YBR_FULL_422 (Y1 Y2 Cb Cr for two pixels of a row) to full YBR, one triple a pixel.
void expand422(const std::uint8_t* src, Bitmap& out) {
  std::uint8_t* dst = out.data();
  const std::size_t pairs = static_cast<std::size_t>(out.width()) * out.height() / 2;
  for (std::size_t i = 0; i < pairs; ++i, src += 4, dst += 6) {
    dst[0] = src[0];
    dst[3] = src[1];
    dst[1] = dst[4] = src[2];
    dst[2] = dst[5] = src[3];
  }
}

// Stored values cut to Bits Stored (moved down when High Bit says so), signed ones offset by
// 2^(BitsStored-1): flipping the sign bit of a two's complement value does exactly that.
template <class T>
void normaliseGrey(T* p, std::size_t count, const PixelDescription& d) {
  const int shift = d.highBit + 1 - d.bitsStored;
  const unsigned mask = d.bitsStored >= 16 ? 0xFFFFu : (1u << d.bitsStored) - 1u;
  const unsigned sign = d.isSigned ? 1u << (d.bitsStored - 1) : 0u;
  for (std::size_t i = 0; i < count; ++i)
    p[i] = static_cast<T>(((static_cast<unsigned>(p[i]) >> shift) & mask) ^ sign);
}

void normaliseGrey(Bitmap& bitmap, const PixelDescription& d) {
  const std::size_t count = static_cast<std::size_t>(bitmap.width()) * bitmap.height();
  if (bitmap.bitsPerPixel() == 16)
    normaliseGrey(bitmap.grey16(), count, d);
  else
    normaliseGrey(bitmap.data(), count, d);
}

std::uint8_t clampByte(float v) {
  return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.f, 255.f));
}

void ybrFullToRgb(Bitmap& bitmap) {
  std::uint8_t* p = bitmap.data();
  for (std::size_t i = 0, n = bitmap.byteSize(); i + 2 < n; i += 3) {
    const float y = p[i];
    const float cb = p[i + 1] - 128.f;
    const float cr = p[i + 2] - 128.f;
    p[i] = clampByte(y + 1.402f * cr);
    p[i + 1] = clampByte(y - 0.344136f * cb - 0.714136f * cr);
    p[i + 2] = clampByte(y + 1.772f * cb);
  }
}

// One value of a LUT descriptor, whose VR may be US or SS.
bool descriptorValue(DcmItem* ds, const DcmTagKey& tag, unsigned long pos, int& value) {
  Uint16 u = 0;
  Sint16 s = 0;
  if (ds->findAndGetUint16(tag, u, pos).good()) {
    value = u;
    return true;
  }
  if (ds->findAndGetSint16(tag, s, pos).good()) {
    value = s;
    return true;
  }
  return false;
}

// Expands the segments of a segmented palette table (discrete, linear, indirect) into at
// most `entries` values. An indirect segment repeats segments from a word offset; one that
// points at another indirect segment, or anything that runs past the table, is refused.
bool expandSegments(const Uint16* words, unsigned long count, std::size_t entries,
                    std::vector<Uint16>& out, unsigned long start = 0,
                    unsigned long segments = ULONG_MAX, bool nested = false) {
  unsigned long pos = start;
  for (unsigned long done = 0; done < segments && pos < count && out.size() < entries; ++done) {
    if (pos + 1 >= count) return false;
    const Uint16 opcode = words[pos];
    const unsigned long length = words[pos + 1];
    if (opcode == 0) {  // discrete: `length` values follow
      if (pos + 2 + length > count) return false;
      out.insert(out.end(), words + pos + 2, words + pos + 2 + length);
      pos += 2 + length;
    } else if (opcode == 1) {  // linear: from the last value to the next word in `length` steps
      if (out.empty() || pos + 2 >= count) return false;
      const double from = out.back();
      const double to = words[pos + 2];
      for (unsigned long i = 1; i <= length; ++i)
        out.push_back(static_cast<Uint16>(std::nearbyint(from + (to - from) * i / length)));
      pos += 3;
    } else if (opcode == 2 && !nested) {  // indirect: `length` segments from a 32-bit offset
      if (pos + 3 >= count) return false;
      const unsigned long offset =
          words[pos + 2] | (static_cast<unsigned long>(words[pos + 3]) << 16);
      if (offset >= count || !expandSegments(words, count, entries, out, offset, length, true))
        return false;
      pos += 4;
    } else {
      return false;
    }
  }
  if (out.size() > entries) out.resize(entries);
  return true;
}

// Palette indices through the three LUTs of the data set (8- or 16-bit entries) to RGB.
int applyPalette(DcmItem* ds, const Bitmap& indices, Bitmap& out) {
  static const DcmTagKey kDescriptors[3] = {DCM_RedPaletteColorLookupTableDescriptor,
                                           DCM_GreenPaletteColorLookupTableDescriptor,
                                           DCM_BluePaletteColorLookupTableDescriptor};
  static const DcmTagKey kData[3] = {DCM_RedPaletteColorLookupTableData,
                                     DCM_GreenPaletteColorLookupTableData,
                                     DCM_BluePaletteColorLookupTableData};
  static const DcmTagKey kSegmented[3] = {DCM_SegmentedRedPaletteColorLookupTableData,
                                          DCM_SegmentedGreenPaletteColorLookupTableData,
                                          DCM_SegmentedBluePaletteColorLookupTableData};
  std::vector<std::uint8_t> tables[3];
  int firstMapped[3] = {0, 0, 0};
  for (int c = 0; c < 3; ++c) {
    int entries = 0;
    int bits = 0;
    if (!descriptorValue(ds, kDescriptors[c], 0, entries) ||
        !descriptorValue(ds, kDescriptors[c], 1, firstMapped[c]) ||
        !descriptorValue(ds, kDescriptors[c], 2, bits))
      return kErrPixelFormat;
    // Entries are 8 or 16 bits; the shift below is undefined for a width past 16.
    if (bits < 1 || bits > 16) return kErrPixelFormat;
    // 0 entries means 65536 (the count does not fit into 16 bits).
    const std::size_t n = entries == 0 ? 65536 : static_cast<std::uint16_t>(entries);
    const Uint16* words = nullptr;
    unsigned long count = 0;
    std::vector<Uint16> expanded;
    if (ds->findAndGetUint16Array(kData[c], words, &count).bad() || words == nullptr) {
      const Uint16* segments = nullptr;
      unsigned long segmentWords = 0;
      if (ds->findAndGetUint16Array(kSegmented[c], segments, &segmentWords).bad() ||
          segments == nullptr)
        return kErrPixelFormat;
      if (!expandSegments(segments, segmentWords, n, expanded)) return kErrCorrupt;
      words = expanded.data();
      count = expanded.size();
    }
    tables[c].resize(n);
    if (bits <= 8 && count < n) {  // 8-bit entries packed two to a word, low byte first
      if (2 * count < n) return kErrCorrupt;
      for (std::size_t i = 0; i < n; ++i)
        tables[c][i] = static_cast<std::uint8_t>(words[i / 2] >> (8 * (i % 2)));
    } else {
      if (count < n) return kErrCorrupt;
      const int down = bits > 8 ? bits - 8 : 0;
      for (std::size_t i = 0; i < n; ++i)
        tables[c][i] = static_cast<std::uint8_t>(std::min(words[i] >> down, 255));
    }
  }
  if (!out.create(indices.width(), indices.height(), 24)) return kErrNoMemory;
  const std::size_t count = static_cast<std::size_t>(indices.width()) * indices.height();
  std::uint8_t* dst = out.data();
  for (std::size_t i = 0; i < count; ++i) {
    const int v = indices.bitsPerPixel() == 16 ? indices.grey16()[i] : indices.data()[i];
    for (int c = 0; c < 3; ++c) {
      const int index = std::clamp(v - firstMapped[c], 0, static_cast<int>(tables[c].size()) - 1);
      dst[i * 3 + c] = tables[c][index];
    }
  }
  return kImagingOk;
}

// Colour frame as stored (or as DCMTK's decoder returned it) into RGB.
void colourToRgb(const std::uint8_t* src, const FrameLayout& layout, const std::string& model,
                 Bitmap& out) {
  const std::size_t count = static_cast<std::size_t>(out.width()) * out.height();
  std::uint8_t* dst = out.data();
  if (layout.packed422) {
    expand422(src, out);
  } else if (layout.pixels.bitsAllocated > 8) {
    reduceColour(src, layout, out);
  } else if (layout.planar == 1) {
    for (int c = 0; c < 3; ++c)
      for (std::size_t i = 0; i < count; ++i) dst[i * 3 + c] = src[c * count + i];
  } else if (src != dst) {
    std::memcpy(dst, src, count * 3);
  }
  if (model.starts_with("YBR_FULL")) ybrFullToRgb(out);
}

// Frame `frame` of a checked layout into out (see DicomDataSet::frameImage).
int decodeFrame(DcmDataset* ds, const FrameLayout& layout, int frame, Bitmap& out) {
  const PixelDescription& p = layout.pixels;
  const bool palette = p.photometric == "PALETTE COLOR";
  if (p.bitsAllocated == 1) return decodeBitFrame(ds, layout, frame, out);
  if (layout.floatData != nullptr || p.isWide()) return decodeWideFrame(ds, layout, frame, out);

  if (isJpeg2000(layout.xfer) || layout.own == OwnSyntax::HtJpeg2000) {
    Bitmap decoded;
    if (int rc = decodeJpeg2000Frame(layout, frame, decoded); rc != kImagingOk) return rc;
    if (p.samplesPerPixel == 3) {
      if (p.photometric.starts_with("YBR_FULL")) ybrFullToRgb(decoded);
      out = std::move(decoded);
      return kImagingOk;
    }
    normaliseGrey(decoded, p);
    if (palette) return applyPalette(ds, decoded, out);
    out = std::move(decoded);
    return kImagingOk;
  }

  std::string model;
  if (p.samplesPerPixel == 3) {
    Bitmap rgb;
    if (!rgb.createForOverwrite(layout.columns, layout.rows, 24)) return kErrNoMemory;
    // DCMTK hands frames over in the data set's planar configuration. 8-bit pixel-interleaved
    // frames are decoded straight into the bitmap; the others are rearranged from a copy.
    const bool direct = layout.planar == 0 && p.bitsAllocated == 8 && !layout.packed422;
    std::vector<std::uint8_t> stored;
    std::uint8_t* target = rgb.data();
    if (!direct) {
      stored.resize(static_cast<std::size_t>(layout.frameBytes));
      target = stored.data();
    }
    if (int rc = storedFrame(ds, layout, frame, target, model); rc != kImagingOk) return rc;
    colourToRgb(target, layout, model, rgb);
    out = std::move(rgb);
    return kImagingOk;
  }
  Bitmap grey;
  if (!grey.createForOverwrite(layout.columns, layout.rows, p.bitsAllocated > 8 ? 16 : 8)) {
    return kErrNoMemory;
  }
  if (int rc = storedFrame(ds, layout, frame, grey.data(), model); rc != kImagingOk) return rc;
  normaliseGrey(grey, p);
  if (palette) return applyPalette(ds, grey, out);
  out = std::move(grey);
  return kImagingOk;
}

// A file of the temp folder that lives as long as its owner: DCMTK reads large values from
// the file they were parsed from only when they are needed.
class TemporaryFile {
 public:
  TemporaryFile() {
    std::string name =
        (std::filesystem::temp_directory_path() / "torascan-inflated-XXXXXX").string();
    const int fd = mkstemp(name.data());
    if (fd >= 0) {
      close(fd);
      m_path = name;
    }
  }
  ~TemporaryFile() {
    if (!m_path.empty()) std::remove(m_path.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return m_path; }  // empty when none could be made

 private:
  std::string m_path;
};

// True when the file's meta header declares the deflated transfer syntax; `start` is then
// where the deflated data set begins.
bool isDeflated(const std::string& path, std::uint64_t& start) {
  DcmInputFileStream stream(path.c_str());
  DcmMetaInfo meta;
  meta.transferInit();
  const OFCondition read = meta.read(stream, EXS_Unknown, EGL_noChange, kMaxReadLength);
  meta.transferEnd();
  OFString uid;
  if (read.bad() ||
      meta.findAndGetOFString(DCM_TransferSyntaxUID, uid).bad() ||
      uid != UID_DeflatedExplicitVRLittleEndianTransferSyntax)
    return false;
  start = static_cast<std::uint64_t>(stream.tell());
  return true;
}

// Inflates the data set of `path` from `start` into `target`. DCMTK cannot skip values in a
// deflated stream, so read directly it allocates whatever length a damaged element claims;
// from the inflated copy it checks every length against the bytes that remain.
int inflateDataSet(const std::string& path, std::uint64_t start, const std::string& target) {
  std::ifstream in(path, std::ios::binary);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!in.seekg(static_cast<std::streamoff>(start)) || !out) return kErrFileRead;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return kErrNoMemory;  // raw deflate, no header
  std::unique_ptr<z_stream, int (*)(z_stream*)> end(&zs, inflateEnd);
  std::vector<char> input(1 << 16);
  std::vector<char> output(1 << 18);
  std::uint64_t total = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (zs.avail_in == 0) {
      in.read(input.data(), static_cast<std::streamsize>(input.size()));
      if (in.gcount() == 0) break;  // truncated: DCMTK reports what is missing
      zs.next_in = reinterpret_cast<Bytef*>(input.data());
      zs.avail_in = static_cast<uInt>(in.gcount());
    }
    zs.next_out = reinterpret_cast<Bytef*>(output.data());
    zs.avail_out = static_cast<uInt>(output.size());
    status = inflate(&zs, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) return kErrCorrupt;
    const std::size_t produced = output.size() - zs.avail_out;
    total += produced;
    if (total > kMaxInflatedBytes) return kErrNoMemory;
    out.write(output.data(), static_cast<std::streamsize>(produced));
  }
  return out.flush() ? kImagingOk : kErrFileRead;
}

// Without the DICM mark any bytes parse as something: believe a parse only when it found an
// identifying element (group 0008) or an image.
bool looksLikeImageDataSet(DcmDataset* ds) {
  if (ds->tagExists(DCM_PixelData)) return true;
  for (DcmObject* o = ds->nextInContainer(nullptr); o != nullptr; o = ds->nextInContainer(o))
    if (o->getGTag() == 0x0008) return true;
  return false;
}

}  // namespace

bool PixelDescription::isColour() const {
  return samplesPerPixel > 1 || photometric == "PALETTE COLOR";
}

struct DicomDataSet::Impl {
  std::unique_ptr<DcmFileFormat> file;
  std::unique_ptr<TemporaryFile> inflated;  // the file's data set, when it was deflated
  E_TransferSyntax xfer = EXS_Unknown;      // as the file declares it
  OwnSyntax own = OwnSyntax::None;          // a syntax DCMTK does not know, decoded here
  std::string ownUid;
  DcmDataset* dataset() const { return file ? file->getDataset() : nullptr; }
  DcmElement* find(DicomTag tag, bool searchIntoSequences) const {
    DcmElement* element = nullptr;
    if (!file || file->getDataset()->findAndGetElement(key(tag), element, searchIntoSequences)
                     .bad())
      return nullptr;
    return element;
  }
};

DicomDataSet::DicomDataSet() : m_impl(std::make_unique<Impl>()) {}
DicomDataSet::~DicomDataSet() = default;

int DicomDataSet::load(const std::string& path, Extent extent) {
  initCodecs();
  {
    std::shared_lock converting(unknownVrSwitch());
    const int code = read(path, extent);
    if (code != kErrCorrupt && code != kErrNotDicom) return code;
  }
  // UN bytes that do not parse by their dictionary VR (an SQ of garbage) fail the whole
  // reading; read as they are stored, the file opens as it always did.
  std::unique_lock asStored(unknownVrSwitch());
  dcmEnableUnknownVRConversion.set(OFFalse);
  const int code = read(path, extent);
  dcmEnableUnknownVRConversion.set(OFTrue);
  return code;
}

int DicomDataSet::read(const std::string& path, Extent extent) {
  m_impl->file.reset();
  m_impl->inflated.reset();
  m_impl->own = OwnSyntax::None;
  m_impl->ownUid.clear();
  return guarded(kErrCorrupt, [&]() -> int {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return kErrFileNotFound;
    if (!std::filesystem::is_regular_file(status)) return kErrFileRead;
    char head[132] = {};
    {
      std::ifstream probe(path, std::ios::binary);
      if (!probe) return kErrFileRead;
      probe.read(head, sizeof head);
    }
    const bool hasMagic = std::memcmp(head + 128, "DICM", 4) == 0;

    // A header read ends at the first element after Pixel Data and leaves the pixels unread.
    const bool header = extent == Extent::Header;
    const DcmTagKey stopAt = header ? DcmTagKey(0x7FE0, 0x0011) : DCM_UndefinedTagKey;
    const Uint32 maxReadLength = header ? kMaxHeaderReadLength : kMaxReadLength;
    // DCMTK descends into nested sequences by recursion: a data set nested too deep is refused
    // before DCMTK reads it, in each encoding it is read in.
    const std::uint32_t stopTag = std::uint32_t{stopAt.getGroup()} << 16 | stopAt.getElement();
    auto file = std::make_unique<DcmFileFormat>();
    std::unique_ptr<TemporaryFile> inflated;
    std::uint64_t dataSetStart = 0;
    OFCondition result;
    if (nestsTooDeep(path, hasMagic ? 132 : 0, DataSetEncoding::Detect, stopTag))
      return kErrCorrupt;
    if (hasMagic && isDeflated(path, dataSetStart)) {
      inflated = std::make_unique<TemporaryFile>();
      if (inflated->path().empty()) return kErrFileRead;
      if (int rc = inflateDataSet(path, dataSetStart, inflated->path()); rc != kImagingOk)
        return rc;
      if (nestsTooDeep(inflated->path(), 0, DataSetEncoding::ExplicitLittle, stopTag))
        return kErrCorrupt;
      result = file->loadFileUntilTag(inflated->path().c_str(), EXS_LittleEndianExplicit,
                                      EGL_noChange, maxReadLength, ERM_dataset, stopAt);
    } else {
      result = file->loadFileUntilTag(path.c_str(), EXS_Unknown, EGL_noChange, maxReadLength,
                                      ERM_autoDetect, stopAt);
    }
    bool parsedSomething = looksLikeImageDataSet(file->getDataset());
    // A bare data set may defeat the guess of its encoding: try both little endian ones.
    for (E_TransferSyntax xfer : {EXS_LittleEndianExplicit, EXS_LittleEndianImplicit}) {
      if (result.good() || hasMagic) break;
      const bool implicit = xfer == EXS_LittleEndianImplicit;
      if (nestsTooDeep(path, 0,
                       implicit ? DataSetEncoding::ImplicitLittle : DataSetEncoding::ExplicitLittle,
                       stopTag))
        return kErrCorrupt;
      file = std::make_unique<DcmFileFormat>();
      result = file->loadFileUntilTag(path.c_str(), xfer, EGL_noChange, maxReadLength,
                                      ERM_dataset, stopAt);
      parsedSomething = parsedSomething || looksLikeImageDataSet(file->getDataset());
    }
    if (result.bad()) return hasMagic || parsedSomething ? kErrCorrupt : kErrNotDicom;
    DcmDataset* ds = file->getDataset();
    if (ds->card() == 0) return hasMagic ? kErrCorrupt : kErrNotDicom;
    if (!hasMagic && !parsedSomething) return kErrNotDicom;
    m_impl->xfer = inflated ? EXS_DeflatedLittleEndianExplicit : ds->getOriginalXfer();
    OFString uid;
    file->getMetaInfo()->findAndGetOFString(DCM_TransferSyntaxUID, uid);
    m_impl->own = ownSyntaxOf(uid);
    m_impl->ownUid = m_impl->own != OwnSyntax::None ? uid.c_str() : "";
    m_impl->file = std::move(file);
    m_impl->inflated = std::move(inflated);
    return kImagingOk;
  });
}

int DicomDataSet::save(const std::string& path) {
  if (!isLoaded()) return kErrInvalidParameter;
  return guarded(kErrWrite, [&]() -> int {
    DcmDataset* ds = m_impl->dataset();
    // Values left in the source file must be read now: path may be that very file.
    if (m_impl->file->loadAllDataIntoMemory().bad()) return kErrFileRead;
    const E_TransferSyntax original = ds->getOriginalXfer();
    const E_TransferSyntax xfer =
        DcmXfer(original).isEncapsulated() ? original : EXS_LittleEndianExplicit;
    const OFCondition result =
        m_impl->file->saveFile(path.c_str(), xfer, EET_ExplicitLength, EGL_recalcGL,
                               EPD_noChange, 0, 0, EWM_updateMeta);
    return result.good() ? kImagingOk : kErrWrite;
  });
}

bool DicomDataSet::isLoaded() const { return m_impl->file != nullptr; }

int DicomDataSet::frameCount() const {
  if (!hasPixelData()) return 0;
  return guarded(0, [&] { return frameCountOf(m_impl->dataset()); });
}

bool DicomDataSet::hasPixelData() const {
  DcmDataset* ds = m_impl->dataset();
  return ds != nullptr && guarded(false, [&] { return hasAnyPixels(ds, ds->getOriginalXfer()); });
}

PixelDescription DicomDataSet::pixelDescription() const {
  DcmDataset* ds = m_impl->dataset();
  return ds ? guarded(PixelDescription{}, [&] { return describePixels(ds); })
            : PixelDescription{};
}

std::string DicomDataSet::transferSyntaxUid() const {
  if (!isLoaded()) return std::string();
  if (m_impl->own != OwnSyntax::None) return m_impl->ownUid;
  const char* uid = DcmXfer(m_impl->xfer).getXferID();
  return uid ? uid : std::string();
}

bool DicomDataSet::hasElement(DicomTag tag, bool searchIntoSequences) const {
  return guarded(false, [&] { return m_impl->find(tag, searchIntoSequences) != nullptr; });
}

std::optional<std::string> DicomDataSet::text(DicomTag tag, bool searchIntoSequences) const {
  return guarded(std::nullopt, [&]() -> std::optional<std::string> {
    DcmElement* element = m_impl->find(tag, searchIntoSequences);
    if (element == nullptr) return std::nullopt;
    return elementText(element);
  });
}

std::optional<std::string> DicomDataSet::string(DicomTag tag, bool searchIntoSequences) const {
  std::optional<std::string> value = text(tag, searchIntoSequences);
  if (value && value->size() > 255) {
    std::size_t cut = 255;
    // Never split a UTF-8 sequence: back up to the start of the character.
    while (cut > 0 && (static_cast<unsigned char>((*value)[cut]) & 0xC0) == 0x80) --cut;
    value->resize(cut);
  }
  return value;
}

std::optional<DicomDate> DicomDataSet::date(DicomTag tag, bool searchIntoSequences) const {
  return guarded(std::nullopt, [&]() -> std::optional<DicomDate> {
    auto* element = dynamic_cast<DcmDate*>(m_impl->find(tag, searchIntoSequences));
    OFDate value;
    if (element == nullptr || element->getOFDate(value, 0, OFTrue).bad() || !value.isValid())
      return std::nullopt;
    return DicomDate{static_cast<int>(value.getYear()), static_cast<int>(value.getMonth()),
                     static_cast<int>(value.getDay())};
  });
}

std::optional<std::string> DicomDataSet::itemText(DicomTag sequence, DicomTag tag) const {
  return guarded(std::nullopt, [&]() -> std::optional<std::string> {
    DcmDataset* ds = m_impl->dataset();
    DcmItem* item = nullptr;
    DcmElement* element = nullptr;
    if (ds == nullptr || ds->findAndGetSequenceItem(key(sequence), item, 0).bad() ||
        item == nullptr || item->findAndGetElement(key(tag), element).bad() ||
        element == nullptr)
      return std::nullopt;
    return elementText(element);
  });
}

std::optional<std::string> DicomDataSet::metaText(DicomTag tag) const {
  return guarded(std::nullopt, [&]() -> std::optional<std::string> {
    DcmMetaInfo* meta = m_impl->file ? m_impl->file->getMetaInfo() : nullptr;
    DcmElement* element = nullptr;
    if (meta == nullptr || meta->findAndGetElement(key(tag), element).bad() || element == nullptr)
      return std::nullopt;
    return elementText(element);
  });
}

int DicomDataSet::setValue(DicomTag tag, const std::string& value) {
  if (!isLoaded()) return kErrInvalidParameter;
  return guarded(kErrInvalidParameter, [&]() -> int {
    DcmDataset* ds = m_impl->dataset();
    const bool ascii = std::all_of(value.begin(), value.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    // Our text is UTF-8; a data set in another character set is converted to UTF-8 first so
    // that the new value and the old ones stay readable together.
    if (!ascii) {
      OFString charset;
      ds->findAndGetOFStringArray(DCM_SpecificCharacterSet, charset);
      if (charset != "ISO_IR 192" && ds->convertToUTF8().bad()) return kErrInvalidParameter;
    }
    return ds->putAndInsertString(key(tag), value.c_str()).good() ? kImagingOk
                                                                   : kErrInvalidParameter;
  });
}

namespace {

// The layout of the data set's pixels, with how the decoded values give back the stored ones.
int layoutOf(DcmDataset* ds, OwnSyntax own, FrameLayout& layout) {
  if (int rc = readLayout(ds, own, layout); rc != kImagingOk) return rc;
  if (layout.floatData != nullptr || layout.pixels.isWide()) return mapWideValues(ds, layout);
  // Signed values were made unsigned by adding half their range.
  if (layout.pixels.isSigned && layout.pixels.samplesPerPixel == 1)
    layout.map.offset = -static_cast<double>(1u << (layout.pixels.bitsStored - 1));
  return kImagingOk;
}

}  // namespace

int DicomDataSet::frameImage(int frame, Bitmap& out, ValueMap* map) const {
  DcmDataset* ds = m_impl->dataset();
  if (ds == nullptr) return kErrInvalidParameter;
  return guarded(kErrCorrupt, [&]() -> int {
    FrameLayout layout;
    if (int rc = layoutOf(ds, m_impl->own, layout); rc != kImagingOk) return rc;
    if (frame < 0 || frame >= layout.frames) return kErrBadFrame;
    if (map != nullptr) *map = layout.map;
    return decodeFrame(ds, layout, frame, out);
  });
}

int DicomDataSet::allFrames(std::vector<Bitmap>& frames, ValueMap* map) const {
  frames.clear();
  DcmDataset* ds = m_impl->dataset();
  if (ds == nullptr) return kErrInvalidParameter;
  const int code = guarded(kErrCorrupt, [&]() -> int {
    FrameLayout layout;
    if (int rc = layoutOf(ds, m_impl->own, layout); rc != kImagingOk) return rc;
    // Native frames are bounded by the file itself, compressed ones are not; nor are native
    // ones that grow when decoded (single bits).
    if ((layout.sequence != nullptr || layout.decodedBytes > layout.frameBytes) &&
        static_cast<std::uint64_t>(layout.frames) *
                std::max(layout.frameBytes, layout.decodedBytes) >
            kMaxImageBytes)
      return kErrNoMemory;
    if (map != nullptr) *map = layout.map;
    frames.resize(static_cast<std::size_t>(layout.frames));
    for (int i = 0; i < layout.frames; ++i) {
      if (int rc = decodeFrame(ds, layout, i, frames[static_cast<std::size_t>(i)]);
          rc != kImagingOk)
        return rc;
    }
    return kImagingOk;
  });
  if (code != kImagingOk) frames.clear();
  return code;
}

DcmItem* DicomDataSet::dataset() const { return m_impl->dataset(); }

}  // namespace imaging

// Leak checkers (sanitizer builds, the fuzzer) leave the objects DCMTK allocates itself to
// DCMTK: when its parser throws (see guarded), the records it had read are unreachable from
// any caller and cannot be freed here. Objects this code allocates are still reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdcmdata.so\n"; }
