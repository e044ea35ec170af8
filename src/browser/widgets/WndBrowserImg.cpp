#include "browser/widgets/WndBrowserImg.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>

#include "app/AppSettings.h"
#include "browser/BrwsrImgElement.h"
#include "browser/widgets/DlgWndBrowser.h"
#include "display/DragPath.h"
#include "display/OutlinedText.h"
#include "display/widgets/ImageMoving.h"
#include "ui/widgets/BaseSkinDlg.h"
#include "ui/widgets/SkinControls.h"

namespace {

const QColor kLightGrey(200, 200, 200);
const QColor kYellow(255, 255, 0);
constexpr int kFrameWidth = 2;
constexpr int kTextLeft = 6;
constexpr int kTextTop = 3;

// PostProc bits and their marks: the letter and six blanks, one line each from the middle.
struct Mark {
  long bit;
  const char* text;
  int line;
  QColor colour;
};
const Mark kMarks[] = {
    {0x4, "P      ", 0, kLightGrey}, {0x2, "S      ", 1, kYellow}, {0x1, "B      ", 2, kLightGrey}};

QString cineMarkPath() { return theAppSettings().programFolder + QStringLiteral("Skins/cine.png"); }

}  // namespace

CWndBrowserImg::CWndBrowserImg(CDlgWndBrowser* strip, int controlId)
    : QWidget(strip), m_strip(strip) {
  setObjectName(QStringLiteral("thumbnail%1").arg(controlId));
  setWindowTitle(QStringLiteral("Image Browser Window Image"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
}

CWndBrowserImg::~CWndBrowserImg() = default;

QFont CWndBrowserImg::TextFont() {
  QFont font = SkinFont(AppFontFace(), 14, 1000);
  // Crisp letters, as all text drawn over images: the outline is one pixel wide.
  font.setStyleStrategy(QFont::NoAntialias);
  const int average = QFontMetrics(font).averageCharWidth();
  if (average > 0) font.setStretch(std::clamp(600 / average, 1, 4000));
  return font;
}

void CWndBrowserImg::SetElement(CBrwsrImgElement* element, const QImage& picture) {
  m_element = element;
  m_picture = picture;
  if (element != nullptr && element->imageInfo.NumberOfFrames >= 2) {
    if (m_cineMark.isNull() && QFileInfo::exists(cineMarkPath())) m_cineMark.load(cineMarkPath());
  } else {
    m_cineMark = QImage();
  }
  update();
}

void CWndBrowserImg::SetPicture(const QImage& picture) {
  m_picture = picture;
  update();
}

void CWndBrowserImg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (m_element == nullptr) return;
  const CDImgInfo& info = m_element->imageInfo;
  if (!m_picture.isNull()) {
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    QRect target(QPoint(), m_picture.size().scaled(inside.size(), Qt::KeepAspectRatio));
    target.moveCenter(inside.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
  }
  const QFont font = TextFont();
  painter.setFont(font);
  DrawOutlinedText(painter, kTextLeft, kTextTop,
                   QStringLiteral("%1 - %2").arg(info.SeriesNo).arg(info.ImageNo), kLightGrey);
  if (m_element->selected) {
    const int w = width();
    const int h = height();
    painter.fillRect(0, 0, w, kFrameWidth, kYellow);
    painter.fillRect(0, h - kFrameWidth, w, kFrameWidth, kYellow);
    painter.fillRect(0, 0, kFrameWidth, h, kYellow);
    painter.fillRect(w - kFrameWidth, 0, kFrameWidth, h, kYellow);
  }
  const int lineHeight = QFontMetrics(font).size(0, QStringLiteral("AAAAAAA")).height();
  const int firstLine = height() / 2 - 5 - lineHeight / 2;
  for (const Mark& mark : kMarks) {
    if ((info.PostProc & mark.bit) == 0) continue;
    DrawOutlinedText(painter, kTextLeft, firstLine + mark.line * lineHeight,
                     QString::fromLatin1(mark.text), mark.colour);
  }
  if (!m_cineMark.isNull()) painter.drawImage(kCineMarkRect, m_cineMark);
}

void CWndBrowserImg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_element == nullptr) return;
  m_element->selected = m_element->selected ? 0 : 1;
  update();
  m_lastPoint = event->globalPosition().toPoint();
  m_dragPath = m_element->imageInfo.FullPath;
}

void CWndBrowserImg::contextMenuEvent(QContextMenuEvent* event) {
  if (m_element != nullptr) m_strip->ContextMenuOn(*m_element, event->globalPos());
}

void CWndBrowserImg::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() != Qt::LeftButton || m_dragPath.isEmpty()) return;
  const QPoint point = event->globalPosition().toPoint();
  if (m_dragWindow) {
    // Once the drag has begun the copy follows every move, so it stays under the pointer.
    m_dragWindow->move(m_dragWindow->pos() + point - m_lastPoint);
    m_dragWindow->show();
    m_lastPoint = point;
    return;
  }
  if (std::abs(point.x() - m_lastPoint.x()) >= kDragDistance) startDragWindow();
}

void CWndBrowserImg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_dragPath.isEmpty()) return;
  const bool dragged = m_dragWindow != nullptr;
  // Gone before the drop, so that the drop lands on the window under it.
  m_dragWindow.reset();
  const QPoint point = event->globalPosition().toPoint();
  // A click without a drag would drop on this thumbnail, where only a drag counts.
  if (dragged || !rect().contains(mapFromGlobal(point))) DropAt(point);
  m_dragPath.clear();
  m_strip->SetDragInProgress(false);
}

void CWndBrowserImg::startDragWindow() {
  m_dragWindow = std::make_unique<CImageMoving>();
  m_dragWindow->setGeometry(QRect(mapToGlobal(QPoint(0, 0)), size()));
  const bool loaded = m_dragWindow->LoadPicture(grab().toImage());
  if (!loaded) m_dragWindow.reset();
  m_strip->SetDragInProgress(loaded);
}

void CWndBrowserImg::DropAt(const QPoint& globalPoint) {
  // The platform's drag runs until the button is released. It already is: the release handed
  // to the drag ends it at once, dropping on the window under the point.
  if (QWindow* handle = window()->windowHandle()) {
    const QPointF global(globalPoint);
    QCoreApplication::postEvent(
        handle,
        new QMouseEvent(QEvent::MouseButtonRelease, handle->mapFromGlobal(global), global,
                        Qt::LeftButton, Qt::NoButton, QGuiApplication::keyboardModifiers()));
  }
  auto* drag = new QDrag(this);  // deleted by the platform's drag
  drag->setMimeData(PathMimeData(m_dragPath));
  drag->exec(Qt::CopyAction | Qt::MoveAction);
}

void CWndBrowserImg::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void CWndBrowserImg::dragMoveEvent(QDragMoveEvent* event) {
  // Only a thumbnail of this strip can be dropped here; anything else would do nothing.
  if (!m_strip->DragInProgress()) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void CWndBrowserImg::dropEvent(QDropEvent* event) {
  if (m_element == nullptr || !m_strip->DragInProgress()) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  m_strip->DropOn(*m_element, DroppedPath(*event->mimeData()));
}
