#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcdicdir.h>
#include <dcmtk/dcmdata/dcdirrec.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ImagingTestUtil.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"

using namespace imaging;
using namespace imaging::testing_util;

namespace {

// A small native data set written with DCMTK, so a test controls every pixel attribute.
struct NativeImage {
  int rows = 1;
  int columns = 1;
  int samples = 1;
  int bitsAllocated = 16;
  int bitsStored = 16;
  int highBit = 15;
  int pixelRepresentation = 0;
  int planar = 0;
  std::string photometric = "MONOCHROME2";
};

std::string writeNative(const TempDir& dir, const NativeImage& img, const void* pixels,
                        std::size_t bytes, DcmItem** extra = nullptr) {
  static int counter = 0;
  DcmFileFormat file;
  DcmDataset* ds = file.getDataset();
  ds->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
  ds->putAndInsertString(DCM_SOPInstanceUID, "1.2.3.4.5");
  ds->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(img.rows));
  ds->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(img.columns));
  ds->putAndInsertUint16(DCM_SamplesPerPixel, static_cast<Uint16>(img.samples));
  ds->putAndInsertUint16(DCM_BitsAllocated, static_cast<Uint16>(img.bitsAllocated));
  ds->putAndInsertUint16(DCM_BitsStored, static_cast<Uint16>(img.bitsStored));
  ds->putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(img.highBit));
  ds->putAndInsertUint16(DCM_PixelRepresentation, static_cast<Uint16>(img.pixelRepresentation));
  ds->putAndInsertString(DCM_PhotometricInterpretation, img.photometric.c_str());
  if (img.samples == 3) ds->putAndInsertUint16(DCM_PlanarConfiguration, img.planar);
  if (img.bitsAllocated == 16)
    ds->putAndInsertUint16Array(DCM_PixelData, static_cast<const Uint16*>(pixels),
                                static_cast<unsigned long>(bytes / 2));
  else
    ds->putAndInsertUint8Array(DCM_PixelData, static_cast<const Uint8*>(pixels),
                               static_cast<unsigned long>(bytes));
  if (extra) *extra = ds;
  const std::string path = dir.file("native" + std::to_string(++counter) + ".dcm");
  EXPECT_TRUE(file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good());
  return path;
}

Bitmap decodeNative(const NativeImage& img, const void* pixels, std::size_t bytes) {
  TempDir dir;
  DicomDataSet ds;
  Bitmap out;
  EXPECT_EQ(ds.load(writeNative(dir, img, pixels, bytes)), 0);
  EXPECT_EQ(ds.frameImage(0, out), 0);
  return out;
}

DcmPixelSequence* pixelSequence(DicomDataSet& ds) {
  DcmElement* element = nullptr;
  EXPECT_TRUE(ds.dataset()->findAndGetElement(DCM_PixelData, element).good());
  DcmPixelSequence* seq = nullptr;
  auto* pixelData = dynamic_cast<DcmPixelData*>(element);
  EXPECT_NE(pixelData, nullptr);
  const E_TransferSyntax xfer = static_cast<DcmDataset*>(ds.dataset())->getOriginalXfer();
  EXPECT_TRUE(pixelData->getEncapsulatedRepresentation(xfer, nullptr, seq).good());
  return seq;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Lossless encodings of one image decode to the same stored values.

struct SameImageCase {
  const char* reference;
  const char* other;
};

class DecodeSameImage : public testing::TestWithParam<SameImageCase> {};

TEST_P(DecodeSameImage, LosslessEncodingsGiveIdenticalPixels) {
  const Bitmap reference = frameOf(GetParam().reference);
  const Bitmap other = frameOf(GetParam().other);
  EXPECT_TRUE(samePixels(reference, other)) << GetParam().other;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DecodeSameImage,
    testing::Values(SameImageCase{"mr_small_le.dcm", "mr_small_implicit.dcm"},
                    SameImageCase{"mr_small_le.dcm", "mr_small_be.dcm"},
                    SameImageCase{"mr_small_le.dcm", "mr_small_rle.dcm"},
                    SameImageCase{"mr_small_le.dcm", "mr_small_jls.dcm"},
                    SameImageCase{"mr_small_le.dcm", "mr_small_j2kr.dcm"},
                    SameImageCase{"cr_hip_1760x2140_unc.dcm", "cr_hip_1760x2140_jpll.dcm"},
                    SameImageCase{"cr_hip_1760x2140_unc.dcm", "cr_hip_1760x2140_jlsl.dcm"},
                    SameImageCase{"ct_small_signed.dcm", "ct_small_nometa.dcm"}));

TEST(DecodeLossy, JpegExtendedHipHasTheSizeAndRangeOfTheOriginal) {
  const Bitmap original = frameOf("cr_hip_1760x2140_unc.dcm");
  const Bitmap lossy = frameOf("cr_hip_1760x2140_jply.dcm");
  ASSERT_EQ(lossy.width(), 1760);
  ASSERT_EQ(lossy.height(), 2140);
  ASSERT_EQ(lossy.bitsPerPixel(), 16);
  double diff = 0;
  for (std::size_t i = 0; i < lossy.byteSize() / 2; ++i)
    diff += std::abs(lossy.grey16()[i] - original.grey16()[i]);
  EXPECT_LT(diff / (lossy.byteSize() / 2), 8.0);  // mean error of a few grey levels
}

TEST(DecodeMultiFrame, AllFramesOfRleEqualTheUncompressedOnes) {
  DicomDataSet le, rle;
  ASSERT_EQ(le.load(testFile("mr_10f_64_le.dcm")), 0);
  ASSERT_EQ(rle.load(testFile("mr_10f_64_rle.dcm")), 0);
  EXPECT_EQ(le.frameCount(), 10);
  std::vector<Bitmap> a, b;
  ASSERT_EQ(le.allFrames(a), 0);
  ASSERT_EQ(rle.allFrames(b), 0);
  ASSERT_EQ(a.size(), 10u);
  ASSERT_EQ(b.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(samePixels(a[i], b[i])) << "frame " << i;
  EXPECT_FALSE(samePixels(a[0], a[9]));
}

TEST(DecodeMultiFrame, FrameIndexIsCheckedAndFramesDecodeInAnyOrder) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("xa_96f_512_jpeg_ft33.dcm")), 0);
  EXPECT_EQ(ds.frameCount(), 96);
  Bitmap last, first;
  ASSERT_EQ(ds.frameImage(95, last), 0);
  ASSERT_EQ(ds.frameImage(0, first), 0);
  EXPECT_EQ(last.bitsPerPixel(), 8);
  EXPECT_EQ(last.width(), 512);
  EXPECT_FALSE(samePixels(first, last));
  Bitmap none;
  EXPECT_EQ(ds.frameImage(96, none), kErrBadFrame);
  EXPECT_EQ(ds.frameImage(-1, none), kErrBadFrame);
}

