#include "display/Filters.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "display/OutlinedText.h"
#include "display/PaneWindow.h"

namespace {

const QColor kLabelColour(200, 200, 200);
const QColor kZoomShadowColour(32, 32, 32);

// A rectangle from its left, top and exclusive right and bottom edges.
QRect Edges(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}

// A span of 2 * half around centre, moved (not shrunk) to begin at or after low and end at or
// before high. One longer than the room ends at high and begins before low, or, with
// beginInside, is cut to begin at low.
struct Span {
  int begin;
  int end;
};
Span PushedInside(int centre, int half, int low, int high, bool beginInside) {
  Span span{centre - half, centre + half};
  if (span.begin < low) span = {low, low + 2 * half};
  if (span.end > high) {
    const int begin = high - 2 * half;
    span = {beginInside ? std::max(low, begin) : begin, high};
  }
  return span;
}

}  // namespace

// ---- CFilter

bool CFilter::Attach(CBaseImage* source) {
  m_source = source;
  // An image whose pixels could not be read has nothing to window, magnify, zoom or pan: the
  // drag does nothing and no copy error is shown.
  if (source == nullptr || !source->IsAllocated() || !m_work.CopyFrom(*source)) return false;
  m_mode = m_work.PixelKind();
  int width = 0;
  int level = 0;
  m_work.GetWindow(width, level);
  if (width != 0 && level != 0) m_work.SetWindow(width, level);
  return true;
}

void CFilter::PaintLive(QImage& canvas) {
  if (coversPane()) canvas.fill(Qt::black);
  m_work.setClipRect(canvas.rect());
  m_work.Paint(canvas);
  QPainter painter(&canvas);
  paintText(painter);
}

// ---- CFilterZoom

int CFilterZoom::OnButtonDown(unsigned, int, int y) {
  m_pane->beginCapture();
  m_factor = m_work.zoom().value();
  m_lastY = y;
  return 1;
}

void CFilterZoom::zoomTo(int y) {
  m_work.ZoomBy(static_cast<float>(y - m_lastY) / 100.0f);
  m_factor = m_work.zoom().value();
}

int CFilterZoom::OnMouseMove(unsigned, int x, int y) {
  zoomTo(y);
  m_text = QString::asprintf("%.1lf%%", 100.0 / m_factor);
  m_textPoint = QPoint(x, y);
  m_lastY = y;
  m_drawn = true;
  m_pane->invalidateRect(m_pane->clientRect());
  return 1;
}

int CFilterZoom::OnButtonUp(unsigned, int, int y) {
  zoomTo(y);
  Apply();
  m_pane->endCapture();
  m_pane->invalidate();
  return 1;
}

void CFilterZoom::Apply() { m_source->SetZoom(m_factor); }

QRect CFilterZoom::TextBox(const QFontMetrics& metrics, const QString& text, const QPoint& point,
                           const QRect& client) {
  const int x = point.x();
  const int y = point.y();
  const QRect box = Edges(x - 125, y - 10, x + 76, y + 11);
  const QSize size(metrics.horizontalAdvance(text), metrics.height());
  const QRect cell(box.x() + (box.width() - size.width()) / 2,
                   box.y() + (box.height() - size.height()) / 2, size.width(), size.height());
  // Both copies together inside the pane's one-pixel border (the outline margin of MovedInside
  // is taken off first: these copies have none).
  const QRect inked = cell.adjusted(1, 1, 3 - 1, 2 - 1);
  const QRect moved = MovedInside(inked, client.adjusted(1, 1, -1, -1));
  return box.translated(moved.topLeft() - inked.topLeft());
}

