#include "browser/ListModel.h"

CMyListModel::CMyListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CMyListModel::SetHeadings(const QStringList& headings) {
  beginResetModel();
  m_headings = headings;
  endResetModel();
}

void CMyListModel::Clear() {
  m_more = nullptr;
  if (m_rows.empty()) return;
  beginResetModel();
  m_rows.clear();
  endResetModel();
}

void CMyListModel::AppendRows(std::vector<RowData> rows) {
  if (rows.empty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  m_rows.reserve(m_rows.size() + rows.size());
  for (RowData& row : rows) {
    m_rows.push_back(Row{std::move(row.cells), row.record, static_cast<int>(m_rows.size())});
  }
  endInsertRows();
}

int CMyListModel::AddRow(const QStringList& cells, int record) {
  AppendRows({RowData{cells, record}});
  return rowCount() - 1;
}

bool CMyListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && m_more != nullptr;
}

void CMyListModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  // Taken out while it runs: it appends rows, and a view may ask again from within.
  std::function<bool()> more = std::move(m_more);
  m_more = nullptr;
  if (more()) m_more = std::move(more);
}

void CMyListModel::FetchAll() {
  while (canFetchMore()) fetchMore();
}

int CMyListModel::record(int row) const {
  if (row < 0 || row >= rowCount()) return -1;
  return m_rows[static_cast<std::size_t>(row)].record;
}

QString CMyListModel::text(int row, int column) const {
  if (row < 0 || row >= rowCount()) return {};
  return m_rows[static_cast<std::size_t>(row)].cells.value(column);
}

void CMyListModel::HeadingClicked(int column) {
  m_sortDirection = column == m_sortColumn ? 1 - m_sortDirection : 1;
  m_sortColumn = column;
  FetchAll();
  if (m_rows.size() < 2) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  for (std::size_t i = 0; i < m_rows.size(); ++i) m_rows[i].origin = static_cast<int>(i);
  sortRows(0, rowCount() - 1);
  // Selections travel with their rows.
  std::vector<int> newRow(m_rows.size());
  for (std::size_t row = 0; row < m_rows.size(); ++row) {
    newRow[static_cast<std::size_t>(m_rows[row].origin)] = static_cast<int>(row);
  }
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  for (const QModelIndex& old : from) {
    to << index(newRow[static_cast<std::size_t>(old.row())], old.column());
  }
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString CMyListModel::cell(int row) const { return text(row, m_sortColumn); }

// Quicksort on the rows themselves (Hoare's partition, the first row as pivot): rows with equal
// texts do not keep their order.
void CMyListModel::sortRows(int lo, int hi) {
  while (lo < hi) {
    emit sortArrowChanged(m_sortColumn, m_sortDirection == 1);
    const int p = partition(lo, hi);
    sortRows(lo, p);
    lo = p + 1;
  }
}

int CMyListModel::partition(int lo, int hi) {
  const QString pivot = cell(lo);
  const bool ascending = m_sortDirection == 1;
  int i = lo - 1;
  int j = hi + 1;
  for (;;) {
    do {
      --j;
    } while (ascending ? QString::compare(cell(j), pivot) > 0 : QString::compare(cell(j), pivot) < 0);
    do {
      ++i;
    } while (ascending ? QString::compare(cell(i), pivot) < 0 : QString::compare(cell(i), pivot) > 0);
    if (i >= j) return j;
    std::swap(m_rows[static_cast<std::size_t>(i)], m_rows[static_cast<std::size_t>(j)]);
  }
}

int CMyListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CMyListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant CMyListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = m_rows[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return row.cells.value(index.column());
    case kRecordRole:
      return row.record;
    default:
      return {};
  }
}

QVariant CMyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return m_headings.value(section);
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}