TEST(DecodeMultiFrame, FragmentedFramesWithoutOffsetTableMatchTheToolkitsDecompressor) {
  if (std::system("command -v dcmdjpeg > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "dcmdjpeg not installed";
  TempDir dir;
  const std::string plain = dir.file("plain.dcm");
  const std::string cmd = "dcmdjpeg '" + testFile("ct_2f_jpll57_nobot.dcm") + "' '" + plain + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  DicomDataSet compressed, reference;
  ASSERT_EQ(compressed.load(testFile("ct_2f_jpll57_nobot.dcm")), 0);
  ASSERT_EQ(reference.load(plain), 0);
  // Second frame first: its start must be found without decoding the first one.
  for (int frame : {1, 0}) {
    Bitmap a, b;
    ASSERT_EQ(compressed.frameImage(frame, a), 0);
    ASSERT_EQ(reference.frameImage(frame, b), 0);
    EXPECT_TRUE(samePixels(a, b)) << "frame " << frame;
  }
}

// ---------------------------------------------------------------------------------------
// Stored values: masked to Bits Stored, signed ones shifted to unsigned.

TEST(DecodeStoredValues, SignedFileIsShiftedByHalfTheRange) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("ct_small_signed.dcm")), 0);
  const Uint16* raw = nullptr;
  ASSERT_TRUE(ds.dataset()->findAndGetUint16Array(DCM_PixelData, raw).good());
  Bitmap out;
  ASSERT_EQ(ds.frameImage(0, out), 0);
  for (int i : {0, 1, 500, 128 * 128 - 1})
    EXPECT_EQ(out.grey16()[i], static_cast<Sint16>(raw[i]) + 32768) << i;
}

struct StoredCase {
  int bitsStored;
  int highBit;
  int pixelRepresentation;
  std::vector<std::uint16_t> input;
  std::vector<std::uint16_t> expected;
};

class DecodeStored : public testing::TestWithParam<StoredCase> {};

