#include "app/LanguageTable.h"

#include <freexl.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <cmath>

#include "app/TextNumbers.h"
#include "ui/MessageSink.h"

namespace {

LanguageTable& globalTable() {
  static LanguageTable table;
  return table;
}

// _wtoi: the leading decimal number; out-of-range values saturate.
int leadingInt(const QString& text) {
  return static_cast<int>(std::clamp<long>(LeadingLong(text), INT_MIN, INT_MAX));
}

// A cell as the text the spreadsheet driver would hand over.
QString cellText(const FreeXL_CellValue& cell) {
  switch (cell.type) {
    case FREEXL_CELL_INT:
      return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
      return QString::number(cell.value.double_value, 'g', 15);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
      return cell.value.text_value ? QString::fromUtf8(cell.value.text_value) : QString();
    default:
      return QString();
  }
}

// Column 1 converted to an integer: numbers directly (fractions cut toward zero), text as _wtoi.
int cellId(const FreeXL_CellValue& cell) {
  switch (cell.type) {
    case FREEXL_CELL_INT:
      return cell.value.int_value;
    case FREEXL_CELL_DOUBLE: {
      const double d = std::trunc(cell.value.double_value);
      if (std::isnan(d)) return 0;
      if (d >= static_cast<double>(INT_MAX)) return INT_MAX;
      if (d <= static_cast<double>(INT_MIN)) return INT_MIN;
      return static_cast<int>(d);
    }
    default:
      return leadingInt(cellText(cell));
  }
}

void reportError(const QString& text) {
  ShowMessage(text, QStringLiteral("toraScan"), MB_OK | MB_ICONEXCLAMATION);
}

QString freexlErrorText(int code) {
  switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
      return QStringLiteral("out of memory");
    case FREEXL_ILLEGAL_CELL_ROW_COL:
      return QStringLiteral("the sheet has fewer than four columns");
    case FREEXL_BIFF_ILLEGAL_SST_INDEX:
      return QStringLiteral("a cell refers to a missing string");
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
      return QStringLiteral("a text cannot be converted");
    default:
      return QStringLiteral("error %1").arg(code);
  }
}

class Workbook {
 public:
  ~Workbook() {
    if (m_handle) freexl_close(m_handle);
  }
  bool open(const QString& path) {
    return freexl_open(QFile::encodeName(path).constData(), &m_handle) == FREEXL_OK && m_handle;
  }
  const void* handle() const { return m_handle; }

 private:
  const void* m_handle = nullptr;
};

}  // namespace

int ReadLanguageWorkbook(const QString& workbookPath, LanguageTable* table) {
  table->clear();
  if (!QFileInfo(workbookPath).isFile()) return 0;

  Workbook book;
  if (!book.open(workbookPath)) return 0;  // the "connection" failed: silently empty

  const QString sheetName = QString::fromLatin1(kLanguageSheet);
  unsigned int sheetCount = 0;
  if (freexl_get_info(book.handle(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) {
    sheetCount = 0;
  }
  int sheetIndex = -1;
  for (unsigned int i = 0; i < sheetCount; ++i) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(book.handle(), static_cast<unsigned short>(i), &name) !=
            FREEXL_OK ||
        !name) {
      continue;
    }
    if (QString::fromUtf8(name).compare(sheetName, Qt::CaseInsensitive) == 0) {
      sheetIndex = static_cast<int>(i);
      break;
    }
  }
  if (sheetIndex < 0 || freexl_select_active_worksheet(
                            book.handle(), static_cast<unsigned short>(sheetIndex)) != FREEXL_OK) {
    reportError(
        QStringLiteral("The sheet \"%1\" was not found in %2.").arg(sheetName, workbookPath));
    return 0;
  }

  unsigned int rows = 0;
  unsigned short columns = 0;
  if (freexl_worksheet_dimensions(book.handle(), &rows, &columns) != FREEXL_OK) {
    reportError(
        QStringLiteral("The sheet \"%1\" of %2 cannot be read.").arg(sheetName, workbookPath));
    return 0;
  }

  int stored = 0;
  // Row 0 holds the column names.
  for (unsigned int row = 1; row < rows; ++row) {
    FreeXL_CellValue idCell;
    FreeXL_CellValue textCell;
    int rc = freexl_get_cell_value(book.handle(), row, 0, &idCell);
    if (rc == FREEXL_OK) rc = freexl_get_cell_value(book.handle(), row, 3, &textCell);
    if (rc != FREEXL_OK) {
      reportError(QStringLiteral("Reading row %1 of the sheet \"%2\" in %3 failed: %4.")
                      .arg(row + 1)
                      .arg(sheetName, workbookPath, freexlErrorText(rc)));
      break;  // the rows read so far stay
    }
    if (idCell.type == FREEXL_CELL_NULL && textCell.type == FREEXL_CELL_NULL) continue;
    table->insert(QString::number(cellId(idCell)), cellText(textCell));
    ++stored;
  }
  return stored;
}

void LoadLanguageTable(const QString& programFolder) {
  QString folder = programFolder;
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  LanguageTable table;
  ReadLanguageWorkbook(folder + QLatin1String(kLanguageWorkbookFile), &table);
  globalTable() = table;
}

QString GetLabel(int id) {
  const LanguageTable& table = globalTable();
  QString result;
  if (!table.isEmpty()) result = table.value(QString::number(id));
  if (result.isEmpty()) result = BuiltinLabel(id);
  return result;
}

const LanguageTable& languageTable() { return globalTable(); }

void SetLanguageTable(const LanguageTable& table) { globalTable() = table; }

void ClearLanguageTable() { globalTable().clear(); }
