#include <gtest/gtest.h>

#include <vector>

#include "db/DateTime.h"

namespace {

TEST(DateTime, ZeroValueIsTheLast30December1899AtMidnight) {
  const CDateTime zero;
  EXPECT_TRUE(zero.isValid());
  EXPECT_TRUE(zero.isZero());
  EXPECT_EQ(zero.date(), QDate(1899, 12, 30));
  EXPECT_EQ(zero.time(), QTime(0, 0, 0));
  EXPECT_EQ(zero.toString(), QStringLiteral("1899-12-30 00:00:00"));
  EXPECT_EQ(zero, CDateTime::zero());
  EXPECT_EQ(zero, CDateTime(1899, 12, 30));
  EXPECT_FALSE(CDateTime(1899, 12, 30, 0, 0, 1).isZero());
}

TEST(DateTime, NullIsNeitherZeroNorAnyDate) {
  const CDateTime null = CDateTime::null();
  EXPECT_EQ(null.status(), CDateTime::Null);
  EXPECT_FALSE(null.isValid());
  EXPECT_FALSE(null.isZero());
  EXPECT_NE(null, CDateTime::zero());
  EXPECT_EQ(null, CDateTime::null());
  EXPECT_EQ(null.toString(), QString());
  EXPECT_FALSE(null.toQDateTime().isValid());
  EXPECT_EQ(CDateTime::fromQDateTime(QDateTime()), null);
}

TEST(DateTime, OutOfRangeValuesMakeItInvalid) {
  struct Case {
    const char* name;
    int year, month, day, hour, minute, second;
  };
  for (const Case& c :
       {Case{"30 February", 2023, 2, 30, 0, 0, 0}, Case{"month 13", 2023, 13, 1, 0, 0, 0},
        Case{"29 February of a common year", 2023, 2, 29, 0, 0, 0},
        Case{"hour 24", 2023, 1, 1, 24, 0, 0}, Case{"minute 60", 2023, 1, 1, 0, 60, 0},
        Case{"second 60", 2023, 1, 1, 0, 0, 60}}) {
    const CDateTime value(c.year, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_EQ(value.status(), CDateTime::Invalid) << c.name;
    EXPECT_FALSE(value.isZero()) << c.name;
    EXPECT_EQ(value.toString(), QStringLiteral("invalid")) << c.name;
    EXPECT_FALSE(value.toQDateTime().isValid()) << c.name;
    EXPECT_NE(value, CDateTime::null()) << c.name;
  }
}

TEST(DateTime, FailedSetKeepsTheOtherHalfAndALaterSetRevalidates) {
  CDateTime value(2024, 3, 1, 8, 30, 0);
  EXPECT_FALSE(value.setTime(25, 0, 0));
  EXPECT_EQ(value.status(), CDateTime::Invalid);
  EXPECT_EQ(value.date(), QDate(2024, 3, 1));
  EXPECT_TRUE(value.setTime(9, 0, 0));
  EXPECT_EQ(value, CDateTime(2024, 3, 1, 9, 0, 0));
  EXPECT_FALSE(value.setDate(2024, 2, 30));
  EXPECT_EQ(value.time(), QTime(9, 0, 0));
  EXPECT_TRUE(value.setDate(2024, 2, 29));
  EXPECT_EQ(value, CDateTime(2024, 2, 29, 9, 0, 0));
}

TEST(DateTime, QDateTimeRoundTripKeepsTheWallClock) {
  const CDateTime value(2024, 1, 15, 23, 59, 58);
  const QDateTime converted = value.toQDateTime();
  EXPECT_EQ(converted.date(), QDate(2024, 1, 15));
  EXPECT_EQ(converted.time(), QTime(23, 59, 58));
  EXPECT_EQ(CDateTime::fromQDateTime(converted), value);
  EXPECT_EQ(value.toString(), QStringLiteral("2024-01-15 23:59:58"));
}

TEST(DateTime, OrdersNullThenInvalidThenDatesByDateAndTime) {
  const std::vector<CDateTime> ascending = {
      CDateTime::null(),         CDateTime(2023, 2, 30), CDateTime::zero(),
      CDateTime(1980, 6, 1),     CDateTime(2024, 1, 1),  CDateTime(2024, 1, 1, 0, 0, 1),
      CDateTime(2024, 1, 1, 23), CDateTime(2024, 1, 2)};
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    EXPECT_FALSE(ascending[i] < ascending[i]) << i;
    for (std::size_t j = i + 1; j < ascending.size(); ++j) {
      EXPECT_TRUE(ascending[i] < ascending[j]) << i << " < " << j;
      EXPECT_FALSE(ascending[j] < ascending[i]) << j << " < " << i;
      EXPECT_NE(ascending[i], ascending[j]) << i << " != " << j;
    }
  }
}

}  // namespace
