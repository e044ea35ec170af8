#include "browser/widgets/DlgWndBrowser.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <algorithm>

#include "browser/StripOwner.h"
#include "browser/widgets/WndBrowserImg.h"
#include "ui/MessageSink.h"
#include "ui/widgets/SkinControls.h"

namespace {

const QString kCaption = QStringLiteral("Browser");

}  // namespace

CDlgWndBrowser::CDlgWndBrowser(QWidget* parent) : CBaseSkinDlg(parent) {
  // A dialog of the skinned family, but living inside the browser rather than on its own.
  setWindowFlags(Qt::Widget);
  ApplySkinElement(this, QStringLiteral("wndBrowser_bk"));
  m_scrollLeft = new CButtonSTEx2(QStringLiteral("<"), this);
  m_scrollLeft->setObjectName(QStringLiteral("button%1").arg(kScrollLeftId));
  ApplySkinElement(m_scrollLeft, QStringLiteral("winBrow_left"));
  m_scrollRight = new CButtonSTEx2(QStringLiteral(">"), this);
  m_scrollRight->setObjectName(QStringLiteral("button%1").arg(kScrollRightId));
  ApplySkinElement(m_scrollRight, QStringLiteral("winBrow_right"));
  for (CButtonSTEx2* button : {m_scrollLeft, m_scrollRight}) button->setFocusPolicy(Qt::NoFocus);
  connect(m_scrollLeft, &QPushButton::clicked, this, &CDlgWndBrowser::ScrollLeft);
  connect(m_scrollRight, &QPushButton::clicked, this, &CDlgWndBrowser::ScrollRight);
  m_cache.SetReadyHandler([this](const QString& path, const thumbnail::Result& result) {
    thumbnailReady(path, result);
  });
}

CDlgWndBrowser::~CDlgWndBrowser() = default;

void CDlgWndBrowser::InitStrip(const QRect& stripRect, const QRect& thumbnailRect,
                               CStripOwner* owner) {
  m_owner = owner;
  m_rowLayout = false;
  setGeometry(stripRect);
  m_thumbnailSize = thumbnailRect.height();
  placeScrollButtons();
  for (int slot = 0; slot < strip::kMaxWindows; ++slot) destroyWindow(slot);
  m_windowCount = strip::FirstRowCount(stripRect.width(), thumbnailRect.width());
  for (int slot = 0; slot < m_windowCount; ++slot) {
    createWindow(slot)->setGeometry(strip::RowWindowRect(
        slot, m_windowCount, stripRect.height(), thumbnailRect.width(), thumbnailRect.height()));
  }
  m_rowLayout = true;
  refresh();
}

void CDlgWndBrowser::LayoutRow(const QRect& stripRect) {
  m_rowLayout = false;  // the resize below is this layout's own
  setGeometry(stripRect);
  m_rowLayout = true;
  const int side = m_thumbnailSize;
  const int count = strip::RowCount(stripRect.width(), side);
  placeScrollButtons();
  // A wider strip gets the windows it now has room for, so the row always fills it.
  const int previousCount = m_windowCount;
  for (int slot = 0; slot < strip::kMaxWindows; ++slot) {
    if (slot >= count) {
      destroyWindow(slot);
      continue;
    }
    CWndBrowserImg* window = m_windows[std::size_t(slot)];
    if (window == nullptr) window = createWindow(slot);
    window->setGeometry(strip::RowWindowRect(slot, count, stripRect.height(), side, side));
  }
  m_windowCount = count;
  if (count != previousCount) refresh();
}

void CDlgWndBrowser::resizeEvent(QResizeEvent* event) {
  CBaseSkinDlg::resizeEvent(event);
  if (m_rowLayout) LayoutRow(geometry());
}

void CDlgWndBrowser::LayoutGrid(const QRect& stripRect, int columns, int rows) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  m_rowLayout = false;
  setGeometry(stripRect);
  const QList<QRect> cells = strip::GridWindowRects(stripRect.size(), columns, rows);
  const int count = static_cast<int>(cells.size());
  for (int slot = 0; slot < strip::kMaxWindows; ++slot) {
    if (slot >= count) {
      destroyWindow(slot);
      continue;
    }
    CWndBrowserImg* window = m_windows[std::size_t(slot)];
    if (window == nullptr) window = createWindow(slot);
    window->setGeometry(cells[slot]);
  }
  m_windowCount = count;
  m_firstIndex = 0;
  refresh();
  QGuiApplication::restoreOverrideCursor();
}

void CDlgWndBrowser::AddImages(const QList<CDImgInfo>& images) {
  for (const CDImgInfo& info : images) {
    auto element = std::make_unique<CBrwsrImgElement>(info);
    element->selected = 1;
    m_elements.push_back(std::move(element));
  }
  refresh();
}

void CDlgWndBrowser::ClearImages() {
  m_firstIndex = 0;
  m_elements.clear();
  refresh();
}

void CDlgWndBrowser::InvertSelection(bool refreshNow) {
  for (const auto& element : m_elements) element->selected = element->selected ? 0 : 1;
  if (refreshNow) refresh();
}

CDlgWndBrowser::Choice CDlgWndBrowser::CurrentChoice() const {
  Choice choice;
  for (const auto& element : m_elements) {
    choice.selected.insert(element->imageInfo.ImgSeq, element->selected);
  }
  choice.firstIndex = m_firstIndex;
  return choice;
}

void CDlgWndBrowser::RestoreChoice(const Choice& choice) {
  for (const auto& element : m_elements) {
    element->selected = choice.selected.value(element->imageInfo.ImgSeq, element->selected);
  }
  m_firstIndex = std::clamp(choice.firstIndex, 0, std::max(0, ElementCount() - 1));
  refresh();
}

