#include "view/widgets/ToraScanView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <algorithm>

#include "app/AppSettings.h"
#include "display/PaneHost.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/OpenImages.h"
#include "ui/MessageSink.h"

namespace {

constexpr int kLayouts[] = {0, 1, 3};

}  // namespace

CtoraScanView::CtoraScanView(CPaneHost* host, QWidget* parent) : QWidget(parent), m_host(host) {
  setFocusPolicy(Qt::StrongFocus);
  createPanes();
}

CtoraScanView::~CtoraScanView() {
  if (CImgDisp* active = ActivePane()) active->CineStop();
  // Deleted here, while the view can still filter their events, rather than by QWidget.
  for (CImgDisp*& pane : m_panes) {
    delete pane;
    pane = nullptr;
  }
}

int CtoraScanView::PanesIn(int layout) {
  switch (layout) {
    case 0:
      return 1;
    case 1:
      return 2;
    case 3:
      return 4;
    default:
      return 0;
  }
}

int CtoraScanView::firstPaneOf(int layout) {
  switch (layout) {
    case 1:
      return 1;
    case 3:
      return 3;
    default:
      return 0;
  }
}

QRect CtoraScanView::PaneRect(int layout, int position, const QSize& client) {
  const int cx = client.width();
  const int cy = client.height();
  const int half = cx / 2;
  switch (layout) {
    case 0:
      return QRect(0, 0, cx, cy);
    case 1:
      return QRect(position == 1 ? half : 0, 0, half, cy);
    case 3:
      return QRect(position % 2 == 1 ? half : 0, (cy / 2) * (position / 2), half, cy / 2);
    default:
      return {};
  }
}

void CtoraScanView::createPanes() {
  // Created inside the centred square of the current client area; resizeEvent lays them out.
  const int side = std::min(width(), height());
  const QPoint offset((width() - side) / 2, (height() - side) / 2);
  int controlId = kFirstPaneId;
  for (int layout : kLayouts) {
    for (int position = 0; position < PanesIn(layout); ++position) {
      auto* pane = new CImgDisp(this);
      const QRect rect = PaneRect(layout, position, QSize(side, side)).translated(offset);
      // Fails only for ids and positions outside the ranges used here.
      const bool created = pane->CreatePane(rect, this, controlId, position);
      Q_ASSERT(created);
      Q_UNUSED(created);
      pane->installEventFilter(this);
      m_panes[static_cast<std::size_t>(controlId - kFirstPaneId)] = pane;
      ++controlId;
    }
  }
  for (int position = 0; position < PanesIn(m_layout); ++position) {
    CImgDisp* shown = pane(m_layout, position);
    shown->show();
    shown->Attach();
  }
  theAppSettings().currentLayout = m_layout;
}

void CtoraScanView::OnInitialUpdate() {
  // Posted, so the browser opens once the main window has finished showing.
  if (theAppSettings().windowX == 0) {
    QMetaObject::invokeMethod(
        this, [this] { emit commandPosted(command::Browser); }, Qt::QueuedConnection);
  }
}

CImgDisp* CtoraScanView::pane(int layout, int position) const {
  if (position < 0 || position >= PanesIn(layout)) return nullptr;
  return m_panes[static_cast<std::size_t>(firstPaneOf(layout) + position)];
}

int CtoraScanView::shownImage(int position) const {
  if (position < 0 || position >= PanesIn(m_layout)) return -1;
  return m_shown[static_cast<std::size_t>(position)];
}

void CtoraScanView::layOutPanes(const QSize& client) {
  for (int layout : kLayouts) {
    for (int position = 0; position < PanesIn(layout); ++position) {
      if (CImgDisp* p = pane(layout, position)) p->SetPaneRect(PaneRect(layout, position, client));
    }
  }
}

void CtoraScanView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layOutPanes(event->size());
}

void CtoraScanView::refreshPanes() {
  for (int position = 0; position < PanesIn(m_layout); ++position) {
    CImgDisp* p = pane(m_layout, position);
    p->Attach();
    p->update();
  }
}

bool CtoraScanView::SetLayout(int layout) {
  const int count = PanesIn(layout);
  if (count == 0) return false;
  theAppSettings().currentLayout = layout;
  if (layout == m_layout) return true;
  const int previous = m_layout;
  m_layout = layout;
  for (int i = 0; i < count; ++i) {
    const int index = m_pageStart + i;
    // Kept as the layouts have always behaved: near the start of the list, a position past
    // the pane count stays empty.
    m_shown[static_cast<std::size_t>(i)] = (m_pageStart < count && index > count) ? -1 : index;
  }
  for (int position = 0; position < count; ++position) pane(layout, position)->show();
  refreshPanes();
  for (int position = 0; position < PanesIn(previous); ++position) {
    pane(previous, position)->hide();
  }
  return true;
}

