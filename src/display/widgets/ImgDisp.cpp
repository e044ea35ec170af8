#include "display/widgets/ImgDisp.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "anno/AnnoManager.h"
#include "app/AppSettings.h"
#include "display/CineSpeed.h"
#include "display/DragPath.h"
#include "display/Filters.h"
#include "display/OverlayText.h"
#include "display/PaneHost.h"
#include "display/ScaleRulers.h"
#include "display/widgets/DlgMultiFrame.h"
#include "frame/OpenImages.h"
#include "image/ImageEach.h"
#include "ui/MessageSink.h"
#include "ui/widgets/WaitCursor.h"
#include "view/widgets/ToraScanView.h"

namespace {

constexpr int kActiveInset = 3;
constexpr int kActivePenWidth = 2;

CImgDisp::Filter filterOfMode(int mode) {
  switch (mode) {
    case CImgDisp::kModeMagnify:
      return CImgDisp::Filter::Magnifier;
    case CImgDisp::kModePan:
      return CImgDisp::Filter::Pan;
    default:
      return CImgDisp::Filter::Zoom;
  }
}

unsigned mouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  unsigned flags = 0;
  if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
  if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
  if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
  return flags;
}

unsigned mouseKeyFlags(const QMouseEvent& event) {
  return mouseKeyFlags(event.buttons(), event.modifiers());
}

bool isFilterMode(int mode) {
  return mode == CImgDisp::kModeMagnify || mode == CImgDisp::kModePan ||
         mode == CImgDisp::kModeZoom;
}

}  // namespace

const QColor& CImgDisp::borderColour() {
  static const QColor colour(100, 100, 100);
  return colour;
}

const QColor& CImgDisp::activeColour() {
  static const QColor colour(255, 255, 0);
  return colour;
}

CImgDisp::CImgDisp(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Image Window"));
  // paintEvent covers every pixel, so Qt need not erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  setFocusPolicy(Qt::ClickFocus);
  // A drawer sees moves with no button held (an angle between its clicks).
  setMouseTracking(true);
  const double spacing = theAppSettings().GetDefaultPixelSpacing() / 10.0;
  m_pixelSpacingX = m_pixelSpacingY = spacing;
  m_cineTimer.setInterval(m_cineInterval);
  connect(&m_cineTimer, &QTimer::timeout, this, &CImgDisp::advanceFrame);
}

CImgDisp::~CImgDisp() = default;

bool CImgDisp::CreatePane(const QRect& rect, CtoraScanView* view, int controlId, int position) {
  const int lastControlId = CtoraScanView::kFirstPaneId + CtoraScanView::kPaneCount - 1;
  if (view == nullptr || controlId < CtoraScanView::kFirstPaneId || controlId > lastControlId ||
      position < 0 || position >= CtoraScanView::kMaxPositions) {
    return false;
  }
  m_view = view;
  m_controlId = controlId;
  m_position = position;
  m_active = position == 0;
  setParent(view);
  setObjectName(QStringLiteral("pane%1").arg(controlId));
  setGeometry(rect);
  hide();
  return true;
}

void CImgDisp::SetPaneRect(const QRect& rect) {
  setGeometry(rect);
  // A resize of a hidden widget is only delivered when it is shown; the cine bar follows now.
  if (image() == nullptr) {
    m_cineTimer.stop();
    m_cineAvailable = false;
    delete m_cineBar;
    m_cineBar = nullptr;
  }
  updateCineBar(m_cineAvailable && isVisible());
}

CPaneHost* CImgDisp::host() const { return m_view != nullptr ? m_view->host() : nullptr; }

CImageEach* CImgDisp::image() const {
  CPaneHost* frame = host();
  if (frame == nullptr) return nullptr;
  return frame->openImages().at(m_view->shownImage(m_position));
}

