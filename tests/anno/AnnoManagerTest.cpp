#include <gtest/gtest.h>

#include <QPainter>

#include "AnnoTestSupport.h"
#include "anno/AnnoAngle.h"
#include "anno/AnnoLine.h"
#include "anno/AnnoManager.h"
#include "image/ImageEach.h"

using annotest::BlackImage;
using annotest::FakePane;

namespace {

constexpr int kImageWidth = 400;
constexpr int kImageHeight = 300;

// A manager on a pane that shows the image unscaled at the pane's origin, so pane points and
// image points coincide unless a test changes the view.
class AnnoManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager.SetGeometry(&pane, 0, 0, kImageWidth, kImageHeight, 1.0f, 0.0143, 0.0143);
  }

  void Press(const QPoint& p, unsigned flags = 0) {
    manager.OnButtonDown(flags | MK_LBUTTON, p.x(), p.y());
  }
  void Move(const QPoint& p, unsigned flags = MK_LBUTTON) {
    manager.OnMouseMove(flags, p.x(), p.y());
  }
  void Release(const QPoint& p, unsigned flags = 0) { manager.OnButtonUp(flags, p.x(), p.y()); }
  void Drag(const QPoint& from, const QPoint& to, unsigned flags = 0) {
    Press(from, flags);
    Move(to, flags | MK_LBUTTON);
    Release(to, flags);
  }
  void Click(const QPoint& p, unsigned flags = 0) {
    Press(p, flags);
    Release(p, flags);
  }

  CAnnoLine* AddLine(const QPoint& from, const QPoint& to) {
    manager.SetType(CAnnoObject::kTypeLine);
    Drag(from, to);
    return dynamic_cast<CAnnoLine*>(LastObject());
  }
  CAnnoAngle* AddAngle(const QPoint& v, const QPoint& a, const QPoint& b) {
    manager.SetType(CAnnoObject::kTypeAngle);
    Click(v);
    Click(a);
    Click(b);
    return dynamic_cast<CAnnoAngle*>(LastObject());
  }
  CAnnoObject* LastObject() const { return manager.objects().At(manager.objects().Count() - 1); }
  int Count() const { return manager.objects().Count(); }

  FakePane pane;
  CAnnoObjectManager manager;
};

QPoint PaneOf(const CAnnoObjectManager& manager, const CFloatPoint& p) {
  return manager.geometry().ImageToPane(p);
}

// ---------------------------------------------------------------------------------------------
// Creating

TEST_F(AnnoManagerTest, LineDragCreatesOneValidLineWithCaptureAndRepaints) {
  manager.SetType(CAnnoObject::kTypeLine);
  Press(QPoint(10, 20));
  ASSERT_EQ(Count(), 1);
  EXPECT_FALSE(LastObject()->valid);  // not drawn or hit before the release
  EXPECT_TRUE(pane.captured);
  const int before = pane.invalidations;
  Move(QPoint(60, 20));
  EXPECT_GT(pane.invalidations, before);  // the preview follows the mouse
  Release(QPoint(110, 20));

  auto* line = dynamic_cast<CAnnoLine*>(LastObject());
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->valid);
  EXPECT_FLOAT_EQ(line->p1.x, 10);
  EXPECT_FLOAT_EQ(line->p2.x, 110);
  EXPECT_EQ(line->LabelText(manager.geometry()), "1.43 cm");
  EXPECT_FALSE(pane.captured);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
}

TEST_F(AnnoManagerTest, SecondPressBeforeTheReleaseGivesTheLineUp) {
  manager.SetType(CAnnoObject::kTypeLine);
  Press(QPoint(10, 20));
  Move(QPoint(60, 20));
  // The release went astray; the next press ends the drag and leaves no half-built line.
  Press(QPoint(80, 40));
  EXPECT_FALSE(pane.captured);
  Release(QPoint(80, 40));
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
  // The next drag creates normally.
  Drag(QPoint(10, 20), QPoint(110, 20));
  ASSERT_EQ(Count(), 1);
  EXPECT_TRUE(LastObject()->valid);
}

