#include "db/SqlFilter.h"

#include "db/ImageDatabase.h"
#include "db/SqlDialect.h"

namespace {

QString dayStart(int year, int month, int day) {
  return QString::asprintf("%04d-%02d-%02d", year, month, day);
}

QString dayEnd(int year, int month, int day) {
  return QString::asprintf("%04d-%02d-%02d 23:59:59", year, month, day);
}
}  // namespace

void CSqlFilter::add(const QString& condition, const QVariant& value) {
  m_conditions.append(condition);
  m_values.append(value);
}

void CSqlFilter::addText(const QString& column, const QString& text) {
  if (!text.isEmpty()) addExactText(column, text);
}

void CSqlFilter::addExactText(const QString& column, const QString& text) {
  add(imagedb::dialect().equalsCondition(column), text.isNull() ? QStringLiteral("") : text);
}

void CSqlFilter::addUid(const QString& column, const QString& uid) {
  if (!uid.isEmpty()) add(SqlDialect::name(column) + QStringLiteral(" = ?"), uid);
}

void CSqlFilter::addNumber(const QString& column, long value) {
  if (value > 0) add(SqlDialect::name(column) + QStringLiteral(" = ?"), qlonglong(value));
}

void CSqlFilter::addKey(const QString& column, long key) {
  add(SqlDialect::name(column) + QStringLiteral(" = ?"), qlonglong(key));
}

void CSqlFilter::addPrefix(const QString& column, const QString& text) {
  if (text.isEmpty()) return;
  add(imagedb::dialect().likeCondition(column), escapeLike(text) + QLatin1Char('%'));
}

void CSqlFilter::addContains(const QString& column, const QString& text) {
  if (text.isEmpty()) return;
  add(imagedb::dialect().containsCondition(m_table, column),
      QLatin1Char('%') + escapeLike(text) + QLatin1Char('%'));
}

bool CSqlFilter::isValidSearchDate(int year, int month, int day) {
  return year >= 1900 && year <= 2100 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

void CSqlFilter::addDateRange(const QString& column, int fromYear, int fromMonth, int fromDay,
                              int toYear, int toMonth, int toDay) {
  const bool fromValid = isValidSearchDate(fromYear, fromMonth, fromDay);
  const bool toValid = isValidSearchDate(toYear, toMonth, toDay);
  const QString name = SqlDialect::name(column);
  if (fromValid) add(name + QStringLiteral(" >= ?"), dayStart(fromYear, fromMonth, fromDay));
  if (toValid) {
    add(name + QStringLiteral(" <= ?"), dayEnd(toYear, toMonth, toDay));
  } else if (fromValid) {
    add(name + QStringLiteral(" <= ?"), dayEnd(fromYear, fromMonth, fromDay));
  }
}

QString sortText(const QString& column, int direction) {
  if (direction == 0) return column + QStringLiteral(" Desc");
  if (direction == 1) return column + QStringLiteral(" Asc");
  return column;
}

// Date and time are formatted and read apart: a wall-clock time that the local time zone skips
// (a daylight-saving change) is still a valid stored value.
QVariant dateTimeToSql(const CDateTime& value) {
  if (!value.isValid()) return QVariant(QMetaType::fromType<QString>());
  return value.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
         value.time().toString(QStringLiteral("hh:mm:ss"));
}

CDateTime dateTimeFromSql(const QVariant& value) {
  if (value.isNull()) return CDateTime::null();
  const QString text = value.toString();
  const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
  const QTime time = text.size() > 10 ? QTime::fromString(text.mid(11), QStringLiteral("hh:mm:ss"))
                                      : QTime(0, 0, 0);
  CDateTime result;
  if (!date.isValid() || !time.isValid()) {
    result.setDate(0, 0, 0);  // leaves it invalid
    return result;
  }
  result.setDate(date.year(), date.month(), date.day());
  result.setTime(time.hour(), time.minute(), time.second());
  return result;
}
