#include "app/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <memory>
#include <vector>

namespace {

// One physical line of the file: its text without the line break, and the break that followed
// it ("\n", "\r\n" or nothing for a last line without one).
struct Line {
  QString text;
  QString eol;
};

struct Document {
  bool bom = false;
  QList<Line> lines;
};

Document loadDocument(const QString& path) {
  Document doc;
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return doc;
  QByteArray data = file.readAll();
  if (data.startsWith("\xEF\xBB\xBF")) {
    doc.bom = true;
    data.remove(0, 3);
  }
  const QString text = QString::fromUtf8(data);
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype nl = text.indexOf(QLatin1Char('\n'), start);
    Line line;
    if (nl < 0) {
      line.text = text.mid(start);
      start = text.size();
    } else {
      line.text = text.mid(start, nl - start);
      line.eol = QStringLiteral("\n");
      start = nl + 1;
    }
    if (line.text.endsWith(QLatin1Char('\r'))) {
      line.text.chop(1);
      line.eol.prepend(QLatin1Char('\r'));
    }
    doc.lines.append(line);
  }
  return doc;
}

// The section name of a line "[name]" (blanks allowed around and inside the brackets), or a
// null string when the line is not a section header.
QString sectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith(QLatin1Char('['))) return QString();
  const qsizetype close = t.indexOf(QLatin1Char(']'));
  if (close < 0) return QString();
  QString name = t.mid(1, close - 1).trimmed();
  if (name.isNull()) name = QStringLiteral("");
  return name;
}

bool isComment(const QString& line) {
  const QString t = line.trimmed();
  return t.startsWith(QLatin1Char(';'));
}

// Splits an entry line "key = value" into trimmed key and trimmed raw value. A line without '='
// is an entry with that key and no value. Returns false for blank and comment lines.
bool splitEntry(const QString& line, QString* key, QString* value) {
  if (line.trimmed().isEmpty() || isComment(line)) return false;
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  if (eq < 0) {
    *key = line.trimmed();
    *value = QString();
  } else {
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1).trimmed();
  }
  return true;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Finds the value of (section, key); returns false when absent.
bool findValue(const Document& doc, const QString& section, const QString& key, QString* value) {
  const QString wantSection = section.trimmed();
  const QString wantKey = key.trimmed();
  bool inSection = false;
  for (const Line& line : doc.lines) {
    const QString name = sectionName(line.text);
    if (!name.isNull()) {
      inSection = sameName(name, wantSection);
      continue;
    }
    if (!inSection) continue;
    QString k, v;
    if (splitEntry(line.text, &k, &v) && sameName(k, wantKey)) {
      *value = v;
      return true;
    }
  }
  return false;
}

// Removes quotes that enclose the whole value, as the system does on read.
QString stripQuotes(const QString& value) {
  if (value.size() >= 2) {
    const QChar first = value.front();
    if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first) {
      return value.mid(1, value.size() - 2);
    }
  }
  return value;
}

QString cutToReadLength(QString text) {
  if (text.size() > CIniFile::kMaxReadLength) {
    text.truncate(CIniFile::kMaxReadLength);
    // Never leave half of a surrogate pair at the end.
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
  }
  return text;
}

QString trimTrailingBlanks(const QString& text) {
  qsizetype end = text.size();
  while (end > 0 && text.at(end - 1).isSpace()) --end;
  return text.left(end);
}

bool holdsLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

}  // namespace

QString CIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
  const Document doc = loadDocument(m_path);
  QString value;
  if (!findValue(doc, section, key, &value))
    return cutToReadLength(trimTrailingBlanks(defaultValue));
  return cutToReadLength(stripQuotes(value));
}

int CIniFile::LeadingInt(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text.at(i).isSpace()) ++i;
  bool negative = false;
  if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
    negative = text.at(i) == QLatin1Char('-');
    ++i;
  }
  unsigned base = 10;
  if (i + 1 < n && text.at(i) == QLatin1Char('0')) {
    const QChar p = text.at(i + 1).toLower();
    if (p == QLatin1Char('x'))
      base = 16;
    else if (p == QLatin1Char('o'))
      base = 8;
    else if (p == QLatin1Char('b'))
      base = 2;
    if (base != 10) i += 2;
  }
  quint32 result = 0;  // wraps like the system's 32-bit conversion
  for (; i < n; ++i) {
    const char16_t c = text.at(i).unicode();
    unsigned digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      break;
    if (digit >= base) break;
    result = result * base + digit;
  }
  if (negative) result = 0u - result;
  return static_cast<int>(result);
}

int CIniFile::ReadInt(const QString& section, const QString& key, int defaultValue) const {
  const Document doc = loadDocument(m_path);
  QString value;
  if (!findValue(doc, section, key, &value)) return defaultValue;
  value = cutToReadLength(stripQuotes(value));
  if (value.isEmpty()) return defaultValue;
  return LeadingInt(value);
}