TEST_P(DecodeStored, HighBitsAreClearedAndSignIsShifted) {
  const StoredCase& c = GetParam();
  NativeImage img;
  img.columns = static_cast<int>(c.input.size());
  img.bitsStored = c.bitsStored;
  img.highBit = c.highBit;
  img.pixelRepresentation = c.pixelRepresentation;
  const Bitmap out = decodeNative(img, c.input.data(), c.input.size() * 2);
  ASSERT_EQ(out.bitsPerPixel(), 16);
  EXPECT_EQ(std::vector<std::uint16_t>(out.grey16(), out.grey16() + c.input.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeStored,
    testing::Values(
        // Unsigned 12 bits with garbage above the high bit.
        StoredCase{12, 11, 0, {0xF123, 0x0FFF, 0x1000, 0}, {0x0123, 0x0FFF, 0, 0}},
        // Signed 12 bits: -2048 -> 0, -1 -> 2047, 0 -> 2048, 2047 -> 4095.
        StoredCase{12, 11, 1, {0xF800, 0xFFFF, 0x0000, 0x07FF}, {0, 2047, 2048, 4095}},
        // Signed 16 bits.
        StoredCase{16, 15, 1, {0x8000, 0xFFFF, 0x7FFF}, {0, 32767, 65535}},
        // Values stored high in the word (High Bit 15, 12 bits stored).
        StoredCase{12, 15, 0, {0xFFF0, 0x0010, 0x000F}, {0x0FFF, 0x0001, 0}}));

TEST(DecodeStoredValues, EightBitImagesGiveEightBitBitmaps) {
  const Bitmap jpeg = frameOf("ot_100_8bit_jpeg_base.dcm");
  EXPECT_EQ(jpeg.bitsPerPixel(), 8);
  EXPECT_EQ(jpeg.width(), 100);
  const Bitmap deflated = frameOf("ot_512_8bit_deflate.dcm");
  EXPECT_EQ(deflated.bitsPerPixel(), 8);
  int lo = 0, hi = 0;
  ASSERT_TRUE(deflated.minMax(lo, hi));
  EXPECT_LT(lo, hi);

  NativeImage img;  // odd pixel count: 3 bytes of pixel data padded to 4
  img.columns = 3;
  img.bitsAllocated = 8;
  img.bitsStored = 6;
  img.highBit = 5;
  const std::uint8_t pixels[3] = {0xFF, 0x3F, 0x40};
  const Bitmap out = decodeNative(img, pixels, 3);
  ASSERT_EQ(out.bitsPerPixel(), 8);
  EXPECT_EQ(std::vector<std::uint8_t>(out.data(), out.data() + 3),
            (std::vector<std::uint8_t>{0x3F, 0x3F, 0}));
}

// ---------------------------------------------------------------------------------------
// Colour.

struct ColourCase {
  const char* file;
  int frame;
  int index;
  std::uint8_t r, g, b;
};

class DecodeColour : public testing::TestWithParam<ColourCase> {};

// Reference values read from the toolkit's own renderer (dcmj2pnm) for the same frames.
TEST_P(DecodeColour, GivesRgbPixels) {
  const ColourCase& c = GetParam();
  const Bitmap out = frameOf(c.file, c.frame);
  ASSERT_EQ(out.bitsPerPixel(), 24);
  const std::uint8_t* p = out.data() + 3 * c.index;
  EXPECT_EQ(p[0], c.r);
  EXPECT_EQ(p[1], c.g);
  EXPECT_EQ(p[2], c.b);
}

INSTANTIATE_TEST_SUITE_P(Files, DecodeColour,
                         testing::Values(ColourCase{"ot_rgb_3x3_odd.dcm", 0, 0, 166, 141, 52},
                                         ColourCase{"ot_rgb_jpeg_base.dcm", 0, 0, 254, 0, 0},
                                         ColourCase{"us_30f_ybr_jpeg_ft33.dcm", 5, 1, 15, 9, 19},
                                         ColourCase{"us_rgb_80x60_be.dcm", 0, 1, 173, 173, 173}));

TEST(DecodeColourLayouts, PlanarConfigurationOneIsInterleaved) {
  NativeImage img;
  img.columns = 2;
  img.samples = 3;
  img.bitsAllocated = img.bitsStored = 8;
  img.highBit = 7;
  img.photometric = "RGB";
  img.planar = 1;
  const std::uint8_t planes[6] = {10, 20, 30, 40, 50, 60};
  const Bitmap out = decodeNative(img, planes, 6);
  EXPECT_EQ(std::vector<std::uint8_t>(out.data(), out.data() + 6),
            (std::vector<std::uint8_t>{10, 30, 50, 20, 40, 60}));
}

TEST(DecodeColourLayouts, YbrFullIsConvertedToRgb) {
  NativeImage img;
  img.columns = 2;
  img.samples = 3;
  img.bitsAllocated = img.bitsStored = 8;
  img.highBit = 7;
  img.photometric = "YBR_FULL";
  const std::uint8_t ybr[6] = {128, 128, 128, 76, 85, 255};  // grey, then pure red
  const Bitmap out = decodeNative(img, ybr, 6);
  const std::uint8_t* p = out.data();
  EXPECT_EQ(p[0], 128);
  EXPECT_EQ(p[1], 128);
  EXPECT_EQ(p[2], 128);
  EXPECT_NEAR(p[3], 254, 1);
  EXPECT_NEAR(p[4], 0, 1);
  EXPECT_NEAR(p[5], 0, 1);
}

// Indices 10, 11, 12 through three LUTs of three entries starting at index 10, whose
// descriptors give `bits` as the entry width.
std::string writePalette(const TempDir& dir, Uint16 bits) {
  NativeImage img;
  img.columns = 3;
  img.bitsAllocated = img.bitsStored = 8;
  img.highBit = 7;
  img.photometric = "PALETTE COLOR";
  const std::uint8_t indices[4] = {10, 11, 12, 0};
  const std::string path = writeNative(dir, img, indices, 3);
  DcmFileFormat file;
  EXPECT_TRUE(file.loadFile(path.c_str()).good());
  DcmDataset* d = file.getDataset();
  const Uint16 red[3] = {0xFF00, 0x0000, 0x8000};
  const Uint16 green[3] = {0x0000, 0xFF00, 0x8000};
  const Uint16 blue[3] = {0x0000, 0x0000, 0xFFFF};
  const DcmTagKey descriptors[3] = {DCM_RedPaletteColorLookupTableDescriptor,
                                    DCM_GreenPaletteColorLookupTableDescriptor,
                                    DCM_BluePaletteColorLookupTableDescriptor};
  const DcmTagKey tables[3] = {DCM_RedPaletteColorLookupTableData,
                               DCM_GreenPaletteColorLookupTableData,
                               DCM_BluePaletteColorLookupTableData};
  const Uint16* data[3] = {red, green, blue};
  for (int c = 0; c < 3; ++c) {
    const Uint16 descriptor[3] = {3, 10, bits};
    EXPECT_TRUE(d->putAndInsertUint16Array(descriptors[c], descriptor, 3).good());
    EXPECT_TRUE(d->putAndInsertUint16Array(tables[c], data[c], 3).good());
  }
  const std::string palettePath = dir.file("palette" + std::to_string(bits) + ".dcm");
  EXPECT_TRUE(file.saveFile(palettePath.c_str(), EXS_LittleEndianExplicit).good());
  return palettePath;
}

TEST(DecodeColourLayouts, PaletteColourGoesThroughTheLookupTables) {
  TempDir dir;
  const std::string palettePath = writePalette(dir, 16);
  DicomDataSet loaded;
  ASSERT_EQ(loaded.load(palettePath), 0);
  EXPECT_TRUE(loaded.pixelDescription().isColour());
  Bitmap out;
  ASSERT_EQ(loaded.frameImage(0, out), 0);
  ASSERT_EQ(out.bitsPerPixel(), 24);
  EXPECT_EQ(std::vector<std::uint8_t>(out.data(), out.data() + 9),
            (std::vector<std::uint8_t>{255, 0, 0, 0, 255, 0, 128, 128, 255}));
}

TEST(DecodeColourLayouts, PaletteEntryWidthOutside1To16IsRefused) {
  TempDir dir;
  for (Uint16 bits : {0, 17, 40}) {
    DicomDataSet loaded;
    ASSERT_EQ(loaded.load(writePalette(dir, bits)), 0);
    Bitmap out;
    EXPECT_EQ(loaded.frameImage(0, out), kErrPixelFormat) << bits << " bits";
  }
}

TEST(DecodeColourLayouts, RleColourEqualsTheUncompressedImage) {
  TempDir dir;
  DcmRLEEncoderRegistration::registerCodecs();
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(testFile("us_rgb_320x240_le.dcm").c_str()).good());
  ASSERT_TRUE(file.getDataset()->chooseRepresentation(EXS_RLELossless, nullptr).good());
  const std::string path = dir.file("rle.dcm");
  ASSERT_TRUE(file.saveFile(path.c_str(), EXS_RLELossless).good());
  DcmRLEEncoderRegistration::cleanup();

  DicomDataSet rle;
  ASSERT_EQ(rle.load(path), 0);
  ASSERT_EQ(rle.transferSyntaxUid(), UID_RLELosslessTransferSyntax);
  Bitmap decoded;
  ASSERT_EQ(rle.frameImage(0, decoded), 0);
  EXPECT_TRUE(samePixels(decoded, frameOf("us_rgb_320x240_le.dcm")));
}

// DCMTK's RLE decoder follows the segment offsets of the header wherever they point.
TEST(DecodeRle, HeaderPointingOutsideItsFragmentIsADecodeError) {
  struct Case {
    const char* what;
    std::size_t keep;      // bytes of the fragment kept
    std::uint32_t offset;  // written as the second segment's offset
  };
  for (const Case& c : {Case{"offset far past the fragment", 0, 0xFFFC005Au},
                        Case{"offset just past the fragment", 0, 0},
                        Case{"fragment shorter than the header", 32, 0}}) {
    DicomDataSet ds;
    ASSERT_EQ(ds.load(testFile("mr_small_rle.dcm")), 0);
    DcmPixelItem* fragment = nullptr;
    ASSERT_TRUE(pixelSequence(ds)->getItem(fragment, 1).good());
    Uint8* bytes = nullptr;
    ASSERT_TRUE(fragment->getUint8Array(bytes).good());
    std::vector<Uint8> stream(bytes, bytes + fragment->getLength());
    ASSERT_EQ(stream[0], 2) << "two segments: high and low bytes";
    const std::uint32_t offset =
        c.offset != 0 ? c.offset : static_cast<std::uint32_t>(stream.size()) + 2;
    for (int b = 0; b < 4; ++b) stream[8 + b] = static_cast<Uint8>(offset >> (8 * b));
    if (c.keep != 0) stream.resize(c.keep);
    ASSERT_TRUE(fragment->putUint8Array(stream.data(), static_cast<Uint32>(stream.size())).good());
    Bitmap out;
    EXPECT_EQ(ds.frameImage(0, out), kErrDecode) << c.what;
  }
}

// ---------------------------------------------------------------------------------------
// JPEG 2000 fragments.

TEST(DecodeJpeg2000, CodestreamSplitOverTwoFragmentsIsJoined) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("mr_small_j2kr.dcm")), 0);
  DcmPixelSequence* seq = pixelSequence(ds);
  ASSERT_EQ(seq->card(), 2u);
  DcmPixelItem* fragment = nullptr;
  ASSERT_TRUE(seq->getItem(fragment, 1).good());
  Uint8* bytes = nullptr;
  ASSERT_TRUE(fragment->getUint8Array(bytes).good());
  const std::vector<Uint8> stream(bytes, bytes + fragment->getLength());
  const Uint32 half = static_cast<Uint32>(stream.size() / 2) & ~1u;
  ASSERT_TRUE(fragment->putUint8Array(stream.data(), half).good());
  auto* second = new DcmPixelItem(DcmTag(DCM_Item, EVR_OB));
  ASSERT_TRUE(second->putUint8Array(stream.data() + half,
                                    static_cast<Uint32>(stream.size() - half))
                  .good());
  ASSERT_TRUE(seq->insert(second).good());
  Bitmap joined;
  ASSERT_EQ(ds.frameImage(0, joined), 0);
  EXPECT_TRUE(samePixels(joined, frameOf("mr_small_le.dcm")));
}

