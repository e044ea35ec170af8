#include "imaging/Jpeg2000Decoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"

namespace imaging {

namespace {

struct MemoryStream {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

OPJ_SIZE_T readStream(void* buffer, OPJ_SIZE_T bytes, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (s->pos >= s->size) return static_cast<OPJ_SIZE_T>(-1);
  const std::size_t n = std::min<std::size_t>(bytes, s->size - s->pos);
  std::memcpy(buffer, s->data + s->pos, n);
  s->pos += n;
  return n;
}

OPJ_OFF_T skipStream(OPJ_OFF_T bytes, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  const auto pos = static_cast<OPJ_OFF_T>(s->pos);
  const OPJ_OFF_T target = std::clamp<OPJ_OFF_T>(pos + bytes, 0, static_cast<OPJ_OFF_T>(s->size));
  s->pos = static_cast<std::size_t>(target);
  return target - pos;
}

OPJ_BOOL seekStream(OPJ_OFF_T pos, void* user) {
  auto* s = static_cast<MemoryStream*>(user);
  if (pos < 0 || static_cast<std::size_t>(pos) > s->size) return OPJ_FALSE;
  s->pos = static_cast<std::size_t>(pos);
  return OPJ_TRUE;
}

void quietHandler(const char*, void*) {}

struct CodecDeleter {
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct StreamDeleter {
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct ImageDeleter {
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

bool isJp2File(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kSignature[] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' '};
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

OPJ_UINT32 ceilDiv(OPJ_UINT32 a, OPJ_UINT32 b) {
  return static_cast<OPJ_UINT32>((static_cast<std::uint64_t>(a) + b - 1) / b);
}

// Component value made unsigned at `precision` bits then brought to 8 bits.
std::uint8_t toByte(OPJ_INT32 v, const opj_image_comp_t& comp) {
  if (comp.sgnd) v += 1 << (comp.prec - 1);
  if (comp.prec > 8) v >>= comp.prec - 8;
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

int decodeJpeg2000(const std::uint8_t* data, std::size_t size, int rows, int columns,
                   const PixelDescription& pixels, Bitmap& out) {
  if (data == nullptr || size == 0) return kErrDecode;
  MemoryStream source{data, size, 0};
  std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE,
                                                                         OPJ_TRUE));
  std::unique_ptr<opj_codec_t, CodecDeleter> codec(
      opj_create_decompress(isJp2File(data, size) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!stream || !codec) return kErrNoMemory;
  opj_stream_set_user_data(stream.get(), &source, nullptr);
  opj_stream_set_user_data_length(stream.get(), size);
  opj_stream_set_read_function(stream.get(), readStream);
  opj_stream_set_skip_function(stream.get(), skipStream);
  opj_stream_set_seek_function(stream.get(), seekStream);

  opj_set_error_handler(codec.get(), quietHandler, nullptr);
  opj_set_warning_handler(codec.get(), quietHandler, nullptr);
  opj_set_info_handler(codec.get(), quietHandler, nullptr);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) return kErrDecode;
  // Strict mode turns a truncated codestream into an error instead of a half-grey picture.
  opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);
  opj_codec_set_threads(codec.get(),
                        static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));

  opj_image_t* rawImage = nullptr;
  if (!opj_read_header(stream.get(), codec.get(), &rawImage)) {
    opj_image_destroy(rawImage);
    return kErrDecode;
  }
  std::unique_ptr<opj_image_t, ImageDeleter> image(rawImage);
  // The codestream's own header decides what OpenJPEG allocates: one that disagrees with
  // the data set is refused before decoding rather than after. A radiograph has one or three
  // components (four with alpha); OpenJPEG would decode every one a header lists.
  const int components = pixels.samplesPerPixel == 3 ? 3 : 1;
  if (image->numcomps < static_cast<OPJ_UINT32>(components) || image->numcomps > 4)
    return kErrDecode;
  for (int c = 0; c < components; ++c) {
    const opj_image_comp_t& comp = image->comps[c];
    if (comp.dx == 0 || comp.dy == 0 ||
        ceilDiv(image->x1, comp.dx) - ceilDiv(image->x0, comp.dx) !=
            static_cast<OPJ_UINT32>(columns) ||
        ceilDiv(image->y1, comp.dy) - ceilDiv(image->y0, comp.dy) !=
            static_cast<OPJ_UINT32>(rows))
      return kErrDecode;
  }
  if (!opj_decode(codec.get(), stream.get(), image.get()) ||
      !opj_end_decompress(codec.get(), stream.get()))
    return kErrDecode;

  for (int c = 0; c < components; ++c) {
    const opj_image_comp_t& comp = image->comps[c];
    if (comp.data == nullptr || comp.w != static_cast<OPJ_UINT32>(columns) ||
        comp.h != static_cast<OPJ_UINT32>(rows) || comp.prec < 1 || comp.prec > 31)
      return kErrDecode;
  }

  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  if (components == 3) {
    if (!out.create(columns, rows, 24)) return kErrNoMemory;
    std::uint8_t* dst = out.data();
    for (int c = 0; c < 3; ++c) {
      const opj_image_comp_t& comp = image->comps[c];
      for (std::size_t i = 0; i < count; ++i) dst[i * 3 + c] = toByte(comp.data[i], comp);
    }
    return kImagingOk;
  }
  const OPJ_INT32* src = image->comps[0].data;
  if (pixels.bitsAllocated > 8) {
    if (!out.create(columns, rows, 16)) return kErrNoMemory;
    std::uint16_t* dst = out.grey16();
    for (std::size_t i = 0; i < count; ++i) dst[i] = static_cast<std::uint16_t>(src[i]);
  } else {
    if (!out.create(columns, rows, 8)) return kErrNoMemory;
    std::uint8_t* dst = out.data();
    for (std::size_t i = 0; i < count; ++i) dst[i] = static_cast<std::uint8_t>(src[i]);
  }
  return kImagingOk;
}

}  // namespace imaging
