#include "display/OverlayText.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <optional>
#include <vector>

#include "db/DateTime.h"
#include "display/OutlinedText.h"
#include "image/ImageEach.h"

namespace {

using overlay::Face;
using overlay::Line;

constexpr QSize kPane(400, 300);
constexpr double kSpacing = 0.0143;

// The line whose text starts with prefix, if any.
std::optional<Line> lineStarting(const overlay::Layout& layout, const QString& prefix) {
  for (const Line& line : layout.lines) {
    if (line.text.startsWith(prefix)) return line;
  }
  return std::nullopt;
}

int smallWidth(const QString& text) {
  return QFontMetrics(overlay::PointFont(Face::Arials, overlay::kSmallTenths))
      .horizontalAdvance(text);
}

std::optional<QPoint> anchorOf(const overlay::Layout& layout, const QString& prefix) {
  const auto line = lineStarting(layout, prefix);
  return line ? std::optional<QPoint>(line->anchor) : std::nullopt;
}

// A record with every item of every group filled.
class OverlayLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    CDScanInfo& s = record.scanInfo;
    s.Pat.PatID = "P-0042";
    s.Pat.PatName = "DOE^JOHN   ";
    s.Pat.PatSex = "m";
    s.Pat.PatBirthDate = CDateTime(1970, 1, 2);
    record.patientAge = 45;
    s.Stu.StuAccessNo = "ACC7";
    s.Img.InstitutionName = "General";
    s.Stu.StuPhysicianRef = "Dr^Who";
    s.Stu.StuOperator = "Tech";
    s.Img.ExposureIndex = 250;
    s.Img.DoseAreaProduct = 123;
    s.Img.MAS = 8;
    s.Img.TIME = 0.008;  // seconds, as the import stores it
    s.Img.MA = 320;
    s.Img.KVP = 81.7;
    s.Ser.SeriesNo = 3;
    s.Img.ImageNo = 12;
    s.Img.AcqNo = 5;
    s.Img.AcquisitionDateTime = CDateTime(2008, 3, 15, 9, 5, 7);
    s.Ser.BodyPart = "CHEST";
    s.Ser.PatientPosition = "CHEST PA";
    record.frameCount = 1;
  }
  overlay::Layout layout() const { return overlay::Compute(record, switches, kPane, kSpacing); }

  CImageEach record;
  OverlaySwitches switches;
};

TEST_F(OverlayLayout, EveryGroupAtItsCornerWithItsTextsAndFonts) {
  const int w = kPane.width();
  const int h = kPane.height();
  struct Expected {
    QString text;
    QPoint anchor;
    bool right;
    Face face;
  };
  const Expected expected[] = {
      {"P-0042", {10, 10}, false, Face::System},
      {"DOE^JOHN", {10, 30}, false, Face::System},
      {"M(1970.01.02[45Y])", {10, 50}, false, Face::System},
      {"ACC7", {10, 70}, false, Face::Arials},
      {"General", {w - 20, h - 30}, true, Face::Arials},
      {"Ref:Dr^Who", {w - 20, h - 50}, true, Face::Arials},
      {"Op:Tech", {w - 20, h - 70}, true, Face::Arials},
      {"EI      : 250", {w - 100, h - 90}, false, Face::Arials},
      // Wider than the 100 pixels to the edge: moved in just far enough.
      {"Dose  : 123 mGcm2",
       {w - 2 - smallWidth("Dose  : 123 mGcm2"), h - 110},
       false,
       Face::Arials},
      {"mAs  :   8", {w - 100, h - 130}, false, Face::Arials},
      {"Time : 0.008", {w - 100, h - 150}, false, Face::Arials},
      {"mA    : 320.00", {w - 100, h - 170}, false, Face::Arials},
      {"kV     :  81", {w - 100, h - 190}, false, Face::Arials},
      {"Srs : 3", {w - 100, 10}, false, Face::Arials},
      {"Img : 12", {w - 100, 30}, false, Face::Arials},
      {"Acq : 5", {w - 100, 50}, false, Face::Arials},
      {"2008.03.15", {10, h - 50}, false, Face::Arials},
      {"09:05:07", {10, h - 30}, false, Face::Arials},
      // The blank left after the prefix follows the inserted one.
      {"CHEST  PA", {10, h - 70}, false, Face::Arials},
  };
  const overlay::Layout result = layout();
  ASSERT_EQ(result.lines.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].text.toStdString());
    EXPECT_EQ(result.lines[i].text, expected[i].text);
    EXPECT_EQ(result.lines[i].anchor, expected[i].anchor);
    EXPECT_EQ(result.lines[i].rightAligned, expected[i].right);
    EXPECT_EQ(result.lines[i].face, expected[i].face);
  }
  EXPECT_TRUE(result.frameNumberRect.isNull());
}