TEST_F(AnnoManagerTest, DefaultModePressInEmptySpaceCreatesNothing) {
  manager.SetType(0);
  Drag(QPoint(10, 10), QPoint(80, 80));
  EXPECT_EQ(Count(), 0);
  manager.SetType(32777);  // a command id that is no annotation kind
  Drag(QPoint(10, 10), QPoint(80, 80));
  EXPECT_EQ(Count(), 0);
}

TEST_F(AnnoManagerTest, ClickLineIsValidUndrawnPickableAndDeletable) {
  manager.SetType(CAnnoObject::kTypeLine);
  Click(QPoint(100, 100));
  ASSERT_EQ(Count(), 1);
  EXPECT_TRUE(LastObject()->valid);
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    manager.Draw(painter);
  }
  EXPECT_TRUE(annotest::IsBlack(image));

  EXPECT_EQ(manager.HitTest(101, 99), CAnnoObject::kHitVertex);
  Click(QPoint(101, 99));  // picks and selects it; nothing new is created
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(manager.CountSelected(), 1);
  EXPECT_EQ(manager.OnKey(VK_DELETE, 0), 1);
  EXPECT_EQ(Count(), 0);
}

TEST_F(AnnoManagerTest, AngleTakesThreeClicksAndAWaitingAnglePlacesItsNextPoint) {
  manager.SetType(CAnnoObject::kTypeAngle);
  Click(QPoint(100, 100));
  ASSERT_EQ(Count(), 1);
  auto* angle = dynamic_cast<CAnnoAngle*>(LastObject());
  ASSERT_NE(angle, nullptr);
  EXPECT_EQ(angle->placed, 1);
  EXPECT_FALSE(angle->valid);
  EXPECT_NE(manager.activeDrawer(), nullptr);
  EXPECT_TRUE(pane.captured);

  // A move with no button held still reaches the waiting drawer.
  const int before = pane.invalidations;
  Move(QPoint(150, 90), 0);
  EXPECT_GT(pane.invalidations, before);

  Click(QPoint(150, 100));
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(angle->placed, 2);
  EXPECT_FALSE(angle->valid);
  EXPECT_EQ(manager.HitTest(100, 100), CAnnoObject::kHitNone);  // not hit until complete

  Click(QPoint(100, 150));
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(angle->placed, 3);
  EXPECT_TRUE(angle->valid);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
  EXPECT_FALSE(pane.captured);
  EXPECT_EQ(CAnnoAngle::LabelText(angle->Theta()), "270.0 / 90.0");
}

TEST_F(AnnoManagerTest, WaitingAnglePlacesItsPointEvenAfterTheModeChanged) {
  manager.SetType(CAnnoObject::kTypeAngle);
  Click(QPoint(100, 100));
  Click(QPoint(150, 100));
  manager.SetType(0);
  Click(QPoint(100, 150));
  ASSERT_EQ(Count(), 1);
  EXPECT_TRUE(LastObject()->valid);
}

TEST_F(AnnoManagerTest, WaitingAngleFollowsTheMouseAgainAfterAnotherObjectWasMoved) {
  CAnnoLine* line = AddLine(QPoint(20, 250), QPoint(120, 250));
  manager.SetType(CAnnoObject::kTypeAngle);
  Click(QPoint(100, 100));
  Click(QPoint(150, 100));
  Drag(QPoint(70, 250), QPoint(70, 260));
  EXPECT_FLOAT_EQ(line->p1.y, 260);

  const int before = pane.invalidations;
  Move(QPoint(120, 140), 0);
  EXPECT_GT(pane.invalidations, before);
  Click(QPoint(100, 150));
  ASSERT_EQ(Count(), 2);
  EXPECT_TRUE(LastObject()->valid);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
}

