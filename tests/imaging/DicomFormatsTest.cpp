// Pixel formats that archives receive beyond projection radiography, compared with an
// independent decoder: pydicom's pixel arrays (zlib and numpy for the deflated frames,
// opj_decompress for the HTJ2K codestream), computed once and written into the tables below.

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "ImagingTestUtil.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"

using namespace imaging;
using namespace imaging::testing_util;

namespace {

// 64-bit FNV-1a of the bitmap's bytes (the same sum was taken of the reference arrays).
std::uint64_t fnv1a(const Bitmap& bitmap) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < bitmap.byteSize(); ++i) {
    hash ^= bitmap.data()[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

struct ExactCase {
  const char* file;
  int frame;
  int width;
  int height;
  int bitsPerPixel;
  std::uint64_t checksum;
  const char* reference;
};

std::ostream& operator<<(std::ostream& out, const ExactCase& c) {
  return out << c.file << " frame " << c.frame;
}

class DecodeFormats : public testing::TestWithParam<ExactCase> {};

TEST_P(DecodeFormats, GiveTheIndependentDecodersPixels) {
  const ExactCase& c = GetParam();
  const Bitmap out = frameOf(c.file, c.frame);
  ASSERT_EQ(out.width(), c.width);
  ASSERT_EQ(out.height(), c.height);
  ASSERT_EQ(out.bitsPerPixel(), c.bitsPerPixel);
  EXPECT_EQ(fnv1a(out), c.checksum) << "reference: " << c.reference;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DecodeFormats,
    testing::Values(ExactCase{"seg_1bit_liver_1frame.dcm", 0, 512, 512, 8, 0x8d934ad0bf5a1596ull,
                              "pixel_array, 0/1 bytes"},
                    ExactCase{"seg_1bit_deflated_frames.dcm", 0, 512, 512, 8, 0x8d934ad0bf5a1596ull,
                              "zlib raw inflate of fragment 1, numpy unpackbits little bit order"},
                    ExactCase{"seg_1bit_deflated_frames.dcm", 1, 512, 512, 8, 0xe036567f525e0a60ull,
                              "fragment 2, likewise"},
                    ExactCase{"seg_1bit_deflated_frames.dcm", 2, 512, 512, 8, 0xd3ba678c0c017dbfull,
                              "fragment 3, likewise"},
                    ExactCase{"sc_rgb_16bit.dcm", 0, 100, 100, 24, 0xe9719e4c815ac1ddull,
                              "pixel_array >> 8"},
                    ExactCase{"sc_rgb_rle_32bit.dcm", 0, 100, 100, 24, 0xe9719e4c815ac1ddull,
                              "pixel_array >> 24"},
                    ExactCase{"us_palette_16bit.dcm", 0, 640, 480, 24, 0x9688807db777223full,
                              "apply_color_lut (segmented 16-bit tables) >> 8"},
                    ExactCase{"sc_rgb_htj2k_lossless.dcm", 0, 640, 480, 24, 0x7a53b24e32e4b063ull,
                              "opj_decompress of the fragment"}));

TEST(DecodeFormatsYbr422, StoredFourTwoTwoGivesTheReferenceColours) {
  // pydicom's pixel_array through convert_color_space(YBR_FULL -> RGB); both round, so a
  // channel may differ by one.
  struct Sample {
    int x, y, r, g, b;
  };
  const Sample samples[] = {{0, 0, 254, 0, 0},       {50, 5, 254, 0, 0},   {10, 25, 0, 255, 5},
                            {50, 50, 125, 130, 255}, {90, 75, 64, 64, 64}, {99, 99, 255, 255, 255}};
  const Bitmap out = frameOf("sc_ybr_full_422_unc.dcm");
  ASSERT_EQ(out.width(), 100);
  ASSERT_EQ(out.bitsPerPixel(), 24);
  for (const Sample& s : samples) {
    const std::uint8_t* p = out.row(s.y) + 3 * s.x;
    EXPECT_NEAR(p[0], s.r, 1) << s.x << "," << s.y;
    EXPECT_NEAR(p[1], s.g, 1) << s.x << "," << s.y;
    EXPECT_NEAR(p[2], s.b, 1) << s.x << "," << s.y;
  }
}

// Wide grey values: the 16-bit bitmap and its map give back the file's stored values, to
// within half a step of the map.
TEST(DecodeFormatsWide, ThirtyTwoBitAndFloatValuesComeBackThroughTheMap) {
  struct Sample {
    int x, y;
    double value;
  };
  struct Case {
    const char* file;
    std::vector<Sample> samples;
  };
  const Case cases[] = {{"rtdose_32bit_1frame.dcm",  // pixel_array: 795000..1254000
                         {{0, 0, 1249000}, {7, 3, 1087000}, {5, 5, 978000}, {9, 9, 798000}}},
                        {"pm_float_pixels.dcm",  // pixel_array: 0..0.94157916
                         {{0, 0, 0.920127809047699},
                          {100, 10, 0.43998172879219055},
                          {64, 64, 0.12003651261329651},
                          {127, 127, 0.5851209759712219}}}};
  for (const Case& c : cases) {
    DicomDataSet ds;
    ASSERT_EQ(ds.load(testFile(c.file)), 0) << c.file;
    EXPECT_EQ(ds.frameCount(), 1) << c.file;
    Bitmap out;
    ValueMap map;
    ASSERT_EQ(ds.frameImage(0, out, &map), 0) << c.file;
    ASSERT_EQ(out.bitsPerPixel(), 16) << c.file;
    int lowest = 0;
    int highest = 0;
    ASSERT_TRUE(out.minMax(lowest, highest));
    EXPECT_EQ(lowest, 0) << c.file;  // the range present fills the bitmap
    EXPECT_EQ(highest, 65535) << c.file;
    for (const Sample& s : c.samples) {
      const double back = out.grey16()[s.y * out.width() + s.x] * map.scale + map.offset;
      EXPECT_NEAR(back, s.value, map.scale / 2 + 1e-7) << c.file << " " << s.x << "," << s.y;
    }
  }
}

TEST(DecodeFormatsOwnSyntax, SyntaxesUnknownToDcmtkKeepTheirOwnUidAndDecode) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("seg_1bit_deflated_frames.dcm")), 0);
  EXPECT_EQ(ds.transferSyntaxUid(), "1.2.840.10008.1.2.8.1");
  EXPECT_EQ(ds.frameCount(), 3);
  // The three High-Throughput JPEG 2000 syntaxes differ only in what the encoder promised:
  // the real file's meta header is given each UID in turn.
  std::ifstream in(testFile("sc_rgb_htj2k_lossless.dcm"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t at = bytes.find("1.2.840.10008.1.2.4.201");
  ASSERT_NE(at, std::string::npos);
  TempDir dir;
  for (const char* uid :
       {"1.2.840.10008.1.2.4.201", "1.2.840.10008.1.2.4.202", "1.2.840.10008.1.2.4.203"}) {
    bytes.replace(at, 23, uid);
    const std::string path = dir.file("htj2k.dcm");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(ds.load(path), 0) << uid;
    EXPECT_TRUE(ds.hasPixelData()) << uid;
    EXPECT_EQ(ds.transferSyntaxUid(), uid);
    Bitmap out;
    ASSERT_EQ(ds.frameImage(0, out), 0) << uid;
    EXPECT_EQ(fnv1a(out), 0x7a53b24e32e4b063ull) << uid;
  }
}

// ---------------------------------------------------------------------------------------
// Small data sets written with DCMTK, each showing one rule.

std::string writeDataSet(const TempDir& dir, const std::string& name,
                         const std::function<void(DcmDataset*)>& fill) {
  DcmFileFormat file;
  DcmDataset* ds = file.getDataset();
  ds->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
  ds->putAndInsertString(DCM_SOPInstanceUID, "1.2.3.4.6");
  ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  ds->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  fill(ds);
  const std::string path = dir.file(name);
  EXPECT_TRUE(file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good());
  return path;
}

void putGeometry(DcmDataset* ds, int rows, int columns, int frames, int bitsAllocated) {
  ds->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(rows));
  ds->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(columns));
  ds->putAndInsertString(DCM_NumberOfFrames, std::to_string(frames).c_str());
  ds->putAndInsertUint16(DCM_BitsAllocated, static_cast<Uint16>(bitsAllocated));
}

