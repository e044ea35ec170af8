#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "image/BaseImage.h"
#include "ui/MessageSink.h"

using imagetest::makeGrey16;
using imagetest::pixel16;
using imagetest::ScopedPipelineSettings;
using imagetest::tableLevel;

namespace {

// ---------------------------------------------------------------------------------------------
// Window table

struct WindowCase {
  const char* name;
  int width;
  int centre;
  int value;
  int level;
};

std::ostream& operator<<(std::ostream& out, const WindowCase& c) {
  return out << c.name << " W=" << c.width << " C=" << c.centre << " v=" << c.value;
}

class SetWindowTable : public ::testing::TestWithParam<WindowCase> {};

TEST_P(SetWindowTable, EntryHasTheWindowedLevel) {
  const WindowCase& c = GetParam();
  CBaseImage image;
  makeGrey16(image, 2, 2, {0, 1, 2, 3});
  image.SetWindow(c.width, c.centre);
  EXPECT_EQ(tableLevel(image, c.value), c.level);
  // Blue, green and red carry the same level; the fourth byte stays 0.
  const std::uint32_t entry = image.greyTable()[c.value];
  EXPECT_EQ(entry, std::uint32_t(c.level) * 0x010101u);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SetWindowTable,
    ::testing::Values(
        // Normal window: low 500, high 1500; the top level stays 254 because e < d.
        WindowCase{"normal", 1000, 1000, 0, 0}, WindowCase{"normal", 1000, 1000, 500, 0},
        WindowCase{"normal", 1000, 1000, 504, 1}, WindowCase{"normal", 1000, 1000, 1000, 127},
        WindowCase{"normal", 1000, 1000, 1499, 254}, WindowCase{"normal", 1000, 1000, 1500, 254},
        WindowCase{"normal", 1000, 1000, 65535, 254},
        // W = 0: d = 1, every value maps to 0.
        WindowCase{"zero width", 0, 100, 0, 0}, WindowCase{"zero width", 0, 100, 100, 0},
        WindowCase{"zero width", 0, 100, 101, 0}, WindowCase{"zero width", 0, 100, 65535, 0},
        // C - W/2 == 0: low becomes 1 after the first entry, for all later ones.
        WindowCase{"low at zero", 200, 100, 0, 0}, WindowCase{"low at zero", 200, 100, 1, 0},
        WindowCase{"low at zero", 200, 100, 100, 126},
        WindowCase{"low at zero", 200, 100, 199, 253},
        WindowCase{"low at zero", 200, 100, 200, 255},
        WindowCase{"low at zero", 200, 100, 65535, 255},
        // Odd width from 0: after the correction high - low is W - 2, so the top entries
        // would pass 255 and must not wrap to black.
        WindowCase{"odd width from zero", 201, 100, 200, 255},
        WindowCase{"odd width from zero", 201, 100, 201, 255},
        WindowCase{"odd width from zero", 201, 100, 65535, 255},
        // Widths 1 and 2: the standard's LINEAR function, a threshold half a value below the
        // centre (the linear table would top out at 0 or 127: a mask would show black).
        WindowCase{"width two", 2, 500, 499, 0}, WindowCase{"width two", 2, 500, 500, 255},
        WindowCase{"width two", 2, 500, 501, 255}, WindowCase{"width one", 1, 1, 0, 0},
        WindowCase{"width one", 1, 1, 1, 255}, WindowCase{"width one", 1, 1, 65535, 255},
        WindowCase{"width one centre 0", 1, 0, 0, 255},
        // Width 3 keeps the linear table.
        WindowCase{"width three", 3, 500, 499, 0}, WindowCase{"width three", 3, 500, 500, 127},
        WindowCase{"width three", 3, 500, 501, 255},
        // Low below zero.
        WindowCase{"negative low", 1000, 0, 0, 127}, WindowCase{"negative low", 1000, 0, 499, 254},
        WindowCase{"negative low", 1000, 0, 500, 254}));

TEST(SetWindow, StoresThePair) {
  CBaseImage image;
  makeGrey16(image, 2, 2, {0, 1, 2, 3});
  image.SetWindow(1234, 567);
  int width = 0;
  int centre = 0;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 1234);
  EXPECT_EQ(centre, 567);
}

TEST(SetWindow, NegativeWidthBuildsATableWithoutCrashing) {
  for (const int width : {-1, -2, -100, -65536}) {
    CBaseImage image;
    makeGrey16(image, 2, 2, {0, 1, 2, 3});
    image.SetWindow(width, 500);
    int storedWidth = 0;
    int storedCentre = 0;
    image.GetWindow(storedWidth, storedCentre);
    EXPECT_EQ(storedWidth, width);
    EXPECT_EQ(storedCentre, 500);
  }
}