TEST_F(AnnoManagerTest, EditingAnotherObjectDropsTheUnfinishedAngle) {
  CAnnoLine* line = AddLine(QPoint(20, 200), QPoint(200, 200));
  manager.SetType(CAnnoObject::kTypeAngle);
  Click(QPoint(100, 100));
  Click(QPoint(150, 100));
  ASSERT_EQ(Count(), 2);

  Drag(QPoint(200, 200), QPoint(220, 210));  // the line's end point
  ASSERT_EQ(Count(), 1);
  EXPECT_EQ(LastObject(), line);
  EXPECT_FLOAT_EQ(line->p2.x, 220);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Hit testing

struct HitCase {
  QPoint point;
  int code;
};

TEST_F(AnnoManagerTest, VertexWithinThreePixelsBodyWithinSixOtherwiseNothing) {
  AddLine(QPoint(100, 100), QPoint(200, 100));  // horizontal
  AddLine(QPoint(100, 150), QPoint(100, 250));  // vertical
  AddLine(QPoint(250, 100), QPoint(350, 200));  // slanted, 45 degrees
  const HitCase cases[] = {
      {{100, 100}, CAnnoObject::kHitVertex},     {{97, 97}, CAnnoObject::kHitVertex},
      {{102, 102}, CAnnoObject::kHitVertex},     {{103, 100}, CAnnoObject::kHitBody},
      {{96, 100}, CAnnoObject::kHitNone},        {{100, 103}, CAnnoObject::kHitNone},
      {{150, 97}, CAnnoObject::kHitBody},        {{150, 102}, CAnnoObject::kHitBody},
      {{150, 103}, CAnnoObject::kHitNone},       {{203, 100}, CAnnoObject::kHitNone},
      {{97, 200}, CAnnoObject::kHitBody},        {{103, 200}, CAnnoObject::kHitNone},
      {{254, 104}, CAnnoObject::kHitBody},        // 4 pixels along from the vertex
      {{300, 308 - 150}, CAnnoObject::kHitBody},  // 5.7 pixels off the slant
      {{300, 309 - 150}, CAnnoObject::kHitNone},  // 6.4 pixels off
      {{360, 210}, CAnnoObject::kHitNone},        // on the slant's line, past its end
  };
  for (const HitCase& c : cases) {
    EXPECT_EQ(manager.HitTest(c.point.x(), c.point.y()), c.code)
        << c.point.x() << "," << c.point.y();
  }
}

TEST_F(AnnoManagerTest, TopmostObjectDecidesAndItsVertexWinsOverABodyBelow) {
  CAnnoLine* below = AddLine(QPoint(50, 100), QPoint(250, 100));
  // Drawn from above so that its press does not land on the first line.
  CAnnoLine* top = AddLine(QPoint(150, 20), QPoint(150, 100));
  ASSERT_EQ(Count(), 2);
  EXPECT_EQ(manager.ObjectAt(150, 100), top);
  EXPECT_EQ(manager.FindObject(150, 100, CAnnoObject::kHitBody), below);
  EXPECT_EQ(manager.FindObject(150, 100, CAnnoObject::kHitVertex), top);

  Drag(QPoint(150, 100), QPoint(160, 120));
  EXPECT_FLOAT_EQ(top->p2.x, 160);  // the top line's vertex was edited
  EXPECT_FLOAT_EQ(top->p2.y, 120);
  EXPECT_FLOAT_EQ(below->p1.x, 50);  // the body below did not move
  EXPECT_FLOAT_EQ(below->p2.x, 250);
  EXPECT_TRUE(top->selected);
  EXPECT_FALSE(below->selected);
}

TEST_F(AnnoManagerTest, IsOverObjectReadsThePaneCursor) {
  AddLine(QPoint(100, 100), QPoint(200, 100));
  pane.cursor = QPoint(150, 101);
  EXPECT_TRUE(manager.IsOverObject(pane));
  pane.cursor = QPoint(150, 130);
  EXPECT_FALSE(manager.IsOverObject(pane));
}

// ---------------------------------------------------------------------------------------------
// Selection

TEST_F(AnnoManagerTest, CtrlClickAddsToTheSelectionAndStartsNoDrag) {
  CAnnoLine* first = AddLine(QPoint(20, 50), QPoint(120, 50));
  CAnnoLine* second = AddLine(QPoint(20, 150), QPoint(120, 150));
  Click(QPoint(70, 50));  // selects the first
  ASSERT_TRUE(first->selected);

  const int before = pane.invalidations;
  Press(QPoint(70, 150), MK_CONTROL);
  EXPECT_GT(pane.invalidations, before);
  EXPECT_EQ(second->MoveDrawer(), nullptr);
  Move(QPoint(90, 180), MK_CONTROL | MK_LBUTTON);
  Release(QPoint(90, 180), MK_CONTROL);
  EXPECT_TRUE(first->selected);
  EXPECT_TRUE(second->selected);
  EXPECT_FLOAT_EQ(second->p1.y, 150);  // not moved
  EXPECT_FLOAT_EQ(first->p1.y, 50);
  EXPECT_EQ(Count(), 2);

  // Ctrl on a vertex selects as well, without starting an edit.
  Click(QPoint(300, 280));  // empty space in line mode: a click line, nothing selected by it
  manager.OnKey(0x45, MK_CONTROL);
  Press(QPoint(20, 50), MK_CONTROL);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
  EXPECT_TRUE(first->selected);
  EXPECT_EQ(manager.CountSelected(), 1);
}

TEST_F(AnnoManagerTest, RubberBandSelectsOnlyWhollyEnclosedObjects) {
  CAnnoLine* inside = AddLine(QPoint(20, 20), QPoint(80, 60));
  CAnnoLine* halfIn = AddLine(QPoint(50, 100), QPoint(200, 100));
  CAnnoLine* outside = AddLine(QPoint(250, 250), QPoint(300, 250));
  halfIn->selected = true;
  outside->selected = true;
  manager.SetType(0);

  Press(QPoint(10, 10));
  Move(QPoint(60, 60));
  const int before = pane.invalidations;
  Release(QPoint(120, 120));  // the band ends where the button comes up
  EXPECT_GT(pane.invalidations, before);
  EXPECT_TRUE(inside->selected);
  EXPECT_FALSE(halfIn->selected);
  EXPECT_FALSE(outside->selected);
  EXPECT_EQ(Count(), 3);

  // Dragged up and left, the band is the same rectangle.
  Press(QPoint(120, 120));
  Release(QPoint(10, 10));
  EXPECT_TRUE(inside->selected);
  EXPECT_FALSE(halfIn->selected);
}

TEST_F(AnnoManagerTest, RubberBandIsPaintedFromStateWhileTheButtonIsHeld) {
  manager.SetType(0);
  Press(QPoint(10, 10));
  QImage beforeMove = BlackImage();
  {
    QPainter painter(&beforeMove);
    manager.Draw(painter);
  }
  EXPECT_TRUE(annotest::IsBlack(beforeMove));  // nothing until the mouse moves

  Move(QPoint(50, 40));
  QImage during = BlackImage();
  {
    QPainter painter(&during);
    manager.Draw(painter);
  }
  EXPECT_EQ(during.pixel(10, 10), qRgb(200, 200, 200));
  EXPECT_EQ(during.pixel(49, 39), qRgb(200, 200, 200));
  EXPECT_EQ(during.pixel(30, 10), qRgb(200, 200, 200));
  EXPECT_EQ(during.pixel(50, 40), qRgb(0, 0, 0));
  EXPECT_EQ(during.pixel(30, 25), qRgb(0, 0, 0));  // hollow

  Release(QPoint(50, 40));
  QImage after = BlackImage();
  {
    QPainter painter(&after);
    manager.Draw(painter);
  }
  EXPECT_TRUE(annotest::IsBlack(after));
  EXPECT_FALSE(pane.captured);
}

TEST_F(AnnoManagerTest, KeysDeleteSelectAndDeselect) {
  CAnnoLine* first = AddLine(QPoint(20, 50), QPoint(120, 50));
  AddLine(QPoint(20, 150), QPoint(120, 150));
  manager.SelectAll(false);

  const int before = pane.invalidations;
  EXPECT_EQ(manager.OnKey(VK_DELETE, 0), 0);  // nothing selected: nothing to repaint
  EXPECT_EQ(pane.invalidations, before);
  EXPECT_EQ(Count(), 2);

  const struct {
    int key;
    unsigned flags;
    int result;
    int selected;
  } cases[] = {
      {0x41, MK_CONTROL, 1, 2}, {0x45, MK_CONTROL, 1, 0}, {0x61, MK_CONTROL, 1, 2},
      {0x65, MK_CONTROL, 1, 0}, {0x41, 0, 0, 0},          {0x42, MK_CONTROL, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(manager.OnKey(c.key, c.flags), c.result) << std::hex << c.key;
    EXPECT_EQ(manager.CountSelected(), c.selected) << std::hex << c.key;
  }

  first->selected = true;
  EXPECT_EQ(manager.OnKey(VK_DELETE, 0), 1);
  ASSERT_EQ(Count(), 1);
  EXPECT_NE(LastObject(), first);
  EXPECT_EQ(manager.OnKey(0x41, MK_CONTROL), 1);
  EXPECT_EQ(manager.OnKey(VK_DELETE, 0), 1);
  EXPECT_EQ(Count(), 0);
}

TEST_F(AnnoManagerTest, SelectAllLeavesAnUnfinishedAngleAlone) {
  AddLine(QPoint(20, 50), QPoint(120, 50));
  manager.SetType(CAnnoObject::kTypeAngle);
  Click(QPoint(200, 200));
  EXPECT_EQ(manager.OnKey(0x41, MK_CONTROL), 1);
  EXPECT_EQ(manager.CountSelected(), 1);
  EXPECT_EQ(manager.OnKey(VK_DELETE, 0), 1);
  ASSERT_EQ(Count(), 1);  // the waiting angle is still there and still takes its points
  Click(QPoint(250, 200));
  Click(QPoint(200, 250));
  EXPECT_TRUE(LastObject()->valid);
}

// ---------------------------------------------------------------------------------------------
// Moving and editing

TEST_F(AnnoManagerTest, DraggingABodyMovesTheWholeSelection) {
  CAnnoLine* first = AddLine(QPoint(20, 50), QPoint(120, 50));
  CAnnoAngle* angle = AddAngle(QPoint(200, 100), QPoint(260, 100), QPoint(200, 160));
  CAnnoLine* unselected = AddLine(QPoint(20, 250), QPoint(120, 250));
  first->selected = true;
  angle->selected = true;

  Press(QPoint(70, 50));
  EXPECT_NE(first->MoveDrawer(), nullptr);
  EXPECT_NE(angle->MoveDrawer(), nullptr);
  EXPECT_EQ(unselected->MoveDrawer(), nullptr);
  Move(QPoint(80, 55));
  Release(QPoint(80, 55));

  EXPECT_FLOAT_EQ(first->p1.x, 30);
  EXPECT_FLOAT_EQ(first->p1.y, 55);
  EXPECT_FLOAT_EQ(first->p2.x, 130);
  EXPECT_FLOAT_EQ(angle->vertex.x, 210);
  EXPECT_FLOAT_EQ(angle->A().x, 270);
  EXPECT_FLOAT_EQ(angle->B().y, 165);
  EXPECT_FLOAT_EQ(unselected->p1.x, 20);
  EXPECT_EQ(first->MoveDrawer(), nullptr);
  EXPECT_EQ(angle->MoveDrawer(), nullptr);
  EXPECT_TRUE(first->selected);
  EXPECT_EQ(Count(), 3);
}

TEST_F(AnnoManagerTest, PressOnAnUnselectedBodySelectsOnlyItAndMovesIt) {
  CAnnoLine* first = AddLine(QPoint(20, 50), QPoint(120, 50));
  CAnnoLine* second = AddLine(QPoint(20, 150), QPoint(120, 150));
  first->selected = true;
  Drag(QPoint(70, 150), QPoint(70, 160));
  EXPECT_FALSE(first->selected);
  EXPECT_TRUE(second->selected);
  EXPECT_FLOAT_EQ(second->p1.y, 160);
  EXPECT_FLOAT_EQ(first->p1.y, 50);
}

TEST_F(AnnoManagerTest, EditingAVertexMovesOnlyThatVertex) {
  CAnnoLine* line = AddLine(QPoint(100, 100), QPoint(200, 100));
  CAnnoAngle* angle = AddAngle(QPoint(100, 200), QPoint(160, 200), QPoint(100, 260));

  Press(QPoint(201, 101));
  EXPECT_EQ(manager.objects().state, CAnnoObjectContainer::kStateEditing);
  Move(QPoint(230, 140));
  Release(QPoint(240, 150));  // the vertex lands where the button comes up
  EXPECT_FLOAT_EQ(line->p1.x, 100);
  EXPECT_FLOAT_EQ(line->p1.y, 100);
  EXPECT_FLOAT_EQ(line->p2.x, 240);
  EXPECT_FLOAT_EQ(line->p2.y, 150);
  EXPECT_TRUE(line->valid);
  EXPECT_TRUE(line->selected);

  Drag(QPoint(160, 200), QPoint(100, 140));  // the angle's A: now pointing up
  EXPECT_FLOAT_EQ(angle->A().x, 100);
  EXPECT_FLOAT_EQ(angle->A().y, 140);
  EXPECT_FLOAT_EQ(angle->vertex.x, 100);
  EXPECT_TRUE(angle->selected);
  EXPECT_FALSE(line->selected);
  EXPECT_EQ(Count(), 2);
}

TEST_F(AnnoManagerTest, DeletingTheObjectOfARunningEditEndsTheEdit) {
  CAnnoLine* line = AddLine(QPoint(100, 100), QPoint(200, 100));
  Press(QPoint(200, 100));
  ASSERT_NE(manager.activeDrawer(), nullptr);
  ASSERT_TRUE(line->selected);
  EXPECT_EQ(manager.OnKey(VK_DELETE, 0), 1);
  EXPECT_EQ(manager.activeDrawer(), nullptr);
  Move(QPoint(210, 110));
  Release(QPoint(210, 110));
  EXPECT_EQ(Count(), 0);
}

TEST_F(AnnoManagerTest, LivePreviewsArePaintedDuringTheDrag) {
  if (!annotest::CanDrawText()) GTEST_SKIP() << "text needs a GUI application object";
  manager.SetType(CAnnoObject::kTypeLine);
  Press(QPoint(20, 100));
  Move(QPoint(220, 100));
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    manager.Draw(painter);
  }
  EXPECT_EQ(image.pixel(120, 100), qRgb(200, 200, 200));  // rubber line
  EXPECT_EQ(image.pixel(222, 102), qRgb(64, 64, 64));     // value box at the mouse + (5, 5)
  Release(QPoint(220, 100));
}

TEST_F(AnnoManagerTest, WaitingAngleShowsItsArmsArcAndValueAtTheMouse) {
  if (!annotest::CanDrawText()) GTEST_SKIP() << "text needs a GUI application object";
  manager.SetType(CAnnoObject::kTypeAngle);
  Click(QPoint(100, 100));
  Click(QPoint(200, 100));
  Move(QPoint(100, 200), 0);
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    manager.Draw(painter);
  }
  EXPECT_EQ(image.pixel(150, 100), qRgb(200, 200, 200));          // arm to A
  EXPECT_EQ(image.pixel(100, 150), qRgb(200, 200, 200));          // rubber arm to the mouse
  EXPECT_GT(annotest::LitPixels(image, QRect(96, 77, 7, 4)), 0);  // arc through the top
  EXPECT_EQ(image.pixel(102, 202), qRgb(64, 64, 64));             // value box at the mouse + (5, 5)
}

