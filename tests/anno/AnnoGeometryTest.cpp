#include <gtest/gtest.h>

#include <QPoint>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <ostream>

#include "anno/AnnoGeometry.h"

namespace {

constexpr int kW = 200;
constexpr int kH = 100;

// The pair of each orientation code, in code order.
constexpr int kPairs[8][2] = {{1, 2}, {2, 3}, {3, 0}, {0, 1}, {3, 2}, {1, 0}, {2, 1}, {0, 3}};

CAnnoDrawGeometry MakeGeometry(int code, float scale, int originX = 7, int originY = -5) {
  CAnnoDrawGeometry g;
  g.SetImageSize(kW, kH);
  g.SetOrigin(originX, originY);
  g.SetScale(scale);
  g.SetOrientation(kPairs[code][0], kPairs[code][1]);
  return g;
}

TEST(AnnoDrawGeometry, NewGeometryStartsUnturnedAtTheGivenPixelSize) {
  const CAnnoDrawGeometry byDefault;
  EXPECT_EQ(byDefault.OrientationA(), 1);
  EXPECT_EQ(byDefault.OrientationB(), 2);
  EXPECT_EQ(byDefault.OrientationCode(), 0);
  EXPECT_FLOAT_EQ(byDefault.Scale(), 1.0f);
  EXPECT_DOUBLE_EQ(byDefault.CmPerPixelX(), 0.0143);
  EXPECT_DOUBLE_EQ(byDefault.CmPerPixelY(), 0.0143);

  const CAnnoDrawGeometry configured(0.02);
  EXPECT_DOUBLE_EQ(configured.CmPerPixelX(), 0.02);
  EXPECT_DOUBLE_EQ(configured.CmPerPixelY(), 0.02);
}

// ---------------------------------------------------------------------------------------------
// Orientation codes

struct CodeCase {
  int a;
  int b;
  int code;
};

std::ostream& operator<<(std::ostream& out, const CodeCase& c) {
  return out << "(" << c.a << ", " << c.b << ") -> " << c.code;
}

class OrientationCodeTable : public ::testing::TestWithParam<CodeCase> {};

TEST_P(OrientationCodeTable, PairGivesItsCode) {
  const CodeCase& c = GetParam();
  CAnnoDrawGeometry g;
  g.SetOrientation(c.a, c.b);
  EXPECT_EQ(g.OrientationCode(), c.code);
}

INSTANTIATE_TEST_SUITE_P(AllPairs, OrientationCodeTable,
                         ::testing::Values(CodeCase{1, 2, 0}, CodeCase{2, 3, 1}, CodeCase{3, 0, 2},
                                           CodeCase{0, 1, 3}, CodeCase{3, 2, 4}, CodeCase{1, 0, 5},
                                           CodeCase{2, 1, 6}, CodeCase{0, 3, 7},
                                           // same side twice, opposite sides, values outside 0..3
                                           CodeCase{1, 1, -1}, CodeCase{0, 0, -1},
                                           CodeCase{0, 2, -1}, CodeCase{2, 0, -1},
                                           CodeCase{1, 3, -1}, CodeCase{3, 1, -1},
                                           CodeCase{4, 1, -1}, CodeCase{-1, 2, -1}));

// ---------------------------------------------------------------------------------------------
// Mappings, one case per orientation code

struct MapCase {
  int code;
  CFloatPoint image;  // W = 200, H = 100, scale 1, origin (0, 0)
  QPoint pane;
};

std::ostream& operator<<(std::ostream& out, const MapCase& c) { return out << "code " << c.code; }

class OrientationMapping : public ::testing::TestWithParam<MapCase> {};

TEST_P(OrientationMapping, ImagePointLandsWhereTheTurnedImageShowsIt) {
  const MapCase& c = GetParam();
  const CAnnoDrawGeometry g = MakeGeometry(c.code, 1.0f, 0, 0);
  EXPECT_EQ(g.ImageToPane(c.image), c.pane);
  const CFloatPoint back = g.PaneToImage(c.pane);
  EXPECT_FLOAT_EQ(back.x, c.image.x);
  EXPECT_FLOAT_EQ(back.y, c.image.y);
}

TEST_P(OrientationMapping, IntegerImagePointsSurviveTheRoundTrip) {
  const CAnnoDrawGeometry g = MakeGeometry(GetParam().code, 1.0f);
  for (int x : {0, 1, 37, kW - 1, kW}) {
    for (int y : {0, 1, 58, kH - 1, kH}) {
      const CFloatPoint back = g.PaneToImage(g.ImageToPane(CFloatPoint(x, y)));
      EXPECT_EQ(back.x, static_cast<float>(x)) << "(" << x << ", " << y << ")";
      EXPECT_EQ(back.y, static_cast<float>(y)) << "(" << x << ", " << y << ")";
    }
  }
}

TEST_P(OrientationMapping, PanePointsSurviveTheRoundTripAtEveryScale) {
  struct ScaleCase {
    float scale;
    int tolerance;  // a power of two keeps every step exact; other factors truncate
  };
  for (const ScaleCase& s : {ScaleCase{0.5f, 0}, ScaleCase{2.0f, 0}, ScaleCase{4.0f, 0},
                             ScaleCase{0.3f, 1}, ScaleCase{1.7f, 1}}) {
    const CAnnoDrawGeometry g = MakeGeometry(GetParam().code, s.scale);
    for (int sx : {-20, 0, 7, 13, 150, 401}) {
      for (int sy : {-5, 0, 9, 64, 233}) {
        const QPoint back = g.ImageToPane(g.PaneToImage(QPoint(sx, sy)));
        EXPECT_LE(std::abs(back.x() - sx), s.tolerance)
            << "f " << s.scale << " (" << sx << ", " << sy << ")";
        EXPECT_LE(std::abs(back.y() - sy), s.tolerance)
            << "f " << s.scale << " (" << sx << ", " << sy << ")";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllCodes, OrientationMapping,
                         ::testing::Values(MapCase{0, CFloatPoint(10, 20), QPoint(10, 20)},
                                           MapCase{1, CFloatPoint(10, 20), QPoint(20, 90)},
                                           MapCase{2, CFloatPoint(10, 20), QPoint(190, 80)},
                                           MapCase{3, CFloatPoint(10, 20), QPoint(180, 10)},
                                           MapCase{4, CFloatPoint(10, 20), QPoint(190, 20)},
                                           MapCase{5, CFloatPoint(10, 20), QPoint(10, 80)},
                                           MapCase{6, CFloatPoint(10, 20), QPoint(180, 90)},
                                           MapCase{7, CFloatPoint(10, 20), QPoint(20, 10)}));

TEST(AnnoDrawGeometry, PanePointIsScaledTruncatedTowardsZeroAndMovedByTheOrigin) {
  CAnnoDrawGeometry g;
  g.SetOrigin(30, 40);
  g.SetScale(2.0f);
  EXPECT_EQ(g.ImageToPane(CFloatPoint(5.0f, 7.9f)), QPoint(32, 43));
  EXPECT_EQ(g.ImageToPane(CFloatPoint(-5.0f, -3.0f)), QPoint(28, 39));
  const CFloatPoint image = g.PaneToImage(QPoint(33, 35));
  EXPECT_FLOAT_EQ(image.x, 6.0f);
  EXPECT_FLOAT_EQ(image.y, -10.0f);
}

TEST(AnnoDrawGeometry, PairWithoutACodeMapsAsTheLoadedImage) {
  CAnnoDrawGeometry g;
  g.SetImageSize(kW, kH);
  g.SetOrientation(1, 1);
  EXPECT_EQ(g.ImageToPane(CFloatPoint(10, 20)), QPoint(10, 20));
  const CFloatPoint image = g.PaneToImage(QPoint(10, 20));
  EXPECT_FLOAT_EQ(image.x, 10.0f);
  EXPECT_FLOAT_EQ(image.y, 20.0f);
}

TEST(AnnoDrawGeometry, ZeroScaleOrFarPointsSaturateInsteadOfOverflowing) {
  CAnnoDrawGeometry g;
  g.SetOrigin(10, 10);
  g.SetScale(0.0f);
  EXPECT_EQ(g.ImageToPane(CFloatPoint(5, -5)),
            QPoint(std::numeric_limits<int>::max(), std::numeric_limits<int>::min()));
  EXPECT_EQ(g.ImageToPane(CFloatPoint(0, 0)), QPoint(10, 10));

  g.SetScale(1e-30f);
  EXPECT_EQ(g.ImageToPane(CFloatPoint(1, -1)),
            QPoint(std::numeric_limits<int>::max(), std::numeric_limits<int>::min()));

  g.SetOrigin(-10, 10);
  g.SetScale(1.0f);
  const CFloatPoint image =
      g.PaneToImage(QPoint(std::numeric_limits<int>::max(), std::numeric_limits<int>::min()));
  EXPECT_FLOAT_EQ(image.x, static_cast<float>(std::numeric_limits<int>::max()) + 10.0f);
  EXPECT_FLOAT_EQ(image.y, static_cast<float>(std::numeric_limits<int>::min()) - 10.0f);
}

// ---------------------------------------------------------------------------------------------
// Orientation operations

struct OperationCase {
  const char* name;
  int operation;
  int a;  // pair after one operation from (1, 2)
  int b;
  int code;
};

std::ostream& operator<<(std::ostream& out, const OperationCase& c) { return out << c.name; }

class OrientationOperation : public ::testing::TestWithParam<OperationCase> {};

TEST_P(OrientationOperation, OneOperationFromTheLoadedImage) {
  const OperationCase& c = GetParam();
  CAnnoDrawGeometry g;
  g.ChangeOrientation(c.operation);
  EXPECT_EQ(g.OrientationA(), c.a);
  EXPECT_EQ(g.OrientationB(), c.b);
  EXPECT_EQ(g.OrientationCode(), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, OrientationOperation,
    ::testing::Values(OperationCase{"mirror", CAnnoDrawGeometry::kMirror, 3, 2, 4},
                      OperationCase{"flip", CAnnoDrawGeometry::kFlip, 1, 0, 5},
                      OperationCase{"rotate_left", CAnnoDrawGeometry::kRotateLeft, 2, 3, 1},
                      OperationCase{"rotate_right", CAnnoDrawGeometry::kRotateRight, 0, 1, 3}));

TEST(AnnoDrawGeometry, OperationsComeBackToTheStart) {
  struct Cycle {
    int operation;
    int times;
  };
  for (const Cycle& cycle :
       {Cycle{CAnnoDrawGeometry::kRotateRight, 4}, Cycle{CAnnoDrawGeometry::kRotateLeft, 4},
        Cycle{CAnnoDrawGeometry::kMirror, 2}, Cycle{CAnnoDrawGeometry::kFlip, 2}}) {
    for (int code = 0; code < 8; ++code) {
      CAnnoDrawGeometry g;
      g.SetOrientation(kPairs[code][0], kPairs[code][1]);
      for (int i = 0; i < cycle.times; ++i) {
        g.ChangeOrientation(cycle.operation);
        if (i + 1 < cycle.times) {
          EXPECT_NE(g.OrientationCode(), code);
        }
      }
      EXPECT_EQ(g.OrientationCode(), code) << "operation " << cycle.operation;
    }
  }
}

TEST(AnnoDrawGeometry, RotateLeftUndoesRotateRightAndEveryResultHasACode) {
  for (int code = 0; code < 8; ++code) {
    for (int op : {CAnnoDrawGeometry::kMirror, CAnnoDrawGeometry::kFlip,
                   CAnnoDrawGeometry::kRotateLeft, CAnnoDrawGeometry::kRotateRight}) {
      CAnnoDrawGeometry g;
      g.SetOrientation(kPairs[code][0], kPairs[code][1]);
      g.ChangeOrientation(op);
      EXPECT_NE(g.OrientationCode(), -1) << "code " << code << " operation " << op;
    }
    CAnnoDrawGeometry g;
    g.SetOrientation(kPairs[code][0], kPairs[code][1]);
    g.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
    g.ChangeOrientation(CAnnoDrawGeometry::kRotateLeft);
    EXPECT_EQ(g.OrientationCode(), code);
  }
}

TEST(AnnoDrawGeometry, UnknownOperationOrSideCodeResetsThePair) {
  CAnnoDrawGeometry g;
  g.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
  g.ChangeOrientation(4);
  EXPECT_EQ(g.OrientationCode(), 0);
  g.ChangeOrientation(CAnnoDrawGeometry::kMirror);
  g.ChangeOrientation(-1);
  EXPECT_EQ(g.OrientationCode(), 0);

  g.SetOrientation(7, 2);
  g.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
  EXPECT_EQ(g.OrientationA(), 0);
  EXPECT_EQ(g.OrientationB(), 1);
}

TEST(AnnoDrawGeometry, RotatedRightAPointFollowsTheImage) {
  // Rotated right, the 200 x 100 bitmap becomes 100 x 200: what was 20 rows below the top edge
  // is now 20 columns left of the right edge, and what was 10 columns in is now 10 rows down.
  CAnnoDrawGeometry g;
  g.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
  g.SetImageSize(kH, kW);
  EXPECT_EQ(g.ImageToPane(CFloatPoint(10, 20)), QPoint(80, 10));
  g.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
  g.SetImageSize(kW, kH);
  EXPECT_EQ(g.ImageToPane(CFloatPoint(10, 20)), QPoint(190, 80));
}

}  // namespace