// Three 3 x 3 frames of single bits lie end to end: frame 1 starts at bit 9 (bit 1 of the
// second byte), frame 2 at bit 18.
TEST(DecodeFormatsBits, FramesPackedAcrossByteBoundariesUnpackInOrder) {
  // Bits, frame after frame (bit 0 of each byte first):
  //   frame 0: 1 0 0 / 0 1 0 / 0 0 1    frame 1: all 1    frame 2: 0 1 0 / 1 0 1 / 0 1 0
  const std::vector<std::vector<std::uint8_t>> frames = {
      {1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 1, 0, 1, 0, 1, 0, 1, 0}};
  std::vector<std::uint8_t> packed(4, 0);
  int bit = 0;
  for (const auto& frame : frames)
    for (std::uint8_t b : frame) packed[bit / 8] |= b << (bit % 8), ++bit;
  TempDir dir;
  const std::string path = writeDataSet(dir, "bits.dcm", [&](DcmDataset* ds) {
    putGeometry(ds, 3, 3, 3, 1);
    ds->putAndInsertUint16(DCM_BitsStored, 1);
    ds->putAndInsertUint16(DCM_HighBit, 0);
    ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
    ds->putAndInsertUint8Array(DCM_PixelData, packed.data(), packed.size());
  });
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  std::vector<Bitmap> decoded;
  ASSERT_EQ(ds.allFrames(decoded), 0);
  ASSERT_EQ(decoded.size(), 3u);
  for (std::size_t f = 0; f < 3; ++f) {
    ASSERT_EQ(decoded[f].bitsPerPixel(), 8);
    EXPECT_EQ(std::vector<std::uint8_t>(decoded[f].data(), decoded[f].data() + 9), frames[f])
        << "frame " << f;
  }
}

