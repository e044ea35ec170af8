#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// A calendar date with time of day and a validity state. The zero value, which every record
// starts with, is 30 December 1899 00:00:00: it is a valid date, distinct from "null" (no value
// at all, as a database NULL) and from "invalid" (a value that is no date).
class CDateTime {
 public:
  enum Status { Valid, Invalid, Null };

  CDateTime();  // the zero value
  CDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

  static CDateTime zero() { return CDateTime(); }
  static CDateTime null();
  static CDateTime fromQDateTime(const QDateTime& value);

  Status status() const { return m_status; }
  bool isValid() const { return m_status == Valid; }
  bool isZero() const;
  // Valid and not the zero value. A date that was never given (a file without it, a row
  // appended without it) holds the zero value, so this is what shows as a date: the zero
  // value shows as an empty text, never as 30 December 1899.
  bool isGiven() const { return isValid() && !isZero(); }

  // Both make the value Valid on success; out of range they set Invalid and keep the old half.
  bool setDate(int year, int month, int day);
  bool setTime(int hour, int minute, int second);

  QDate date() const { return m_date; }
  QTime time() const { return m_time; }
  int year() const { return m_date.year(); }
  int month() const { return m_date.month(); }
  int day() const { return m_date.day(); }
  int hour() const { return m_time.hour(); }
  int minute() const { return m_time.minute(); }
  int second() const { return m_time.second(); }

  // Local wall-clock value without any time-zone shift; invalid QDateTime unless Valid.
  QDateTime toQDateTime() const;
  // "yyyy-MM-dd hh:mm:ss" for a valid value, "" for null, "invalid" otherwise.
  QString toString() const;

  bool operator==(const CDateTime& other) const;
  bool operator!=(const CDateTime& other) const { return !(*this == other); }
  bool operator<(const CDateTime& other) const;

 private:
  QDate m_date;
  QTime m_time;
  Status m_status = Valid;
};
