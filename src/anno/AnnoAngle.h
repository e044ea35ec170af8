#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>

#include "anno/AnnoObject.h"

// An angle measurement: the vertex V and the arm points A and B, placed by three clicks.
class CAnnoAngle : public CAnnoObject {
 public:
  static constexpr int kArcRadius = 20;

  CAnnoAngle() : CAnnoObject(kTypeAngle) {}

  CFloatPoint vertex;
  // The arm points, A at index 1 and B at index 2 (the other entries are not used).
  std::array<CFloatPoint, 5> points;
  // Points placed so far: V, then A, then B.
  int placed = 0;

  const CFloatPoint& A() const { return points[1]; }
  const CFloatPoint& B() const { return points[2]; }

  // Degrees from arm VA to arm VB, counterclockwise on screen, in [0, 360), from the points
  // truncated to whole pixels.
  static double Theta(const CFloatPoint& v, const CFloatPoint& a, const CFloatPoint& b);
  double Theta() const { return Theta(vertex, A(), B()); }
  // "270.0 / 90.0": the angle and its complement to a full turn.
  static QString LabelText(double theta);

  // The arc between the arms: a circle of radius 20 around V, drawn counterclockwise from the
  // point 20 pixels along VA (or A itself when that arm is shorter) to the same point on VB.
  struct Arc {
    QRect bounds;  // (V.x - 21, V.y - 21) up to (V.x + 19, V.y + 19), the last excluded
    QPoint start;
    QPoint end;
    double startDegrees = 0.0;  // counterclockwise from three o'clock
    double spanDegrees = 0.0;   // (0, 360]: coinciding ends close the circle
  };
  static Arc ArcFor(const QPoint& v, const QPoint& a, const QPoint& b);
  static void DrawArc(QPainter& painter, const Arc& arc);

  std::unique_ptr<CAnnoObjectDrawer> CreateDrawer() override;
  int VertexCount() const override { return 3; }
  CFloatPoint Vertex(int index) const override;
  void SetVertex(int index, const CFloatPoint& point) override;
  std::vector<std::pair<int, int>> Segments() const override { return {{0, 1}, {0, 2}}; }
};

// Creates an angle with three clicks, edits one of its points, moves it, and draws it.
class CAnnoAngleDrawer : public CAnnoMeasureDrawer {
 public:
  // The widest value box of any angle drag so far; the box never gets narrower.
  static inline int s_previewMinWidth = 0;

  void DrawObject(QPainter& painter, CAnnoObject& object) override;

 protected:
  void CreatePress(int x, int y) override;
  void CreateRelease(int x, int y) override;
  void DrawRubber(QPainter& painter, const std::vector<PreviewPoint>& points) override;
};