TEST_F(OverlayLayout, ExposureLinesStackOnWhatTheHospitalGroupLeaves) {
  const int h = kPane.height();
  switches.hospitalInfo = false;
  EXPECT_EQ(anchorOf(layout(), "EI"), QPoint(300, h - 30));
  EXPECT_EQ(anchorOf(layout(), "kV"), QPoint(300, h - 130));
  EXPECT_FALSE(anchorOf(layout(), "Ref:"));

  switches.hospitalInfo = true;
  record.scanInfo.Stu.StuPhysicianRef = "   ";  // blanks only: no line, the rest moves down
  EXPECT_FALSE(anchorOf(layout(), "Ref:"));
  EXPECT_EQ(anchorOf(layout(), "Op:"), QPoint(380, h - 50));
  EXPECT_EQ(anchorOf(layout(), "EI"), QPoint(300, h - 70));

  record.scanInfo.Img.InstitutionName.clear();  // the next line takes the bottom place
  EXPECT_EQ(anchorOf(layout(), "Op:"), QPoint(380, h - 30));
}

TEST_F(OverlayLayout, ExposureValuesNeedAKilovoltageAndTheSwitch) {
  for (double kv : {0.0, -1.0}) {
    record.scanInfo.Img.KVP = kv;
    const overlay::Layout result = layout();
    EXPECT_TRUE(anchorOf(result, "EI"));  // the exposure index has no switch
    for (const char* prefix : {"kV", "mA", "mAs", "Time", "Dose"}) {
      EXPECT_FALSE(anchorOf(result, prefix)) << prefix << " at kV " << kv;
    }
  }
  record.scanInfo.Img.KVP = 70;
  record.scanInfo.Img.MA = 0;  // zero values leave their line out; the rest close up
  record.scanInfo.Img.TIME = 0;
  EXPECT_EQ(anchorOf(layout(), "kV"), QPoint(300, 300 - 150));
  switches.xrayParamInfo = false;
  switches.hospitalInfo = false;
  record.scanInfo.Img.ExposureIndex = 0;
  EXPECT_FALSE(anchorOf(layout(), "kV"));
  EXPECT_FALSE(anchorOf(layout(), "EI"));
}

TEST_F(OverlayLayout, FrameLineReplacesTheAcquisitionNumberAndFollowsTheFrame) {
  record.frameCount = 12;
  record.currentFrame = 0;
  EXPECT_FALSE(anchorOf(layout(), "Acq"));
  const auto first = lineStarting(layout(), "Frm");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->text, "Frm : 1");
  EXPECT_EQ(first->anchor, QPoint(300, 50));
  EXPECT_EQ(layout().frameNumberRect, QRect(330, 50, 30, 15));
  record.currentFrame = 9;
  EXPECT_EQ(lineStarting(layout(), "Frm")->text, "Frm : 10");

  switches.seriesInfo = false;
  EXPECT_FALSE(anchorOf(layout(), "Frm"));
  EXPECT_TRUE(layout().frameNumberRect.isNull());
}

TEST_F(OverlayLayout, SwitchesRemoveTheirGroups) {
  switches = OverlaySwitches{false, false, false, false, false, false, true};
  // Only the exposure index, which has no switch, is left.
  const overlay::Layout result = layout();
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.lines[0].text, "EI      : 250");

  switches = OverlaySwitches{};
  record.scanInfo.Img.AcquisitionDateTime = CDateTime();  // never set: no date, no time
  EXPECT_FALSE(anchorOf(layout(), "2008"));
  EXPECT_EQ(layout().lines.size(), 17u);
}

TEST_F(OverlayLayout, NothingWithoutSpacingOrOnAFlatPane) {
  EXPECT_TRUE(overlay::Compute(record, switches, kPane, 0).lines.empty());
  EXPECT_TRUE(overlay::Compute(record, switches, QSize(400, 10), kSpacing).lines.empty());
  EXPECT_FALSE(overlay::Compute(record, switches, QSize(400, 11), kSpacing).lines.empty());
}

TEST_F(OverlayLayout, AnatomyPrintsAPositionThatDoesNotStartWithTheBodyPartWhole) {
  record.scanInfo.Ser.PatientPosition = "PA";
  EXPECT_EQ(lineStarting(layout(), "CHEST")->text, "CHEST PA");
}

