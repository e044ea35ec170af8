#pragma once

// CDlgWndBrowser: the thumbnail strip inside the study browser. It lists the images the browser
// hands it as elements and shows a window of them: one row between two scroll buttons, or a
// grid when the browser expands it. The operator selects images with a click and drags one
// thumbnail onto another to renumber images, which the strip asks of its owner.
//
// Thumbnails are made off the user-interface thread and kept (ThumbnailCache): a window shows
// black until its picture is ready, then repaints alone.

#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

#include "browser/BrwsrImgElement.h"
#include "browser/StripGeometry.h"
#include "browser/ThumbnailCache.h"
#include "ui/widgets/BaseSkinDlg.h"

class CButtonSTEx2;
class CStripOwner;
class CWndBrowserImg;

class CDlgWndBrowser : public CBaseSkinDlg {
  Q_OBJECT

 public:
  static constexpr int kScrollLeftId = 32110;
  static constexpr int kScrollRightId = 32111;
  static constexpr int kFirstWindowId = 65000;
  static constexpr int kInitialThumbnailSize = 90;

  // A child window of parent (the browser).
  explicit CDlgWndBrowser(QWidget* parent);
  ~CDlgWndBrowser() override;

  // ---- called by the browser
  // First layout: the strip takes stripRect (in its parent), the scroll buttons go to its ends
  // and one row of thumbnails of thumbnailRect's size between them. owner (not owned; may be
  // null) is asked to renumber on a drop.
  void InitStrip(const QRect& stripRect, const QRect& thumbnailRect, CStripOwner* owner);
  // The row again after the browser was resized: as many windows as the new width holds. A
  // resize of the strip in the row layout does the same by itself.
  void LayoutRow(const QRect& stripRect);
  // columns × rows windows filling stripRect (the browser's expanded mode), from the first
  // element.
  void LayoutGrid(const QRect& stripRect, int columns, int rows);
  // Appends one selected element per record.
  void AddImages(const QList<CDImgInfo>& images);
  void ClearImages();
  // Flips the selection of every element.
  void InvertSelection(bool refresh);
  // The operator's choice in the strip: which images (by ImgSeq) are selected and the first one
  // shown. Given back after the strip was filled again, it holds for the images still listed;
  // new images keep the selection they were added with.
  struct Choice {
    QHash<long, int> selected;
    int firstIndex = 0;
  };
  Choice CurrentChoice() const;
  void RestoreChoice(const Choice& choice);
  // One image back or on; the first shown element stays within the list.
  void ScrollLeft();
  void ScrollRight();

  int ElementCount() const { return static_cast<int>(m_elements.size()); }
  // Null past the end.
  CBrwsrImgElement* Element(int index) const;
  // The selected elements in strip order.
  QList<CBrwsrImgElement*> SelectedElements() const;
  // Windows that received an element at the last refresh, less those whose file then proved
  // missing or unreadable.
  int LoadedCount() const { return m_loadedCount; }
  int FirstIndex() const { return m_firstIndex; }
  int WindowCount() const { return m_windowCount; }
  // Thumbnail window of a slot (0 to 35); null when the slot is empty.
  CWndBrowserImg* Window(int slot) const;
  int ThumbnailSize() const { return m_thumbnailSize; }
  CButtonSTEx2* ScrollLeftButton() const { return m_scrollLeft; }
  CButtonSTEx2* ScrollRightButton() const { return m_scrollRight; }

  // ---- called by the thumbnail windows
  // True while the operator drags a thumbnail of this strip.
  bool DragInProgress() const { return m_dragInProgress; }
  void SetDragInProgress(bool dragging) { m_dragInProgress = dragging; }
  // The image at droppedPath was dropped on target: the owner renumbers (one study selected).
  void DropOn(const CBrwsrImgElement& target, const QString& droppedPath);
  // A right click on element's thumbnail: the owner offers its commands.
  void ContextMenuOn(const CBrwsrImgElement& element, const QPoint& globalPos);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void placeScrollButtons();
  CWndBrowserImg* createWindow(int slot);
  void destroyWindow(int slot);
  // Gives each window its element from the first index on, with the picture when it is ready,
  // and asks for the pictures that are not.
  void refresh();
  void thumbnailReady(const QString& path, const thumbnail::Result& result);
  // Tells the operator, one message after the other even when more results arrive while one is
  // shown.
  void reportUnreadable(const QString& path);

  CStripOwner* m_owner = nullptr;
  std::vector<std::unique_ptr<CBrwsrImgElement>> m_elements;
  int m_firstIndex = 0;
  int m_windowCount = 0;
  std::array<CWndBrowserImg*, strip::kMaxWindows> m_windows{};
  int m_loadedCount = 0;
  int m_thumbnailSize = kInitialThumbnailSize;
  bool m_dragInProgress = false;
  bool m_rowLayout = false;  // false in the grid, whose size the browser sets
  CButtonSTEx2* m_scrollLeft = nullptr;
  CButtonSTEx2* m_scrollRight = nullptr;
  QStringList m_unreadable;
  bool m_reporting = false;
  CThumbnailCache m_cache;
};
