#pragma once

#include <QDateTime>
#include <QString>

#include "db/DateTime.h"

// Dates as the browser shows and searches them: the period presets of its period list, the
// texts of its date columns and the format of its date pickers.
namespace browser {

// The entries of the period list.
enum Period { kToday = 0, kYesterday = 1, kTwoDaysAgo = 2, kThreeDaysAgo = 3, kAll = 4, kWeek = 5 };

struct PeriodRange {
  QDateTime from;
  QDateTime to;
  bool pickersEnabled = false;
};

// The search dates a period gives at the moment now. "Today": today 00:00:00 to 23:59:59;
// one, two or three days ago and the week (the last seven days): 00:00:00 of that day to today
// 23:59:59; "ALL" and any other value keep from and to. Only the week enables the pickers.
PeriodRange ApplyPeriod(int period, const QDateTime& now, const QDateTime& from,
                        const QDateTime& to);

// A date (withTime false) or date and time in the date order (0 year first, 1 month name
// first, 2 month number first, any other value as 0), every "." replaced by separator. Empty
// for a value that is not valid and for the zero value (no date given).
QString DateText(const CDateTime& value, int dateOrder, const QString& separator, bool withTime);

// The date pickers' display format for the date order and separator; empty (keep the
// pickers' own) for a separator other than ".", "-" and "/".
QString PickerFormat(int dateOrder, const QString& separator);

// The pickers' first dates: now less timeFromHours and now plus timeToHours (and 59:59), both
// at 00:00:00 of their day.
PeriodRange InitialPickerRange(const QDateTime& now, int timeFromHours, int timeToHours);

}  // namespace browser