// Long names and values in the pane sizes of 1 x 1, 2 x 2 and smaller: every line's outlined
// text lies inside the pane's border, each is drawn where its cell says, and a line that fits
// keeps its place.
TEST_F(OverlayLayout, EveryLineLiesWhollyInsideThePane) {
  CDScanInfo& s = record.scanInfo;
  s.Pat.PatName = "WOLFESCHLEGELSTEINHAUSENBERGERDORFF^HUBERT BLAINE";
  s.Img.InstitutionName = "Klinikum der Universitaet fuer Radiologie und Nuklearmedizin";
  s.Img.DoseAreaProduct = 1234567;
  s.Img.MA = 1250.5;
  s.Ser.BodyPart = "LOWER EXTREMITY";
  s.Ser.PatientPosition = "ANTERIOR POSTERIOR OBLIQUE";
  record.frameCount = 30;
  const QFontMetrics large(overlay::PointFont(Face::System, overlay::kLargeTenths));
  const QFontMetrics small(overlay::PointFont(Face::Arials, overlay::kSmallTenths));
  for (const QSize pane : {QSize(1918, 1000), QSize(958, 499), QSize(300, 220), QSize(120, 80)}) {
    SCOPED_TRACE(testing::Message() << pane.width() << " x " << pane.height());
    const QRect room = QRect(QPoint(0, 0), pane).adjusted(1, 1, -1, -1);
    const overlay::Layout result = overlay::Compute(record, switches, pane, kSpacing);
    ASSERT_EQ(result.lines.size(), 19u);
    for (const Line& line : result.lines) {
      SCOPED_TRACE(line.text.toStdString());
      EXPECT_TRUE(room.contains(OutlinedExtent(line.cell)));
      const QFontMetrics& metrics = line.face == Face::System ? large : small;
      EXPECT_EQ(line.cell, TextCell(metrics, line.anchor.x(), line.anchor.y(), line.text,
                                    line.rightAligned ? TA_RIGHT : TA_LEFT));
    }
    if (pane.width() >= 958) {
      EXPECT_EQ(anchorOf(result, "kV"), QPoint(pane.width() - 100, pane.height() - 190));
      EXPECT_EQ(anchorOf(result, "WOLF"), QPoint(10, 30));
    }
  }
}

struct BirthCase {
  CDateTime birth;
  int age;
  QString sex;
  QString line;
};

TEST(OverlayBirth, SexLineWithBirthDateAndAge) {
  CDateTime invalid;
  invalid.setDate(2001, 2, 30);
  ASSERT_FALSE(invalid.isValid());
  const BirthCase cases[] = {
      {CDateTime(1970, 1, 2), 45, "m", "M(1970.01.02[45Y])"},
      {CDateTime(2008, 3, 15), 1003, "F", "F(2008.03.15[3M])"},
      {CDateTime(2008, 3, 15), 2012, "o", "O(2008.03.15[12D])"},
      {CDateTime(1900, 1, 1), 1003, "M", "M([3M])"},  // 1900-01-01 means "not given"
      {CDateTime(1900, 1, 1), 45, "", "([45Y])"},
      {invalid, 45, "M", "M"},  // no date: no age either
      {CDateTime(1970, 1, 2), 0, "male", "M(1970.01.02)"},
      {CDateTime(1970, 1, 2), 3000, "M", "M(1970.01.02)"},  // no valid age code
      {CDateTime(), 45, "M", "M([45Y])"},                   // the date was never set
      {CDateTime(1900, 1, 1), 0, "", ""},                   // drawn, but empty
  };
  for (const BirthCase& c : cases) {
    CImageEach record;
    record.scanInfo.Pat.PatBirthDate = c.birth;
    record.scanInfo.Pat.PatSex = c.sex;
    record.patientAge = c.age;
    const overlay::Layout result = overlay::Compute(record, OverlaySwitches{}, kPane, kSpacing);
    ASSERT_GE(result.lines.size(), 3u);  // ID, name, then the sex line
    EXPECT_EQ(result.lines[2].text, c.line) << c.line.toStdString();
    EXPECT_EQ(result.lines[2].anchor, QPoint(10, 50));
  }
}

}  // namespace

namespace {

// One character drawn alone in the overlay's face, black on white.
QImage drawnAlone(const QString& character) {
  QImage image(48, 48, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(overlay::PointFont(Face::System, 140));
  painter.setPen(Qt::black);
  painter.drawText(image.rect(), Qt::AlignCenter, character);
  return image;
}

// Names in Chinese, Japanese and Korean are drawn with real glyphs: each character comes out
// as a shape of its own, where a face without them draws the same empty box for every one
// (as it does for a private-use code point, which no face has).
TEST(OverlayFonts, ChineseJapaneseAndKoreanNamesGetGlyphsNotBoxes) {
  const QStringList characters = {QStringLiteral("王"), QStringLiteral("小"),
                                  QStringLiteral("东"), QStringLiteral("ひ"),
                                  QStringLiteral("カ"), QStringLiteral("한"),
                                  QStringLiteral("국")};
  const QImage box = drawnAlone(QString(QChar(0xE000)));
  std::vector<QImage> drawn;
  for (const QString& character : characters) {
    SCOPED_TRACE(character.toStdString());
    const QImage image = drawnAlone(character);
    EXPECT_NE(image, box);
    for (const QImage& other : drawn) EXPECT_NE(image, other);
    drawn.push_back(image);
  }
}

}  // namespace
