#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

// The rows of one of the browser's lists: cell texts and, per row, the index of the value
// record it shows. Clicking a heading sorts the rows in place by the text of that column,
// compared code unit by code unit ("10" before "9"); a second click on the same heading turns
// the order round. The column and direction stay for the list's life and the patient search
// reads them; refilling the list does not sort it again. A sort first reads the rows a search
// still has pending, so that it orders the whole list.
class CMyListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kRecordRole = Qt::UserRole + 1;

  explicit CMyListModel(QObject* parent = nullptr);

  void SetHeadings(const QStringList& headings);
  void Clear();
  struct RowData {
    QStringList cells;
    int record = -1;  // index of the row's value record in the owner's items
  };
  // Appends rows with one notification for all of them (a search lists 100,000 patients).
  void AppendRows(std::vector<RowData> rows);
  // Appends one row; returns its index.
  int AddRow(const QStringList& cells, int record);
  // Rows still to come from an open search: fetchMore (asked by a view scrolling near the end,
  // or by the owner while idle) calls more, which appends a page and returns whether rows are
  // still pending. Clear drops it.
  void SetPendingRows(std::function<bool()> more) { m_more = std::move(more); }
  // Reads every pending row.
  void FetchAll();
  int record(int row) const;
  QString text(int row, int column) const;

  // -1 before the first heading click.
  int GetSortColumn() const { return m_sortColumn; }
  // 1 ascending, 0 descending; 0 before the first heading click.
  int GetSortDirection() const { return m_sortDirection; }
  // The heading click: toggles the direction on the same column, else ascending; sorts.
  void HeadingClicked(int column);

  bool canFetchMore(const QModelIndex& parent = QModelIndex()) const override;
  void fetchMore(const QModelIndex& parent = QModelIndex()) override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // The heading whose arrow shows the order, emitted while two or more rows are sorted.
  void sortArrowChanged(int column, bool ascending);

 private:
  struct Row {
    QStringList cells;
    int record = -1;
    int origin = 0;  // position before the sort, to carry selections along
  };
  void sortRows(int lo, int hi);
  int partition(int lo, int hi);
  QString cell(int row) const;

  QStringList m_headings;
  std::vector<Row> m_rows;
  std::function<bool()> m_more;
  int m_sortColumn = -1;
  int m_sortDirection = 0;
};
