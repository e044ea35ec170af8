#include "app/MyConfig.h"

void CMyConfig::SetString(const QString& section, const QString& key, const QString& value) {
  m_entries.insert(makeKey(section, key), Entry{section, key, value});
}

void CMyConfig::SetInt(const QString& section, const QString& key, int value) {
  SetString(section, key, QString::number(value));
}

QString CMyConfig::GetString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
  const auto it = m_entries.constFind(makeKey(section, key));
  if (it == m_entries.constEnd() || it->value.isEmpty()) return defaultValue;
  return it->value;
}

const CMyConfig::Entry* CMyConfig::Find(const QString& section, const QString& key) const {
  const auto it = m_entries.constFind(makeKey(section, key));
  return it == m_entries.constEnd() ? nullptr : &it.value();
}