TEST(SetWindow, OnAnEightBitImageSetsTheClampedPaintWindowAndLeavesTheTable) {
  CBaseImage image;
  ASSERT_TRUE(image.Create(2, 2, 8));
  image.SetWindow(5000, -5000);
  EXPECT_EQ(image.paintIntensity(), 999);
  EXPECT_EQ(image.paintContrast(), -999);
  int width = 0;
  int centre = 0;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 999);
  EXPECT_EQ(centre, -999);
  EXPECT_TRUE(imagetest::tableIsZero(image));
}

// The lowest value present shows black and the highest white, also for one or two values
// (a mask) and for data mirrored against the file.
TEST(SetWindowFromData, LowestBlackHighestWhite) {
  struct Case {
    const char* name;
    std::vector<std::uint16_t> values;
    bool mirrored;
    std::vector<int> levels;
  };
  const std::vector<Case> cases = {
      {"mask", {0, 1, 1, 0}, false, {0, 255, 255, 0}},
      {"mirrored mask", {65535, 65534, 65534, 65535}, true, {255, 0, 0, 255}},
      {"one value", {7, 7, 7, 7}, false, {0, 0, 0, 0}},
      {"mirrored one value", {7, 7, 7, 7}, true, {0, 0, 0, 0}},
      {"range", {100, 600, 1100, 100}, false, {0, 127, 254, 0}},
  };
  for (const Case& c : cases) {
    CBaseImage image;
    makeGrey16(image, 2, 2, c.values);
    image.SetFileValueScale(1.0, 0.0, 0, c.mirrored);
    ASSERT_TRUE(image.SetWindowFromData()) << c.name;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_EQ(tableLevel(image, c.values[i]), c.levels[i]) << c.name << " value " << i;
    }
  }
  CBaseImage colour;
  colour.Create(2, 2, 24);
  EXPECT_FALSE(colour.SetWindowFromData());
}

TEST(StoreWindow, KeepsThePairAndLeavesTheTableAlone) {
  CBaseImage image;
  makeGrey16(image, 2, 2, {0, 1, 2, 3});
  image.SetWindow(1000, 1000);
  const std::vector<std::uint32_t> before(image.greyTable(),
                                          image.greyTable() + CBaseImage::kTableSize);
  image.StoreWindow(10, 20);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), image.greyTable()));
  int width = 0;
  int centre = 0;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 10);
  EXPECT_EQ(centre, 20);
}

TEST(SetPaintWindow, StoresOnlyWhenAsked) {
  CBaseImage image;
  ASSERT_TRUE(image.Create(2, 2, 8));
  image.SetPaintWindow(-1500, 300, false);
  EXPECT_EQ(image.paintIntensity(), -999);
  EXPECT_EQ(image.paintContrast(), 300);
  int width = 7;
  int centre = 7;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(centre, 0);
}

// Values 1 and 0x3fff: significant bits 0..13, as a 14-bit detector delivers them.
class SetWindowBitRangeTest : public ::testing::Test {
 protected:
  ScopedPipelineSettings settings{PipelineSettings{}};  // window-level bits 14
};

TEST_F(SetWindowBitRangeTest, TableRisesBetweenLowAndHighAndSaturatesAbove) {
  CBaseImage image;
  makeGrey16(image, 2, 1, {1, 0x3fff});
  image.SetWindow(100, 100);  // leaves non-zero entries the bit range must clear
  image.SetWindowBitRange(1000, 1000);
  const std::vector<std::pair<int, int>> cases = {
      {0, 0},      {499, 0},    {500, 0},     {1000, 127}, {1499, 254},
      {1500, 255}, {1501, 255}, {16383, 255}, {16384, 0},  {65535, 0}};
  for (const auto& [value, level] : cases) EXPECT_EQ(tableLevel(image, value), level) << value;
  int width = 0;
  int centre = 0;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 1000);
  EXPECT_EQ(centre, 1000);
}

TEST_F(SetWindowBitRangeTest, PaintIndexesTheTableWithTheSignificantBits) {
  // Lowest set bit 2: stored values are read shifted down by two bits.
  CBaseImage image;
  makeGrey16(image, 2, 1, {4, 4000});
  image.SetWindowBitRange(1000, 1000);
  QImage target(2, 1, QImage::Format_RGB32);
  target.fill(Qt::red);
  image.Paint(target);
  EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(target.pixel(1, 0), qRgb(127, 127, 127));  // 4000 >> 2 = 1000, the centre
}

TEST_F(SetWindowBitRangeTest, ReturnsSilentlyWhenTheBitmapDoesNotQualify) {
  struct Case {
    const char* name;
    int bits;
    std::uint8_t fill;
  };
  for (const Case& c : {Case{"8-bit grey", 8, 7}, Case{"colour", 24, 7}, Case{"all zero", 16, 0}}) {
    CBaseImage image;
    ASSERT_TRUE(image.Create(2, 2, c.bits));
    std::memset(image.bitmap().data(), c.fill, image.bitmap().byteSize());
    image.StoreWindow(11, 22);
    image.SetWindowBitRange(1000, 1000);
    int width = 0;
    int centre = 0;
    image.GetWindow(width, centre);
    EXPECT_EQ(width, 11) << c.name;
    EXPECT_EQ(centre, 22) << c.name;
    EXPECT_TRUE(imagetest::tableIsZero(image)) << c.name;
  }
}

