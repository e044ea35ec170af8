#pragma once

// A minimal writer of Excel 97-2003 workbooks (BIFF8 inside a compound file), for test fixtures
// and for regenerating resources/toraScan.xls. FreeXL only reads, and no writer is available
// offline, so this follows the public format descriptions ([MS-CFB], [MS-XLS]): one compound
// file with a single "Workbook" stream (padded to 4096 bytes so it lives in regular sectors),
// a globals substream (BOF, CODEPAGE 1200, BOUNDSHEET per sheet, SST, EOF) and one worksheet
// substream per sheet (BOF, DIMENSION, NUMBER / LABELSST cells, EOF). No formatting.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

struct XlsSheet {
  QString name;
  // Rows of cells: an int or double becomes a number cell, a string a text cell, an invalid
  // QVariant or an empty string an empty cell (FreeXL 1.0.6 rejects empty shared strings: its
  // open then reports success with a null handle).
  QList<QVariantList> rows;
};

QByteArray buildXlsWorkbook(const QList<XlsSheet>& sheets);
bool writeXlsWorkbook(const QString& path, const QList<XlsSheet>& sheets);