TEST(DecodeJpeg2000, TruncatedCodestreamIsADecodeError) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("mr_small_j2kr.dcm")), 0);
  DcmPixelItem* fragment = nullptr;
  ASSERT_TRUE(pixelSequence(ds)->getItem(fragment, 1).good());
  Uint8* bytes = nullptr;
  ASSERT_TRUE(fragment->getUint8Array(bytes).good());
  for (Uint32 keep : {fragment->getLength() / 2 & ~1u, 16u, 2u}) {
    const std::vector<Uint8> stream(bytes, bytes + keep);
    ASSERT_TRUE(fragment->putUint8Array(stream.data(), keep).good());
    ASSERT_TRUE(fragment->getUint8Array(bytes).good());
    Bitmap out;
    EXPECT_EQ(ds.frameImage(0, out), kErrDecode) << keep << " bytes kept";
  }
}

TEST(DecodeJpeg2000, LossyChestAndLosslessHandDecodeAtFullSize) {
  const Bitmap chest = frameOf("cr_chest_1841x1955_j2ki.dcm");
  EXPECT_EQ(chest.width(), 1841);
  EXPECT_EQ(chest.height(), 1955);
  int lo = 0, hi = 0;
  ASSERT_TRUE(chest.significantBits(lo, hi));
  EXPECT_LE(hi, 14);  // 15 bits stored
  const Bitmap hand = frameOf("cr_hand_2048x2500_j2kr.dcm");
  EXPECT_EQ(hand.width(), 2048);
  ASSERT_TRUE(hand.significantBits(lo, hi));
  EXPECT_EQ(hi, 11);  // 12 bits stored
}