TEST(PixelKind, TwoOnlyForGreyWiderThanEightBits) {
  struct Case {
    int bits;
    int kind;
  };
  for (const Case& c : {Case{16, 2}, Case{8, 1}, Case{24, 1}}) {
    CBaseImage image;
    ASSERT_TRUE(image.Create(3, 3, c.bits));
    EXPECT_EQ(image.PixelKind(), c.kind) << c.bits << " bits";
  }
  EXPECT_EQ(CBaseImage().PixelKind(), 1);
}

// ---------------------------------------------------------------------------------------------
// Orientation

// A 3 × 2 picture with distinct values: row 0 = 0 1 2, row 1 = 3 4 5.
class Orientation : public ::testing::Test {
 protected:
  void SetUp() override {
    makeGrey16(image, 3, 2, {0, 1, 2, 3, 4, 5});
    image.setDisplayOrigin(7, 11);
  }
  std::pair<int, int> sides() const { return {image.originalLeftSide(), image.originalTopSide()}; }
  CBaseImage image;
};

TEST_F(Orientation, SideCodesFollowEachOperation) {
  struct Case {
    const char* name;
    std::vector<std::string> ops;
    std::pair<int, int> sides;
  };
  const std::vector<Case> cases = {
      {"right", {"right"}, {1, 2}},
      {"left", {"left"}, {3, 0}},
      {"half turn", {"180"}, {2, 3}},
      {"minus quarter", {"-90"}, {3, 0}},
      {"mirror", {"mirror"}, {2, 1}},
      {"flip", {"flip"}, {0, 3}},
      {"mirror then flip", {"mirror", "flip"}, {2, 3}},
      {"right then mirror", {"right", "mirror"}, {1, 0}},
      {"right then left", {"right", "left"}, {0, 1}},
  };
  for (const Case& c : cases) {
    CBaseImage subject;
    makeGrey16(subject, 3, 2, {0, 1, 2, 3, 4, 5});
    for (const std::string& op : c.ops) {
      bool ok = false;
      if (op == "right") ok = subject.RotateRight();
      if (op == "left") ok = subject.RotateLeft();
      if (op == "180") ok = subject.Rotate(180);
      if (op == "-90") ok = subject.Rotate(-90);
      if (op == "mirror") ok = subject.Mirror();
      if (op == "flip") ok = subject.Flip();
      ASSERT_TRUE(ok) << c.name << ": " << op;
    }
    EXPECT_EQ(subject.originalLeftSide(), c.sides.first) << c.name;
    EXPECT_EQ(subject.originalTopSide(), c.sides.second) << c.name;
  }
}

TEST_F(Orientation, RotateRightTurnsPixelsClockwiseAndSwapsTheGeometry) {
  ASSERT_TRUE(image.RotateRight());
  const imaging::Bitmap& b = image.bitmap();
  ASSERT_EQ(b.width(), 2);
  ASSERT_EQ(b.height(), 3);
  // Clockwise: the bottom-left pixel (3) becomes the top-left one.
  EXPECT_EQ(imagetest::grey16Values(b), (std::vector<std::uint16_t>{3, 0, 4, 1, 5, 2}));
  EXPECT_EQ(image.displayRect(), QRect(11, 7, 2, 3));
  EXPECT_EQ(image.sourceRect(), QRect(0, 0, 2, 3));
}

TEST_F(Orientation, FourRightTurnsReturnToTheStart) {
  const QRect display = image.displayRect();
  const QRect source = image.sourceRect();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(image.RotateRight());
  EXPECT_EQ(sides(), std::make_pair(0, 1));
  EXPECT_EQ(image.displayRect(), display);
  EXPECT_EQ(image.sourceRect(), source);
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()),
            (std::vector<std::uint16_t>{0, 1, 2, 3, 4, 5}));
}

TEST_F(Orientation, FourLeftTurnsReturnToTheStart) {
  const QRect display = image.displayRect();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(image.RotateLeft());
  EXPECT_EQ(sides(), std::make_pair(0, 1));
  EXPECT_EQ(image.displayRect(), display);
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()),
            (std::vector<std::uint16_t>{0, 1, 2, 3, 4, 5}));
}

