#include "XlsWriter.h"

#include <QFile>
#include <QHash>
#include <cstring>

namespace {

void put16(QByteArray& b, quint16 v) {
  b.append(char(v & 0xFF));
  b.append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& b, quint32 v) {
  put16(b, quint16(v & 0xFFFF));
  put16(b, quint16(v >> 16));
}
void putDouble(QByteArray& b, double d) {
  quint64 bits;
  std::memcpy(&bits, &d, sizeof bits);
  put32(b, quint32(bits & 0xFFFFFFFFu));
  put32(b, quint32(bits >> 32));
}
void putUtf16(QByteArray& b, const QString& s) {
  for (QChar c : s) put16(b, c.unicode());
}
void set32(QByteArray& b, qsizetype at, quint32 v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void record(QByteArray& stream, quint16 type, const QByteArray& body) {
  put16(stream, type);
  put16(stream, quint16(body.size()));
  stream.append(body);
}

QByteArray bof(quint16 kind) {
  QByteArray b;
  put16(b, 0x0600);  // BIFF8
  put16(b, kind);    // 0x0005 globals, 0x0010 worksheet
  put16(b, 0x0DBB);  // build
  put16(b, 0x07CC);  // year
  put32(b, 0);
  put32(b, 0x06);
  return b;
}

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kBoundSheet = 0x0085,
                  kSst = 0x00FC, kContinue = 0x003C, kDimension = 0x0200, kNumber = 0x0203,
                  kLabelSst = 0x00FD;

// The Workbook stream.
QByteArray buildStream(const QList<XlsSheet>& sheets) {
  // Shared strings.
  QList<QString> strings;
  QHash<QString, quint32> index;
  quint32 total = 0;
  for (const XlsSheet& sheet : sheets) {
    for (const QVariantList& row : sheet.rows) {
      for (const QVariant& cell : row) {
        if (cell.typeId() != QMetaType::QString || cell.toString().isEmpty()) continue;
        ++total;
        const QString s = cell.toString();
        if (!index.contains(s)) {
          index.insert(s, quint32(strings.size()));
          strings.append(s);
        }
      }
    }
  }

  QByteArray stream;
  record(stream, kBof, bof(0x0005));
  QByteArray cp;
  put16(cp, 1200);
  record(stream, kCodepage, cp);
  QList<qsizetype> sheetOffsetFields;
  for (const XlsSheet& sheet : sheets) {
    QByteArray b;
    put32(b, 0);        // patched below
    b.append(char(0));  // visible
    b.append(char(0));  // worksheet
    b.append(char(sheet.name.size()));
    b.append(char(1));  // 16-bit characters
    putUtf16(b, sheet.name);
    sheetOffsetFields.append(stream.size() + 4);
    record(stream, kBoundSheet, b);
  }
  // SST, continued at string boundaries when longer than 8224 bytes.
  {
    QByteArray body;
    put32(body, total);
    put32(body, quint32(strings.size()));
    quint16 type = kSst;
    for (const QString& s : strings) {
      QByteArray str;
      put16(str, quint16(s.size()));
      str.append(char(1));
      putUtf16(str, s);
      if (body.size() + str.size() > 8224) {
        record(stream, type, body);
        body.clear();
        type = kContinue;
      }
      body.append(str);
    }
    record(stream, type, body);
  }
  record(stream, kEof, QByteArray());

  for (int si = 0; si < sheets.size(); ++si) {
    const XlsSheet& sheet = sheets.at(si);
    set32(stream, sheetOffsetFields.at(si), quint32(stream.size()));
    record(stream, kBof, bof(0x0010));
    quint16 columns = 0;
    for (const QVariantList& row : sheet.rows) columns = qMax(columns, quint16(row.size()));
    QByteArray dim;
    put32(dim, 0);
    put32(dim, quint32(sheet.rows.size()));
    put16(dim, 0);
    put16(dim, columns);
    put16(dim, 0);
    record(stream, kDimension, dim);
    for (int r = 0; r < sheet.rows.size(); ++r) {
      const QVariantList& row = sheet.rows.at(r);
      for (int c = 0; c < row.size(); ++c) {
        const QVariant& cell = row.at(c);
        QByteArray b;
        put16(b, quint16(r));
        put16(b, quint16(c));
        put16(b, 0);  // XF
        if (cell.typeId() == QMetaType::QString) {
          if (cell.toString().isEmpty()) continue;
          put32(b, index.value(cell.toString()));
          record(stream, kLabelSst, b);
        } else if (cell.isValid()) {
          putDouble(b, cell.toDouble());
          record(stream, kNumber, b);
        }
      }
    }
    record(stream, kEof, QByteArray());
  }
  // Keep the stream out of the mini stream (streams below 4096 bytes live there).
  if (stream.size() < 4096) stream.append(QByteArray(4096 - stream.size(), '\0'));
  return stream;
}

constexpr quint32 kFreeSect = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD,
                  kNoStream = 0xFFFFFFFF;

QByteArray dirEntry(const QString& name, quint8 type, quint32 child, quint32 start, quint32 size) {
  QByteArray e;
  if (type != 0) {
    putUtf16(e, name);
    put16(e, 0);
  }
  e.append(QByteArray(64 - e.size(), '\0'));
  put16(e, type != 0 ? quint16((name.size() + 1) * 2) : 0);
  e.append(char(type));
  e.append(char(type != 0 ? 1 : 0));  // black
  put32(e, kNoStream);                // left
  put32(e, kNoStream);                // right
  put32(e, child);
  e.append(QByteArray(16, '\0'));  // CLSID
  put32(e, 0);                     // state
  e.append(QByteArray(16, '\0'));  // times
  put32(e, start);
  put32(e, size);
  put32(e, 0);
  return e;
}

}  // namespace

QByteArray buildXlsWorkbook(const QList<XlsSheet>& sheets) {
  QByteArray stream = buildStream(sheets);
  const quint32 streamSize = quint32(stream.size());
  const quint32 streamSectors = quint32((stream.size() + 511) / 512);
  stream.append(QByteArray(qsizetype(streamSectors) * 512 - stream.size(), '\0'));
  // Sectors: stream, then one directory sector, then the FAT sectors.
  quint32 fatSectors = 1;
  while ((streamSectors + 1 + fatSectors) > fatSectors * 128) ++fatSectors;
  if (fatSectors > 109) return QByteArray();  // would need DIFAT sectors; fixtures are small
  const quint32 dirSector = streamSectors;

  QByteArray header;
  header.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  header.append(QByteArray(16, '\0'));
  put16(header, 0x003E);
  put16(header, 0x0003);
  put16(header, 0xFFFE);
  put16(header, 9);  // 512-byte sectors
  put16(header, 6);  // 64-byte mini sectors
  header.append(QByteArray(6, '\0'));
  put32(header, 0);  // directory sectors (version 3: 0)
  put32(header, fatSectors);
  put32(header, dirSector);
  put32(header, 0);     // transaction
  put32(header, 4096);  // mini stream cutoff
  put32(header, kEndOfChain);
  put32(header, 0);
  put32(header, kEndOfChain);
  put32(header, 0);
  for (quint32 i = 0; i < 109; ++i) put32(header, i < fatSectors ? dirSector + 1 + i : kFreeSect);

  QByteArray directory;
  directory.append(dirEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0));
  directory.append(dirEntry(QStringLiteral("Workbook"), 2, kNoStream, 0, streamSize));
  directory.append(dirEntry(QString(), 0, kNoStream, 0, 0));
  directory.append(dirEntry(QString(), 0, kNoStream, 0, 0));

  QByteArray fat;
  for (quint32 i = 0; i < streamSectors; ++i)
    put32(fat, i + 1 < streamSectors ? i + 1 : kEndOfChain);
  put32(fat, kEndOfChain);  // directory
  for (quint32 i = 0; i < fatSectors; ++i) put32(fat, kFatSect);
  while (fat.size() < qsizetype(fatSectors) * 512) put32(fat, kFreeSect);

  return header + stream + directory + fat;
}

bool writeXlsWorkbook(const QString& path, const QList<XlsSheet>& sheets) {
  const QByteArray data = buildXlsWorkbook(sheets);
  if (data.isEmpty()) return false;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(data) == data.size();
}