// ---------------------------------------------------------------------------------------
// Bad input gives codes.

struct BadCase {
  const char* file;
  int loadCode;
  int frameCode;  // checked when the file loads
};

class DecodeBadInput : public testing::TestWithParam<BadCase> {};

TEST_P(DecodeBadInput, GivesTheErrorCode) {
  const BadCase& c = GetParam();
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile(c.file)), c.loadCode) << imagingErrorText(ds.load(testFile(c.file)));
  EXPECT_EQ(ds.isLoaded(), c.loadCode == 0);
  Bitmap out;
  EXPECT_EQ(ds.frameImage(0, out), c.loadCode == 0 ? c.frameCode : kErrInvalidParameter);
  EXPECT_FALSE(out.isAllocated());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DecodeBadInput,
    testing::Values(BadCase{"mr_small_truncated.dcm", kErrCorrupt, 0},
                    BadCase{"mr_10f_j2k_truncated.dcm", kErrCorrupt, 0},
                    BadCase{"mr_bad_group0000.dcm", kErrCorrupt, 0},
                    BadCase{"meta_no_tsyntax.dcm", 0, kErrCorrupt},
                    BadCase{"mr_empty_pixeldata.dcm", 0, kErrNoPixelData},
                    BadCase{"sr_no_pixeldata.dcm", 0, kErrNoPixelData},
                    BadCase{"ct_blank_vr_nopixel.dcm", 0, kErrNoPixelData},
                    BadCase{"cr_jis_iso2022_nopixel.dcm", 0, kErrNoPixelData},
                    BadCase{"no_such_file.dcm", kErrFileNotFound, 0},
                    BadCase{"dicomdir_set", kErrFileRead, 0},
                    BadCase{"SOURCES.md", kErrNotDicom, 0}));