// Float frames share one scale over all frames; NaN and infinities do not stretch it.
TEST(DecodeFormatsWide, FloatFramesShareOneScaleAndIgnoreNonFiniteValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> values = {-1.0f, 0.0f, nan,  1.0f,   // frame 0
                                     3.0f,  inf,  -inf, 2.0f};  // frame 1
  TempDir dir;
  const std::string path = writeDataSet(dir, "float.dcm", [&](DcmDataset* ds) {
    putGeometry(ds, 2, 2, 2, 32);
    ds->putAndInsertFloat32Array(DCM_FloatPixelData, values.data(), values.size());
  });
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  ASSERT_TRUE(ds.hasPixelData());
  std::vector<Bitmap> frames;
  ValueMap map;
  ASSERT_EQ(ds.allFrames(frames, &map), 0);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_DOUBLE_EQ(map.offset, -1.0);
  EXPECT_DOUBLE_EQ(map.scale, 4.0 / 65535);
  const std::vector<int> expected = {0, 16384, 0, 32768, 65535, 65535, 0, 49151};
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(frames[i / 4].grey16()[i % 4], expected[i]) << i;
  // frameImage reports the same map for a single frame.
  Bitmap second;
  ValueMap single;
  ASSERT_EQ(ds.frameImage(1, second, &single), 0);
  EXPECT_DOUBLE_EQ(single.scale, map.scale);
  EXPECT_EQ(second.grey16()[0], 65535);
}

TEST(DecodeFormatsWide, DoubleFloatPixelDataIsScaledLikeFloat) {
  const std::vector<Float64> values = {-0.5, 0.25, 1.5, 0.5};
  TempDir dir;
  const std::string path = writeDataSet(dir, "double.dcm", [&](DcmDataset* ds) {
    putGeometry(ds, 2, 2, 1, 64);
    ds->putAndInsertFloat64Array(DCM_DoubleFloatPixelData, values.data(), values.size());
  });
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  Bitmap out;
  ValueMap map;
  ASSERT_EQ(ds.frameImage(0, out, &map), 0);
  EXPECT_DOUBLE_EQ(map.offset, -0.5);
  EXPECT_DOUBLE_EQ(map.scale, 2.0 / 65535);
  const std::vector<int> expected = {0, 24576, 65535, 32768};  // 0.75 and 1.0 of 2 steps
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(out.grey16()[i], expected[i]) << i;
}

