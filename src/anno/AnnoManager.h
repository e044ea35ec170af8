#pragma once

#include <memory>

#include "anno/AnnoGeometry.h"
#include "anno/AnnoObject.h"

class CPaneWindow;
class QPainter;

// The annotations of one image and the mouse and key handling of the pane that shows it: a
// press creates an object, edits a vertex, moves the selection or starts a rubber band, and a
// short-lived drawer runs the rest of the drag.
class CAnnoObjectManager {
 public:
  CAnnoObjectManager();
  virtual ~CAnnoObjectManager();
  CAnnoObjectManager(const CAnnoObjectManager&) = delete;
  CAnnoObjectManager& operator=(const CAnnoObjectManager&) = delete;

  // The kind of object a press in empty space creates: CAnnoObject::kTypeLine or kTypeAngle;
  // anything else creates nothing.
  virtual void SetType(int type);
  int Type() const { return m_container.type; }

  // The pane that gets repaint and capture requests, and the whole mapping.
  virtual void SetGeometry(CPaneWindow* pane, const CAnnoDrawGeometry& geometry);
  // The pane's view before every paint. The orientation stays as the rotate, mirror and flip
  // commands left it.
  virtual void SetGeometry(CPaneWindow* pane, int originX, int originY, int width, int height,
                           float scale, double cmPerPixelX, double cmPerPixelY);
  // A rotate, mirror or flip of the shown image (CAnnoDrawGeometry::Operation).
  void ChangeOrientation(int operation);
  const CAnnoDrawGeometry& geometry() const { return m_geometry; }

  virtual void OnButtonDown(unsigned flags, int x, int y);
  virtual void OnMouseMove(unsigned flags, int x, int y);
  virtual void OnButtonUp(unsigned flags, int x, int y);

  virtual int CountSelected() const;
  // Selects (true) or deselects every valid object.
  virtual void SelectAll(bool select);
  // The topmost object whose HitTest gives `hitCode`, or null.
  virtual CAnnoObject* FindObject(int x, int y, int hitCode) const;
  // The code of the topmost object the pane point hits.
  virtual int HitTest(int x, int y) const;
  // The topmost object the pane point hits, or null.
  virtual CAnnoObject* ObjectAt(int x, int y) const;

  // The valid objects in order, then what the running interaction shows.
  virtual void Draw(QPainter& painter);
  // True when the pane's cursor is over a valid object.
  virtual bool IsOverObject(const CPaneWindow& window) const;
  // Delete, Ctrl+A and Ctrl+E (flags carry MK_CONTROL); non-zero when the pane must repaint.
  virtual int OnKey(int virtualKey, unsigned flags);

  const CAnnoObjectContainer& objects() const { return m_container; }
  CAnnoObjectContainer& objects() { return m_container; }
  // The drawer of the interaction in progress (an angle waiting for its next point), or null.
  CAnnoObjectDrawer* activeDrawer() const { return m_drawer.get(); }

 private:
  // Makes `drawer` the active one; an interaction it replaces is given up and its unfinished
  // object dropped.
  void SetActiveDrawer(std::unique_ptr<CAnnoObjectDrawer> drawer);
  // Deletes the active drawer, and its object when that never became valid.
  void DropActiveDrawer();
  void DeselectAll();
  void InvalidatePane() const;

  CPaneWindow* m_pane = nullptr;
  std::unique_ptr<CAnnoObjectDrawer> m_drawer;
  CAnnoDrawGeometry m_geometry;
  CAnnoObjectContainer m_container;
  CAnnoObjectSelector m_selector{m_container};
};
