#include "anno/AnnoLine.h"

#include <QPainter>
#include <cmath>

#include "anno/DrawObject.h"
#include "display/OutlinedText.h"

void CAnnoLine::Reset() {
  p1 = CFloatPoint();
  p2 = CFloatPoint();
  valid = false;
}

float CAnnoLine::LengthCm(const CAnnoDrawGeometry& geometry) const {
  const float dx = static_cast<float>((p1.x - p2.x) * geometry.CmPerPixelX());
  const float dy = static_cast<float>((p1.y - p2.y) * geometry.CmPerPixelY());
  return std::sqrt(dx * dx + dy * dy);
}

QString CAnnoLine::LabelText(const CAnnoDrawGeometry& geometry) const {
  return QString::asprintf("%.2f cm", static_cast<double>(LengthCm(geometry)));
}

CAnnoLine::Label CAnnoLine::LabelPlacement(const CAnnoDrawGeometry& geometry) const {
  const QPoint start = geometry.ImageToPane(p1);
  const QPoint end = geometry.ImageToPane(p2);
  const bool endAbove = end.y() < start.y();
  const bool endLeft = end.x() < start.x();
  Label label;
  label.anchor = QPoint(start.x(), endAbove ? start.y() + 3 : start.y() - 3);
  label.align = (endLeft ? TA_LEFT : TA_RIGHT) | (endAbove ? TA_TOP : TA_BOTTOM);
  return label;
}

std::unique_ptr<CAnnoObjectDrawer> CAnnoLine::CreateDrawer() {
  auto drawer = std::make_unique<CAnnoLineDrawer>();
  drawer->SetObject(this);
  return drawer;
}

CFloatPoint CAnnoLine::Vertex(int index) const { return index == 0 ? p1 : p2; }

void CAnnoLine::SetVertex(int index, const CFloatPoint& point) {
  if (index == 0) {
    p1 = point;
  } else if (index == 1) {
    p2 = point;
  }
}

QString CAnnoLineDrawer::PreviewText(const CFloatPoint& a, const CFloatPoint& b,
                                     double cmPerPixelX) {
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  const double dz = a.z - b.z;
  const double pixels = std::sqrt(dx * dx + dy * dy + dz * dz);
  return QString::asprintf("%.2fmm", pixels * cmPerPixelX * 10.0);
}

void CAnnoLineDrawer::DrawObject(QPainter& painter, CAnnoObject& object) {
  auto* line = dynamic_cast<CAnnoLine*>(&object);
  if (!line || !line->valid) return;
  if (line->LengthCm(m_geometry) <= CAnnoLine::kMinDrawnLengthCm) return;
  const QPoint start = m_geometry.ImageToPane(line->p1);
  const QPoint end = m_geometry.ImageToPane(line->p2);
  const QPoint shadowOffset(1, 1);
  CDrawObject::DrawArrow(painter, start + shadowOffset, end + shadowOffset, annocolour::Shadow());
  CDrawObject::DrawArrow(painter, start, end, annocolour::Line());
  const CAnnoLine::Label label = line->LabelPlacement(m_geometry);
  DrawOutlinedText(painter, label.anchor.x(), label.anchor.y(), line->LabelText(m_geometry),
                   annocolour::Line(), label.align);
  if (line->selected) DrawHandles(painter, *line);
}

void CAnnoLineDrawer::CreatePress(int x, int y) {
  auto* line = dynamic_cast<CAnnoLine*>(m_object);
  if (!line) return;
  // A second press before the release (the release went astray) gives the drag up.
  if (IsCreating()) {
    Cancel();
    return;
  }
  SetCreating();
  CaptureMouse();
  line->Reset();
  line->p1 = m_geometry.PaneToImage(QPoint(x, y));
  m_vertex = 1;
  InvalidatePane();
}

void CAnnoLineDrawer::CreateRelease(int x, int y) {
  auto* line = dynamic_cast<CAnnoLine*>(m_object);
  if (!line) return;
  line->p2 = m_geometry.PaneToImage(QPoint(x, y));
  line->valid = true;
  Finish();
}

void CAnnoLineDrawer::DrawRubber(QPainter& painter, const std::vector<PreviewPoint>& points) {
  if (points.size() < 2) return;
  CDrawObject::DrawArrow(painter, points[0].pane, points[1].pane, annocolour::Line());
  CDrawObject::DrawPreviewBox(
      painter, m_current, PreviewText(points[0].image, points[1].image, m_geometry.CmPerPixelX()),
      s_previewMinWidth);
}