void CtoraScanView::ShowImage(int index) {
  const int count = PanesIn(m_layout);
  for (int position = 0; position < count; ++position) {
    if (m_shown[static_cast<std::size_t>(position)] == index) {
      ActivatePane(position, true);
      pane(m_layout, position)->Attach();
      return;
    }
  }
  int firstEmpty = -1;
  for (int position = 0; position < count && firstEmpty < 0; ++position) {
    if (m_shown[static_cast<std::size_t>(position)] < 0) firstEmpty = position;
  }
  // Back to the first page; the page start follows so that paging continues from here.
  m_pageStart = 0;
  for (int position = 0; position < count; ++position) {
    m_shown[static_cast<std::size_t>(position)] = position;
  }
  // With every position taken, no pane of a multi-pane layout stays active; the single pane
  // of 1 x 1 always is.
  const int active = firstEmpty >= 0 ? firstEmpty : (count == 1 ? 0 : -1);
  for (int position = 0; position < count; ++position) {
    pane(m_layout, position)->setActive(position == active);
  }
  refreshPanes();
}

void CtoraScanView::ShowNoImages() {
  const int count = PanesIn(m_layout);
  m_pageStart = 0;
  for (int position = 0; position < count; ++position) {
    m_shown[static_cast<std::size_t>(position)] = position;
    pane(m_layout, position)->setActive(position == 0);
  }
  refreshPanes();
}

void CtoraScanView::KeepInView(int index) {
  const int count = PanesIn(m_layout);
  for (int position = 0; position < count; ++position) {
    if (m_shown[static_cast<std::size_t>(position)] == index) {
      ActivatePane(position, true);
      return;
    }
  }
  m_pageStart = index;
  for (int i = 0; i < count; ++i) m_shown[static_cast<std::size_t>(i)] = m_pageStart + i;
  for (int position = 0; position < count; ++position) {
    pane(m_layout, position)->setActive(position == 0);
  }
  refreshPanes();
}

void CtoraScanView::ActivatePane(int position, bool force) {
  CImgDisp* target = pane(m_layout, position);
  if (target == nullptr || (target->isActive() && !force)) return;
  for (int p = 0; p < PanesIn(m_layout); ++p) pane(m_layout, p)->setActive(false);
  target->setActive(true);
  for (int p = 0; p < PanesIn(m_layout); ++p) pane(m_layout, p)->update();
}

CImgDisp* CtoraScanView::ActivePane() const {
  for (int position = 0; position < PanesIn(m_layout); ++position) {
    CImgDisp* p = pane(m_layout, position);
    if (p != nullptr && p->isActive()) return p;
  }
  return nullptr;
}

int CtoraScanView::ActiveImageIndex() const {
  const CImgDisp* active = ActivePane();
  if (active == nullptr || m_host == nullptr) return -1;
  const int index = shownImage(active->position());
  return m_host->openImages().at(index) != nullptr ? index : -1;
}

int CtoraScanView::ActivateAt(const QPoint& point) {
  for (int position = 0; position < PanesIn(m_layout); ++position) {
    CImgDisp* p = pane(m_layout, position);
    if (!p->geometry().contains(point)) continue;
    if (p != ActivePane()) ActivatePane(position);
    return position;
  }
  return -1;
}

void CtoraScanView::PrevPage() {
  if (m_host == nullptr || m_host->openImages().isEmpty()) return;
  const int count = PanesIn(m_layout);
  m_pageStart = std::max(0, m_pageStart - count);
  for (int i = 0; i < count; ++i) m_shown[static_cast<std::size_t>(i)] = m_pageStart + i;
  refreshPanes();
}

void CtoraScanView::NextPage() {
  if (m_host == nullptr || m_host->openImages().isEmpty()) return;
  const int count = PanesIn(m_layout);
  m_pageStart = std::min(m_host->openImages().count() - 1, m_pageStart + count);
  for (int i = 0; i < count; ++i) m_shown[static_cast<std::size_t>(i)] = m_pageStart + i;
  refreshPanes();
}

bool CtoraScanView::SetMode(int commandId) {
  if (commandId < command::Default || commandId > command::Line) return false;
  m_mode = commandId == command::Default ? CImgDisp::kModeDefault : commandId;
  for (int position = 0; position < PanesIn(m_layout); ++position) {
    pane(m_layout, position)->SetMode(m_mode);
  }
  return true;
}

bool CtoraScanView::OnViewCommand(int commandId) {
  switch (commandId) {
    case command::Report: {
      const int index = ActiveImageIndex();
      if (index < 0) {
        ShowMessage(QStringLiteral("Please select an image"), AppSettings::title());
      } else {
        emit reportRequested(index);
      }
      return true;
    }
    case command::CreateUser:
      emit createUserRequested();
      return true;
    case command::ChangeUser:
      emit changeUserRequested();
      return true;
    default:
      return false;
  }
}

void CtoraScanView::ShowBrowser(int showCommand) { emit browserRequested(showCommand); }

void CtoraScanView::ForwardDeleteKey() {
  m_forwardingKey = true;
  for (CImgDisp* p : m_panes) {
    if (p == nullptr) continue;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(p, &press);
  }
  m_forwardingKey = false;
}

void CtoraScanView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) ForwardDeleteKey();
  QWidget::keyPressEvent(event);
}

bool CtoraScanView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && !m_forwardingKey &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    // A pane with the focus gets its copy with the others, not a second one.
    ForwardDeleteKey();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}
