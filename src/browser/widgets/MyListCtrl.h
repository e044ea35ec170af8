#pragma once

#include <QHeaderView>
#include <QSet>
#include <QTreeView>

class CMyListModel;

// The heading row of a browser list: the heading of the sorted column carries an arrow (up
// ascending, down descending); a heading sorted once keeps being drawn by the list, the others
// by the platform style.
class CSortHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CSortHeaderCtrl(QWidget* parent = nullptr);

  void SetSortArrow(int column, bool ascending);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int m_pressed = -1;  // the heading under a held button: its text moves down and right
  int m_sortColumn = -1;
  bool m_ascending = true;
  QSet<int> m_ownDrawn;
};

// A browser list: full-row selection of several rows, cells in fixed greys (columns alternate
// between two, rows do not), black text; a heading click sorts the rows in place.
class CMyListCtrl : public QTreeView {
  Q_OBJECT

 public:
  static constexpr QRgb kBackground = 0xE1E1E1;
  static constexpr QRgb kEvenColumn = 0xEDEDED;
  static constexpr QRgb kOddColumn = 0xE3E3E3;

  explicit CMyListCtrl(QWidget* parent = nullptr);

  // The list's rows (not owned; they keep its sort column and direction); set once.
  void setListModel(CMyListModel* model);

 private:
  CSortHeaderCtrl* m_heading = nullptr;
};