TEST_F(Orientation, MirrorAndFlipMovePixels) {
  ASSERT_TRUE(image.Mirror());
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()),
            (std::vector<std::uint16_t>{2, 1, 0, 5, 4, 3}));
  ASSERT_TRUE(image.Flip());
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()),
            (std::vector<std::uint16_t>{5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(image.displayRect(), QRect(7, 11, 3, 2));  // flips keep the geometry
}

TEST_F(Orientation, AngleThatIsNoQuarterTurnFailsAndChangesNothing) {
  EXPECT_FALSE(image.Rotate(45));
  EXPECT_EQ(sides(), std::make_pair(0, 1));
  EXPECT_EQ(image.bitmap().width(), 3);
}

TEST(OrientationWithoutImage, EveryOperationFailsAndKeepsTheSides) {
  CBaseImage image;
  EXPECT_FALSE(image.RotateRight());
  EXPECT_FALSE(image.RotateLeft());
  EXPECT_FALSE(image.Mirror());
  EXPECT_FALSE(image.Flip());
  EXPECT_FALSE(image.Invert());
  EXPECT_EQ(image.originalLeftSide(), 0);
  EXPECT_EQ(image.originalTopSide(), 1);
  EXPECT_FALSE(image.isInverted());
}

// ---------------------------------------------------------------------------------------------
// Invert

TEST(Invert, MirrorsDataAndCentreWithinTheStoredRange) {
  CBaseImage image;
  makeGrey16(image, 4, 1, {0, 1000, 4095, 2048});
  image.setBitsStored(12);
  image.SetWindow(1000, 1000);
  ASSERT_TRUE(image.Invert());
  EXPECT_TRUE(image.isInverted());
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()),
            (std::vector<std::uint16_t>{4095, 3095, 0, 2047}));
  int width = 0;
  int centre = 0;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 1000);
  EXPECT_EQ(centre, 3095);
}

TEST(Invert, ShowsTheExactNegativeWithTheSameContrast) {
  std::vector<std::uint16_t> ramp(4096);
  for (int v = 0; v < 4096; ++v) ramp[v] = std::uint16_t(v);
  for (const int width : {1000, 2, 1}) {
    CBaseImage image;
    makeGrey16(image, 64, 64, ramp);
    image.setBitsStored(12);
    image.SetWindow(width, 1000);
    std::vector<int> before(4096);
    for (int v = 0; v < 4096; ++v) before[v] = tableLevel(image, v);
    for (int turn = 1; turn <= 2; ++turn) {
      ASSERT_TRUE(image.Invert());
      for (int i = 0; i < 4096; ++i) {
        const int stored = image.bitmap().grey16()[i];
        const int expected = turn == 1 ? 255 - before[i] : before[i];
        // Integer levels truncate, so a level and its negative may sum to 254 or 255.
        EXPECT_NEAR(tableLevel(image, stored), expected, 1)
            << "width " << width << " turn " << turn << " value " << i;
      }
    }
  }
}

TEST(Invert, TwiceRestoresDataWindowAndTable) {
  CBaseImage image;
  makeGrey16(image, 4, 1, {0, 1000, 4095, 2048});
  image.setBitsStored(12);
  image.SetWindow(1000, 1000);
  const std::vector<std::uint32_t> table(image.greyTable(),
                                         image.greyTable() + CBaseImage::kTableSize);
  ASSERT_TRUE(image.Invert());
  ASSERT_TRUE(image.Invert());
  EXPECT_FALSE(image.isInverted());
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()),
            (std::vector<std::uint16_t>{0, 1000, 4095, 2048}));
  EXPECT_TRUE(std::equal(table.begin(), table.end(), image.greyTable()));
}

TEST(Invert, UsesTheFullSixteenBitsWhenBitsStoredIsUnknownOrSixteen) {
  for (const int bits : {0, 16}) {
    CBaseImage image;
    makeGrey16(image, 2, 1, {100, 65535});
    image.setBitsStored(bits);
    image.SetWindow(2000, 30000);
    ASSERT_TRUE(image.Invert());
    EXPECT_EQ(pixel16(image.bitmap(), 0, 0), 65435) << bits;
    EXPECT_EQ(pixel16(image.bitmap(), 1, 0), 0) << bits;
    int width = 0;
    int centre = 0;
    image.GetWindow(width, centre);
    EXPECT_EQ(centre, 65535 - 30000) << bits;
  }
}

TEST(Invert, EightBitImageIsMirroredAroundTwoHundredFiftyFive) {
  CBaseImage image;
  ASSERT_TRUE(image.Create(3, 1, 8));
  const std::uint8_t values[] = {0, 100, 255};
  std::memcpy(image.bitmap().data(), values, 3);
  image.StoreWindow(10, 20);
  ASSERT_TRUE(image.Invert());
  const std::uint8_t* p = image.bitmap().data();
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 155);
  EXPECT_EQ(p[2], 0);
  int width = 0;
  int centre = 0;
  image.GetWindow(width, centre);
  EXPECT_EQ(width, 10);
  EXPECT_EQ(centre, 20);
}

// ---------------------------------------------------------------------------------------------
// Geometry

TEST(ZoomBy, StaysWithinHalfAndTen) {
  struct Case {
    float start;
    float delta;
    float expected;
  };
  const std::vector<Case> cases = {
      {1.0f, 100.0f, 10.0f}, {1.0f, -100.0f, 0.5f}, {1.0f, 0.5f, 1.5f}, {9.9f, 0.2f, 10.0f},
      {0.6f, -0.2f, 0.5f},   {10.0f, -0.5f, 9.5f},  {0.5f, 0.0f, 0.5f}};
  for (const Case& c : cases) {
    CBaseImage image;
    makeGrey16(image, 100, 100, std::vector<std::uint16_t>(100 * 100));
    image.SetZoom(c.start);
    image.ZoomBy(c.delta);
    EXPECT_FLOAT_EQ(image.zoom().value(), c.expected) << c.start << " + " << c.delta;
  }
}

