#include "anno/AnnoAngle.h"

#include <QPainter>
#include <QPen>
#include <cmath>

#include "anno/DrawObject.h"
#include "display/OutlinedText.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// Direction of (dx, dy) as the measurement counts it, in [0, 360).
double Bearing(double dx, double dy) {
  const double degrees = std::atan2(dx, dy) * kDegreesPerRadian;
  return degrees < 0.0 ? degrees + 360.0 : degrees;
}

// Where the arc meets the arm from v to p.
QPoint ArcPoint(const QPoint& v, const QPoint& p) {
  const double dx = p.x() - v.x();
  const double dy = p.y() - v.y();
  const double length = std::hypot(dx, dy);
  if (length < CAnnoAngle::kArcRadius) return p;
  const double k = CAnnoAngle::kArcRadius / length;
  return QPoint(v.x() + qRound(dx * k), v.y() + qRound(dy * k));
}

// Counterclockwise screen angle of p seen from the centre of the arc's bounds.
double ScreenDegrees(const QPointF& centre, const QPoint& p) {
  return std::atan2(centre.y() - p.y(), p.x() - centre.x()) * kDegreesPerRadian;
}

}  // namespace

double CAnnoAngle::Theta(const CFloatPoint& v, const CFloatPoint& a, const CFloatPoint& b) {
  const double vx = std::trunc(v.x);
  const double vy = std::trunc(v.y);
  const double alpha = Bearing(std::trunc(a.x) - vx, std::trunc(a.y) - vy);
  const double beta = Bearing(std::trunc(b.x) - vx, std::trunc(b.y) - vy);
  const double theta = beta - alpha;
  return theta < 0.0 ? theta + 360.0 : theta;
}

QString CAnnoAngle::LabelText(double theta) {
  return QString::asprintf("%.1f / %.1f", theta, 360.0 - theta);
}

CAnnoAngle::Arc CAnnoAngle::ArcFor(const QPoint& v, const QPoint& a, const QPoint& b) {
  Arc arc;
  // The circle's box sits one pixel up and left of V, where operators are used to the arc.
  arc.bounds = QRect(QPoint(v.x() - 21, v.y() - 21), QPoint(v.x() + 18, v.y() + 18));
  arc.start = ArcPoint(v, a);
  arc.end = ArcPoint(v, b);
  const QPointF centre(v.x() - 1, v.y() - 1);
  arc.startDegrees = ScreenDegrees(centre, arc.start);
  double span = ScreenDegrees(centre, arc.end) - arc.startDegrees;
  while (span <= 0.0) span += 360.0;
  while (span > 360.0) span -= 360.0;
  arc.spanDegrees = span;
  return arc;
}

void CAnnoAngle::DrawArc(QPainter& painter, const Arc& arc) {
  painter.save();
  painter.setPen(QPen(annocolour::Line(), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawArc(arc.bounds.adjusted(0, 0, -1, -1), qRound(arc.startDegrees * 16),
                  qRound(arc.spanDegrees * 16));
  painter.restore();
}

std::unique_ptr<CAnnoObjectDrawer> CAnnoAngle::CreateDrawer() {
  auto drawer = std::make_unique<CAnnoAngleDrawer>();
  drawer->SetObject(this);
  return drawer;
}

CFloatPoint CAnnoAngle::Vertex(int index) const {
  return index == 0 ? vertex : points[index == 1 ? 1 : 2];
}

void CAnnoAngle::SetVertex(int index, const CFloatPoint& point) {
  if (index == 0) {
    vertex = point;
  } else if (index == 1 || index == 2) {
    points[static_cast<std::size_t>(index)] = point;
  }
}

void CAnnoAngleDrawer::DrawObject(QPainter& painter, CAnnoObject& object) {
  auto* angle = dynamic_cast<CAnnoAngle*>(&object);
  if (!angle) return;
  const QPoint v = m_geometry.ImageToPane(angle->vertex);
  const QPoint shadowOffset(1, 1);
  for (int i = 1; i < angle->placed && i <= 2; ++i) {
    const QPoint p = m_geometry.ImageToPane(angle->Vertex(i));
    CDrawObject::DrawArrow(painter, v + shadowOffset, p + shadowOffset, annocolour::Shadow());
    CDrawObject::DrawArrow(painter, v, p, annocolour::Line());
  }
  if (angle->placed >= 3) {
    CAnnoAngle::DrawArc(painter, CAnnoAngle::ArcFor(v, m_geometry.ImageToPane(angle->A()),
                                                    m_geometry.ImageToPane(angle->B())));
    DrawOutlinedText(painter, v.x(), v.y(), CAnnoAngle::LabelText(angle->Theta()),
                     annocolour::Line(), TA_LEFT | TA_TOP);
  }
  if (angle->selected) DrawHandles(painter, *angle);
}

void CAnnoAngleDrawer::CreatePress(int x, int y) {
  auto* angle = dynamic_cast<CAnnoAngle*>(m_object);
  if (!angle) return;
  const CFloatPoint point = m_geometry.PaneToImage(QPoint(x, y));
  if (!IsCreating()) {
    SetCreating();
    CaptureMouse();
    angle->valid = false;
    angle->vertex = point;
    angle->placed = 1;
    InvalidatePane();
  } else if (angle->placed < 3) {
    angle->SetVertex(angle->placed, point);
    ++angle->placed;
  }
  // The next point to place follows the mouse in the preview.
  m_vertex = angle->placed;
}

void CAnnoAngleDrawer::CreateRelease(int /*x*/, int /*y*/) {
  auto* angle = dynamic_cast<CAnnoAngle*>(m_object);
  if (!angle || angle->placed < 3) return;
  angle->valid = true;
  Finish();
}

void CAnnoAngleDrawer::DrawRubber(QPainter& painter, const std::vector<PreviewPoint>& points) {
  if (points.empty()) return;
  const QPoint v = points[0].pane;
  for (std::size_t i = 1; i < points.size(); ++i) {
    CDrawObject::DrawArrow(painter, v, points[i].pane, annocolour::Line());
  }
  if (points.size() < 3) return;
  if (IsCreating())
    CAnnoAngle::DrawArc(painter, CAnnoAngle::ArcFor(v, points[1].pane, points[2].pane));
  const double theta = CAnnoAngle::Theta(points[0].image, points[1].image, points[2].image);
  CDrawObject::DrawPreviewBox(painter, m_current, CAnnoAngle::LabelText(theta), s_previewMinWidth);
}
