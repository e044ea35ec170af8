// What a pane paints over its image: the overlay text and the scale rulers, checked on the
// grabbed pane at the pixels where they belong.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <set>

#include "app/AppSettings.h"
#include "display/OutlinedText.h"
#include "display/OverlayText.h"
#include "display/PaneTestSupport.h"
#include "display/ScaleRulers.h"
#include "display/widgets/ImgDisp.h"
#include "support/DicomBuilder.h"
#include "view/widgets/ToraScanView.h"

using panetest::FakePaneHost;
using panetest::makeImage;

namespace {

const QRgb kGrey = qRgb(200, 200, 200);
const QRgb kBlack = qRgb(0, 0, 0);

// Counts how the outlined text drawn alone at anchor differs from picture: every pixel it
// paints grey or black must be grey or black there too.
struct TextMatch {
  int inked = 0;
  int differing = 0;
};

TextMatch matchText(const QImage& picture, const QFont& font, const QPoint& anchor, int align,
                    const QString& text) {
  QImage alone(picture.size(), QImage::Format_ARGB32);
  alone.fill(Qt::transparent);
  {
    QPainter painter(&alone);
    painter.setFont(font);
    DrawOutlinedText(painter, anchor.x(), anchor.y(), text, QColor(kGrey), align);
  }
  TextMatch match;
  for (int y = 0; y < alone.height(); ++y) {
    for (int x = 0; x < alone.width(); ++x) {
      const QRgb drawn = alone.pixel(x, y);
      if (qAlpha(drawn) != 255) continue;
      ++match.inked;
      if (picture.pixel(x, y) != (drawn | 0xff000000u)) ++match.differing;
    }
  }
  return match;
}

class PaneInfoPaint : public ::testing::Test {
 protected:
  // A 500 x 500 pane showing a mid-grey image of side pixels, 0.143 mm each.
  void show(int side, const QSize& pane = QSize(500, 500)) {
    auto record = makeImage(2048, side, side);
    record->scanInfo.Img.ImagerPixelSpacing = 0.143;
    host.images.append(std::move(record));
    view.resize(pane);
    view.show();
    view.ShowImage(0);
    // The active frame would cover the ruler's right shadow; these checks are about the rulers.
    view.pane(0, 0)->setActive(false);
  }
  QImage grab() { return view.pane(0, 0)->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  CImageEach& record() { return *host.images.at(0); }

  FakePaneHost host;
  CtoraScanView view{&host};
};

TEST_F(PaneInfoPaint, TenCentimetreRulerAtZoomFour) {
  host.overlay = OverlaySwitches{false, false, false, false, false, false, false};
  show(1992);  // fitted into 498 x 498: zoom 4
  ASSERT_FLOAT_EQ(record().image.zoom().value(), 4.0f);
  const QImage picture = grab();
  const int w = 500;
  const QRgb background = picture.pixel(250, 250);
  ASSERT_NE(background, kGrey);
  ASSERT_NE(background, kBlack);

  // The line at x = W - 6 from y = 163 to 337 inside its black bar.
  const std::set<int> across = {163, 180, 198, 215, 233, 250, 268, 285, 303, 320, 337};
  for (int y = 163; y <= 337; ++y) {
    ASSERT_EQ(picture.pixel(w - 6, y), kGrey) << y;
    ASSERT_EQ(picture.pixel(w - 7, y), across.count(y) ? kGrey : kBlack) << y;
    ASSERT_EQ(picture.pixel(w - 5, y), kBlack) << y;
  }
  EXPECT_EQ(picture.pixel(w - 6, 162), kBlack);
  EXPECT_EQ(picture.pixel(w - 6, 338), kBlack);
  EXPECT_EQ(picture.pixel(w - 6, 339), background);
  // End caps of 7 pixels, framed in black.
  for (int y : {163, 337}) {
    for (int x = w - 13; x <= w - 6; ++x) EXPECT_EQ(picture.pixel(x, y), kGrey) << x << "," << y;
    EXPECT_EQ(picture.pixel(w - 14, y), kBlack);
    EXPECT_EQ(picture.pixel(w - 13, y - 1), kBlack);
    EXPECT_EQ(picture.pixel(w - 13, y + 1), kBlack);
    EXPECT_EQ(picture.pixel(w - 15, y), background);
  }
  // Centimetre marks of 4 pixels at the given rows, and none between them.
  for (int y : {320, 303, 285, 268, 250, 233, 215, 198, 180}) {
    for (int x = w - 10; x <= w - 7; ++x) EXPECT_EQ(picture.pixel(x, y), kGrey) << x << "," << y;
    EXPECT_EQ(picture.pixel(w - 11, y), kBlack) << y;
    EXPECT_EQ(picture.pixel(w - 10, y - 1), kBlack) << y;
    EXPECT_EQ(picture.pixel(w - 10, y + 1), kBlack) << y;
    EXPECT_EQ(picture.pixel(w - 12, y), background) << y;
    EXPECT_EQ(picture.pixel(w - 10, y + 3), background) << y;
  }
  // The label, right-aligned to the line, 4 pixels below its bottom end.
  const QFont font = overlay::PointFont(overlay::Face::Arials, rulers::LabelFontTenths(498));
  const int width = QFontMetrics(font).horizontalAdvance(QStringLiteral("10Cm"));
  const TextMatch label = matchText(picture, font, QPoint(w - 6 - width, 341), TA_LEFT, "10Cm");
  EXPECT_GT(label.inked, 20);
  EXPECT_EQ(label.differing, 0);

  // The horizontal ruler: the same 10 cm along y = H - 6, from x = 163 to 337.
  for (int x = 163; x <= 337; ++x) ASSERT_EQ(picture.pixel(x, 494), kGrey) << x;
  EXPECT_EQ(picture.pixel(162, 494), kBlack);
  EXPECT_EQ(picture.pixel(320, 490), kGrey);
  EXPECT_EQ(picture.pixel(320, 489), kBlack);
  EXPECT_EQ(picture.pixel(163, 487), kGrey);
  EXPECT_EQ(picture.pixel(163, 486), kBlack);
}

struct ShortRulerCase {
  QSize pane;
  int side;  // fits at zoom 1
  int bottom;
  int top;
  QString label;
};

TEST_F(PaneInfoPaint, ShorterRulersWhenTenCentimetresDoNotFit) {
  const ShortRulerCase cases[] = {{QSize(500, 500), 498, 354, 145, "3Cm"},
                                  {QSize(500, 100), 98, 84, 15, "1Cm"}};
  host.overlay = OverlaySwitches{false, false, false, false, false, false, false};
  for (const ShortRulerCase& c : cases) {
    SCOPED_TRACE(c.label.toStdString());
    host.images.clear();
    show(c.side, c.pane);
    ASSERT_FLOAT_EQ(record().image.zoom().value(), 1.0f);
    const QImage picture = grab();
    const int x = c.pane.width() - 6;
    EXPECT_EQ(picture.pixel(x, c.top - 1), kBlack);
    for (int y = c.top; y <= c.bottom; ++y) ASSERT_EQ(picture.pixel(x, y), kGrey) << y;
    EXPECT_EQ(picture.pixel(x, c.bottom + 1), kBlack);
    // Marks only on the 3 cm ruler, at 1 and 2 cm from the bottom.
    int marks = 0;
    for (int y = c.top + 2; y <= c.bottom - 2; ++y) marks += picture.pixel(x - 4, y) == kGrey;
    EXPECT_EQ(marks, c.label == "3Cm" ? 2 : 0);
    const QFont font = overlay::PointFont(
        overlay::Face::Arials, rulers::LabelFontTenths(record().image.displayRect().height()));
    const int width = QFontMetrics(font).horizontalAdvance(c.label);
    const TextMatch label =
        matchText(picture, font, QPoint(x - width, c.bottom + 4), TA_LEFT, c.label);
    EXPECT_GT(label.inked, 5);
    EXPECT_EQ(label.differing, 0);
  }
}

// In a pane of the 2 x 2 layout the top exposure line can stand where the ruler's label
// would: the label moves over the ruler, and both read whole on the painted pane.
TEST_F(PaneInfoPaint, RulerLabelKeepsClearOfTheExposureLines) {
  show(1992);  // fitted into 498 x 498: zoom 4, a 10 cm ruler from y = 163 to 337
  CDScanInfo& s = record().scanInfo;
  s.Img.InstitutionName = "General";
  s.Stu.StuPhysicianRef = "Dr^Who";
  s.Stu.StuOperator = "Tech";
  s.Img.ExposureIndex = 250;
  s.Img.DoseAreaProduct = 12;
  s.Img.MAS = 8;
  s.Img.KVP = 81;  // the top line, at H - 150 = 350: under the ruler's bottom end
  const QImage picture = grab();
  const QFont small = overlay::PointFont(overlay::Face::Arials, overlay::kSmallTenths);
  const TextMatch kv = matchText(picture, small, QPoint(400, 350), TA_LEFT, "kV     :  81");
  EXPECT_GT(kv.inked, 20);
  EXPECT_EQ(kv.differing, 0);
  const QFont font = overlay::PointFont(overlay::Face::Arials, rulers::LabelFontTenths(498));
  const TextMatch label =
      matchText(picture, font, QPoint(500 - 6, 163 - 4), TA_RIGHT | TA_BOTTOM, "10Cm");
  EXPECT_GT(label.inked, 20);
  EXPECT_EQ(label.differing, 0);
}

struct ExposureCase {
  bool hospital;
  int eiOffset;  // EI at H - eiOffset
  int kvOffset;
};

TEST_F(PaneInfoPaint, OverlayLinesAtTheirAnchors) {
  auto fill = [](CImageEach& r) {
    CDScanInfo& s = r.scanInfo;
    s.Pat.PatID = "P-0042";
    s.Pat.PatSex = "m";
    s.Pat.PatBirthDate = CDateTime(1970, 1, 2);
    r.patientAge = 45;
    s.Img.InstitutionName = "General";
    s.Stu.StuOperator = "Tech";
    s.Img.ExposureIndex = 250;
    s.Img.KVP = 81;
    s.Ser.SeriesNo = 3;
  };
  show(1992);
  fill(record());
  const QFont large = overlay::PointFont(overlay::Face::System, overlay::kLargeTenths);
  const QFont small = overlay::PointFont(overlay::Face::Arials, overlay::kSmallTenths);
  const ExposureCase cases[] = {{true, 70, 90}, {false, 30, 50}};
  for (const ExposureCase& c : cases) {
    SCOPED_TRACE(c.hospital);
    host.overlay.hospitalInfo = c.hospital;
    const QImage picture = grab();
    const struct {
      QFont font;
      QPoint anchor;
      int align;
      QString text;
      bool drawn;
    } lines[] = {
        {large, {10, 10}, TA_LEFT, "P-0042", true},
        {large, {10, 50}, TA_LEFT, "M(1970.01.02[45Y])", true},
        {small, {480, 470}, TA_RIGHT, "General", c.hospital},
        {small, {480, 450}, TA_RIGHT, "Op:Tech", c.hospital},
        {small, {400, 500 - c.eiOffset}, TA_LEFT, "EI      : 250", true},
        {small, {400, 500 - c.kvOffset}, TA_LEFT, "kV     :  81", true},
        {small, {400, 10}, TA_LEFT, "Srs : 3", true},
    };
    for (const auto& line : lines) {
      SCOPED_TRACE(line.text.toStdString());
      const TextMatch match = matchText(picture, line.font, line.anchor, line.align, line.text);
      EXPECT_GT(match.inked, 20);
      if (line.drawn) {
        EXPECT_EQ(match.differing, 0);
      } else {
        EXPECT_GT(match.differing, match.inked / 2);
      }
    }
  }
}

TEST_F(PaneInfoPaint, FrameLineFollowsTheShownFrame) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto record = panetest::makeThreeFrameImage(dir.filePath(QStringLiteral("frames.dcm")),
                                              DCM_AcquisitionNumber, "7");
  ASSERT_NE(record, nullptr);
  host.images.append(std::move(record));
  view.resize(500, 500);
  view.show();
  view.ShowImage(0);
  CImgDisp& pane = *view.pane(0, 0);
  const QFont small = overlay::PointFont(overlay::Face::Arials, overlay::kSmallTenths);
  // The frame number stands where the acquisition number would.
  EXPECT_EQ(matchText(grab(), small, QPoint(400, 50), TA_LEFT, "Frm : 1").differing, 0);
  pane.CineNext();
  EXPECT_EQ(matchText(grab(), small, QPoint(400, 50), TA_LEFT, "Frm : 2").differing, 0);
  pane.CinePrev();
  pane.CinePrev();
  EXPECT_EQ(matchText(grab(), small, QPoint(400, 50), TA_LEFT, "Frm : 3").differing, 0);
}

TEST_F(PaneInfoPaint, EmbeddedModeDrawsNoOverlayButKeepsTheRulers) {
  show(1992);
  record().scanInfo.Pat.PatID = "P-0042";
  const QFont large = overlay::PointFont(overlay::Face::System, overlay::kLargeTenths);
  const int saved = theAppSettings().RunMode;
  theAppSettings().RunMode = RunModeEmbedded;
  const QImage picture = grab();
  theAppSettings().RunMode = saved;
  const TextMatch id = matchText(picture, large, QPoint(10, 10), TA_LEFT, "P-0042");
  EXPECT_GT(id.differing, id.inked / 2);
  EXPECT_EQ(picture.pixel(494, 250), kGrey);
  EXPECT_EQ(matchText(grab(), large, QPoint(10, 10), TA_LEFT, "P-0042").differing, 0);
}

}  // namespace
