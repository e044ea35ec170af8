#include "ui/widgets/ScreenFit.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

#include "ui/FrameFit.h"

CScreenFit::CScreenFit(QWidget* window) : QObject(window), m_window(window) {
  window->installEventFilter(this);
}

bool CScreenFit::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == m_window &&
      (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
    fit();
  }
  return false;
}

void CScreenFit::fit() {
  const QScreen* screen = m_window->screen();
  if (!m_window->isVisible() || screen == nullptr ||
      (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
    return;
  }
  const QRect outer = m_window->frameGeometry();
  const QRect inner = m_window->geometry();
  const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                       outer.right() - inner.right(), outer.bottom() - inner.bottom());
  if (m_fittedFrame == frame) return;
  m_fittedFrame = frame;
  const FrameFit fit =
      FitFrameInto(outer.topLeft(), inner.size(), frame, screen->availableGeometry());
  if (fit.clientSize != inner.size()) m_window->resize(fit.clientSize);
  if (fit.framePosition != outer.topLeft()) m_window->move(fit.framePosition);
}