TEST(DecodeBadInputOther, EmptyAndRandomFilesAreNotDicom) {
  TempDir dir;
  const std::string empty = dir.file("empty.dcm");
  std::ofstream(empty).close();
  std::string noise;
  for (int i = 0; i < 4000; ++i) noise += static_cast<char>((i * 7919 + 13) % 251);
  const std::string random = dir.file("random.dcm");
  std::ofstream(random, std::ios::binary) << noise;
  DicomDataSet ds;
  EXPECT_EQ(ds.load(empty), kErrNotDicom);
  EXPECT_EQ(ds.load(random), kErrNotDicom);
  EXPECT_EQ(ds.frameCount(), 0);
}

TEST(DecodeBadInputOther, PixelDataShorterThanTheHeaderSaysIsCorrupt) {
  TempDir dir;
  NativeImage img;
  img.rows = 4;
  img.columns = 4;  // needs 32 bytes, only 8 given
  const std::uint16_t pixels[4] = {1, 2, 3, 4};
  DicomDataSet ds;
  ASSERT_EQ(ds.load(writeNative(dir, img, pixels, sizeof pixels)), 0);
  Bitmap out;
  EXPECT_EQ(ds.frameImage(0, out), kErrCorrupt);
}

// Number of Frames is checked against the pixel data before anything is sized by it.

struct FrameCountCase {
  const char* what;
  std::string numberOfFrames;
  int code;
};

class DecodeFrameCount : public testing::TestWithParam<FrameCountCase> {};

// Two native 4 x 2 frames of 16 bits (32 bytes of pixel data).
TEST_P(DecodeFrameCount, NativeDataMustHoldEveryCountedFrame) {
  const FrameCountCase& c = GetParam();
  TempDir dir;
  NativeImage img;
  img.rows = 2;
  img.columns = 4;
  const std::vector<std::uint16_t> pixels(16, 7);
  const std::string path = writeNative(dir, img, pixels.data(), 32);
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(path.c_str()).good());
  ASSERT_TRUE(file.getDataset()->putAndInsertString(DCM_NumberOfFrames, c.numberOfFrames.c_str())
                  .good());
  ASSERT_TRUE(file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good());
  DicomDataSet loaded;
  ASSERT_EQ(loaded.load(path), 0);
  Bitmap first;
  EXPECT_EQ(loaded.frameImage(0, first), c.code) << c.what;
  std::vector<Bitmap> frames;
  EXPECT_EQ(loaded.allFrames(frames), c.code) << c.what;
  EXPECT_EQ(frames.size(), c.code == 0 ? 2u : 0u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Counts, DecodeFrameCount,
    testing::Values(FrameCountCase{"exactly the frames present", "2", 0},
                    FrameCountCase{"one frame more than present", "3", kErrCorrupt},
                    FrameCountCase{"largest count", "2147483647", kErrCorrupt},
                    FrameCountCase{"count whose size overflows 32 bits", "268435457",
                                   kErrCorrupt}));

TEST(DecodeFrameCountEncapsulated, MoreFramesThanFragmentsIsCorrupt) {
  TempDir dir;
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(testFile("mr_10f_64_rle.dcm").c_str()).good());
  const std::string path = dir.file("rle.dcm");
  for (const char* count : {"11", "2147483647"}) {
    ASSERT_TRUE(file.getDataset()->putAndInsertString(DCM_NumberOfFrames, count).good());
    ASSERT_TRUE(file.saveFile(path.c_str(), EXS_RLELossless).good());
    DicomDataSet ds;
    ASSERT_EQ(ds.load(path), 0);
    Bitmap first;
    EXPECT_EQ(ds.frameImage(0, first), kErrCorrupt) << count;
    std::vector<Bitmap> frames;
    EXPECT_EQ(ds.allFrames(frames), kErrCorrupt) << count;
    EXPECT_TRUE(frames.empty());
  }
}