TEST(SetZoom, KeepsTheCentreOfTheDisplayedImage) {
  CBaseImage image;
  makeGrey16(image, 200, 100, std::vector<std::uint16_t>(200 * 100));
  image.setDisplayOrigin(50, 50);  // centre (150, 100)
  image.SetZoom(0.5f);
  EXPECT_EQ(image.displayRect(), QRect(-50, 0, 400, 200));
  image.SetZoom(2.0f);
  EXPECT_EQ(image.displayRect(), QRect(100, 75, 100, 50));
  EXPECT_FLOAT_EQ(image.zoom().value(), 2.0f);
}

struct FitCase {
  int imageWidth;
  int imageHeight;
  QRect area;
  QRect display;
  float zoom;
};

class FitToRectCases : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitToRectCases, FitsCentresAndSetsTheZoom) {
  const FitCase& c = GetParam();
  CBaseImage image;
  makeGrey16(image, c.imageWidth, c.imageHeight,
             std::vector<std::uint16_t>(std::size_t(c.imageWidth) * c.imageHeight));
  ScopedPipelineSettings settings{PipelineSettings{}};
  EXPECT_EQ(image.FitToRect(c.area), c.display);
  EXPECT_EQ(image.displayRect(), c.display);
  EXPECT_FLOAT_EQ(image.zoom().value(), c.zoom);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, FitToRectCases,
    ::testing::Values(FitCase{2000, 1000, QRect(0, 0, 500, 500), QRect(0, 125, 500, 250), 4.0f},
                      FitCase{2000, 1000, QRect(100, 50, 500, 500), QRect(100, 175, 500, 250),
                              4.0f},
                      FitCase{1000, 2000, QRect(0, 0, 500, 500), QRect(125, 0, 250, 500), 4.0f},
                      FitCase{100, 50, QRect(0, 0, 400, 400), QRect(0, 100, 400, 200), 0.25f}));

TEST(ScreenToImage, ScalesFromTheDisplayOriginAndTruncatesTowardsZero) {
  CBaseImage image;
  makeGrey16(image, 2000, 1000, std::vector<std::uint16_t>(2000 * 1000));
  ScopedPipelineSettings settings{PipelineSettings{}};
  image.FitToRect(QRect(0, 0, 500, 500));  // origin (0, 125), zoom 4
  EXPECT_EQ(image.ScreenToImage(QPoint(0, 125)), QPoint(0, 0));
  EXPECT_EQ(image.ScreenToImage(QPoint(250, 250)), QPoint(1000, 500));
  EXPECT_EQ(image.ScreenToImage(QPoint(499, 374)), QPoint(1996, 996));
  EXPECT_EQ(image.ScreenToImage(QPoint(0, 0)), QPoint(0, -500));

  CBaseImage enlarged;
  makeGrey16(enlarged, 10, 10, std::vector<std::uint16_t>(100));
  enlarged.SetZoom(0.5f);  // display 20 × 20 at (-5, -5)
  EXPECT_EQ(enlarged.ScreenToImage(QPoint(0, 0)), QPoint(2, 2));
  EXPECT_EQ(enlarged.ScreenToImage(QPoint(-8, -8)), QPoint(-1, -1));
}

