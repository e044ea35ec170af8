#include "anno/AnnoManager.h"

#include <QPainter>

#include "anno/AnnoAngle.h"
#include "anno/AnnoLine.h"
#include "display/PaneWindow.h"

namespace {

constexpr int kKeyA = 0x41;
constexpr int kKeyE = 0x45;
// The lower-case codes some keyboards deliver for the same keys.
constexpr int kKeyLowerA = 0x61;
constexpr int kKeyLowerE = 0x65;

std::unique_ptr<CAnnoObject> NewObject(int type) {
  switch (type) {
    case CAnnoObject::kTypeLine:
      return std::make_unique<CAnnoLine>();
    case CAnnoObject::kTypeAngle:
      return std::make_unique<CAnnoAngle>();
    default:
      return nullptr;
  }
}

}  // namespace

CAnnoObjectManager::CAnnoObjectManager() = default;

CAnnoObjectManager::~CAnnoObjectManager() = default;

void CAnnoObjectManager::SetType(int type) { m_container.type = type; }

void CAnnoObjectManager::SetGeometry(CPaneWindow* pane, const CAnnoDrawGeometry& geometry) {
  m_pane = pane;
  m_geometry = geometry;
}

void CAnnoObjectManager::SetGeometry(CPaneWindow* pane, int originX, int originY, int width,
                                     int height, float scale, double cmPerPixelX,
                                     double cmPerPixelY) {
  m_pane = pane;
  m_geometry.SetOrigin(originX, originY);
  m_geometry.SetImageSize(width, height);
  m_geometry.SetScale(scale);
  m_geometry.SetCmPerPixel(cmPerPixelX, cmPerPixelY);
}

void CAnnoObjectManager::ChangeOrientation(int operation) {
  m_geometry.ChangeOrientation(operation);
}

void CAnnoObjectManager::OnButtonDown(unsigned flags, int x, int y) {
  const bool ctrl = (flags & MK_CONTROL) != 0;
  int& state = m_container.state;
  const int hit = HitTest(x, y);
  if (hit == CAnnoObject::kHitVertex || hit == CAnnoObject::kHitBody) {
    CAnnoObject* object = FindObject(x, y, hit);
    if (ctrl) {
      // Ctrl+click only adds to the selection.
      object->selected = true;
      InvalidatePane();
      return;
    }
    if (hit == CAnnoObject::kHitVertex) {
      DeselectAll();
      object->selected = true;
      std::unique_ptr<CAnnoObjectDrawer> drawer = object->CreateDrawer();
      if (!drawer) return;  // a kind of object that cannot be edited
      drawer->SetEditing();
      SetActiveDrawer(std::move(drawer));
      state = CAnnoObjectContainer::kStateEditing;
    } else {
      if (!object->selected) DeselectAll();
      object->selected = true;
      state = CAnnoObjectContainer::kStateMoving;
    }
  } else if (m_drawer) {
    // An angle waiting for its next point takes the press.
    state = CAnnoObjectContainer::kStateCreating;
  } else if (std::unique_ptr<CAnnoObject> created = NewObject(m_container.type)) {
    CAnnoObject* object = m_container.Append(std::move(created));
    SetActiveDrawer(object->CreateDrawer());
    state = CAnnoObjectContainer::kStateCreating;
  } else {
    state = CAnnoObjectContainer::kStateIdle;
  }

  if (state == CAnnoObjectContainer::kStateMoving) {
    for (int i = 0; i < m_container.Count(); ++i) {
      CAnnoObject* object = m_container.At(i);
      if (!object->selected) continue;
      object->BeginMove();
      if (CAnnoObjectDrawer* drawer = object->MoveDrawer()) {
        drawer->SetContext(m_pane, m_geometry);
        drawer->OnButtonDown(flags, x, y);
      }
    }
  } else if (m_drawer) {
    m_drawer->SetContext(m_pane, m_geometry);
    m_drawer->OnButtonDown(flags, x, y);
  } else {
    m_selector.SetContext(m_pane, m_geometry);
    m_selector.OnButtonDown(flags, x, y);
  }
}

void CAnnoObjectManager::OnMouseMove(unsigned flags, int x, int y) {
  if (m_container.state == CAnnoObjectContainer::kStateMoving) {
    for (int i = 0; i < m_container.Count(); ++i) {
      CAnnoObject* object = m_container.At(i);
      if (object->selected && object->MoveDrawer()) object->MoveDrawer()->OnMouseMove(flags, x, y);
    }
  } else if (m_drawer) {
    m_drawer->OnMouseMove(flags, x, y);
  } else if ((flags & MK_LBUTTON) != 0) {
    m_selector.OnMouseMove(flags, x, y);
  }
}