// ---------------------------------------------------------------------------------------------
// View changes

TEST_F(AnnoManagerTest, FourRightTurnsBringAnnotationsBackToTheirPanePixels) {
  manager.SetGeometry(&pane, 10, 20, kImageWidth, kImageHeight, 2.0f, 0.0143, 0.0143);
  CAnnoLine* line = AddLine(QPoint(50, 60), QPoint(150, 90));
  const QPoint p1 = PaneOf(manager, line->p1);
  const QPoint p2 = PaneOf(manager, line->p2);
  ASSERT_EQ(manager.HitTest(p1.x(), p1.y()), CAnnoObject::kHitVertex);

  for (int turn = 1; turn <= 4; ++turn) {
    manager.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
    // The pane passes the turned bitmap's size before painting; the turn itself stays.
    const bool sideways = turn % 2 == 1;
    manager.SetGeometry(&pane, 10, 20, sideways ? kImageHeight : kImageWidth,
                        sideways ? kImageWidth : kImageHeight, 2.0f, 0.0143, 0.0143);
    if (turn == 1) {
      EXPECT_EQ(manager.geometry().OrientationA(), 0);
      EXPECT_EQ(manager.geometry().OrientationB(), 1);
      EXPECT_NE(PaneOf(manager, line->p1), p1);
      EXPECT_NE(manager.HitTest(p1.x(), p1.y()), CAnnoObject::kHitVertex);
    }
  }
  EXPECT_EQ(manager.geometry().OrientationCode(), 0);
  EXPECT_EQ(PaneOf(manager, line->p1), p1);
  EXPECT_EQ(PaneOf(manager, line->p2), p2);
  EXPECT_EQ(manager.HitTest(p1.x(), p1.y()), CAnnoObject::kHitVertex);
}