TEST(FillBackground, FillsOnlyTheBandsBesideTheImage) {
  struct Probe {
    QPoint point;
    bool filled;
  };
  struct Case {
    const char* name;
    QSize image;
    QPoint origin;
    std::vector<Probe> probes;
  };
  const std::vector<Case> cases = {
      {"inside",
       {50, 40},
       {20, 30},
       {{{19, 50}, true},
        {{70, 50}, true},
        {{40, 29}, true},
        {{40, 70}, true},
        {{0, 0}, true},
        {{99, 99}, true},
        {{20, 30}, false},
        {{69, 69}, false}}},
      {"one pixel in",
       {98, 98},
       {1, 1},
       {{{0, 50}, true},
        {{99, 50}, true},
        {{50, 0}, true},
        {{50, 99}, true},
        {{1, 1}, false},
        {{98, 98}, false}}},
      {"exactly covering", {100, 100}, {0, 0}, {{{0, 0}, false}, {{99, 99}, false}}},
      {"larger than the area",
       {200, 200},
       {-50, -50},
       {{{0, 0}, false}, {{99, 0}, false}, {{0, 99}, false}, {{99, 99}, false}}},
  };
  const QRgb colour = qRgb(10, 20, 30);
  for (const Case& c : cases) {
    CBaseImage image;
    makeGrey16(image, c.image.width(), c.image.height(),
               std::vector<std::uint16_t>(std::size_t(c.image.width()) * c.image.height()));
    image.setDisplayOrigin(c.origin.x(), c.origin.y());
    QImage target(100, 100, QImage::Format_RGB32);
    target.fill(Qt::black);
    image.FillBackground(target, QRect(0, 0, 100, 100), colour);
    EXPECT_EQ(image.backgroundColour(), colour) << c.name;
    for (const Probe& p : c.probes) {
      EXPECT_EQ(target.pixel(p.point), p.filled ? colour : qRgb(0, 0, 0))
          << c.name << " at " << p.point.x() << "," << p.point.y();
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Paint

constexpr QRgb kUntouched = 0xff102030u;

// Source position of destination position d in a stretch of srcLength onto destLength.
int stretchSource(int d, int srcLength, int destLength) { return d * srcLength / destLength; }

class PaintTest : public ::testing::Test {
 protected:
  // 4 × 3 distinct values spread over a window so that neighbours get distinct levels.
  void SetUp() override {
    std::vector<std::uint16_t> values;
    for (int i = 0; i < 12; ++i) values.push_back(std::uint16_t(1000 + 100 * i));
    makeGrey16(image, 4, 3, values);
    image.SetWindow(1200, 1600);
  }
  QImage target(int width, int height) const {
    QImage t(width, height, QImage::Format_RGB32);
    t.fill(kUntouched);
    return t;
  }
  QRgb expected(const imaging::Bitmap& source, int x, int y) const {
    return 0xff000000u | image.greyTable()[pixel16(source, x, y)];
  }
  CBaseImage image;
};

TEST_F(PaintTest, StretchesTheSourceThroughTheTableWithoutInterpolation) {
  ScopedPipelineSettings settings{PipelineSettings{}};
  ASSERT_EQ(image.FitToRect(QRect(0, 0, 8, 6)), QRect(0, 0, 8, 6));
  EXPECT_FALSE(image.displayBitmap().isAllocated());
  QImage out = target(8, 6);
  image.Paint(out);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      ASSERT_EQ(out.pixel(x, y), expected(image.bitmap(), x / 2, y / 2)) << x << "," << y;
    }
  }
}

TEST_F(PaintTest, UnevenStretchPicksTheNearestSourcePixelBelow) {
  CBaseImage small;
  makeGrey16(small, 2, 2, {1000, 1400, 1800, 2200});
  small.SetWindow(1200, 1600);
  ScopedPipelineSettings settings{PipelineSettings{}};
  ASSERT_EQ(small.FitToRect(QRect(0, 0, 5, 5)), QRect(0, 0, 5, 5));
  QImage out = target(5, 5);
  small.Paint(out);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const int sx = stretchSource(x, 2, 5);
      const int sy = stretchSource(y, 2, 5);
      ASSERT_EQ(out.pixel(x, y), 0xff000000u | small.greyTable()[pixel16(small.bitmap(), sx, sy)])
          << x << "," << y;
    }
  }
}

TEST_F(PaintTest, PaintsTheInterpolatedDisplayBitmapWhenEnlarging) {
  PipelineSettings on;
  on.interpolation = 1;
  ScopedPipelineSettings settings{on};
  ASSERT_EQ(image.FitToRect(QRect(0, 0, 8, 6)), QRect(0, 0, 8, 6));
  const imaging::Bitmap& display = image.displayBitmap();
  ASSERT_TRUE(display.isAllocated());
  ASSERT_EQ(display.width(), 8);
  ASSERT_EQ(display.height(), 6);
  QImage out = target(8, 6);
  image.Paint(out);
  bool between = false;  // some value lies between source values: it was resampled
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      ASSERT_EQ(out.pixel(x, y), expected(display, x, y)) << x << "," << y;
      between = between || pixel16(display, x, y) % 100 != 0;
    }
  }
  EXPECT_TRUE(between);
}

TEST_F(PaintTest, DisplayBitmapIsBuiltOnlyWhenInterpolationAsksForIt) {
  struct Case {
    const char* name;
    int interpolation;
    int isVet;
    QRect area;
    bool built;
  };
  const QRect enlarge(0, 0, 8, 6);
  const QRect reduce(0, 0, 2, 2);
  const std::vector<Case> cases = {{"off, enlarged", 0, 0, enlarge, false},
                                   {"on, enlarged", 1, 0, enlarge, true},
                                   {"on, reduced", 1, 0, reduce, false},
                                   {"on with IsVet, reduced", 1, 1, reduce, true},
                                   {"off with IsVet, enlarged", 0, 1, enlarge, false}};
  for (const Case& c : cases) {
    PipelineSettings s;
    s.interpolation = c.interpolation;
    s.isVet = c.isVet;
    ScopedPipelineSettings settings{s};
    image.FitToRect(c.area);
    EXPECT_EQ(image.displayBitmap().isAllocated(), c.built) << c.name;
  }
}

