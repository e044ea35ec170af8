#include "ui/FrameFit.h"

#include <algorithm>

FrameFit FitFrameInto(const QPoint& framePosition, const QSize& clientSize, const QMargins& frame,
                      const QRect& available) {
  const int frameWidth = frame.left() + frame.right();
  const int frameHeight = frame.top() + frame.bottom();
  FrameFit fit;
  fit.clientSize =
      QSize(std::max(1, std::min(clientSize.width(), available.width() - frameWidth)),
            std::max(1, std::min(clientSize.height(), available.height() - frameHeight)));
  const int outerWidth = fit.clientSize.width() + frameWidth;
  const int outerHeight = fit.clientSize.height() + frameHeight;
  fit.framePosition = QPoint(
      std::clamp(framePosition.x(), available.left(),
                 std::max(available.left(), available.left() + available.width() - outerWidth)),
      std::clamp(framePosition.y(), available.top(),
                 std::max(available.top(), available.top() + available.height() - outerHeight)));
  return fit;
}
