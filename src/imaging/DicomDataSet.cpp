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
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
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
    DJDecoderRegistration::registerCodecs();
    DJLSDecoderRegistration::registerCodecs();
    DcmRLEDecoderRegistration::registerCodecs();
  });
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

// Everything frameImage needs to know about the pixel data, checked against the data.
struct FrameLayout {
  PixelDescription pixels;
  int rows = 0;
  int columns = 0;
  int planar = 0;
  int frames = 0;
  std::uint64_t frameBytes = 0;
  DcmPixelData* pixelData = nullptr;
  DcmPixelSequence* sequence = nullptr;  // set for encapsulated pixel data
  // Encapsulated data: its items in order (item 0 is the Basic Offset Table), collected once
  // because DCMTK finds an item by its index by walking the list from the start; and the
  // item each frame starts at.
  std::vector<DcmPixelItem*> items;
  std::vector<unsigned long> frameStarts;
  E_TransferSyntax xfer = EXS_Unknown;
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

// True when a pixel data element holds something to decode (native bytes or fragments).
bool hasPixelValue(DcmPixelData* pixelData, E_TransferSyntax xfer) {
  if (pixelData == nullptr) return false;
  DcmPixelSequence* seq = nullptr;
  if (DcmXfer(xfer).isEncapsulated() &&
      pixelData->getEncapsulatedRepresentation(xfer, nullptr, seq).good() && seq != nullptr)
    return seq->card() > 1;
  return pixelData->getLength() > 0;
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

int readLayout(DcmDataset* ds, FrameLayout& layout) {
  layout.xfer = ds->getOriginalXfer();
  layout.pixelData = pixelDataOf(ds);
  if (!hasPixelValue(layout.pixelData, layout.xfer)) return kErrNoPixelData;
  if (DcmXfer(layout.xfer).isEncapsulated()) {
    if (layout.pixelData->getEncapsulatedRepresentation(layout.xfer, nullptr, layout.sequence)
            .bad())
      return kErrCorrupt;
  }
  layout.pixels = describePixels(ds);
  layout.rows = uint16Value(ds, DCM_Rows, 0);
  layout.columns = uint16Value(ds, DCM_Columns, 0);
  layout.planar = uint16Value(ds, DCM_PlanarConfiguration, 0);
  layout.frames = frameCountOf(ds);
  const PixelDescription& p = layout.pixels;
  if (layout.rows < 1 || layout.columns < 1) return kErrCorrupt;
  // A pixel module that contradicts itself is refused rather than guessed at: any guess
  // paints noise that looks like an image.
  if (p.bitsAllocated != 8 && p.bitsAllocated != 16) return kErrPixelFormat;
  if (p.bitsStored < 1 || p.bitsStored > p.bitsAllocated) return kErrPixelFormat;
  if (p.highBit < p.bitsStored - 1 || p.highBit >= p.bitsAllocated) return kErrPixelFormat;
  if (uint16Value(ds, DCM_PixelRepresentation, 0) > 1) return kErrPixelFormat;
  if (p.samplesPerPixel != 1 && p.samplesPerPixel != 3) return kErrPixelFormat;
  const bool palette = p.photometric == "PALETTE COLOR";
  if (p.samplesPerPixel == 3 &&
      (p.bitsAllocated != 8 || p.photometric.starts_with("MONO") || layout.planar > 1))
    return kErrPixelFormat;
  if (p.samplesPerPixel == 1 && !palette && !p.photometric.starts_with("MONO") &&
      !p.photometric.empty())
    return kErrPixelFormat;
  // Uncompressed 4:2:2 keeps two samples per pixel; only decoders hand us full YBR.
  if (p.photometric == "YBR_FULL_422" && layout.sequence == nullptr) return kErrPixelFormat;
  layout.frameBytes = static_cast<std::uint64_t>(layout.rows) * layout.columns *
                      p.samplesPerPixel * (p.bitsAllocated / 8);
  if (layout.frameBytes > kMaxFrameBytes) return kErrNoMemory;
  if (layout.sequence != nullptr) return locateFrames(layout);
  // Native frames lie end to end: the value must hold every frame the header counts.
  const std::uint64_t needed = static_cast<std::uint64_t>(layout.frames) * layout.frameBytes;
  return layout.pixelData->getLength() < needed ? kErrCorrupt : kImagingOk;
}

// Fragment range [first, last) of a frame of an encapsulated pixel sequence.
void frameFragments(const FrameLayout& layout, int frame, unsigned long& first,
                    unsigned long& last) {
  const auto index = static_cast<std::size_t>(frame);
  first = layout.frameStarts[index];
  last = index + 1 < layout.frameStarts.size() ? layout.frameStarts[index + 1]
                                                : layout.items.size();
}

int decodeJpeg2000Frame(const FrameLayout& layout, int frame, Bitmap& out) {
  unsigned long first = 0;
  unsigned long last = 0;
  frameFragments(layout, frame, first, last);
  std::vector<std::uint8_t> joined;
  const Uint8* stream = nullptr;
  std::size_t size = 0;
  for (unsigned long i = first; i < last; ++i) {
    DcmPixelItem* fragment = layout.items[i];
    Uint8* bytes = nullptr;
    if (fragment->getLength() == 0) continue;
    if (fragment->getUint8Array(bytes).bad() || bytes == nullptr) return kErrCorrupt;
    if (last - first == 1) {  // the common case: decode straight from the fragment
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
  return decodeJpeg2000(stream, size, layout.rows, layout.columns, layout.pixels, out);
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

// Palette indices through the three LUTs of the data set (8- or 16-bit entries) to RGB.
int applyPalette(DcmItem* ds, const Bitmap& indices, Bitmap& out) {
  static const DcmTagKey kDescriptors[3] = {DCM_RedPaletteColorLookupTableDescriptor,
                                           DCM_GreenPaletteColorLookupTableDescriptor,
                                           DCM_BluePaletteColorLookupTableDescriptor};
  static const DcmTagKey kData[3] = {DCM_RedPaletteColorLookupTableData,
                                     DCM_GreenPaletteColorLookupTableData,
                                     DCM_BluePaletteColorLookupTableData};
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
    if (ds->findAndGetUint16Array(kData[c], words, &count).bad() || words == nullptr)
      return kErrPixelFormat;
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

// Colour frame as DCMTK returned it (8-bit samples, pixel or plane interleaved) into RGB.
void colourToRgb(const std::uint8_t* src, bool planar, const std::string& model, Bitmap& out) {
  const std::size_t count = static_cast<std::size_t>(out.width()) * out.height();
  std::uint8_t* dst = out.data();
  if (planar) {
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

  if (isJpeg2000(layout.xfer)) {
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
    // DCMTK hands frames over in the data set's planar configuration. Planes need
    // reordering; pixel-interleaved frames are decoded straight into the bitmap.
    const bool planar = layout.planar == 1;
    std::vector<std::uint8_t> planes;
    std::uint8_t* target = rgb.data();
    if (planar) {
      planes.resize(static_cast<std::size_t>(layout.frameBytes));
      target = planes.data();
    }
    if (int rc = decodeDcmtkFrame(ds, layout, frame, target, model); rc != kImagingOk) return rc;
    colourToRgb(target, planar, model, rgb);
    out = std::move(rgb);
    return kImagingOk;
  }
  Bitmap grey;
  if (!grey.createForOverwrite(layout.columns, layout.rows, p.bitsAllocated > 8 ? 16 : 8)) {
    return kErrNoMemory;
  }
  if (int rc = decodeDcmtkFrame(ds, layout, frame, grey.data(), model); rc != kImagingOk)
    return rc;
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
  m_impl->file.reset();
  m_impl->inflated.reset();
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
  return ds != nullptr &&
         guarded(false, [&] { return hasPixelValue(pixelDataOf(ds), ds->getOriginalXfer()); });
}

PixelDescription DicomDataSet::pixelDescription() const {
  DcmDataset* ds = m_impl->dataset();
  return ds ? guarded(PixelDescription{}, [&] { return describePixels(ds); })
            : PixelDescription{};
}

std::string DicomDataSet::transferSyntaxUid() const {
  if (!isLoaded()) return std::string();
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

int DicomDataSet::frameImage(int frame, Bitmap& out) const {
  DcmDataset* ds = m_impl->dataset();
  if (ds == nullptr) return kErrInvalidParameter;
  return guarded(kErrCorrupt, [&]() -> int {
    FrameLayout layout;
    if (int rc = readLayout(ds, layout); rc != kImagingOk) return rc;
    if (frame < 0 || frame >= layout.frames) return kErrBadFrame;
    return decodeFrame(ds, layout, frame, out);
  });
}

int DicomDataSet::allFrames(std::vector<Bitmap>& frames) const {
  frames.clear();
  DcmDataset* ds = m_impl->dataset();
  if (ds == nullptr) return kErrInvalidParameter;
  const int code = guarded(kErrCorrupt, [&]() -> int {
    FrameLayout layout;
    if (int rc = readLayout(ds, layout); rc != kImagingOk) return rc;
    // Native frames are bounded by the file itself; compressed ones are not.
    if (layout.sequence != nullptr &&
        static_cast<std::uint64_t>(layout.frames) * layout.frameBytes > kMaxImageBytes)
      return kErrNoMemory;
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