namespace {

// Sets one key in the document (see WriteString); false when the names or the value would
// corrupt the file.
bool setValue(Document& doc, const QString& section, const QString& key, const QString& value) {
  const QString wantSection = section.trimmed();
  const QString wantKey = key.trimmed();
  if (wantKey.isEmpty() || wantSection.isEmpty()) return false;
  if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value)) return false;
  if (wantKey.contains(QLatin1Char('=')) || wantSection.contains(QLatin1Char(']'))) return false;

  // The line break of the file (CR LF when its first line uses it), for lines we add.
  QString eol = QStringLiteral("\n");
  for (const Line& line : doc.lines) {
    if (!line.eol.isEmpty()) {
      eol = line.eol;
      break;
    }
  }
  const QString entry = wantKey + QLatin1Char('=') + value;

  qsizetype sectionLine = -1;    // header of the first matching section
  qsizetype lastEntryLine = -1;  // last entry of that section (its header when it has none);
                                 // comments and blank lines after it stay after it
  qsizetype keyLine = -1;
  bool inSection = false;
  for (qsizetype i = 0; i < doc.lines.size(); ++i) {
    const QString& text = doc.lines.at(i).text;
    const QString name = sectionName(text);
    if (!name.isNull()) {
      if (sectionLine >= 0 && inSection) break;  // the first matching section has ended
      inSection = sameName(name, wantSection);
      if (inSection) {
        sectionLine = i;
        lastEntryLine = i;
      }
      continue;
    }
    if (!inSection) continue;
    QString k, v;
    if (splitEntry(text, &k, &v)) {
      lastEntryLine = i;
      if (sameName(k, wantKey)) {
        keyLine = i;
        break;
      }
    }
  }

  auto ensureBreakAfter = [&](qsizetype index) {
    if (index >= 0 && doc.lines[index].eol.isEmpty()) doc.lines[index].eol = eol;
  };

  if (keyLine >= 0) {
    // Keep the key as it is spelled in the file.
    QString k, v;
    splitEntry(doc.lines.at(keyLine).text, &k, &v);
    doc.lines[keyLine].text = k + QLatin1Char('=') + value;
  } else if (sectionLine >= 0) {
    ensureBreakAfter(lastEntryLine);
    doc.lines.insert(lastEntryLine + 1, Line{entry, eol});
  } else {
    ensureBreakAfter(doc.lines.size() - 1);
    doc.lines.append(Line{QLatin1Char('[') + wantSection + QLatin1Char(']'), eol});
    doc.lines.append(Line{entry, eol});
  }
  return true;
}

}  // namespace

bool CIniFile::WriteString(const QString& section, const QString& key, const QString& value) const {
  return WriteStrings({{section, key, value}});
}

bool CIniFile::WriteStrings(const QList<Entry>& entries) const {
  return WriteTogether({{m_path, entries}});
}

namespace {

// One file of WriteTogether: its text before and after.
struct PendingFile {
  QString path;
  bool existed = false;
  QByteArray before;
  QByteArray after;
};

QByteArray documentBytes(const Document& doc) {
  QByteArray out;
  if (doc.bom) out.append("\xEF\xBB\xBF");
  for (const Line& line : doc.lines) out.append((line.text + line.eol).toUtf8());
  return out;
}

// Opens a temporary file beside the path and writes the text into it; committing replaces the
// file.
bool stage(QSaveFile& file, const QByteArray& text) {
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(text) == text.size() && file.flush()) return true;
  file.cancelWriting();
  return false;
}

// Puts a replaced file back as it was (or removes it when there was none).
void restore(const PendingFile& pending) {
  if (!pending.existed) {
    QFile::remove(pending.path);
    return;
  }
  QSaveFile file(pending.path);
  if (stage(file, pending.before)) file.commit();
}

}  // namespace

bool CIniFile::WriteTogether(const QList<FileEntries>& files, QString* failedPath) {
  const auto fail = [failedPath](const QString& path) {
    if (failedPath != nullptr) *failedPath = path;
    return false;
  };
  std::vector<PendingFile> pending;
  for (const FileEntries& target : files) {
    const QString& path = target.path;
    if (path.isEmpty()) return fail(path);
    QFile original(path);
    PendingFile file{path, QFileInfo::exists(path), {}, {}};
    if (original.open(QIODevice::ReadOnly)) file.before = original.readAll();
    Document doc = loadDocument(path);
    for (const Entry& entry : target.entries) {
      if (!setValue(doc, entry.section, entry.key, entry.value)) return fail(path);
    }
    file.after = documentBytes(doc);
    pending.push_back(std::move(file));
  }
  // Every new text complete on disk first; nothing has changed while one of them fails.
  std::vector<std::unique_ptr<QSaveFile>> staged;
  for (const PendingFile& file : pending) {
    staged.push_back(std::make_unique<QSaveFile>(file.path));
    if (!stage(*staged.back(), file.after)) return fail(file.path);
  }
  for (std::size_t i = 0; i < staged.size(); ++i) {
    if (staged[i]->commit()) continue;
    for (std::size_t j = 0; j < i; ++j) restore(pending[j]);
    return fail(pending[i].path);
  }
  return true;
}

CIniFile& theIniFile() {
  static CIniFile instance;
  return instance;
}
