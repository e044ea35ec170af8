#pragma once

#include <QPoint>
#include <QString>

#include "anno/AnnoObject.h"

// A distance measurement from P1 (where the drag started) to P2 (where it ended), image pixels.
class CAnnoLine : public CAnnoObject {
 public:
  // Lines this short (a click without a drag) are kept and can be picked, but not drawn.
  static constexpr float kMinDrawnLengthCm = 0.05f;

  CAnnoLine() : CAnnoObject(kTypeLine) {}

  CFloatPoint p1;
  CFloatPoint p2;

  // Both points back to 0 and the line invalid, as a new drag starts.
  void Reset();

  // Length in cm with the geometry's pixel size, in single precision.
  float LengthCm(const CAnnoDrawGeometry& geometry) const;
  // "1.43 cm"
  QString LabelText(const CAnnoDrawGeometry& geometry) const;

  // Where the label goes: at P1, on the side away from the line.
  struct Label {
    QPoint anchor;
    int align = 0;  // TA_* flags
  };
  Label LabelPlacement(const CAnnoDrawGeometry& geometry) const;

  std::unique_ptr<CAnnoObjectDrawer> CreateDrawer() override;
  int VertexCount() const override { return 2; }
  CFloatPoint Vertex(int index) const override;
  void SetVertex(int index, const CFloatPoint& point) override;
  std::vector<std::pair<int, int>> Segments() const override { return {{0, 1}}; }
};

// Creates a line with one drag, edits one of its ends, moves it, and draws it.
class CAnnoLineDrawer : public CAnnoMeasureDrawer {
 public:
  // The widest value box of any line drag so far; the box never gets narrower.
  static inline int s_previewMinWidth = 0;

  // "14.30mm": the distance between two image points (with their third value) in millimetres.
  static QString PreviewText(const CFloatPoint& a, const CFloatPoint& b, double cmPerPixelX);

  void DrawObject(QPainter& painter, CAnnoObject& object) override;

 protected:
  void CreatePress(int x, int y) override;
  void CreateRelease(int x, int y) override;
  void DrawRubber(QPainter& painter, const std::vector<PreviewPoint>& points) override;
};
