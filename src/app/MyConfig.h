#pragma once

// CMyConfig: the in-memory session store, keyed by the pair (section, key) compared
// case-insensitively. Each entry keeps section, key and value as given. Nothing is persisted.
// Entries used by other Parts: "BROWSER" / "Open Mode", "Select Study", "Time From", "Time To"
// (browser); "LOGIN" / "Operator" (browser operations, login).

#include <QMap>
#include <QPair>
#include <QString>

class CMyConfig {
 public:
  struct Entry {
    QString section;
    QString key;
    QString value;
  };

  // Inserts or replaces the entry (the spelling of section and key is taken from this call).
  void SetString(const QString& section, const QString& key, const QString& value);
  // Stores the decimal text of value ("%d").
  void SetInt(const QString& section, const QString& key, int value);
  // The stored value, or defaultValue when the entry is missing or its value is empty.
  QString GetString(const QString& section, const QString& key,
                    const QString& defaultValue = QString()) const;
  // Empties the store.
  void Clear() { m_entries.clear(); }

  int Count() const { return static_cast<int>(m_entries.size()); }
  bool Contains(const QString& section, const QString& key) const {
    return m_entries.contains(makeKey(section, key));
  }
  // The entry as stored (section, key and value spelled as given), or nullptr.
  const Entry* Find(const QString& section, const QString& key) const;

 private:
  using Key = QPair<QString, QString>;
  static Key makeKey(const QString& section, const QString& key) {
    return Key(section.toLower(), key.toLower());
  }
  QMap<Key, Entry> m_entries;
};
