#include "browser/widgets/MyListCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "browser/ListModel.h"

namespace {

// The cell backgrounds: even columns lighter than odd ones.
class GreyCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->backgroundBrush =
        QColor(index.column() % 2 == 0 ? CMyListCtrl::kEvenColumn : CMyListCtrl::kOddColumn);
    option->palette.setColor(QPalette::Text, Qt::black);
  }
};

}  // namespace

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setStretchLastSection(false);
}

void CSortHeaderCtrl::SetSortArrow(int column, bool ascending) {
  m_sortColumn = column;
  m_ascending = ascending;
  m_ownDrawn.insert(column);
  viewport()->update();
}

void CSortHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!m_ownDrawn.contains(logicalIndex)) {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    return;
  }
  painter->save();
  painter->setClipRect(rect);
  painter->fillRect(rect, palette().button());
  const QString text = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString()
                               : QString();
  QRect textRect = rect;
  if (logicalIndex == m_pressed) textRect.adjust(1, 2, 1, 0);
  const int q = rect.height() / 4;
  const bool sorted = logicalIndex == m_sortColumn;
  if (sorted) textRect.setRight(textRect.right() - 3 * q);
  textRect.adjust(q, 0, -q, 0);
  if (textRect.left() < textRect.right()) {
    painter->setPen(palette().buttonText().color());
    const QString shown = fontMetrics().elidedText(text, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  }
  if (sorted) {
    // R and B: the right and bottom edges of the item, exclusive, as the arrow is laid out.
    const int left = rect.left();
    const int top = rect.top();
    const int r = left + rect.width();
    const int b = top + rect.height();
    const QPen light(palette().light().color());
    const QPen shadow(palette().dark().color());
    auto line = [&](const QPen& pen, QPoint from, std::initializer_list<QPoint> to) {
      painter->setPen(pen);
      for (const QPoint& point : to) {
        painter->drawLine(from, point);
        from = point;
      }
    };
    if (m_ascending) {
      line(light, {r - 2 * q, top + q}, {{r - q, b - q - 1}, {r - 3 * q - 2, b - q - 1}});
      line(shadow, {r - 3 * q - 1, b - q - 1}, {{r - 2 * q, top + q - 1}});
    } else {
      line(light, {r - q - 1, top + q}, {{r - 2 * q - 1, b - q}});
      line(shadow, {r - 2 * q - 2, b - q}, {{r - 3 * q - 1, top + q}, {r - q - 1, top + q}});
    }
  }
  painter->restore();
}

void CSortHeaderCtrl::mousePressEvent(QMouseEvent* event) {
  m_pressed = logicalIndexAt(event->position().toPoint());
  QHeaderView::mousePressEvent(event);
}

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
  m_pressed = -1;
  QHeaderView::mouseReleaseEvent(event);
  viewport()->update();
}

CMyListCtrl::CMyListCtrl(QWidget* parent) : QTreeView(parent) {
  m_heading = new CSortHeaderCtrl(this);
  setHeader(m_heading);
  // setHeader makes the sections unclickable again (the view's own sorting is off): the list
  // sorts by itself on a heading click.
  m_heading->setSectionsClickable(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new GreyCellDelegate(this));
  QPalette colours = palette();
  colours.setColor(QPalette::Base, QColor(kBackground));
  colours.setColor(QPalette::Text, Qt::black);
  setPalette(colours);
}

void CMyListCtrl::setListModel(CMyListModel* model) {
  setModel(model);
  connect(m_heading, &QHeaderView::sectionClicked, model, &CMyListModel::HeadingClicked);
  connect(model, &CMyListModel::sortArrowChanged, m_heading, &CSortHeaderCtrl::SetSortArrow);
}
