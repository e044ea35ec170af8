#include "imaging/Bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using imaging::Bitmap;

namespace {

Bitmap grey16(int width, int height, const std::vector<std::uint16_t>& values) {
  Bitmap b;
  EXPECT_TRUE(b.create(width, height, 16));
  std::memcpy(b.data(), values.data(), values.size() * 2);
  return b;
}

Bitmap bytes(int width, int height, int bitsPerPixel, const std::vector<std::uint8_t>& values) {
  Bitmap b;
  EXPECT_TRUE(b.create(width, height, bitsPerPixel));
  std::memcpy(b.data(), values.data(), values.size());
  return b;
}

std::vector<std::uint16_t> values16(const Bitmap& b) {
  return std::vector<std::uint16_t>(b.grey16(), b.grey16() + b.byteSize() / 2);
}

std::vector<std::uint8_t> valuesBytes(const Bitmap& b) {
  return std::vector<std::uint8_t>(b.data(), b.data() + b.byteSize());
}

}  // namespace

TEST(BitmapCreate, RejectsBadSizesAndDepths) {
  Bitmap b;
  EXPECT_FALSE(b.create(0, 5, 16));
  EXPECT_FALSE(b.create(5, -1, 16));
  EXPECT_FALSE(b.create(5, 5, 12));
  EXPECT_FALSE(b.create(5, 5, 32));
  EXPECT_FALSE(b.isAllocated());
  ASSERT_TRUE(b.create(3, 2, 24));
  EXPECT_EQ(b.bytesPerLine(), 9u);
  EXPECT_EQ(b.byteSize(), 18u);
  EXPECT_FALSE(b.isGrey());
  b.free();
  EXPECT_FALSE(b.isAllocated());
  EXPECT_EQ(b.width(), 0);
}

TEST(BitmapRows, PutAndGetClipToTheLineAndRejectBadRows) {
  Bitmap b = grey16(2, 2, {0, 0, 0, 0});
  const std::uint16_t line[3] = {7, 8, 9};
  EXPECT_TRUE(b.putRow(1, line, sizeof line));  // longer than a line: only 4 bytes copied
  EXPECT_EQ(values16(b), (std::vector<std::uint16_t>{0, 0, 7, 8}));
  std::uint16_t back[3] = {1, 1, 1};
  EXPECT_TRUE(b.getRow(1, back, sizeof back));
  EXPECT_EQ(back[2], 1);
  EXPECT_FALSE(b.putRow(2, line, sizeof line));
  EXPECT_FALSE(b.getRow(-1, back, sizeof back));
}

// 3 x 2 source:  1 2 3
//                4 5 6
struct RotateCase {
  int angle;
  int width, height;
  std::vector<std::uint16_t> expected;
};

class BitmapRotate : public testing::TestWithParam<RotateCase> {};

