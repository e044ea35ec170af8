#include "display/widgets/DlgMultiFrame.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <algorithm>

#include "display/CineSpeed.h"
#include "display/widgets/ImgDisp.h"
#include "view/widgets/ToraScanView.h"

namespace {

constexpr int kIconSize = 16;

// The icons of the bar, drawn so that they read on any desktop theme.
QIcon drawnIcon(int id) {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(40, 40, 40));
  const auto triangle = [&](qreal left, qreal right) {  // pointing from left to right
    QPainterPath path;
    path.moveTo(left, 3);
    path.lineTo(right, 8);
    path.lineTo(left, 13);
    path.closeSubpath();
    painter.drawPath(path);
  };
  switch (id) {
    case CDlgMultiFrame::kPlay:
      triangle(4, 13);
      break;
    case CDlgMultiFrame::kPause:
      painter.drawRect(QRectF(4, 3, 3, 10));
      painter.drawRect(QRectF(9, 3, 3, 10));
      break;
    case CDlgMultiFrame::kStop:
      painter.drawRect(QRectF(4, 4, 8, 8));
      break;
    case CDlgMultiFrame::kPrev:
      painter.drawRect(QRectF(3, 3, 2, 10));
      triangle(13, 5);
      break;
    case CDlgMultiFrame::kNext:
      triangle(3, 11);
      painter.drawRect(QRectF(11, 3, 2, 10));
      break;
    case CDlgMultiFrame::kSlow:
      painter.drawRect(QRectF(3, 7, 10, 2));
      break;
    case CDlgMultiFrame::kFast:
      painter.drawRect(QRectF(3, 7, 10, 2));
      painter.drawRect(QRectF(7, 3, 2, 10));
      break;
    default:
      break;
  }
  return QIcon(pixmap);
}

}  // namespace

CDlgMultiFrame::CDlgMultiFrame(CImgDisp* pane, CtoraScanView* view)
    : QFrame(pane), m_pane(pane), m_view(view), m_speedIndex(cine::kInitialSpeedIndex) {
  setObjectName(QStringLiteral("cineBar"));
  static const struct {
    int id;
    const char* tip;
  } kButtons[kButtonCount] = {{kPlay, "Play"},   {kPause, "Pause"}, {kStop, "Stop"},
                              {kPrev, "Prev"},   {kNext, "Next"},   {kSlow, "Slow"},
                              {kSpeed, "Speed"}, {kFast, "Fast"}};
  int x = 0;
  for (const auto& entry : kButtons) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("cine%1").arg(QLatin1String(entry.tip)));
    button->setToolTip(QLatin1String(entry.tip));
    button->setGeometry(x, 0, kButtonWidth, kButtonHeight);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(false);
    if (entry.id != kSpeed) {
      button->setIcon(drawnIcon(entry.id));
      button->setIconSize(QSize(kIconSize, kIconSize));
      const int id = entry.id;
      connect(button, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
    }
    button->setCheckable(entry.id == kPlay || entry.id == kPause);
    button->installEventFilter(this);
    m_buttons.insert(entry.id, button);
    x += kButtonWidth;
  }
  setFixedSize(kButtonCount * kButtonWidth, kButtonHeight);
  SetSpeedIndex(m_speedIndex);
}

void CDlgMultiFrame::SetSpeedIndex(int index) {
  m_speedIndex = std::clamp(index, 0, cine::kLastSpeedIndex);
  m_buttons.value(kSpeed)->setText(cine::SpeedText(m_speedIndex));
}

bool CDlgMultiFrame::paneIsActive() const {
  return m_view == nullptr || m_view->ActivePane() == m_pane;
}

void CDlgMultiFrame::showPlayState(bool playing, bool paused) {
  m_playShown = playing;
  m_pauseShown = paused;
  m_buttons.value(kPlay)->setChecked(playing);
  m_buttons.value(kPause)->setChecked(paused);
}

bool CDlgMultiFrame::OnCommand(int id) {
  if (!paneIsActive()) {
    // A click may have toggled a checkable button; the bar keeps showing the last command.
    showPlayState(m_playShown, m_pauseShown);
    return false;
  }
  switch (id) {
    case kPlay:
      showPlayState(true, false);
      m_pane->CinePlay();
      return true;
    case kPause:
      showPlayState(false, true);
      m_pane->CinePause();
      return true;
    case kStop:
      showPlayState(false, false);
      m_pane->CineStop();
      return true;
    case kPrev:
      m_pane->CinePrev();
      return true;
    case kNext:
      m_pane->CineNext();
      return true;
    case kSlow:
    case kFast: {
      const int index = id == kSlow ? cine::Slower(m_speedIndex) : cine::Faster(m_speedIndex);
      if (index == m_speedIndex) return true;
      SetSpeedIndex(index);
      m_pane->CineSetSpeed(cine::kSpeeds[static_cast<std::size_t>(index)]);
      return true;
    }
    default:
      showPlayState(m_playShown, m_pauseShown);
      return false;
  }
}

void CDlgMultiFrame::reportPress(const QPointF& globalPosition) {
  if (m_view != nullptr) m_view->ActivateAt(m_view->mapFromGlobal(globalPosition).toPoint());
}

bool CDlgMultiFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() == Qt::LeftButton) reportPress(press->globalPosition());
  }
  return QFrame::eventFilter(watched, event);
}

void CDlgMultiFrame::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) reportPress(event->globalPosition());
  QFrame::mousePressEvent(event);
}