bool CImgDisp::Attach() {
  EndFiltersOf(this);
  m_dragStartPicture = QImage();
  CImageEach* shown = image();
  if (shown == nullptr) {
    setUpCine(nullptr);
    annotationAttach(nullptr);
    return false;
  }
  CPaneHost* frame = host();
  CBaseImage& pixels = shown->image;
  frame->setRawSource(shown->filePath.isEmpty());
  pixels.setWindowType(frame->windowType());
  frame->setWindowValue(pixels.windowValue());
  int windowWidth = 0;
  int windowCentre = 0;
  pixels.GetWindow(windowWidth, windowCentre);
  pixels.SetWindow(windowWidth, windowCentre);
  // Every image starts from the default spacing, so a calibrated image shown earlier in this
  // pane cannot leak its spacing into one that carries none.
  double spacing = theAppSettings().GetDefaultPixelSpacing() / 10.0;
  if (shown->scanInfo.Img.ImagerPixelSpacing > 0) {
    spacing = shown->scanInfo.Img.ImagerPixelSpacing / 10.0;
  }
  m_pixelSpacingX = m_pixelSpacingY = spacing;
  pixels.ResetView();
  annotationAttach(shown);
  pixels.FitToRect(rect().adjusted(1, 1, -1, -1));
  frame->setWindowValue(pixels.windowValue());
  setUpCine(shown);
  m_histogram = pixels.bitmap().histogram();
  return true;
}

void CImgDisp::SetMode(int mode) {
  if (CImageEach* shown = image()) {
    annotationSetMode(mode);
    shown->image.setWindowValue(host()->windowValue());
  }
  m_mode = mode;
  update();
}

void CImgDisp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  CImageEach* shown = image();
  CFilter* live = LiveImageFilter(this);
  CFilterGlass* glass = CFilterGlass::Live();
  const bool liveShown = live != nullptr && live->hasDrawn();
  const bool glassShown =
      glass != nullptr && glass->pane() == this && glass->hasDrawn() && m_dragging;
  if (shown == nullptr || !(liveShown || glassShown)) {
    paintPane(painter, shown);
    return;
  }
  // A drag draws over the picture the pane had when it began; annotations, overlay and rulers
  // come back with the repaint at its release.
  if (m_dragStartPicture.size() != size()) {
    m_dragStartPicture = QImage(size(), QImage::Format_RGB32);
    QPainter start(&m_dragStartPicture);
    paintPane(start, shown);
  }
  if (liveShown) {
    QImage canvas = m_dragStartPicture;
    live->PaintLive(canvas);
    painter.drawImage(0, 0, canvas);
    paintBorder(painter);
    paintActiveFrame(painter);
    return;
  }
  painter.drawImage(0, 0, m_dragStartPicture);
  glass->PaintGlass(painter);
}

void CImgDisp::paintPane(QPainter& painter, CImageEach* shown) {
  const QRect client = rect();
  QImage canvas(client.size(), QImage::Format_RGB32);
  // Black first: the image leaves out pixels it has no source for.
  canvas.fill(Qt::black);
  if (shown != nullptr) {
    shown->image.setClipRect(client);
    shown->image.Paint(canvas);
    shown->image.FillBackground(canvas, client, qRgb(0, 0, 0));
  }
  painter.drawImage(0, 0, canvas);
  paintBorder(painter);
  if (shown != nullptr) {
    paintAnnotations(painter, *shown);
    std::vector<QRect> texts;
    if (theAppSettings().RunMode != RunModeEmbedded) texts = paintOverlay(painter, *shown);
    paintRulers(painter, *shown, texts);
  }
  paintActiveFrame(painter);
}

void CImgDisp::paintBorder(QPainter& painter) {
  // The fit leaves a one-pixel ring free for the border.
  painter.setPen(borderColour());
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CImgDisp::paintActiveFrame(QPainter& painter) {
  if (!m_active) return;
  // A 2-pixel pen centred one pixel inside the inset covers pixels inset and inset + 1.
  painter.setPen(QPen(activeColour(), kActivePenWidth));
  painter.setBrush(Qt::NoBrush);
  const double edge = kActiveInset + kActivePenWidth / 2.0;
  painter.drawRect(QRectF(edge, edge, width() - 2 * edge, height() - 2 * edge));
}

void CImgDisp::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  updateCineBar(m_cineAvailable && isVisible());
}

void CImgDisp::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  updateCineBar(m_cineAvailable);
}

void CImgDisp::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  updateCineBar(false);
}