TEST_F(AnnoManagerTest, TurnedImageKeepsCreatingAndEditingInPanePixels) {
  manager.ChangeOrientation(CAnnoDrawGeometry::kRotateRight);
  manager.SetGeometry(&pane, 0, 0, kImageHeight, kImageWidth, 1.0f, 0.0143, 0.0143);
  CAnnoLine* line = AddLine(QPoint(50, 60), QPoint(150, 60));
  EXPECT_EQ(PaneOf(manager, line->p1), QPoint(50, 60));
  EXPECT_EQ(PaneOf(manager, line->p2), QPoint(150, 60));
  EXPECT_EQ(line->LabelText(manager.geometry()), "1.43 cm");
  Drag(QPoint(150, 60), QPoint(150, 160));
  EXPECT_EQ(PaneOf(manager, line->p2), QPoint(150, 160));
}

TEST_F(AnnoManagerTest, PixelSpacingChangeRelabelsExistingLines) {
  CAnnoLine* line = AddLine(QPoint(10, 20), QPoint(110, 20));
  EXPECT_EQ(line->LabelText(manager.geometry()), "1.43 cm");
  manager.SetGeometry(&pane, 0, 0, kImageWidth, kImageHeight, 1.0f, 0.02, 0.02);
  EXPECT_EQ(line->LabelText(manager.geometry()), "2.00 cm");
  // Zoom changes the pane length, not the measured one.
  manager.SetGeometry(&pane, 0, 0, kImageWidth, kImageHeight, 0.5f, 0.02, 0.02);
  EXPECT_EQ(line->LabelText(manager.geometry()), "2.00 cm");
}

// ---------------------------------------------------------------------------------------------
// Ownership

class CountedLine : public CAnnoLine {
 public:
  explicit CountedLine(int& destroyed) : m_destroyed(destroyed) {}
  ~CountedLine() override { ++m_destroyed; }

 private:
  int& m_destroyed;
};

TEST(AnnoOwnership, ImageRecordDeletesTheObjectsOfItsThreeManagers) {
  int destroyed = 0;
  {
    CImageEach record;
    for (CAnnoObjectManager& manager : record.annotations) {
      manager.objects().Append(std::make_unique<CountedLine>(destroyed));
    }
    record.annotations[0].objects().Append(std::make_unique<CountedLine>(destroyed));
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 4);
}

}  // namespace
