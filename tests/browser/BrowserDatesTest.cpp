#include "browser/BrowserDates.h"

#include <gtest/gtest.h>

#include <QTimeZone>

namespace {

using browser::ApplyPeriod;

QDateTime at(int y, int mo, int d, int h, int mi, int s) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// A moment on a Berlin clock, which goes back an hour on 2024-10-27 and on an hour on
// 2024-03-31, whatever zone the machine runs in.
QDateTime berlin(int y, int mo, int d, int h, int mi, int s) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone("Europe/Berlin"));
}

TEST(BrowserPeriod, PresetsGiveWholeDaysUpToTheEndOfToday) {
  const QDateTime kept1 = at(2020, 1, 1, 0, 0, 0);
  const QDateTime kept2 = at(2020, 1, 2, 0, 0, 0);
  const struct {
    int period;
    QDateTime now;
    QDateTime from;
    QDateTime to;
    bool pickers;
  } cases[] = {
      {browser::kToday, at(2024, 3, 5, 14, 3, 9), at(2024, 3, 5, 0, 0, 0),
       at(2024, 3, 5, 23, 59, 59), false},
      {browser::kYesterday, at(2024, 3, 5, 0, 0, 30), at(2024, 3, 4, 0, 0, 0),
       at(2024, 3, 5, 23, 59, 59), false},
      {browser::kYesterday, at(2024, 3, 5, 23, 59, 59), at(2024, 3, 4, 0, 0, 0),
       at(2024, 3, 5, 23, 59, 59), false},
      {browser::kTwoDaysAgo, at(2024, 3, 1, 12, 0, 0), at(2024, 2, 28, 0, 0, 0),
       at(2024, 3, 1, 23, 59, 59), false},
      {browser::kThreeDaysAgo, at(2024, 1, 2, 0, 0, 0), at(2023, 12, 30, 0, 0, 0),
       at(2024, 1, 2, 23, 59, 59), false},
      {browser::kWeek, at(2024, 3, 5, 8, 30, 0), at(2024, 2, 27, 0, 0, 0),
       at(2024, 3, 5, 23, 59, 59), true},
      // Across a daylight-saving change the days are calendar days: a 25-hour Sunday ...
      {browser::kYesterday, berlin(2024, 10, 27, 12, 0, 0), at(2024, 10, 26, 0, 0, 0),
       at(2024, 10, 27, 23, 59, 59), false},
      {browser::kTwoDaysAgo, berlin(2024, 10, 28, 12, 0, 0), at(2024, 10, 26, 0, 0, 0),
       at(2024, 10, 28, 23, 59, 59), false},
      {browser::kThreeDaysAgo, berlin(2024, 10, 29, 0, 0, 30), at(2024, 10, 26, 0, 0, 0),
       at(2024, 10, 29, 23, 59, 59), false},
      {browser::kWeek, berlin(2024, 11, 3, 0, 0, 30), at(2024, 10, 27, 0, 0, 0),
       at(2024, 11, 3, 23, 59, 59), true},
      // ... and a 23-hour one.
      {browser::kYesterday, berlin(2024, 3, 31, 23, 59, 59), at(2024, 3, 30, 0, 0, 0),
       at(2024, 3, 31, 23, 59, 59), false},
      {browser::kTwoDaysAgo, berlin(2024, 4, 1, 0, 30, 0), at(2024, 3, 30, 0, 0, 0),
       at(2024, 4, 1, 23, 59, 59), false},
      {browser::kAll, at(2024, 3, 5, 8, 30, 0), kept1, kept2, false},
      {9, at(2024, 3, 5, 8, 30, 0), kept1, kept2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.period);
    SCOPED_TRACE(c.now.toString(Qt::ISODate).toStdString());
    const browser::PeriodRange range = ApplyPeriod(c.period, c.now, kept1, kept2);
    EXPECT_EQ(range.from, c.from);
    EXPECT_EQ(range.to, c.to);
    EXPECT_EQ(range.pickersEnabled, c.pickers);
  }
}

TEST(BrowserDateText, EveryOrderAndSeparatorWithAndWithoutTime) {
  const CDateTime when(2024, 3, 5, 14, 3, 9);
  const struct {
    int order;
    const char* separator;
    const char* date;
    const char* dateTime;
  } cases[] = {
      {0, ".", "2024.03.05", "2024.03.05 14:03:09"},
      {0, "-", "2024-03-05", "2024-03-05 14:03:09"},
      {1, "/", "Mar/05/2024", "Mar/05/2024 14:03:09"},
      {1, ".", "Mar.05.2024", "Mar.05.2024 14:03:09"},
      {2, "-", "03-05-2024", "03-05-2024 14:03:09"},
      {2, "/", "03/05/2024", "03/05/2024 14:03:09"},
      {7, "/", "2024/03/05", "2024/03/05 14:03:09"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.order);
    const QString separator = QString::fromLatin1(c.separator);
    EXPECT_EQ(browser::DateText(when, c.order, separator, false), QLatin1String(c.date));
    EXPECT_EQ(browser::DateText(when, c.order, separator, true), QLatin1String(c.dateTime));
  }
  // No date: null, and the zero value a row without a date holds; a day after it is a date.
  for (bool withTime : {false, true}) {
    EXPECT_EQ(browser::DateText(CDateTime::null(), 0, ".", withTime), QString());
    EXPECT_EQ(browser::DateText(CDateTime::zero(), 0, ".", withTime), QString());
  }
  EXPECT_EQ(browser::DateText(CDateTime(1899, 12, 30, 0, 0, 1), 0, ".", true),
            QStringLiteral("1899.12.30 00:00:01"));
}

TEST(BrowserDateText, PickerFormatFollowsOrderAndSeparator) {
  EXPECT_EQ(browser::PickerFormat(1, "/"), QStringLiteral("MMM/dd/yyyy"));
  EXPECT_EQ(browser::PickerFormat(2, "-"), QStringLiteral("MM-dd-yyyy"));
  EXPECT_EQ(browser::PickerFormat(0, "."), QStringLiteral("yyyy.MM.dd"));
  EXPECT_EQ(browser::PickerFormat(0, ":"), QString()) << "another separator keeps the pickers' own";
}

TEST(BrowserDateText, PickersStartAtMidnightOfTheirDays) {
  const browser::PeriodRange range =
      browser::InitialPickerRange(at(2024, 3, 5, 10, 0, 0), 24 * 2 + 11, 14);
  EXPECT_EQ(range.from, at(2024, 3, 2, 0, 0, 0));
  EXPECT_EQ(range.to, at(2024, 3, 6, 0, 0, 0));
}

}  // namespace