void CImgDisp::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const unsigned flags = mouseKeyFlags(*event);
  if (event->button() == Qt::LeftButton) {
    setFocus(Qt::MouseFocusReason);
    if (image() == nullptr) return;
    switch (m_mode) {
      case kModeNewPane:
        m_dragging = true;
        annotationMouseEvent(Container::Third, kButtonDown, flags, point, kToolSelect);
        break;
      case kModeMagnify:
      case kModePan:
      case kModeZoom:
        filterEvent(filterOfMode(m_mode), kButtonDown, flags, point);
        m_dragging = true;
        break;
      case kModeAngle:
      case kModeLine:
        m_dragging = true;
        annotationMouseEvent(Container::First, kButtonDown, flags, point,
                             m_mode == kModeAngle ? kToolAngle : kToolLine);
        break;
      default:
        annotationMouseEvent(Container::First, kButtonDown, flags, point, kToolNone);
        break;
    }
  } else if (event->button() == Qt::RightButton) {
    m_dragging = true;
    if (image() != nullptr) {
      filterEvent(Filter::WindowLevel, kButtonDown, flags, point);
      m_rightWindowing = true;
    }
  }
}

void CImgDisp::mouseMoveEvent(QMouseEvent* event) {
  CImageEach* shown = image();
  if (shown == nullptr || !shown->loaded) return;
  const QPoint point = event->position().toPoint();
  const unsigned flags = mouseKeyFlags(*event);
  if (event->buttons() & Qt::RightButton) {
    if (m_rightWindowing) filterEvent(Filter::WindowLevel, kMouseMove, flags, point);
  } else if ((event->buttons() & Qt::LeftButton) && isFilterMode(m_mode)) {
    filterEvent(filterOfMode(m_mode), kMouseMove, flags, point);
  } else {
    annotationMouseEvent(m_mode == kModeNewPane ? Container::Second : Container::First, kMouseMove,
                         flags, point, kToolNone);
  }
}

void CImgDisp::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const unsigned flags = mouseKeyFlags(*event);
  if (event->button() == Qt::LeftButton) {
    // Containers and filters exist only for a shown image.
    if (image() != nullptr) {
      WaitCursor wait;
      switch (m_mode) {
        case kModeNewPane:
          annotationMouseEvent(Container::Second, kButtonUp, flags, point, kToolNone);
          break;
        case kModeMagnify:
        case kModePan:
        case kModeZoom:
          filterEvent(filterOfMode(m_mode), kButtonUp, flags, point);
          break;
        default:
          annotationMouseEvent(Container::First, kButtonUp, flags, point, kToolNone);
          break;
      }
    }
    m_dragging = false;
    if (m_view != nullptr) {
      m_view->setFocus(Qt::MouseFocusReason);
      m_view->ActivatePane(m_position);
    }
  } else if (event->button() == Qt::RightButton) {
    // Only a drag that started windowing is ended: the filter never saw a press otherwise.
    if (m_dragging && m_rightWindowing) filterEvent(Filter::WindowLevel, kButtonUp, flags, point);
    m_dragging = false;
    m_rightWindowing = false;
    if (m_view != nullptr) m_view->setFocus(Qt::MouseFocusReason);
  }
}

void CImgDisp::keyPressEvent(QKeyEvent* event) {
  const bool changed =
      image() != nullptr &&
      annotationKeyEvent(event->key(), mouseKeyFlags(Qt::NoButton, event->modifiers()));
  if (changed) update();
  // Delete belongs to the panes (the view hands it to each); other keys go on to the frame.
  if (changed || event->key() == Qt::Key_Delete) {
    event->accept();
  } else {
    event->ignore();
  }
}

void CImgDisp::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedPath(*event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  dragMoveEvent(event);
}

