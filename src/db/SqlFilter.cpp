#include "db/SqlFilter.h"

#include "db/SqlDialect.h"

namespace {

QString dayStart(int year, int month, int day) {
  return QString::asprintf("%04d-%02d-%02d", year, month, day);
}

QString dayEnd(int year, int month, int day) {
  return QString::asprintf("%04d-%02d-%02d 23:59:59", year, month, day);
}
}  // namespace

void CSqlFilter::add(Form form, const QString& text, const QVariant& value) {
  m_conditions.append({form, text});
  m_values.append(value);
}

QString CSqlFilter::text(const SqlDialect& dialect) const {
  QStringList conditions;
  conditions.reserve(m_conditions.size());
  for (const Condition& condition : m_conditions) {
    switch (condition.form) {
      case Form::Given:
        conditions.append(condition.text);
        break;
      case Form::Equal:
        conditions.append(dialect.equalsCondition(condition.text));
        break;
      case Form::Like:
        conditions.append(dialect.likeCondition(condition.text));
        break;
      case Form::Contains:
        conditions.append(dialect.containsCondition(m_table, condition.text));
        break;
    }
  }
  return conditions.join(QStringLiteral(" AND "));
}

void CSqlFilter::addText(const QString& column, const QString& text) {
  if (!text.isEmpty()) addExactText(column, text);
}

void CSqlFilter::addExactText(const QString& column, const QString& text) {
  add(Form::Equal, column, text.isNull() ? QStringLiteral("") : text);
}

void CSqlFilter::addUid(const QString& column, const QString& uid) {
  if (!uid.isEmpty()) add(Form::Given, SqlDialect::name(column) + QStringLiteral(" = ?"), uid);
}

void CSqlFilter::addNumber(const QString& column, long value) {
  if (value > 0)
    add(Form::Given, SqlDialect::name(column) + QStringLiteral(" = ?"), qlonglong(value));
}

void CSqlFilter::addConfirmingNumber(const QString& column, long value) {
  if (value > 0) {
    add(Form::Given, SqlDialect::name(column) + QStringLiteral(" + 0 = ?"), qlonglong(value));
  }
}

void CSqlFilter::addKey(const QString& column, long key) {
  add(Form::Given, SqlDialect::name(column) + QStringLiteral(" = ?"), qlonglong(key));
}

void CSqlFilter::addOneOf(const QString& column, const QVariantList& values) {
  m_conditions.append({Form::Given, values.isEmpty()
                                        ? QStringLiteral("0 = 1")
                                        : SqlDialect::name(column) + QStringLiteral(" IN (") +
                                              SqlDialect::placeholders(values.size()) +
                                              QLatin1Char(')')});
  m_values.append(values);
}

void CSqlFilter::addPrefix(const QString& column, const QString& text) {
  if (text.isEmpty()) return;
  add(Form::Like, column, escapeLike(text) + QLatin1Char('%'));
}

void CSqlFilter::addContains(const QString& column, const QString& text) {
  if (text.isEmpty()) return;
  add(Form::Contains, column, QLatin1Char('%') + escapeLike(text) + QLatin1Char('%'));
}

bool CSqlFilter::isValidSearchDate(int year, int month, int day) {
  return year >= 1900 && year <= 2100 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

void CSqlFilter::addDateRange(const QString& column, int fromYear, int fromMonth, int fromDay,
                              int toYear, int toMonth, int toDay) {
  const bool fromValid = isValidSearchDate(fromYear, fromMonth, fromDay);
  const bool toValid = isValidSearchDate(toYear, toMonth, toDay);
  const QString name = SqlDialect::name(column);
  if (fromValid) {
    add(Form::Given, name + QStringLiteral(" >= ?"), dayStart(fromYear, fromMonth, fromDay));
  }
  if (toValid) {
    add(Form::Given, name + QStringLiteral(" <= ?"), dayEnd(toYear, toMonth, toDay));
  } else if (fromValid) {
    add(Form::Given, name + QStringLiteral(" <= ?"), dayEnd(fromYear, fromMonth, fromDay));
  }
}

void CSqlFilter::addConfirmingDay(const QString& column, int year, int month, int day) {
  if (!isValidSearchDate(year, month, day)) return;
  // Stored date-times are "yyyy-MM-dd hh:mm:ss" text: the day is its first ten characters.
  add(Form::Given, QStringLiteral("substr(%1, 1, 10) = ?").arg(SqlDialect::name(column)),
      dayStart(year, month, day));
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
  // Not QDate::toString: its format parser costs more than the statement the value goes into.
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", value.year(), value.month(),
                           value.day(), value.hour(), value.minute(), value.second());
}

namespace {
// The number written by count digits at text[from], or -1 when they are not all digits.
int digits(QStringView text, qsizetype from, qsizetype count) {
  if (from + count > text.size()) return -1;
  int number = 0;
  for (qsizetype i = from; i < from + count; ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9') return -1;
    number = number * 10 + (c - u'0');
  }
  return number;
}
}  // namespace

// Read digit by digit: Qt's date format parser cost more than the query that fetched the row.
CDateTime dateTimeFromSql(const QVariant& value) {
  if (value.isNull()) return CDateTime::null();
  const QString text = value.toString();
  const auto at = [&text](qsizetype i, char c) {
    return i < text.size() && text[i] == QLatin1Char(c);
  };
  const bool dated = (text.size() == 10 || text.size() == 19) && at(4, '-') && at(7, '-');
  const bool timed = text.size() == 10 || (at(13, ':') && at(16, ':'));
  const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
  const bool withTime = text.size() > 10;
  const int hour = withTime ? digits(text, 11, 2) : 0;
  const int minute = withTime ? digits(text, 14, 2) : 0;
  const int second = withTime ? digits(text, 17, 2) : 0;
  CDateTime result;
  if (!dated || !timed || !QDate::isValid(year, month, day) ||
      !QTime::isValid(hour, minute, second)) {
    result.setDate(0, 0, 0);  // leaves it invalid
    return result;
  }
  result.setDate(year, month, day);
  result.setTime(hour, minute, second);
  return result;
}
