#include "display/widgets/ImageMoving.h"

#include <QPainter>

CImageMoving::CImageMoving()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowOpacity(kOpacity);
}

bool CImageMoving::LoadPicture(const QImage& picture) {
  m_picture = picture;
  update();
  return !m_picture.isNull();
}

void CImageMoving::paintEvent(QPaintEvent*) {
  if (m_picture.isNull()) return;
  // Stretched over the whole window, each direction on its own.
  QPainter(this).drawImage(rect(), m_picture);
}