void CImgDisp::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedPath(*event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  Qt::DropAction action =
      (event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
  // A source that cannot move (a file manager offering copy only) keeps its own proposal.
  if (!(event->possibleActions() & action)) action = event->proposedAction();
  event->setDropAction(action);
  event->accept();
}

void CImgDisp::dropEvent(QDropEvent* event) {
  const QString path = DroppedPath(*event->mimeData());
  if (!path.isEmpty() && DropFile(path)) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

bool CImgDisp::DropFile(const QString& path) {
  QString file = path;
  // Only the extension is replaced and the case kept: file names on this system are
  // case-sensitive, and the list of open images compares case-insensitively anyway.
  if (file.endsWith(QStringLiteral(".tnb"), Qt::CaseInsensitive)) {
    file = file.chopped(4) + QStringLiteral(".dcm");
  }
  if (file.isEmpty() || !QFileInfo(file).isFile()) {
    ShowMessage(QStringLiteral("Can't open selected file."), QStringLiteral("Main control"),
                MB_ICONEXCLAMATION);
    return false;
  }
  CPaneHost* frame = host();
  if (frame == nullptr) return false;
  m_view->ActivatePane(0);
  const int index = frame->openImages().findByPath(file, theAppSettings().dispOrder == 1);
  if (index >= 0) {
    m_view->ShowImage(index);
    return true;
  }
  // A file from the desktop's file manager is not open yet: open it like the browser does.
  return frame->openImage(file, true) == 0;
}

void CImgDisp::setUpCine(CImageEach* shown) {
  if (shown == nullptr || shown->frames().size() < 2) {
    m_cineTimer.stop();
    m_cineAvailable = false;
    updateCineBar(false);
    return;
  }
  if (m_cineBar == nullptr) {
    m_cineBar = new CDlgMultiFrame(this, m_view);
    const double frameTime = shown->scanInfo.Img.FrameTime;
    const int speedIndex = cine::SpeedIndexForFrameTime(frameTime);
    m_cineBar->SetSpeedIndex(speedIndex);
    // Without a frame time of at least a millisecond the timer would spin; the speed the bar
    // shows for it (the fastest) gives the period instead.
    m_cineInterval = static_cast<int>(frameTime);
    if (m_cineInterval <= 0) {
      m_cineInterval = cine::IntervalMs(cine::kSpeeds[static_cast<std::size_t>(speedIndex)]);
    }
    m_cineTimer.setInterval(m_cineInterval);
  }
  m_cineAvailable = true;
  updateCineBar(isVisible());
}

void CImgDisp::showFrame(CImageEach& shown, int index) {
  shown.SelectFrame(index);
  update(shown.image.displayRect());
  if (!m_frameNumberRect.isNull()) update(m_frameNumberRect);
}

void CImgDisp::advanceFrame() {
  CImageEach* shown = image();
  if (shown == nullptr) return;
  const int frames = static_cast<int>(shown->frames().size());
  if (frames < 2) return;
  showFrame(*shown, (shown->currentFrame + 1) % frames);
}

void CImgDisp::CinePlay() {
  CImageEach* shown = image();
  if (!m_cineAvailable || shown == nullptr || m_cineTimer.isActive()) return;
  if (shown->currentFrame >= static_cast<int>(shown->frames().size()) - 1) showFrame(*shown, 0);
  m_cineTimer.start(m_cineInterval);
}

void CImgDisp::CinePause() {
  CImageEach* shown = image();
  if (!m_cineAvailable || shown == nullptr) return;
  m_cineTimer.stop();
  showFrame(*shown, -1);
}

void CImgDisp::CineStop() {
  CImageEach* shown = image();
  if (!m_cineAvailable || shown == nullptr) return;
  m_cineTimer.stop();
  showFrame(*shown, 0);
}

void CImgDisp::CinePrev() {
  CImageEach* shown = image();
  if (!m_cineAvailable || shown == nullptr) return;
  m_cineTimer.stop();
  const int frames = static_cast<int>(shown->frames().size());
  showFrame(*shown, shown->currentFrame == 0 ? frames - 1 : shown->currentFrame - 1);
}

void CImgDisp::CineNext() {
  CImageEach* shown = image();
  if (!m_cineAvailable || shown == nullptr) return;
  m_cineTimer.stop();
  const int frames = static_cast<int>(shown->frames().size());
  showFrame(*shown, (shown->currentFrame + 1) % frames);
}

void CImgDisp::CineSetSpeed(double framesPerSecond) {
  if (!m_cineAvailable || !(framesPerSecond > 0)) return;
  m_cineInterval = std::max(1, cine::IntervalMs(framesPerSecond));
  m_cineTimer.setInterval(m_cineInterval);
  if (m_cineTimer.isActive()) {
    CineStop();
    CinePlay();
  }
}

// ---- hooks: the filters, the annotation containers, the overlay, the rulers and the cine bar
// are connected here when they arrive.

QPoint CImgDisp::cursorPos() const { return mapFromGlobal(QCursor::pos()); }

void CImgDisp::setCursorPos(const QPoint& point) { QCursor::setPos(mapToGlobal(point)); }

void CImgDisp::filterEvent(Filter filter, int message, unsigned flags, const QPoint& point) {
  CImageEach* shown = image();
  if (shown == nullptr) return;
  CBaseImage* pixels = &shown->image;
  const bool press = message == kButtonDown;
  // Each drag starts from the pane's picture at its press.
  if (press || message == kButtonUp) m_dragStartPicture = QImage();
  switch (filter) {
    case Filter::WindowLevel:
      if (press && !CFilterWindowLevel::Start(this, pixels)) return;
      CFilterWindowLevel::Event(message, flags, point);
      break;
    case Filter::Magnifier:
      if (press && !CFilterGlass::Start(this, pixels)) return;
      CFilterGlass::Event(message, flags, point);
      break;
    case Filter::Pan:
    case Filter::Zoom: {
      const bool pan = filter == Filter::Pan;
      if (press &&
          !(pan ? CFilterPanning::Start(this, pixels) : CFilterZoom::Start(this, pixels))) {
        return;
      }
      if (pan) {
        CFilterPanning::Event(message, flags, point);
      } else {
        CFilterZoom::Event(message, flags, point);
      }
      if (message == kButtonUp) {
        // The resampled copy was made for the old zoom and position.
        pixels->RebuildDisplayBitmap();
        int windowWidth = 0;
        int windowCentre = 0;
        pixels->GetWindow(windowWidth, windowCentre);
        pixels->SetWindow(windowWidth, windowCentre);
      }
      break;
    }
  }
}

CAnnoObjectManager* CImgDisp::manager(Container container) {
  CImageEach* shown = image();
  if (shown == nullptr) return nullptr;
  CAnnoObjectManager& annotations = shown->annotations[static_cast<std::size_t>(container)];
  const CBaseImage& pixels = shown->image;
  const QRect displayed = pixels.displayRect();
  annotations.SetGeometry(this, displayed.x(), displayed.y(), pixels.bitmap().width(),
                          pixels.bitmap().height(), pixels.zoom().value(), m_pixelSpacingX,
                          m_pixelSpacingY);
  return &annotations;
}

void CImgDisp::annotationMouseEvent(Container container, int message, unsigned flags,
                                    const QPoint& point, int tool) {
  CAnnoObjectManager* annotations = manager(container);
  if (annotations == nullptr) return;
  switch (message) {
    case kButtonDown:
      if (tool != kToolNone) annotations->SetType(tool);
      annotations->OnButtonDown(flags, point.x(), point.y());
      break;
    case kMouseMove:
      annotations->OnMouseMove(flags, point.x(), point.y());
      break;
    case kButtonUp:
      annotations->OnButtonUp(flags, point.x(), point.y());
      break;
    default:
      break;
  }
}

bool CImgDisp::annotationKeyEvent(int key, unsigned flags) {
  CAnnoObjectManager* annotations = manager(Container::First);
  if (annotations == nullptr) return false;
  // Letters share their codes with the virtual keys; Delete does not.
  return annotations->OnKey(key == Qt::Key_Delete ? VK_DELETE : key, flags) != 0;
}

void CImgDisp::annotationSetMode(int mode) {
  if (CAnnoObjectManager* annotations = manager(Container::First)) annotations->SetType(mode);
}

void CImgDisp::annotationAttach(CImageEach* shown) {
  if (shown == nullptr) return;
  for (Container container : {Container::First, Container::Second, Container::Third}) {
    manager(container);
  }
}

void CImgDisp::paintAnnotations(QPainter& painter, CImageEach&) {
  if (CAnnoObjectManager* annotations = manager(Container::First)) annotations->Draw(painter);
}

std::vector<QRect> CImgDisp::paintOverlay(QPainter& painter, CImageEach& shown) {
  CPaneHost* frame = host();
  if (frame == nullptr) return {};
  const overlay::Layout layout =
      overlay::Compute(shown, frame->overlaySwitches(), size(), m_pixelSpacingX);
  m_frameNumberRect = layout.frameNumberRect;
  overlay::Paint(painter, layout);
  std::vector<QRect> cells;
  for (const overlay::Line& line : layout.lines) cells.push_back(line.cell);
  return cells;
}

void CImgDisp::paintRulers(QPainter& painter, CImageEach& shown, const std::vector<QRect>& texts) {
  rulers::Paint(painter, size(), m_pixelSpacingX, m_pixelSpacingY, shown.image.zoom().value(),
                shown.image.displayRect().height(), texts);
}

void CImgDisp::updateCineBar(bool visible) {
  if (m_cineBar == nullptr) return;
  constexpr int kBottomGap = 16;
  m_cineBar->move((width() - m_cineBar->width()) / 2, height() - kBottomGap - m_cineBar->height());
  m_cineBar->setVisible(visible);
}