TEST_F(PaintTest, FitWithInterpolationBuildsTheTableFromTheStoredPair) {
  CBaseImage stored;
  makeGrey16(stored, 4, 3, std::vector<std::uint16_t>(12, 1000));
  stored.StoreWindow(1000, 1000);
  ASSERT_TRUE(imagetest::tableIsZero(stored));
  PipelineSettings on;
  on.interpolation = 1;
  ScopedPipelineSettings settings{on};
  stored.FitToRect(QRect(0, 0, 8, 6));
  EXPECT_EQ(tableLevel(stored, 1000), 127);
}

TEST_F(PaintTest, RespectsTheClipRectangle) {
  ScopedPipelineSettings settings{PipelineSettings{}};
  image.FitToRect(QRect(0, 0, 8, 6));
  const QRect clip(2, 1, 3, 2);
  image.setClipRect(clip);
  QImage out = target(8, 6);
  image.Paint(out);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const QRgb want = clip.contains(x, y) ? expected(image.bitmap(), x / 2, y / 2) : kUntouched;
      ASSERT_EQ(out.pixel(x, y), want) << x << "," << y;
    }
  }
}

TEST_F(PaintTest, ImageLargerThanThePaneStartsAtItsVisiblePart) {
  CBaseImage big;
  std::vector<std::uint16_t> values;
  for (int i = 0; i < 100; ++i) values.push_back(std::uint16_t(1000 + 10 * i));
  makeGrey16(big, 10, 10, values);
  big.SetWindow(1000, 1500);
  big.SetZoom(0.5f);  // 20 × 20 at (-5, -5)
  QImage out = target(10, 10);
  big.Paint(out);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const int sx = stretchSource(x + 5, 10, 20);
      const int sy = stretchSource(y + 5, 10, 20);
      ASSERT_EQ(out.pixel(x, y), 0xff000000u | big.greyTable()[pixel16(big.bitmap(), sx, sy)])
          << x << "," << y;
    }
  }
}

TEST(PaintEightBitAndColour, NeutralPaintWindowShowsThePixelsAsTheyAre) {
  CBaseImage colour;
  ASSERT_TRUE(colour.Create(2, 1, 24));
  const std::uint8_t rgb[] = {255, 0, 0, 10, 20, 30};
  std::memcpy(colour.bitmap().data(), rgb, sizeof rgb);
  colour.ResetView();
  colour.StoreWindow(0, 0);
  QImage out(2, 1, QImage::Format_RGB32);
  out.fill(Qt::black);
  colour.Paint(out);
  EXPECT_EQ(out.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(out.pixel(1, 0), qRgb(10, 20, 30));

  CBaseImage grey;
  ASSERT_TRUE(grey.Create(3, 1, 8));
  const std::uint8_t levels[] = {0, 77, 255};
  std::memcpy(grey.bitmap().data(), levels, sizeof levels);
  grey.ResetView();
  QImage greyOut(3, 1, QImage::Format_RGB32);
  grey.Paint(greyOut);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(greyOut.pixel(x, 0), qRgb(levels[x], levels[x], levels[x]));
}

// ---------------------------------------------------------------------------------------------
// Copies and raw data

// A source with every kind of state a copy has to carry.
class CopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    makeGrey16(source, 3, 2, {10, 20, 30, 40, 50, 60});
    source.setBitsStored(12);
    source.SetWindow(1000, 1000);
    ASSERT_TRUE(source.Invert());
    ASSERT_TRUE(source.RotateRight());
    source.setDisplayOrigin(5, 6);
    source.SetZoom(2.0f);
    source.setWindowValue(2.5);
    source.setWindowType(3);
    QImage scratch(4, 4, QImage::Format_RGB32);
    source.FillBackground(scratch, QRect(0, 0, 4, 4), qRgb(1, 2, 3));
    source.setClipRect(QRect(1, 2, 3, 4));
  }
  static void expectSameWindowState(const CBaseImage& a, const CBaseImage& b) {
    int aw = 0, ac = 0, bw = 0, bc = 0;
    a.GetWindow(aw, ac);
    b.GetWindow(bw, bc);
    EXPECT_EQ(aw, bw);
    EXPECT_EQ(ac, bc);
    EXPECT_TRUE(std::equal(a.greyTable(), a.greyTable() + CBaseImage::kTableSize, b.greyTable()));
    EXPECT_EQ(a.bitsStored(), b.bitsStored());
    EXPECT_EQ(a.isInverted(), b.isInverted());
    EXPECT_EQ(a.windowValue(), b.windowValue());
    EXPECT_EQ(a.windowType(), b.windowType());
    EXPECT_EQ(a.backgroundColour(), b.backgroundColour());
    EXPECT_EQ(a.clipRect(), b.clipRect());
  }
  CBaseImage source;
};