void CAnnoObjectManager::OnButtonUp(unsigned flags, int x, int y) {
  if (m_container.state == CAnnoObjectContainer::kStateMoving) {
    for (int i = 0; i < m_container.Count(); ++i) {
      CAnnoObject* object = m_container.At(i);
      if (!object->selected || !object->MoveDrawer()) continue;
      object->MoveDrawer()->OnButtonUp(flags, x, y);
      object->EndMove();
    }
    // The move is over: later mouse moves belong to a waiting drawer again.
    m_container.state = CAnnoObjectContainer::kStateIdle;
  } else if (m_drawer) {
    m_drawer->OnButtonUp(flags, x, y);
    if (!m_drawer->IsCreating()) DropActiveDrawer();
  } else if (m_selector.OnButtonUp(flags, x, y) != 0) {
    InvalidatePane();
  }
}

int CAnnoObjectManager::CountSelected() const {
  int count = 0;
  for (int i = 0; i < m_container.Count(); ++i) {
    if (m_container.At(i)->selected) ++count;
  }
  return count;
}

void CAnnoObjectManager::SelectAll(bool select) {
  for (int i = 0; i < m_container.Count(); ++i) {
    CAnnoObject* object = m_container.At(i);
    if (object->valid) object->selected = select;
  }
}

void CAnnoObjectManager::DeselectAll() {
  for (int i = 0; i < m_container.Count(); ++i) m_container.At(i)->selected = false;
}

CAnnoObject* CAnnoObjectManager::FindObject(int x, int y, int hitCode) const {
  for (int i = m_container.Count() - 1; i >= 0; --i) {
    CAnnoObject* object = m_container.At(i);
    if (object->HitTest(x, y, m_geometry) == hitCode) return object;
  }
  return nullptr;
}

int CAnnoObjectManager::HitTest(int x, int y) const {
  const CAnnoObject* object = ObjectAt(x, y);
  return object ? object->HitTest(x, y, m_geometry) : CAnnoObject::kHitNone;
}

CAnnoObject* CAnnoObjectManager::ObjectAt(int x, int y) const {
  for (int i = m_container.Count() - 1; i >= 0; --i) {
    CAnnoObject* object = m_container.At(i);
    if (object->HitTest(x, y, m_geometry) != CAnnoObject::kHitNone) return object;
  }
  return nullptr;
}

void CAnnoObjectManager::Draw(QPainter& painter) {
  for (int i = 0; i < m_container.Count(); ++i) {
    CAnnoObject* object = m_container.At(i);
    if (!object->valid) continue;
    object->style = m_container.style;
    object->Draw(painter, m_geometry);
  }
  if (m_drawer) {
    // A waiting angle follows a zoom, pan or turn made between its clicks.
    m_drawer->SetGeometry(m_geometry);
    m_drawer->DrawPreview(painter);
  }
  for (int i = 0; i < m_container.Count(); ++i) {
    if (CAnnoObjectDrawer* mover = m_container.At(i)->MoveDrawer()) mover->DrawPreview(painter);
  }
  m_selector.DrawPreview(painter);
}

bool CAnnoObjectManager::IsOverObject(const CPaneWindow& window) const {
  const QPoint cursor = window.cursorPos();
  return HitTest(cursor.x(), cursor.y()) != CAnnoObject::kHitNone;
}

int CAnnoObjectManager::OnKey(int virtualKey, unsigned flags) {
  const bool ctrl = (flags & MK_CONTROL) != 0;
  if (virtualKey == VK_DELETE) {
    bool deleted = false;
    for (int i = m_container.Count() - 1; i >= 0; --i) {
      CAnnoObject* object = m_container.At(i);
      if (!object->selected) continue;
      // An edit in progress must not outlive its object.
      if (m_drawer && m_drawer->Object() == object) m_drawer.reset();
      m_container.RemoveAt(i);
      deleted = true;
    }
    return deleted ? 1 : 0;
  }
  if (ctrl && (virtualKey == kKeyA || virtualKey == kKeyLowerA)) {
    SelectAll(true);
    return 1;
  }
  if (ctrl && (virtualKey == kKeyE || virtualKey == kKeyLowerE)) {
    SelectAll(false);
    return 1;
  }
  return 0;
}

void CAnnoObjectManager::SetActiveDrawer(std::unique_ptr<CAnnoObjectDrawer> drawer) {
  if (m_drawer) {
    // The mouse stays captured for the new drag, so the old one is dropped without finishing.
    DropActiveDrawer();
    InvalidatePane();
  }
  m_drawer = std::move(drawer);
}

void CAnnoObjectManager::DropActiveDrawer() {
  CAnnoObject* object = m_drawer ? m_drawer->Object() : nullptr;
  m_drawer.reset();
  // An object whose creation was given up would stay in the container, invisible and
  // unreachable, for the life of the image.
  if (object && !object->valid) m_container.RemoveAt(m_container.IndexOf(object));
}

void CAnnoObjectManager::InvalidatePane() const {
  if (m_pane) m_pane->invalidate();
}
