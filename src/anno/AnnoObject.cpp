#include "anno/AnnoObject.h"

#include <QPainter>
#include <QtGlobal>
#include <algorithm>

#include "anno/DrawObject.h"
#include "display/PaneWindow.h"

namespace {

// Half the side of the square around a vertex that picks it.
constexpr qint64 kVertexReach = 3;
// How far from a slanted segment a press still hits it.
constexpr double kBodyReach = 6.0;

// Rectangles of the pane hold their left and top edges but not their right and bottom ones. 64-bit
// so that saturated pane points cannot overflow.
bool InRect(qint64 x, qint64 y, qint64 left, qint64 top, qint64 right, qint64 bottom) {
  return x >= left && x < right && y >= top && y < bottom;
}

bool OnVertex(int x, int y, const QPoint& v) {
  return InRect(x, y, v.x() - kVertexReach, v.y() - kVertexReach, v.x() + kVertexReach,
                v.y() + kVertexReach);
}

bool OnSegment(int x, int y, const QPoint& a, const QPoint& b) {
  const qint64 minX = std::min(a.x(), b.x());
  const qint64 maxX = std::max(a.x(), b.x());
  const qint64 minY = std::min(a.y(), b.y());
  const qint64 maxY = std::max(a.y(), b.y());
  if (a.x() == b.x()) {
    return InRect(x, y, a.x() - kVertexReach, minY, a.x() + kVertexReach, maxY);
  }
  if (a.y() == b.y()) {
    return InRect(x, y, minX, a.y() - kVertexReach, maxX, a.y() + kVertexReach);
  }
  return InRect(x, y, minX, minY, maxX, maxY) &&
         CDrawObject::DistanceToLine(QPointF(x, y), QPointF(a), QPointF(b)) < kBodyReach;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CAnnoObject

CAnnoObject::CAnnoObject(int type) : m_type(type) {}

CAnnoObject::~CAnnoObject() = default;

bool CAnnoObject::IsInside(int left, int top, int right, int bottom,
                           const CAnnoDrawGeometry& geometry) const {
  if (VertexCount() == 0) return false;
  for (int i = 0; i < VertexCount(); ++i) {
    const QPoint v = geometry.ImageToPane(Vertex(i));
    if (!InRect(v.x(), v.y(), left, top, right, bottom)) return false;
  }
  return true;
}

int CAnnoObject::HitTest(int x, int y, const CAnnoDrawGeometry& geometry) const {
  if (!valid) return kHitNone;
  if (HitVertex(x, y, geometry) >= 0) return kHitVertex;
  for (const auto& [first, second] : Segments()) {
    if (OnSegment(x, y, geometry.ImageToPane(Vertex(first)),
                  geometry.ImageToPane(Vertex(second)))) {
      return kHitBody;
    }
  }
  return kHitNone;
}

int CAnnoObject::HitVertex(int x, int y, const CAnnoDrawGeometry& geometry) const {
  if (!valid) return -1;
  for (int i = 0; i < VertexCount(); ++i) {
    if (OnVertex(x, y, geometry.ImageToPane(Vertex(i)))) return i;
  }
  return -1;
}

void CAnnoObject::Draw(QPainter& painter, const CAnnoDrawGeometry& geometry) {
  const std::unique_ptr<CAnnoObjectDrawer> drawer = CreateDrawer();
  if (!drawer) return;
  drawer->SetGeometry(geometry);
  drawer->DrawSelf(painter);
}

void CAnnoObject::BeginMove() {
  m_moveDrawer = CreateDrawer();
  if (m_moveDrawer) m_moveDrawer->SetMoving();
}

void CAnnoObject::EndMove() { m_moveDrawer.reset(); }

std::unique_ptr<CAnnoObjectDrawer> CAnnoObject::CreateDrawer() { return nullptr; }

CFloatPoint CAnnoObject::Vertex(int /*index*/) const { return {}; }

void CAnnoObject::SetVertex(int /*index*/, const CFloatPoint& /*point*/) {}

// ---------------------------------------------------------------------------------------------
// CAnnoObjectContainer

CAnnoObject* CAnnoObjectContainer::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return m_objects[static_cast<std::size_t>(index)].get();
}

int CAnnoObjectContainer::IndexOf(const CAnnoObject* object) const {
  for (int i = 0; i < Count(); ++i) {
    if (At(i) == object) return i;
  }
  return -1;
}

CAnnoObject* CAnnoObjectContainer::Append(std::unique_ptr<CAnnoObject> object) {
  m_objects.push_back(std::move(object));
  return m_objects.back().get();
}

void CAnnoObjectContainer::RemoveAt(int index) {
  if (index < 0 || index >= Count()) return;
  m_objects.erase(m_objects.begin() + index);
}

// ---------------------------------------------------------------------------------------------
// CAnnoObjectDrawer

void CAnnoObjectDrawer::DrawSelf(QPainter& painter) {
  if (m_object) DrawObject(painter, *m_object);
}

void CAnnoObjectDrawer::DrawObject(QPainter& /*painter*/, CAnnoObject& /*object*/) {}

void CAnnoObjectDrawer::DrawPreview(QPainter& /*painter*/) {}

void CAnnoObjectDrawer::Finish() {
  InvalidatePane();
  ReleaseMouse();
  SetIdle();
}

void CAnnoObjectDrawer::OnButtonDown(unsigned /*flags*/, int x, int y) { SetStart(x, y); }

void CAnnoObjectDrawer::OnMouseMove(unsigned /*flags*/, int x, int y) { m_current = QPoint(x, y); }

int CAnnoObjectDrawer::OnButtonUp(unsigned /*flags*/, int /*x*/, int /*y*/) { return 0; }

void CAnnoObjectDrawer::Cancel() {
  if (m_object) Finish();
}

void CAnnoObjectDrawer::SetStart(int x, int y) {
  m_start = QPoint(x, y);
  m_current = m_start;
}

void CAnnoObjectDrawer::SetContext(CPaneWindow* pane, const CAnnoDrawGeometry& geometry) {
  m_pane = pane;
  m_geometry = geometry;
}

void CAnnoObjectDrawer::InvalidatePane() const {
  if (m_pane) m_pane->invalidate();
}

void CAnnoObjectDrawer::CaptureMouse() const {
  if (m_pane) m_pane->beginCapture();
}

void CAnnoObjectDrawer::ReleaseMouse() const {
  if (m_pane) m_pane->endCapture();
}

// ---------------------------------------------------------------------------------------------
// CAnnoObjectSelector

void CAnnoObjectSelector::OnButtonDown(unsigned flags, int x, int y) {
  CAnnoObjectDrawer::OnButtonDown(flags, x, y);
  CaptureMouse();
  m_banding = true;
  m_shown = false;
}

void CAnnoObjectSelector::OnMouseMove(unsigned flags, int x, int y) {
  if (!m_banding) return;
  CAnnoObjectDrawer::OnMouseMove(flags, x, y);
  m_shown = true;
  InvalidatePane();
}

int CAnnoObjectSelector::OnButtonUp(unsigned /*flags*/, int x, int y) {
  // A release without its press (the press went elsewhere) selects nothing.
  if (!m_banding) return 0;
  ReleaseMouse();
  m_banding = false;
  m_shown = false;
  const int left = std::min(m_start.x(), x);
  const int right = std::max(m_start.x(), x);
  const int top = std::min(m_start.y(), y);
  const int bottom = std::max(m_start.y(), y);
  for (int i = 0; i < m_container.Count(); ++i) {
    CAnnoObject* object = m_container.At(i);
    if (object->valid) object->selected = object->IsInside(left, top, right, bottom, m_geometry);
  }
  return 1;
}

void CAnnoObjectSelector::DrawPreview(QPainter& painter) {
  if (!m_banding || !m_shown) return;
  CDrawObject::DrawRectOutline(painter, m_start, m_current, Qt::SolidLine, 1, annocolour::Line());
}

// ---------------------------------------------------------------------------------------------
// CAnnoMeasureDrawer

void CAnnoMeasureDrawer::OnButtonDown(unsigned flags, int x, int y) {
  CAnnoObjectDrawer::OnButtonDown(flags, x, y);
  if (!m_object) return;
  switch (m_state) {
    case kEditing:
      m_vertex = m_object->HitVertex(x, y, m_geometry);
      if (m_vertex < 0) SetIdle();
      break;
    case kMoving:
      break;
    default:
      CreatePress(x, y);
      break;
  }
}

void CAnnoMeasureDrawer::OnMouseMove(unsigned flags, int x, int y) {
  CAnnoObjectDrawer::OnMouseMove(flags, x, y);
  if (m_state == kIdle || !m_object) return;
  m_previewShown = true;
  InvalidatePane();
}

int CAnnoMeasureDrawer::OnButtonUp(unsigned /*flags*/, int x, int y) {
  if (!m_object) return 0;
  switch (m_state) {
    case kEditing:
      m_object->SetVertex(m_vertex, m_geometry.PaneToImage(QPoint(x, y)));
      m_object->valid = true;
      Finish();
      break;
    case kMoving: {
      const QPoint delta = QPoint(x, y) - m_start;
      for (int i = 0; i < m_object->VertexCount(); ++i) {
        const QPoint moved = m_geometry.ImageToPane(m_object->Vertex(i)) + delta;
        m_object->SetVertex(i, m_geometry.PaneToImage(moved));
      }
      m_object->valid = true;
      Finish();
      break;
    }
    case kCreating:
      CreateRelease(x, y);
      break;
    default:
      break;
  }
  return 0;
}

void CAnnoMeasureDrawer::Finish() {
  m_previewShown = false;
  CAnnoObjectDrawer::Finish();
}

void CAnnoMeasureDrawer::DrawPreview(QPainter& painter) {
  if (!m_previewShown || !m_object || m_state == kIdle) return;
  DrawRubber(painter, PreviewVertices());
}

std::vector<CAnnoMeasureDrawer::PreviewPoint> CAnnoMeasureDrawer::PreviewVertices() const {
  std::vector<PreviewPoint> points;
  if (!m_object) return points;
  int count = m_object->VertexCount();
  if (m_state == kCreating) count = std::min(count, m_vertex + 1);
  const QPoint delta = m_current - m_start;
  for (int i = 0; i < count; ++i) {
    const CFloatPoint stored = m_object->Vertex(i);
    if (m_state == kMoving) {
      const QPoint pane = m_geometry.ImageToPane(stored) + delta;
      points.push_back({pane, m_geometry.PaneToImage(pane)});
    } else if (i == m_vertex) {
      points.push_back({m_current, m_geometry.PaneToImage(m_current)});
    } else {
      points.push_back({m_geometry.ImageToPane(stored), stored});
    }
  }
  return points;
}

void CAnnoMeasureDrawer::DrawHandles(QPainter& painter, const CAnnoObject& object) const {
  for (int i = 0; i < object.VertexCount(); ++i) {
    const QPoint v = m_geometry.ImageToPane(object.Vertex(i));
    CDrawObject::DrawRectOutline(painter, v + QPoint(-3, -3), v + QPoint(5, 5), Qt::SolidLine, 1,
                                 annocolour::Shadow());
    CDrawObject::DrawRectOutline(painter, v + QPoint(-4, -4), v + QPoint(4, 4), Qt::SolidLine, 1,
                                 annocolour::HandleLight());
  }
}
