#pragma once

// CIniFile: the accessor of the settings file Pelmora.ini, with the semantics of the
// Win32 private-profile functions it stood on:
// - section and key names compare case-insensitively (surrounding blanks ignored);
// - values are raw: backslashes stay, blanks around the value are trimmed, and a value wholly
//   enclosed in matching single or double quotes loses them on read;
// - a read result holds at most 511 characters (the 512-character buffer of the system call);
// - a write replaces the value of the first matching key, adds a missing key at the end of its
//   section, adds a missing section at the end of the file, and keeps every other line of the
//   file (comments, blank lines, order, line endings) exactly as it was;
// - a missing or unreadable file reads as empty, so every read gives its default.
// The file is read as UTF-8 (a leading byte-order mark is skipped and kept) and written atomically.

#include <QList>
#include <QString>

class CIniFile {
 public:
  CIniFile() = default;
  explicit CIniFile(const QString& path) : m_path(path) {}

  void SetPath(const QString& path) { m_path = path; }
  const QString& Path() const { return m_path; }

  // GetPrivateProfileString: the value, or `defaultValue` (trailing blanks removed) when the
  // section or key is missing. At most 511 characters.
  QString ReadString(const QString& section, const QString& key,
                     const QString& defaultValue = QString()) const;

  // GetPrivateProfileInt: `defaultValue` when the key is missing or its value is empty;
  // otherwise the leading integer of the value (blanks, then an optional sign, then digits;
  // "0x", "0o" and "0b" prefixes select hexadecimal, octal and binary as the system does);
  // a value that does not start with a number gives 0.
  int ReadInt(const QString& section, const QString& key, int defaultValue) const;

  // WritePrivateProfileString. Creates the file, the section or the key as needed. Returns
  // false when the file cannot be written, or when the section, key or value holds a line
  // break (which would corrupt the file), or when the key is empty or holds '=' or the section
  // holds ']'.
  bool WriteString(const QString& section, const QString& key, const QString& value) const;

  struct Entry {
    QString section;
    QString key;
    QString value;
  };
  // Several WriteString in order, in one rewrite of the file: either all of them land or (false)
  // none does, so a failure or a crash never leaves some of the keys written.
  bool WriteStrings(const QList<Entry>& entries) const;

  // Entries for several files that belong together (settings two programs share): every file
  // is written completely under a temporary name beside it before any replaces its original,
  // and a file that cannot be replaced puts back those replaced before it. So either every
  // file gets its entries or (false, with the path that failed in *failedPath) none changes.
  struct FileEntries {
    QString path;
    QList<Entry> entries;
  };
  static bool WriteTogether(const QList<FileEntries>& files, QString* failedPath = nullptr);

  // Maximum number of characters a read returns.
  static constexpr int kMaxReadLength = 511;

  // The leading-integer conversion ReadInt applies to a value that is present (exposed for tests
  // and for callers that convert text the same way).
  static int LeadingInt(const QString& text);

 private:
  QString m_path;
};

// The one global instance; start-up sets its path to the settings file.
CIniFile& theIniFile();