// Ten RLE frames claiming 16384 x 8192 16-bit pixels each: 2.5 GiB from a few kilobytes.
TEST(DecodeFrameCountEncapsulated, AllFramesRefusesCompressedFramesBeyondOneGibibyte) {
  TempDir dir;
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(testFile("mr_10f_64_rle.dcm").c_str()).good());
  ASSERT_TRUE(file.getDataset()->putAndInsertUint16(DCM_Rows, 16384).good());
  ASSERT_TRUE(file.getDataset()->putAndInsertUint16(DCM_Columns, 8192).good());
  const std::string path = dir.file("huge.dcm");
  ASSERT_TRUE(file.saveFile(path.c_str(), EXS_RLELossless).good());
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  std::vector<Bitmap> frames;
  EXPECT_EQ(ds.allFrames(frames), kErrNoMemory);
  EXPECT_TRUE(frames.empty());
}

// ---------------------------------------------------------------------------------------
// A pixel module that contradicts itself is refused, not repaired into noise.

struct PixelHeaderCase {
  const char* what;
  NativeImage img;
  int code;
};

class DecodePixelHeader : public testing::TestWithParam<PixelHeaderCase> {};

TEST_P(DecodePixelHeader, IsRefusedWithItsCode) {
  const PixelHeaderCase& c = GetParam();
  TempDir dir;
  const std::vector<std::uint8_t> pixels(4 * 2 * 3 * 4, 0x5A);  // enough for every case
  const std::size_t bytes = static_cast<std::size_t>(std::max(c.img.rows, 1)) *
                            std::max(c.img.columns, 1) * std::max(c.img.samples, 1) *
                            std::max(c.img.bitsAllocated / 8, 1);
  DicomDataSet ds;
  ASSERT_EQ(ds.load(writeNative(dir, c.img, pixels.data(), bytes + bytes % 2)), 0) << c.what;
  Bitmap out;
  EXPECT_EQ(ds.frameImage(0, out), c.code) << c.what;
  EXPECT_FALSE(out.isAllocated()) << c.what;
}

NativeImage grey(int bitsAllocated, int bitsStored, int highBit) {
  NativeImage img;
  img.rows = 2;
  img.columns = 4;
  img.bitsAllocated = bitsAllocated;
  img.bitsStored = bitsStored;
  img.highBit = highBit;
  return img;
}

NativeImage with(NativeImage img, void (*change)(NativeImage&)) {
  change(img);
  return img;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DecodePixelHeader,
    testing::Values(
        PixelHeaderCase{"Bits Stored 0", grey(16, 0, 15), kErrPixelFormat},
        PixelHeaderCase{"Bits Stored above Bits Allocated", grey(16, 17, 16), kErrPixelFormat},
        PixelHeaderCase{"Bits Stored above 32", grey(16, 40, 15), kErrPixelFormat},
        PixelHeaderCase{"High Bit below Bits Stored - 1", grey(16, 12, 10), kErrPixelFormat},
        PixelHeaderCase{"High Bit at Bits Allocated", grey(16, 12, 16), kErrPixelFormat},
        PixelHeaderCase{"8 bits allocated, High Bit 8", grey(8, 8, 8), kErrPixelFormat},
        PixelHeaderCase{"Bits Allocated 24", grey(24, 24, 23), kErrPixelFormat},
        PixelHeaderCase{"single bits in colour",
                        with(grey(1, 1, 0),
                             [](NativeImage& i) {
                               i.samples = 3;
                               i.photometric = "RGB";
                             }),
                        kErrPixelFormat},
        PixelHeaderCase{
            "palette of 32-bit indices",
            with(grey(32, 32, 31), [](NativeImage& i) { i.photometric = "PALETTE COLOR"; }),
            kErrPixelFormat},
        PixelHeaderCase{"stored 4:2:2 of 16-bit samples",
                        with(grey(16, 16, 15),
                             [](NativeImage& i) {
                               i.samples = 3;
                               i.photometric = "YBR_FULL_422";
                             }),
                        kErrPixelFormat},
        PixelHeaderCase{"stored 4:2:2 of an odd width",
                        with(grey(8, 8, 7),
                             [](NativeImage& i) {
                               i.samples = 3;
                               i.columns = 3;
                               i.photometric = "YBR_FULL_422";
                             }),
                        kErrPixelFormat},
        PixelHeaderCase{"Bits Allocated 12", grey(12, 12, 11), kErrPixelFormat},
        PixelHeaderCase{"Pixel Representation 2",
                        with(grey(16, 12, 11), [](NativeImage& i) { i.pixelRepresentation = 2; }),
                        kErrPixelFormat},
        PixelHeaderCase{"Samples per Pixel 2",
                        with(grey(8, 8, 7), [](NativeImage& i) { i.samples = 2; }),
                        kErrPixelFormat},
        PixelHeaderCase{"Samples per Pixel 4",
                        with(grey(8, 8, 7), [](NativeImage& i) { i.samples = 4; }),
                        kErrPixelFormat},
        PixelHeaderCase{"Planar Configuration 2",
                        with(grey(8, 8, 7),
                             [](NativeImage& i) {
                               i.samples = 3;
                               i.photometric = "RGB";
                               i.planar = 2;
                             }),
                        kErrPixelFormat},
        PixelHeaderCase{"Rows 0", with(grey(16, 16, 15), [](NativeImage& i) { i.rows = 0; }),
                        kErrCorrupt},
        PixelHeaderCase{"Columns 0", with(grey(16, 16, 15), [](NativeImage& i) { i.columns = 0; }),
                        kErrCorrupt}));