TEST_P(BitmapRotate, TurnsClockwiseAndResizes) {
  const RotateCase& c = GetParam();
  Bitmap b = grey16(3, 2, {1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(b.rotate(c.angle));
  EXPECT_EQ(b.width(), c.width);
  EXPECT_EQ(b.height(), c.height);
  EXPECT_EQ(values16(b), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Angles, BitmapRotate,
    testing::Values(RotateCase{9000, 2, 3, {4, 1, 5, 2, 6, 3}},
                    RotateCase{18000, 3, 2, {6, 5, 4, 3, 2, 1}},
                    RotateCase{27000, 2, 3, {3, 6, 2, 5, 1, 4}},
                    RotateCase{-9000, 2, 3, {3, 6, 2, 5, 1, 4}},
                    RotateCase{-27000, 2, 3, {4, 1, 5, 2, 6, 3}},
                    RotateCase{36000, 3, 2, {1, 2, 3, 4, 5, 6}},
                    RotateCase{0, 3, 2, {1, 2, 3, 4, 5, 6}}));

TEST(BitmapRotateOther, RejectsAnglesThatAreNotQuarterTurns) {
  Bitmap b = grey16(3, 2, {1, 2, 3, 4, 5, 6});
  EXPECT_FALSE(b.rotate(4500));
  EXPECT_FALSE(b.rotate(100));
  EXPECT_EQ(b.width(), 3);
  EXPECT_EQ(values16(b), (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6}));
}

TEST(BitmapRotateOther, KeepsRgbTriplesAndEightBitPixelsTogether) {
  Bitmap rgb = bytes(2, 1, 24, {1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(rgb.rotate(9000));
  EXPECT_EQ(rgb.width(), 1);
  EXPECT_EQ(rgb.height(), 2);
  EXPECT_EQ(valuesBytes(rgb), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  Bitmap grey = bytes(2, 2, 8, {1, 2, 3, 4});
  ASSERT_TRUE(grey.rotate(27000));
  EXPECT_EQ(valuesBytes(grey), (std::vector<std::uint8_t>{2, 4, 1, 3}));
}

TEST(BitmapRotateOther, LargeNonSquareRotationMatchesPixelByPixelDefinition) {
  // Larger than one rotation tile, with ragged edges, so tiling mistakes show.
  const int w = 131, h = 70;
  Bitmap b;
  ASSERT_TRUE(b.create(w, h, 16));
  for (int i = 0; i < w * h; ++i) b.grey16()[i] = static_cast<std::uint16_t>(i);
  Bitmap r = b.copyRect(0, 0, w, h);
  ASSERT_TRUE(r.rotate(9000));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(r.grey16()[x * h + (h - 1 - y)], b.grey16()[y * w + x]) << x << "," << y;
}

TEST(BitmapFlipMirror, FlipTurnsRowsMirrorTurnsColumns) {
  Bitmap b = grey16(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  b.flip();
  EXPECT_EQ(values16(b), (std::vector<std::uint16_t>{7, 8, 9, 4, 5, 6, 1, 2, 3}));
  b.mirror();
  EXPECT_EQ(values16(b), (std::vector<std::uint16_t>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  Bitmap rgb = bytes(2, 1, 24, {1, 2, 3, 4, 5, 6});
  rgb.mirror();
  EXPECT_EQ(valuesBytes(rgb), (std::vector<std::uint8_t>{4, 5, 6, 1, 2, 3}));
}

struct InvertCase {
  int bitsPerPixel;
  int maxValue;
  std::vector<std::uint16_t> input;
  std::vector<std::uint16_t> expected;
};

class BitmapInvert : public testing::TestWithParam<InvertCase> {};

TEST_P(BitmapInvert, MirrorsValuesInsideTheRangeAndZeroesThoseAbove) {
  const InvertCase& c = GetParam();
  Bitmap b;
  ASSERT_TRUE(b.create(static_cast<int>(c.input.size()), 1, c.bitsPerPixel));
  for (std::size_t i = 0; i < c.input.size(); ++i) {
    if (c.bitsPerPixel == 16)
      b.grey16()[i] = c.input[i];
    else
      b.data()[i] = static_cast<std::uint8_t>(c.input[i]);
  }
  b.invert(c.maxValue);
  for (std::size_t i = 0; i < c.input.size(); ++i)
    EXPECT_EQ(c.bitsPerPixel == 16 ? b.grey16()[i] : b.data()[i], c.expected[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, BitmapInvert,
    testing::Values(InvertCase{16, 4095, {0, 1, 4094, 4095, 4096, 65535}, {4095, 4094, 1, 0, 0, 0}},
                    InvertCase{16, 65535, {0, 65535, 100}, {65535, 0, 65435}},
                    InvertCase{8, 255, {0, 255, 100}, {255, 0, 155}},
                    InvertCase{8, 100, {0, 100, 101, 255}, {100, 0, 0, 0}},
                    InvertCase{8, 1000, {0, 255}, {255, 0}}));

TEST(BitmapInvertRgb, ComplementsEveryChannel) {
  Bitmap rgb = bytes(1, 1, 24, {0, 100, 255});
  rgb.invert(4095);
  EXPECT_EQ(valuesBytes(rgb), (std::vector<std::uint8_t>{255, 155, 0}));
}

struct RectCase {
  int x, y, w, h;
  int outWidth, outHeight;
  std::uint16_t firstValue;
};

class BitmapCopyRect : public testing::TestWithParam<RectCase> {};

TEST_P(BitmapCopyRect, ClipsToTheBitmap) {
  const RectCase& c = GetParam();
  // 4 x 3 with value 10*y + x.
  Bitmap b = grey16(4, 3, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23});
  const Bitmap part = b.copyRect(c.x, c.y, c.w, c.h);
  EXPECT_EQ(part.width(), c.outWidth);
  EXPECT_EQ(part.height(), c.outHeight);
  if (c.outWidth > 0) {
    EXPECT_EQ(part.grey16()[0], c.firstValue);
    const int lastX = c.outWidth - 1, lastY = c.outHeight - 1;
    EXPECT_EQ(part.grey16()[lastY * c.outWidth + lastX],
              c.firstValue + 10 * lastY + lastX);
  } else {
    EXPECT_FALSE(part.isAllocated());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, BitmapCopyRect,
    testing::Values(RectCase{1, 1, 2, 2, 2, 2, 11}, RectCase{0, 0, 4, 3, 4, 3, 0},
                    RectCase{-2, -1, 4, 3, 2, 2, 0}, RectCase{3, 2, 10, 10, 1, 1, 23},
                    RectCase{4, 0, 2, 2, 0, 0, 0}, RectCase{0, -5, 2, 5, 0, 0, 0},
                    RectCase{1, 1, 0, 2, 0, 0, 0},
                    RectCase{1, 1, INT_MAX, INT_MAX, 3, 2, 11},
                    RectCase{INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 0}));

TEST(BitmapResize, ProducesTheRequestedSizeAndInterpolatesLinearly) {
  Bitmap b = grey16(2, 1, {0, 100});
  ASSERT_TRUE(b.resizeInterpolated(4, 1));
  EXPECT_EQ(values16(b), (std::vector<std::uint16_t>{0, 25, 75, 100}));

  Bitmap flat = grey16(4, 4, std::vector<std::uint16_t>(16, 777));
  ASSERT_TRUE(flat.resizeInterpolated(3, 7));
  EXPECT_EQ(flat.width(), 3);
  EXPECT_EQ(flat.height(), 7);
  EXPECT_EQ(values16(flat), std::vector<std::uint16_t>(21, 777));

  Bitmap rgb = bytes(1, 2, 24, {0, 10, 200, 100, 10, 0});
  ASSERT_TRUE(rgb.resizeInterpolated(2, 4));
  EXPECT_EQ(rgb.bitsPerPixel(), 24);
  EXPECT_EQ(rgb.data()[0], 0);                  // top edge keeps the first row
  EXPECT_EQ(rgb.data()[2 * 3 * 1 + 0], 25);     // second row: a quarter of the way
  EXPECT_EQ(rgb.data()[2 * 3 * 3 + 2], 0);      // bottom edge keeps the last row
}

TEST(BitmapResize, RejectsBadSizesAndEmptyBitmaps) {
  Bitmap b = grey16(2, 2, {1, 2, 3, 4});
  EXPECT_FALSE(b.resizeInterpolated(0, 2));
  EXPECT_FALSE(b.resizeInterpolated(2, -3));
  EXPECT_EQ(b.width(), 2);
  Bitmap empty;
  EXPECT_FALSE(empty.resizeInterpolated(2, 2));
}

struct BitsCase {
  std::vector<std::uint16_t> values;
  bool found;
  int low, high;
};

class BitmapSignificantBits : public testing::TestWithParam<BitsCase> {};

TEST_P(BitmapSignificantBits, FindsLowestAndHighestBitOverAllPixels) {
  const BitsCase& c = GetParam();
  const Bitmap b = grey16(static_cast<int>(c.values.size()), 1, c.values);
  int low = -1, high = -1;
  ASSERT_EQ(b.significantBits(low, high), c.found);
  if (c.found) {
    EXPECT_EQ(low, c.low);
    EXPECT_EQ(high, c.high);
  }
}

INSTANTIATE_TEST_SUITE_P(Values, BitmapSignificantBits,
                         testing::Values(BitsCase{{0, 0}, false, 0, 0},
                                         BitsCase{{1}, true, 0, 0},
                                         BitsCase{{0x0FF0, 0x0010}, true, 4, 11},
                                         BitsCase{{0x8000, 0x0004}, true, 2, 15},
                                         BitsCase{{4095, 0}, true, 0, 11}));

TEST(BitmapSignificantBitsOther, EightBitAndRgb) {
  int low = 0, high = 0;
  EXPECT_TRUE(bytes(2, 1, 8, {0x40, 0x08}).significantBits(low, high));
  EXPECT_EQ(low, 3);
  EXPECT_EQ(high, 6);
  EXPECT_FALSE(bytes(1, 1, 24, {1, 2, 3}).significantBits(low, high));
  EXPECT_FALSE(Bitmap().significantBits(low, high));
}

TEST(BitmapMinMax, GreyRgbAndEmpty) {
  int lo = -1, hi = -1;
  ASSERT_TRUE(grey16(4, 1, {500, 3, 65535, 70}).minMax(lo, hi));
  EXPECT_EQ(lo, 3);
  EXPECT_EQ(hi, 65535);
  ASSERT_TRUE(bytes(2, 1, 24, {9, 200, 30, 40, 5, 60}).minMax(lo, hi));
  EXPECT_EQ(lo, 5);
  EXPECT_EQ(hi, 200);
  ASSERT_TRUE(bytes(1, 1, 8, {42}).minMax(lo, hi));
  EXPECT_EQ(lo, 42);
  EXPECT_EQ(hi, 42);
  EXPECT_FALSE(Bitmap().minMax(lo, hi));
}

TEST(BitmapHistogram, CountsGreyValuesAndRgbLuminance) {
  const auto grey = grey16(5, 1, {0, 7, 7, 65535, 7}).histogram();
  ASSERT_EQ(grey.size(), 65536u);
  EXPECT_EQ(grey[0], 1u);
  EXPECT_EQ(grey[7], 3u);
  EXPECT_EQ(grey[65535], 1u);

  const auto rgb = bytes(3, 1, 24, {255, 255, 255, 255, 0, 0, 0, 0, 0}).histogram();
  ASSERT_EQ(rgb.size(), 65536u);
  EXPECT_EQ(rgb[255], 1u);
  EXPECT_EQ(rgb[76], 1u);  // pure red
  EXPECT_EQ(rgb[0], 1u);
  EXPECT_TRUE(Bitmap().histogram().empty());
}
