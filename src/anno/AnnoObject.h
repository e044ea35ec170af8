#pragma once

#include <QPoint>
#include <memory>
#include <utility>
#include <vector>

#include "anno/AnnoGeometry.h"

class CAnnoObjectDrawer;
class CPaneWindow;
class QPainter;

// One annotation on an image. Its points are stored in pixels of the image as loaded; every
// test and every draw maps them through the geometry handed in, so they follow zoom, pan and
// the orientation commands.
class CAnnoObject {
 public:
  enum Type : int { kTypeNone = 0, kTypeLine = 1, kTypeAngle = 2 };
  enum Hit : int { kHitNone = 0, kHitBody = 1, kHitVertex = 2 };

  explicit CAnnoObject(int type = kTypeNone);
  virtual ~CAnnoObject();
  CAnnoObject(const CAnnoObject&) = delete;
  CAnnoObject& operator=(const CAnnoObject&) = delete;

  int Type() const { return m_type; }

  bool selected = false;
  // False while the object is still being built: it is then neither drawn nor hit.
  bool valid = false;
  // Copied from the container before each draw.
  int style = 0;

  // True when every vertex, mapped to the pane, lies in [left, right) x [top, bottom).
  virtual bool IsInside(int left, int top, int right, int bottom,
                        const CAnnoDrawGeometry& geometry) const;
  // kHitVertex, kHitBody or kHitNone for a pane point.
  virtual int HitTest(int x, int y, const CAnnoDrawGeometry& geometry) const;
  // Draws the object through a temporary drawer of its class.
  virtual void Draw(QPainter& painter, const CAnnoDrawGeometry& geometry);
  // The object's own drawer follows the drag while the selection is moved.
  virtual void BeginMove();
  virtual void EndMove();
  // Index of the vertex under the pane point, or -1.
  virtual int HitVertex(int x, int y, const CAnnoDrawGeometry& geometry) const;

  // A new drawer of the object's class working on this object; null for a plain object.
  virtual std::unique_ptr<CAnnoObjectDrawer> CreateDrawer();
  // The drawer made by BeginMove, null otherwise.
  CAnnoObjectDrawer* MoveDrawer() const { return m_moveDrawer.get(); }

  // The vertices in image pixels and the segments between them (pairs of vertex indexes).
  virtual int VertexCount() const { return 0; }
  virtual CFloatPoint Vertex(int index) const;
  virtual void SetVertex(int index, const CFloatPoint& point);
  virtual std::vector<std::pair<int, int>> Segments() const { return {}; }

 private:
  int m_type;
  std::unique_ptr<CAnnoObjectDrawer> m_moveDrawer;
};

// The objects of one manager, in drawing order (later ones on top), with the manager's current
// type code, interaction state and style.
class CAnnoObjectContainer {
 public:
  // Interaction states; kStateMoving routes the drag to the selected objects' own drawers.
  enum State : int { kStateIdle = 0, kStateCreating = 1, kStateMoving = 2, kStateEditing = 3 };

  int Count() const { return static_cast<int>(m_objects.size()); }
  // Null for an index out of range.
  CAnnoObject* At(int index) const;
  int IndexOf(const CAnnoObject* object) const;
  CAnnoObject* Append(std::unique_ptr<CAnnoObject> object);
  void RemoveAt(int index);
  void Clear() { m_objects.clear(); }

  // The kind of object a press in empty space creates.
  int type = CAnnoObject::kTypeNone;
  int state = kStateIdle;
  int style = 0;

 private:
  std::vector<std::unique_ptr<CAnnoObject>> m_objects;
};

// Runs one interaction (create, move, edit a vertex, rubber band) and draws what it shows.
// Nothing is drawn during the mouse events: they change the drawer's state and ask the pane
// for a repaint, and the pane's paint calls DrawPreview.
class CAnnoObjectDrawer {
 public:
  enum State : int { kIdle = 0, kCreating = 1, kMoving = 2, kEditing = 3 };

  CAnnoObjectDrawer() = default;
  virtual ~CAnnoObjectDrawer() = default;
  CAnnoObjectDrawer(const CAnnoObjectDrawer&) = delete;
  CAnnoObjectDrawer& operator=(const CAnnoObjectDrawer&) = delete;