// ---------------------------------------------------------------------------------------
// Whatever DCMTK throws while parsing a damaged file becomes an error code.

// A directory file whose first Directory Record Type claims 35 bytes instead of 8: DCMTK's
// record parsing throws std::out_of_range from inside loadFile.
TEST(DecodeBadInputOther, DirectoryRecordTypeWithAWrongLengthIsCorrupt) {
  TempDir dir;
  const std::string path = dir.file("DICOMDIR");
  {
    DcmDicomDir dicomdir(path.c_str(), "TEST");
    for (int i = 0; i < 4; ++i) {
      auto* patient = new DcmDirectoryRecord(ERT_Patient, nullptr, nullptr);
      patient->putAndInsertString(DCM_PatientName, ("Doe^Jane" + std::to_string(i)).c_str());
      patient->putAndInsertString(DCM_PatientID, ("1234" + std::to_string(i)).c_str());
      ASSERT_TRUE(dicomdir.getRootRecord().insertSub(patient).good());
    }
    ASSERT_TRUE(dicomdir.write(EXS_LittleEndianExplicit, EET_ExplicitLength).good());
  }
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::size_t at = bytes.find(std::string("\x04\x00\x30\x14" "CS", 6));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 6] = 35;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

  DicomDataSet loaded;
  EXPECT_EQ(loaded.load(path), kErrCorrupt);
  EXPECT_FALSE(loaded.isLoaded());
}

// A deflated data set is read from an inflated copy in the temp folder, which lives exactly
// as long as the data set (DCMTK may read large values from it later).
TEST(DecodeDeflated, ReadsThroughATemporaryCopyThatGoesWithTheDataSet) {
  TempDir dir;
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp ? oldTmp : "";
  const std::string tmp = dir.file("tmp");
  std::filesystem::create_directories(tmp);
  setenv("TMPDIR", tmp.c_str(), 1);
  const auto filesInTmp = [&] {
    return std::distance(std::filesystem::directory_iterator(tmp),
                         std::filesystem::directory_iterator());
  };
  {
    DicomDataSet ds;
    ASSERT_EQ(ds.load(testFile("ot_512_8bit_deflate.dcm")), 0);
    EXPECT_EQ(ds.transferSyntaxUid(), UID_DeflatedExplicitVRLittleEndianTransferSyntax);
    EXPECT_EQ(filesInTmp(), 1);
    Bitmap out;
    EXPECT_EQ(ds.frameImage(0, out), 0);
    EXPECT_EQ(out.width(), 512);
    ASSERT_EQ(ds.load(testFile("mr_small_le.dcm")), 0);  // a new load drops the old copy
    EXPECT_EQ(filesInTmp(), 0);
    ASSERT_EQ(ds.load(testFile("ot_512_8bit_deflate.dcm")), 0);
  }
  EXPECT_EQ(filesInTmp(), 0);
  if (oldTmp) {
    setenv("TMPDIR", savedTmp.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

TEST(DecodeBadInputOther, EveryTestFileLoadsOrGivesACodeAndEveryFrameDecodesOrGivesACode) {
  int files = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(TORASCAN_TESTDATA_DIR) +
                                                     "/dicom")) {
    if (!entry.is_regular_file()) continue;
    ++files;
    DicomDataSet ds;
    const int rc = ds.load(entry.path().string());
    EXPECT_LE(rc, 0) << entry.path();
    if (rc != 0) continue;
    for (int f = 0; f < ds.frameCount(); ++f) {
      Bitmap out;
      const int frc = ds.frameImage(f, out);
      EXPECT_LE(frc, 0) << entry.path() << " frame " << f;
      if (frc == 0) {
        EXPECT_TRUE(out.isAllocated());
      }
    }
  }
  EXPECT_GT(files, 50);
}
