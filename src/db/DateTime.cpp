#include "db/DateTime.h"

namespace {
const QDate kZeroDate(1899, 12, 30);
}

CDateTime::CDateTime() : m_date(kZeroDate), m_time(0, 0, 0) {}

CDateTime::CDateTime(int year, int month, int day, int hour, int minute, int second) : CDateTime() {
  if (!setDate(year, month, day)) return;
  setTime(hour, minute, second);
}

CDateTime CDateTime::null() {
  CDateTime value;
  value.m_status = Null;
  return value;
}

CDateTime CDateTime::fromQDateTime(const QDateTime& value) {
  if (!value.isValid()) return null();
  const QDate d = value.date();
  const QTime t = value.time();
  return CDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

bool CDateTime::isZero() const {
  return m_status == Valid && m_date == kZeroDate && m_time == QTime(0, 0, 0);
}

bool CDateTime::setDate(int year, int month, int day) {
  const QDate date(year, month, day);
  if (!date.isValid()) {
    m_status = Invalid;
    return false;
  }
  m_date = date;
  m_status = Valid;
  return true;
}

bool CDateTime::setTime(int hour, int minute, int second) {
  const QTime time(hour, minute, second);
  if (!time.isValid()) {
    m_status = Invalid;
    return false;
  }
  m_time = time;
  m_status = Valid;
  return true;
}

QDateTime CDateTime::toQDateTime() const {
  if (m_status != Valid) return {};
  return QDateTime(m_date, m_time);
}

QString CDateTime::toString() const {
  switch (m_status) {
    case Valid:
      return m_date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
             m_time.toString(QStringLiteral("hh:mm:ss"));
    case Null:
      return {};
    case Invalid:
      break;
  }
  return QStringLiteral("invalid");
}

bool CDateTime::operator==(const CDateTime& other) const {
  if (m_status != other.m_status) return false;
  return m_status != Valid || (m_date == other.m_date && m_time == other.m_time);
}

bool CDateTime::operator<(const CDateTime& other) const {
  // Null and invalid values sort before every date, null first.
  if (m_status != Valid || other.m_status != Valid) {
    auto rank = [](Status s) { return s == Null ? 0 : s == Invalid ? 1 : 2; };
    return rank(m_status) < rank(other.m_status);
  }
  if (m_date != other.m_date) return m_date < other.m_date;
  return m_time < other.m_time;
}
