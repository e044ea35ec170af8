// The rotate, mirror and flip commands turn the active image's annotations with its pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "anno/AnnoLine.h"
#include "anno/AnnoManager.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "view/widgets/ToraScanView.h"

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr std::uint16_t kMarker = 4000;

// A dark image with a bright 9 x 9 block around (250, 50), the end of a line from the centre.
class AnnotationTurn : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::uint16_t> pixels(kWidth * kHeight, 100);
    for (int y = 46; y <= 54; ++y) {
      for (int x = 246; x <= 254; ++x) pixels[y * kWidth + x] = kMarker;
    }
    frame.resize(900, 700);
    frame.show();
    frame.HandOverRawImage(pixels, kWidth, kHeight, 12, 4096, 2048);
    image = frame.openImages().at(0);
    ASSERT_NE(image, nullptr);
    auto line = std::make_unique<CAnnoLine>();
    line->p1 = CFloatPoint(150, 100);
    line->p2 = CFloatPoint(250, 50);
    line->valid = true;
    image->annotations[0].objects().Append(std::move(line));
  }

  // Where the pane draws the line's end, after the pane painted the current view.
  QPoint lineEndOnScreen() {
    CImgDisp* pane = frame.view()->ActivePane();
    pane->grab();
    const auto* line = static_cast<const CAnnoLine*>(image->annotations[0].objects().At(0));
    return image->annotations[0].geometry().ImageToPane(line->p2);
  }
  // The stored pixel the image shows at a pane point.
  std::uint16_t pixelShownAt(const QPoint& point) {
    const QPoint source = image->image.ScreenToImage(point);
    const imaging::Bitmap& bitmap = image->image.bitmap();
    if (source.x() < 0 || source.y() < 0 || source.x() >= bitmap.width() ||
        source.y() >= bitmap.height()) {
      return 0;
    }
    return bitmap.grey16()[source.y() * bitmap.width() + source.x()];
  }

  CMainFrame frame;
  CImageEach* image = nullptr;
};

TEST_F(AnnotationTurn, LineEndStaysOnTheSameImageDetailThroughEveryTurn) {
  EXPECT_EQ(pixelShownAt(lineEndOnScreen()), kMarker);
  for (int id : {command::RotateRight, command::Mirror, command::RotateLeft, command::Flip,
                 command::RotateRight, command::RotateRight, command::Mirror}) {
    frame.OnCommand(id);
    EXPECT_EQ(pixelShownAt(lineEndOnScreen()), kMarker) << "after command " << id;
  }
}

TEST_F(AnnotationTurn, FourRotationsToTheRightBringTheLineBackToItsPlace) {
  const QPoint start = lineEndOnScreen();
  for (int i = 0; i < 4; ++i) frame.OnCommand(command::RotateRight);
  EXPECT_EQ(lineEndOnScreen(), start);
  EXPECT_EQ(image->annotations[0].geometry().OrientationA(), 1);
  EXPECT_EQ(image->annotations[0].geometry().OrientationB(), 2);
}

}  // namespace
