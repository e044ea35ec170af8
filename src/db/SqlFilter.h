#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include "db/DateTime.h"

class SqlDialect;

// The WHERE condition of a record set query, built from the criteria the operator gave: each
// given criterion adds one condition, joined with AND, its value bound in order. Criteria that
// are not given (an empty text, a number of 0 or less, an invalid date) add nothing, so no
// criteria at all select every row. The conditions are kept apart from the engine until the
// record set that runs them writes them in its engine's dialect.
class CSqlFilter {
 public:
  // table: the table the filter selects from, which lets a search that matches anywhere in a
  // text read the column's index instead of the table (none: a plain condition).
  explicit CSqlFilter(const QString& table = QString()) : m_table(table) {}

  // column = text without letter case, when the text is not empty: operators type IDs,
  // accession numbers and body parts in either case.
  void addText(const QString& column, const QString& text);
  // As addText, but the empty text too names rows: those whose column is empty.
  void addExactText(const QString& column, const QString& text);
  // column = uid, when the uid is not empty. UIDs hold only digits and dots, so letter case is
  // moot, and the plain comparison finds them through the column's index in every file.
  void addUid(const QString& column, const QString& uid);
  // column = value, when the value is greater than 0.
  void addNumber(const QString& column, long value);
  // As addNumber, for a column that only confirms the rows another criterion's index finds:
  // the engine is kept from walking an index of this column instead.
  void addConfirmingNumber(const QString& column, long value);
  // column = key, whatever the key: a key names its own rows, and 0 names none (the engine
  // numbers from 1), never every row.
  void addKey(const QString& column, long key);
  // column equal to one of the values (keys or UIDs: compared as they are); no values name no
  // rows.
  void addOneOf(const QString& column, const QVariantList& values);
  // The text at the start (prefix) or anywhere (contains) of the column, without letter case;
  // the operator's '%' and '_' match only themselves. Nothing for an empty text.
  void addPrefix(const QString& column, const QString& text);
  void addContains(const QString& column, const QString& text);
  // A date-time column from the start of the from-day to the end (23:59:59) of the to-day.
  // Only the from-date valid: that single day; only the to-date valid: everything up to its
  // end; neither: no condition. A date is valid with year 1900 to 2100, month 1 to 12 and day
  // 1 to 31.
  void addDateRange(const QString& column, int fromYear, int fromMonth, int fromDay, int toYear,
                    int toMonth, int toDay);

  // The date-time column on that day (a valid date, as above; else no condition), written so
  // that the engine finds the rows through another criterion's index and only confirms the day
  // on them: without statistics a server's planner takes a range of dates for as selective as
  // an equal key, and walks every row of a busy day.
  void addConfirmingDay(const QString& column, int year, int month, int day);

  static bool isValidSearchDate(int year, int month, int day);

  bool isEmpty() const { return m_conditions.isEmpty(); }
  // The WHERE condition as the engine of dialect reads it.
  QString text(const SqlDialect& dialect) const;
  const QVariantList& values() const { return m_values; }
  // The same criteria with the same values.
  bool operator==(const CSqlFilter& other) const = default;

 private:
  // How a condition is written: as given, or by the dialect (caseless equality, pattern match,
  // pattern match anywhere in the text).
  enum class Form { Given, Equal, Like, Contains };
  struct Condition {
    Form form;
    QString text;  // the condition itself (Given) or its column
    bool operator==(const Condition& other) const = default;
  };
  void add(Form form, const QString& text, const QVariant& value);

  QString m_table;
  QList<Condition> m_conditions;
  QVariantList m_values;
};

// The ORDER BY text of a column with a sort direction: -1 the column alone, 0 " Desc" (0 is
// descending), 1 " Asc".
QString sortText(const QString& column, int direction);

// Date-times as the database keeps them: "yyyy-MM-dd hh:mm:ss" text, which sorts and compares
// like the moments it names; NULL for a null or invalid value.
QVariant dateTimeToSql(const CDateTime& value);
// The stored value back: NULL gives the null date-time, unreadable text an invalid one.
CDateTime dateTimeFromSql(const QVariant& value);
