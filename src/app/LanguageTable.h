#pragma once

// The interface language table: label texts by numeric id, read at start-up from the
// workbook "toraScan.xls" (sheet "English": first row column names, column 1 the id, column 4
// the text) beside the executable, with the built-in string table as the fallback. The workbook
// is read with FreeXL in place of the Excel ODBC driver.

#include <QHash>
#include <QString>
#include <span>

// Key: the id in decimal ("%d"); value: the label text.
using LanguageTable = QHash<QString, QString>;

// The workbook's file name and the sheet read.
inline constexpr const char* kLanguageWorkbookFile = "toraScan.xls";
inline constexpr const char* kLanguageSheet = "English";

// Empties the process-wide table, then fills it from programFolder + "toraScan.xls". A missing
// or unopenable workbook leaves the table empty, silently. A missing sheet or an error while
// reading rows is reported through ShowMessage (caption "toraScan", warning icon) and keeps the
// rows read so far. Later rows replace earlier rows with the same id; a row whose id is not a
// number is stored under "0"; rows empty in both columns 1 and 4 are skipped.
void LoadLanguageTable(const QString& programFolder);

// The same for any workbook path, into any table (emptied first). Returns the number of rows
// stored.
int ReadLanguageWorkbook(const QString& workbookPath, LanguageTable* table);

// GetLabel: the table's text when the table has entries, else (and when that text is
// empty) the built-in text; empty when neither knows the id.
QString GetLabel(int id);

// The process-wide table (held for the application object).
const LanguageTable& languageTable();
void SetLanguageTable(const LanguageTable& table);
void ClearLanguageTable();

// The built-in string table (BuiltinLabels.cpp): every label whose English text the system
// description gives.
struct BuiltinLabelEntry {
  int id;
  const char* text;    // UTF-8
  const char* origin;  // where the text comes from (for the workbook and for readers)
};
std::span<const BuiltinLabelEntry> BuiltinLabels();
// The built-in text of an id; empty when there is none.
QString BuiltinLabel(int id);