TEST_F(CopyTest, CopyFromTakesPixelsGeometrySidesAndWindowState) {
  CBaseImage copy;
  ASSERT_TRUE(copy.CopyFrom(source));
  EXPECT_EQ(imagetest::grey16Values(copy.bitmap()), imagetest::grey16Values(source.bitmap()));
  EXPECT_EQ(copy.displayRect(), source.displayRect());
  EXPECT_EQ(copy.sourceRect(), source.sourceRect());
  EXPECT_EQ(copy.originalLeftSide(), source.originalLeftSide());
  EXPECT_EQ(copy.originalTopSide(), source.originalTopSide());
  EXPECT_FLOAT_EQ(copy.zoom().value(), source.zoom().value());
  expectSameWindowState(copy, source);
  // A deep copy: changing the source afterwards leaves the copy alone.
  source.bitmap().grey16()[0] = 999;
  EXPECT_NE(pixel16(copy.bitmap(), 0, 0), 999);
}

TEST_F(CopyTest, CopyFromItselfSucceedsAndChangesNothing) {
  const std::vector<std::uint16_t> before = imagetest::grey16Values(source.bitmap());
  EXPECT_TRUE(source.CopyFrom(source));
  EXPECT_EQ(imagetest::grey16Values(source.bitmap()), before);
  EXPECT_EQ(source.originalLeftSide(), 1);
}

TEST_F(CopyTest, CopyRectFromTakesTheRectangleButKeepsOwnGeometryAndSides) {
  CBaseImage target;
  makeGrey16(target, 5, 5, std::vector<std::uint16_t>(25));
  target.setDisplayOrigin(9, 9);
  ASSERT_TRUE(target.Mirror());
  const QRect display = target.displayRect();
  // The source after inversion in 12 bits (4095 - v) and a clockwise turn is 2 × 3:
  // 4055 4085 / 4045 4075 / 4035 4065.
  ASSERT_TRUE(target.CopyRectFrom(source, 0, 1, 2, 2));
  ASSERT_EQ(target.bitmap().width(), 2);
  ASSERT_EQ(target.bitmap().height(), 2);
  EXPECT_EQ(imagetest::grey16Values(target.bitmap()),
            (std::vector<std::uint16_t>{4045, 4075, 4035, 4065}));
  EXPECT_EQ(target.displayRect(), display);
  EXPECT_EQ(target.originalLeftSide(), 2);
  EXPECT_EQ(target.originalTopSide(), 1);
  expectSameWindowState(target, source);
}

TEST(CopyFromEmpty, FailsWithTheCopyMessage) {
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  CBaseImage empty;
  CBaseImage target;
  makeGrey16(target, 2, 2, {1, 2, 3, 4});
  EXPECT_FALSE(target.CopyFrom(empty));
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, QStringLiteral("BaseImage copy error"));
  EXPECT_EQ(sink.messages()[0].caption, QStringLiteral("Image"));
  EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION);
  EXPECT_EQ(imagetest::grey16Values(target.bitmap()), (std::vector<std::uint16_t>{1, 2, 3, 4}));
}

TEST(RawData, GetAndPutWorkOnTheBitmapWithoutMessages) {
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  CBaseImage image;
  makeGrey16(image, 2, 2, {1, 2, 3, 4});
  EXPECT_EQ(image.GetRawData(), image.bitmap().data());
  const std::uint16_t replacement[] = {9, 8, 7, 6};
  image.PutRawData(replacement);
  EXPECT_EQ(imagetest::grey16Values(image.bitmap()), (std::vector<std::uint16_t>{9, 8, 7, 6}));
  EXPECT_TRUE(sink.isEmpty());
}

TEST(RawData, PutDropsTheInterpolatedCopySoThePaneShowsTheNewPixels) {
  CBaseImage image;
  makeGrey16(image, 2, 2, {1, 2, 3, 4});
  PipelineSettings on;
  on.interpolation = 1;
  ScopedPipelineSettings settings{on};
  image.FitToRect(QRect(0, 0, 8, 8));
  ASSERT_TRUE(image.displayBitmap().isAllocated());
  const std::uint16_t replacement[] = {9, 8, 7, 6};
  image.PutRawData(replacement);
  EXPECT_FALSE(image.displayBitmap().isAllocated());
}

TEST(RawData, FailuresAreReportedUnderImage) {
  struct Case {
    const char* name;
    bool allocated;
    bool put;
    const char* text;
  };
  const std::uint16_t pixels[] = {1, 2, 3, 4};
  for (const Case& c : {Case{"get without image", false, false, "GetRawData error"},
                        Case{"put without image", false, true, "PutRawData error"},
                        Case{"put of nothing", true, true, "PutRawData error"}}) {
    RecordingMessageSink sink;
    ScopedMessageSink bound(&sink);
    CBaseImage image;
    if (c.allocated) makeGrey16(image, 2, 2, {1, 2, 3, 4});
    if (c.put) {
      image.PutRawData(c.allocated ? nullptr : pixels);
    } else {
      EXPECT_EQ(image.GetRawData(), nullptr) << c.name;
    }
    ASSERT_EQ(sink.count(), 1) << c.name;
    EXPECT_EQ(sink.messages()[0].text, QString::fromLatin1(c.text)) << c.name;
    EXPECT_EQ(sink.messages()[0].caption, QStringLiteral("Image")) << c.name;
    EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION) << c.name;
  }
}

}  // namespace