  void DrawSelf(QPainter& painter);
  // The finished object.
  virtual void DrawObject(QPainter& painter, CAnnoObject& object);
  // What the running interaction shows on top of the finished objects.
  virtual void DrawPreview(QPainter& painter);
  // Ends the interaction: repaint, release the mouse, idle.
  virtual void Finish();

  int State() const { return m_state; }
  bool IsCreating() const { return m_state == kCreating; }
  bool IsMoving() const { return m_state == kMoving; }
  bool IsEditing() const { return m_state == kEditing; }
  void SetCreating() { m_state = kCreating; }
  void SetMoving() { m_state = kMoving; }
  void SetEditing() { m_state = kEditing; }
  void SetIdle() { m_state = kIdle; }

  // The base press sets start and current point, the base move the current point.
  virtual void OnButtonDown(unsigned flags, int x, int y);
  virtual void OnMouseMove(unsigned flags, int x, int y);
  // Non-zero when the release changed the selection.
  virtual int OnButtonUp(unsigned flags, int x, int y);
  // Finishes when there is an object.
  void Cancel();

  void SetStart(int x, int y);
  void SetGeometry(const CAnnoDrawGeometry& geometry) { m_geometry = geometry; }
  void SetContext(CPaneWindow* pane, const CAnnoDrawGeometry& geometry);
  void SetObject(CAnnoObject* object) { m_object = object; }
  bool HasObject() const { return m_object != nullptr; }
  CAnnoObject* Object() const { return m_object; }

  QPoint Start() const { return m_start; }
  QPoint Current() const { return m_current; }
  const CAnnoDrawGeometry& Geometry() const { return m_geometry; }

 protected:
  void InvalidatePane() const;
  void CaptureMouse() const;
  void ReleaseMouse() const;

  QPoint m_start;
  QPoint m_current;
  int m_state = kIdle;
  CAnnoDrawGeometry m_geometry;
  CAnnoObject* m_object = nullptr;  // not owned
  CPaneWindow* m_pane = nullptr;    // not owned
};

// The rubber band of the selection: every valid object wholly inside it becomes selected and
// every other one deselected.
class CAnnoObjectSelector : public CAnnoObjectDrawer {
 public:
  explicit CAnnoObjectSelector(CAnnoObjectContainer& container) : m_container(container) {}

  void OnButtonDown(unsigned flags, int x, int y) override;
  void OnMouseMove(unsigned flags, int x, int y) override;
  int OnButtonUp(unsigned flags, int x, int y) override;
  // The band from the press to the mouse, once the mouse has moved.
  void DrawPreview(QPainter& painter) override;

  bool IsBanding() const { return m_banding; }

 private:
  CAnnoObjectContainer& m_container;
  bool m_banding = false;
  bool m_shown = false;
};

// What the line and angle drawers share: vertex editing, moving, the selection handles and the
// rubber shape of the drag.
class CAnnoMeasureDrawer : public CAnnoObjectDrawer {
 public:
  void OnButtonDown(unsigned flags, int x, int y) override;
  void OnMouseMove(unsigned flags, int x, int y) override;
  int OnButtonUp(unsigned flags, int x, int y) override;
  void Finish() override;
  void DrawPreview(QPainter& painter) override;

  // The two-tone squares around every vertex of a selected object.
  void DrawHandles(QPainter& painter, const CAnnoObject& object) const;

  // The vertex the drag moves on its own (edited or being placed), -1 for none.
  int DraggedVertex() const { return m_vertex; }

 protected:
  struct PreviewPoint {
    QPoint pane;
    CFloatPoint image;
  };
  // The shape as the drag has it now: moved as a whole, or with the dragged vertex at the
  // mouse; while creating, only the vertices placed so far and the one following the mouse.
  std::vector<PreviewPoint> PreviewVertices() const;

  // The press and release of the creating clicks.
  virtual void CreatePress(int x, int y) = 0;
  virtual void CreateRelease(int x, int y) = 0;
  // The rubber shape and value box for the preview vertices.
  virtual void DrawRubber(QPainter& painter, const std::vector<PreviewPoint>& points) = 0;

  int m_vertex = -1;

 private:
  bool m_previewShown = false;
};