// A signed 32-bit range narrower than 16 bits keeps every value exact.
TEST(DecodeFormatsWide, NarrowSignedThirtyTwoBitRangeIsKeptExactly) {
  const std::vector<std::int32_t> values = {-70000, -69000, -65000, -66000};
  TempDir dir;
  const std::string path = writeDataSet(dir, "int32.dcm", [&](DcmDataset* ds) {
    putGeometry(ds, 2, 2, 1, 32);
    ds->putAndInsertUint16(DCM_BitsStored, 32);
    ds->putAndInsertUint16(DCM_HighBit, 31);
    ds->putAndInsertUint16(DCM_PixelRepresentation, 1);
    ds->putAndInsertUint8Array(DCM_PixelData, reinterpret_cast<const Uint8*>(values.data()),
                               values.size() * 4);
  });
  Bitmap out;
  ValueMap map;
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  ASSERT_EQ(ds.frameImage(0, out, &map), 0);
  EXPECT_DOUBLE_EQ(map.scale, 1.0);
  EXPECT_DOUBLE_EQ(map.offset, -70000.0);
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(out.grey16()[i] + map.offset, values[i]) << i;
}

// A segmented palette: discrete 0, 10000; linear to 40000 in 3 steps; an indirect segment
// repeating the first (discrete) one. Entries: 0 10000 20000 30000 40000 0 10000, then the
// last entry for indices past the table.
TEST(DecodeFormatsPalette, SegmentedTablesExpandDiscreteLinearAndIndirectSegments) {
  const std::vector<Uint16> segments = {0, 2, 0, 10000, 1, 3, 40000, 2, 1, 0, 0};
  const std::vector<std::uint8_t> indices = {0, 1, 2, 3, 4, 5, 6, 7};
  TempDir dir;
  const std::string path = writeDataSet(dir, "palette.dcm", [&](DcmDataset* ds) {
    putGeometry(ds, 1, 8, 1, 8);
    ds->putAndInsertString(DCM_PhotometricInterpretation, "PALETTE COLOR");
    ds->putAndInsertUint16(DCM_BitsStored, 8);
    ds->putAndInsertUint16(DCM_HighBit, 7);
    ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
    for (const auto& [descriptor, data] :
         {std::pair{DCM_RedPaletteColorLookupTableDescriptor,
                    DCM_SegmentedRedPaletteColorLookupTableData},
          std::pair{DCM_GreenPaletteColorLookupTableDescriptor,
                    DCM_SegmentedGreenPaletteColorLookupTableData},
          std::pair{DCM_BluePaletteColorLookupTableDescriptor,
                    DCM_SegmentedBluePaletteColorLookupTableData}}) {
      const Uint16 entries[3] = {7, 0, 16};  // 7 entries from index 0, 16 bits each
      ds->putAndInsertUint16Array(descriptor, entries, 3);
      ds->putAndInsertUint16Array(data, segments.data(), segments.size());
    }
    ds->putAndInsertUint8Array(DCM_PixelData, indices.data(), indices.size());
  });
  const std::vector<int> expected = {0, 10000, 20000, 30000, 40000, 0, 10000, 10000};
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  Bitmap out;
  ASSERT_EQ(ds.frameImage(0, out), 0);
  ASSERT_EQ(out.bitsPerPixel(), 24);
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(out.data()[3 * i], expected[i] >> 8) << i;  // 16-bit entries shown by their top
}

// A deflated frame must inflate to exactly one frame: the real file with its Rows changed.
TEST(DecodeFormatsOwnSyntax, DeflatedFrameOfAnotherSizeIsADecodeError) {
  std::ifstream in(testFile("seg_1bit_deflated_frames.dcm"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Rows (0028,0010) US 512, explicit little endian.
  const std::string rows("\x28\x00\x10\x00US\x02\x00\x00\x02", 10);
  const std::size_t at = bytes.find(rows);
  ASSERT_NE(at, std::string::npos);
  TempDir dir;
  for (const char high : {'\x01', '\x04'}) {  // 256 rows: the stream goes on; 1024: it ends early
    bytes[at + 9] = high;
    const std::string path = dir.file("rows.dcm");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    DicomDataSet ds;
    ASSERT_EQ(ds.load(path), 0);
    Bitmap out;
    EXPECT_EQ(ds.frameImage(0, out), kErrDecode) << int(high);
  }
}

}  // namespace
