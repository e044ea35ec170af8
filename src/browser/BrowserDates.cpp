#include "browser/BrowserDates.h"

namespace browser {

PeriodRange ApplyPeriod(int period, const QDateTime& now, const QDateTime& from,
                        const QDateTime& to) {
  PeriodRange range{from, to, false};
  const QDateTime endOfToday(now.date(), QTime(23, 59, 59));
  int daysBack = -1;
  switch (period) {
    case kToday:
      daysBack = 0;
      break;
    case kYesterday:
    case kTwoDaysAgo:
    case kThreeDaysAgo:
      daysBack = period;
      break;
    case kWeek:
      daysBack = 7;
      range.pickersEnabled = true;
      break;
    default:
      return range;
  }
  // Calendar days, not spans of seconds: a day with a daylight-saving change lasts 23 or 25
  // hours, and a span would land in the wrong day.
  range.from = QDateTime(now.date().addDays(-daysBack), QTime(0, 0, 0));
  range.to = endOfToday;
  return range;
}

QString DateText(const CDateTime& value, int dateOrder, const QString& separator, bool withTime) {
  if (!value.isGiven()) return {};
  // Formatted by hand: a search of 100,000 patients writes 200,000 of these. Month names are
  // English whatever the desktop's language, as the labels are.
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const QDate date = value.date();
  const QString year = QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
  const QString month = QString::number(date.month()).rightJustified(2, QLatin1Char('0'));
  const QString day = QString::number(date.day()).rightJustified(2, QLatin1Char('0'));
  QString text;
  switch (dateOrder) {
    case 1:
      text = QLatin1String(kMonths[date.month() - 1]) + separator + day + separator + year;
      break;
    case 2:
      text = month + separator + day + separator + year;
      break;
    default:
      text = year + separator + month + separator + day;
      break;
  }
  if (withTime) {
    const QTime time = value.time();
    text += QString::asprintf(" %02d:%02d:%02d", time.hour(), time.minute(), time.second());
  }
  return text;
}

QString PickerFormat(int dateOrder, const QString& separator) {
  if (separator != QLatin1String(".") && separator != QLatin1String("-") &&
      separator != QLatin1String("/")) {
    return {};
  }
  QString format;
  switch (dateOrder) {
    case 1:
      format = QStringLiteral("MMM.dd.yyyy");
      break;
    case 2:
      format = QStringLiteral("MM.dd.yyyy");
      break;
    default:
      format = QStringLiteral("yyyy.MM.dd");
      break;
  }
  return format.replace(QLatin1Char('.'), separator);
}

PeriodRange InitialPickerRange(const QDateTime& now, int timeFromHours, int timeToHours) {
  const QDateTime from = now.addDays(-(timeFromHours / 24)).addSecs(-qint64(timeFromHours % 24) * 3600);
  const QDateTime to = now.addSecs(qint64(timeToHours) * 3600 + 59 * 60 + 59);
  return {QDateTime(from.date(), QTime(0, 0, 0)), QDateTime(to.date(), QTime(0, 0, 0)), false};
}

}  // namespace browser