void CDlgWndBrowser::ScrollLeft() {
  if (m_firstIndex <= 0) return;
  --m_firstIndex;
  refresh();
}

void CDlgWndBrowser::ScrollRight() {
  if (m_firstIndex + 1 >= ElementCount()) return;
  ++m_firstIndex;
  refresh();
}

CBrwsrImgElement* CDlgWndBrowser::Element(int index) const {
  if (index < 0 || index >= ElementCount()) return nullptr;
  return m_elements[std::size_t(index)].get();
}

QList<CBrwsrImgElement*> CDlgWndBrowser::SelectedElements() const {
  QList<CBrwsrImgElement*> selected;
  for (const auto& element : m_elements) {
    if (element->selected) selected.append(element.get());
  }
  return selected;
}

CWndBrowserImg* CDlgWndBrowser::Window(int slot) const {
  if (slot < 0 || slot >= strip::kMaxWindows) return nullptr;
  return m_windows[std::size_t(slot)];
}

void CDlgWndBrowser::DropOn(const CBrwsrImgElement& target, const QString& droppedPath) {
  if (m_owner == nullptr) return;
  if (m_owner->SelectedStudyCount() != 1) {
    ShowMessage(QStringLiteral("Please select one study."), kCaption, MB_ICONERROR);
    return;
  }
  const auto source = std::find_if(m_elements.cbegin(), m_elements.cend(), [&](const auto& e) {
    return e->imageInfo.FullPath == droppedPath;
  });
  if (source == m_elements.cend()) return;
  // Copied first: the owner refills the strip when it renumbers.
  const long fromSeries = (*source)->imageInfo.SerSeq;
  const long imageNo = (*source)->imageInfo.ImageNo;
  const long toSeries = target.imageInfo.SerSeq;
  const long beforeImageNo = target.imageInfo.ImageNo;
  if (fromSeries != toSeries) {
    m_owner->MoveImageToSeries(fromSeries, imageNo, toSeries, beforeImageNo);
  } else if (imageNo != beforeImageNo) {
    m_owner->MoveImageInSeries(fromSeries, imageNo, beforeImageNo);
  }
}

void CDlgWndBrowser::ContextMenuOn(const CBrwsrImgElement& element, const QPoint& globalPos) {
  if (m_owner != nullptr) m_owner->ImageMenu(element, globalPos);
}

void CDlgWndBrowser::placeScrollButtons() {
  m_scrollLeft->setGeometry(0, 0, strip::kButtonWidth, strip::kButtonHeight);
  m_scrollRight->setGeometry(width() - strip::kButtonWidth, 0, strip::kButtonWidth,
                             strip::kButtonHeight);
}

CWndBrowserImg* CDlgWndBrowser::createWindow(int slot) {
  auto* window = new CWndBrowserImg(this, kFirstWindowId + slot);
  m_windows[std::size_t(slot)] = window;
  window->show();
  return window;
}

void CDlgWndBrowser::destroyWindow(int slot) {
  delete m_windows[std::size_t(slot)];
  m_windows[std::size_t(slot)] = nullptr;
}

void CDlgWndBrowser::refresh() {
  m_loadedCount = 0;
  QStringList wanted;
  QStringList unreadable;
  for (int slot = 0; slot < m_windowCount; ++slot) {
    CWndBrowserImg* window = m_windows[std::size_t(slot)];
    if (window == nullptr) continue;
    CBrwsrImgElement* element = Element(m_firstIndex + slot);
    if (element == nullptr) {
      window->SetElement(nullptr);
      continue;
    }
    const QString& path = element->imageInfo.FullPath;
    const std::optional<thumbnail::Result> known = m_cache.Find(path);
    const thumbnail::Outcome outcome = known ? known->outcome : thumbnail::Outcome::Ready;
    if (outcome == thumbnail::Outcome::Missing || outcome == thumbnail::Outcome::Unreadable) {
      window->SetElement(nullptr);
      if (outcome == thumbnail::Outcome::Unreadable) unreadable.append(path);
      continue;
    }
    ++m_loadedCount;
    window->SetElement(element, known ? known->picture : QImage());
    if (!known) wanted.append(path);
  }
  m_cache.Request(wanted);
  for (const QString& path : unreadable) reportUnreadable(path);
}

void CDlgWndBrowser::thumbnailReady(const QString& path, const thumbnail::Result& result) {
  const bool failed = result.outcome == thumbnail::Outcome::Missing ||
                      result.outcome == thumbnail::Outcome::Unreadable;
  int failedWindows = 0;
  for (int slot = 0; slot < m_windowCount; ++slot) {
    CWndBrowserImg* window = m_windows[std::size_t(slot)];
    if (window == nullptr || window->Element() == nullptr ||
        window->Element()->imageInfo.FullPath != path) {
      continue;
    }
    if (failed) {
      window->SetElement(nullptr);
      --m_loadedCount;
      ++failedWindows;
    } else {
      window->SetPicture(result.picture);
    }
  }
  if (result.outcome == thumbnail::Outcome::Unreadable) {
    for (int i = 0; i < failedWindows; ++i) reportUnreadable(path);
  }
}

void CDlgWndBrowser::reportUnreadable(const QString& path) {
  m_unreadable.append(path);
  if (m_reporting) return;
  m_reporting = true;
  while (!m_unreadable.isEmpty()) {
    ShowMessage(QStringLiteral("%1 cannot be read.").arg(m_unreadable.takeFirst()), kCaption,
                MB_ICONWARNING);
  }
  m_reporting = false;
}