void CFilterZoom::paintText(QPainter& painter) const {
  // A dark copy first, then the light one 3 right and 2 down: the text reads as embossed.
  const QRect box =
      TextBox(QFontMetrics(painter.font()), m_text, m_textPoint, m_pane->clientRect());
  painter.setPen(kZoomShadowColour);
  painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, m_text);
  painter.setPen(kLabelColour);
  painter.drawText(box.adjusted(3, 2, 0, 0), Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

// ---- CFilterPanning

int CFilterPanning::OnButtonDown(unsigned, int x, int y) {
  m_pane->beginCapture();
  m_origin = m_work.displayRect().topLeft();
  m_last = QPoint(x, y);
  return 1;
}

int CFilterPanning::OnMouseMove(unsigned, int x, int y) {
  m_origin += QPoint(x, y) - m_last;
  const QRect client = m_pane->clientRect();
  const int left = client.x();
  const int top = client.y();
  const int right = client.x() + client.width();
  const int bottom = client.y() + client.height();
  const QRect shown = m_work.displayRect();
  if (m_origin.x() + shown.width() < left + kVisibleMargin) {
    m_origin.setX(left - shown.width() + kVisibleMargin);
  }
  if (m_origin.y() + shown.height() < top + kVisibleMargin) {
    m_origin.setY(top - shown.height() + kVisibleMargin);
  }
  if (m_origin.x() > right - kVisibleMargin) m_origin.setX(right - kVisibleMargin);
  if (m_origin.y() > bottom - kVisibleMargin) m_origin.setY(bottom - kVisibleMargin);
  m_work.setDisplayOrigin(m_origin.x(), m_origin.y());
  m_last = QPoint(x, y);
  m_drawn = true;
  m_pane->invalidateRect(client);
  return 1;
}

int CFilterPanning::OnButtonUp(unsigned, int, int) {
  Apply();
  m_pane->invalidate();
  m_pane->endCapture();
  return 1;
}

void CFilterPanning::Apply() { m_source->setDisplayOrigin(m_origin.x(), m_origin.y()); }

// ---- CFilterWindowLevel

bool CFilterWindowLevel::Start(CPaneWindow* pane, CBaseImage* source) {
  if (Live() != nullptr) return true;
  slot() = std::make_unique<CFilterWindowLevel>(pane);
  if (!slot()->Attach(source)) {
    slot().reset();
    return false;
  }
  slot()->initialise();
  return true;
}

int CFilterWindowLevel::Event(int message, unsigned flags, const QPoint& point) {
  if (message == kMouseMove && (flags & (MK_LBUTTON | MK_RBUTTON)) == 0) return 0;
  return Forward(message, flags, point);
}

void CFilterWindowLevel::initialise() {
  m_work.GetWindow(m_width, m_level);
  if (!m_work.bitmap().minMax(m_minValue, m_maxValue)) m_minValue = m_maxValue = 0;
  if (m_mode == 2) {
    if (m_width == 0 && m_level == 0) {
      m_width = m_maxValue - m_minValue;
      m_level = m_minValue + (m_maxValue - m_minValue) / 2;
    }
  } else if (m_width == kNotSet && m_level == kNotSet) {
    m_width = m_level = kUnsetDefault;
  }
}

void CFilterWindowLevel::ApplyOwnWindow(CBaseImage& image) {
  int width = 0;
  int level = 0;
  image.GetWindow(width, level);
  if (image.PixelKind() == 2) {
    if (width != 0 || level != 0 || !image.SetWindowFromData()) image.SetWindow(width, level);
    return;
  }
  if (width == kNotSet && level == kNotSet) width = level = kUnsetDefault;
  image.SetPaintWindow(width, level, true);
}

int CFilterWindowLevel::OnButtonDown(unsigned, int x, int y) {
  const int range = m_maxValue - m_minValue;
  m_horizontal = m_vertical = 1.0;
  const QRect client = m_pane->clientRect();
  if (range > 0 && client.width() > 0 && client.height() > 0) {
    // Wide-range images would need long drags at one step per pixel; the cap keeps fine
    // control for the usual 12- to 14-bit radiographs.
    const double cap = m_work.bitsStored() <= 14 ? 5.0 : 10.0;
    m_horizontal = std::clamp(static_cast<double>(range) / client.width(), 1.0, cap);
    m_vertical = std::clamp(static_cast<double>(range) / client.height(), 1.0, cap);
  }
  m_last = QPoint(x, y);
  return 1;
}

int CFilterWindowLevel::OnMouseMove(unsigned flags, int x, int y) {
  const double k = (flags & MK_CONTROL) != 0 ? 3.0 : 1.0;
  const int widthStep = static_cast<int>((m_last.y() - y) * m_horizontal * k);
  const int levelStep = static_cast<int>((x - m_last.x()) * m_vertical * k);
  if (m_work.IsAllocated()) {
    m_width += widthStep;
    m_level += levelStep;
    if (m_mode == 2) {
      m_work.SetWindow(m_width, m_level);
    } else {
      m_work.SetPaintWindow(m_width, m_level, false);
    }
    // The operator reads the window in the file's own values.
    int shownWidth = m_width;
    int shownLevel = m_level;
    m_work.ToFileWindow(shownWidth, shownLevel);
    m_text = QString::asprintf("W: %d,  L: %d", shownWidth, shownLevel);
    // The operator sees the negative width once; the next step starts from 0.
    if (m_width < 0) m_width = 0;
    m_drawn = true;
    m_pane->invalidateRect(m_pane->clientRect());
  }
  m_last = QPoint(x, y);
  return 1;
}

int CFilterWindowLevel::OnButtonUp(unsigned, int, int) {
  Apply();
  m_pane->invalidate();
  return 1;
}

void CFilterWindowLevel::Apply() {
  if (m_mode == 2) {
    m_source->SetWindow(m_width, m_level);
  } else {
    m_source->SetPaintWindow(m_width, m_level, true);
  }
}

QRect CFilterWindowLevel::TextCell(const QFontMetrics& metrics, const QString& text,
                                   const QRect& shown, const QRect& client) {
  const QRect cell = ::TextCell(metrics, shown.x() + shown.width() - 10,
                                shown.y() + shown.height() - 10, text, TA_RIGHT | TA_BOTTOM);
  // Inside the pane's one-pixel border.
  return MovedInside(cell, client.adjusted(1, 1, -1, -1));
}

void CFilterWindowLevel::paintText(QPainter& painter) const {
  const QRect cell =
      TextCell(QFontMetrics(painter.font()), m_text, m_work.displayRect(), m_pane->clientRect());
  DrawOutlinedText(painter, cell.x(), cell.y(), m_text, Qt::black, TA_LEFT | TA_TOP, Qt::white);
}

// ---- CFilterGlass

CFilterGlass::Settings& CFilterGlass::settings() {
  static Settings glass;
  return glass;
}

void CFilterGlass::updateSampleSize(float imageFactor) {
  Settings& glass = settings();
  glass.sampleHalfWidth = static_cast<int>(glass.halfWidth * imageFactor / glass.factor);
  glass.sampleHalfHeight = static_cast<int>(glass.halfHeight * imageFactor / glass.factor);
}

bool CFilterGlass::Start(CPaneWindow* pane, CBaseImage* source) {
  if (source == nullptr) return false;
  updateSampleSize(source->zoom().value());
  return StartFresh(pane, source);
}

int CFilterGlass::Event(int message, unsigned flags, const QPoint& point) {
  CFilterGlass* live = Live();
  if (live == nullptr) return 0;
  if (live->handle(message, flags, point)) Destroy();
  return 1;
}

bool CFilterGlass::handle(int message, unsigned flags, const QPoint& point) {
  Settings& glass = settings();
  const QRect shown = m_source->displayRect();
  // A glass larger than the displayed image would sample outside it: every event is ignored,
  // the release included.
  if (!m_work.IsAllocated() || glass.lastRect.width() > shown.width() ||
      glass.lastRect.height() > shown.height()) {
    return false;
  }
  const float imageFactor = m_source->zoom().value();
  const bool leftHeld = (flags & MK_LBUTTON) != 0;
  const bool shift = (flags & MK_SHIFT) != 0;
  const bool ctrl = (flags & MK_CONTROL) != 0;
  if (message == kMouseMove && leftHeld && shift) {
    int step = 0;
    if (point.x() > m_last.x() && point.y() > m_last.y()) step = kHalfSizeStep;
    if (point.x() < m_last.x() && point.y() < m_last.y()) step = -kHalfSizeStep;
    glass.halfWidth = std::clamp(glass.halfWidth + step, kMinHalfSize, kMaxHalfSize);
    glass.halfHeight = std::clamp(glass.halfHeight + step, kMinHalfSize, kMaxHalfSize);
    updateSampleSize(imageFactor);
    m_sizeChanged = true;
    drawAt(m_anchor, ctrl);
  } else if (message == kMouseMove && leftHeld && ctrl) {
    // Down enlarges; up or straight sideways reduces.
    const float step = point.y() > m_last.y() ? kFactorStep : -kFactorStep;
    glass.factor = std::clamp(glass.factor + step, kMinFactor, kMaxFactor);
    updateSampleSize(imageFactor);
    m_factorChanged = true;
    drawAt(m_anchor, ctrl);
  } else {
    if (m_sizeChanged || m_factorChanged) {
      m_sizeChanged = m_factorChanged = false;
      // The adjustment moved the mouse away from where the glass stands: bring it back.
      m_pane->setCursorPos(m_anchor);
    } else {
      m_anchor = point;
    }
    if (message == kButtonUp) {
      m_pane->invalidate();
      return true;
    }
    drawAt(point, ctrl);
  }
  m_last = point;
  return false;
}

void CFilterGlass::drawAt(const QPoint& centre, bool showFactor) {
  const Settings& glass = settings();
  const QRect shown = m_source->displayRect();
  const int ox = shown.x();
  const int oy = shown.y();
  const int dw = shown.width();
  const int dh = shown.height();
  const float imageFactor = m_source->zoom().value();
  const int cx = std::clamp(centre.x(), ox, ox + dw);
  const int cy = std::clamp(centre.y(), oy, oy + dh);

  // The glass is pushed, not shrunk, to lie within the displayed image.
  const Span glassX = PushedInside(cx, glass.halfWidth, ox, ox + dw, false);
  const Span glassY = PushedInside(cy, glass.halfHeight, oy, oy + dh, false);
  const QRect previous = m_glassRect;
  m_glassRect = Edges(glassX.begin, glassY.begin, glassX.end, glassY.end);
  settings().lastRect = m_glassRect;

  // The sampled region around the image point under the centre, pushed inside the image.
  const int mx = static_cast<int>((cx - ox) * imageFactor);
  const int my = static_cast<int>((cy - oy) * imageFactor);
  const Span regionX = PushedInside(mx, glass.sampleHalfWidth, 0, m_source->bitmap().width(), true);
  const Span regionY =
      PushedInside(my, glass.sampleHalfHeight, 0, m_source->bitmap().height(), true);
  const int regionLeft = regionX.begin;
  const int regionTop = regionY.begin;
  const int regionRight = regionX.end;
  const int regionBottom = regionY.end;
  // The whole region: cutting it to a multiple of 4 pixels stretched a narrower region over
  // the glass, a wrong magnification off its centre when the region is small.
  const int regionWidth = regionRight - regionLeft;
  const int regionHeight = regionBottom - regionTop;
  if (regionWidth <= 0 || regionHeight <= 0) return;
  m_sampled = QRect(regionLeft, regionTop, regionWidth, regionHeight);
  if (!m_work.CopyRectFrom(*m_source, regionLeft, regionTop, regionWidth, regionHeight)) return;
  const int enlargedWidth = std::max(1, static_cast<int>(regionWidth * glass.factor / imageFactor));
  const int enlargedHeight =
      std::max(1, static_cast<int>(regionHeight * glass.factor / imageFactor));
  // Scaled the way the pane scales its own picture (smoothed only where the pane smooths):
  // smoothing what the pane shows sharp dims fine detail, and the glass would look flatter
  // than the pane under it.
  m_work.ResetView();
  const QRect fitted = m_work.FitToRect(QRect(0, 0, enlargedWidth, enlargedHeight));
  m_work.CenterInRect(QRect(QPoint(0, 0), fitted.size()));
  CFilterWindowLevel::ApplyOwnWindow(m_work);
  m_picture = QImage(fitted.size(), QImage::Format_RGB32);
  m_work.setClipRect(QRect());
  m_work.Paint(m_picture);
  m_showFactor = showFactor;
  m_drawn = true;
  // Only what the glass covered before and covers now changes on screen.
  m_pane->invalidateRect(previous.united(m_glassRect));
}

void CFilterGlass::PaintGlass(QPainter& painter) const {
  if (!m_drawn) return;
  painter.drawImage(m_glassRect.adjusted(1, 1, -1, -1), m_picture);
  painter.setPen(Qt::white);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(m_glassRect.adjusted(0, 0, -1, -1));
  if (!m_showFactor) return;
  const QString text = QString::asprintf("Factor: %-4.2lf", settings().factor);
  const QRect cell = TextCell(painter, m_glassRect.x() + m_glassRect.width(),
                              m_glassRect.y() + m_glassRect.height(), text, TA_RIGHT | TA_BOTTOM);
  painter.setPen(kLabelColour);
  painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

CFilter* LiveImageFilter(const CPaneWindow* pane) {
  CFilter* live[] = {CFilterZoom::Live(), CFilterPanning::Live(), CFilterWindowLevel::Live()};
  for (CFilter* filter : live) {
    if (filter != nullptr && filter->pane() == pane) return filter;
  }
  return nullptr;
}

namespace {

template <class Kind>
void endIfRunningIn(const CPaneWindow* pane) {
  if (Kind::Live() != nullptr && Kind::Live()->pane() == pane) Kind::Destroy();
}

}  // namespace

void EndFiltersOf(const CPaneWindow* pane) {
  endIfRunningIn<CFilterZoom>(pane);
  endIfRunningIn<CFilterPanning>(pane);
  endIfRunningIn<CFilterWindowLevel>(pane);
  endIfRunningIn<CFilterGlass>(pane);
}
