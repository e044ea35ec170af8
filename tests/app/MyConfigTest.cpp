#include <gtest/gtest.h>

#include "app/MyConfig.h"

TEST(MyConfig, KeysCompareCaseInsensitivelyAndKeepTheirSpelling) {
  CMyConfig config;
  config.SetString("BROWSER", "Open Mode", "1");
  EXPECT_EQ(config.GetString("browser", "OPEN MODE", "x"), "1");
  config.SetString("Browser", "open mode", "2");
  EXPECT_EQ(config.Count(), 1);
  const CMyConfig::Entry* entry = config.Find("BROWSER", "OPEN MODE");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->section, "Browser");
  EXPECT_EQ(entry->key, "open mode");
  EXPECT_EQ(entry->value, "2");
}

TEST(MyConfig, MissingOrEmptyValueGivesTheDefault) {
  CMyConfig config;
  EXPECT_EQ(config.GetString("LOGIN", "Operator", "nobody"), "nobody");
  config.SetString("LOGIN", "Operator", "");
  EXPECT_EQ(config.GetString("LOGIN", "Operator", "nobody"), "nobody");
  config.SetString("LOGIN", "Operator", "O'Brien \\ \"x\"");
  EXPECT_EQ(config.GetString("LOGIN", "Operator", "nobody"), "O'Brien \\ \"x\"");
}

TEST(MyConfig, SetIntStoresDecimalText) {
  CMyConfig config;
  config.SetInt("BROWSER", "Select Study", -42);
  EXPECT_EQ(config.GetString("BROWSER", "Select Study"), "-42");
  config.SetInt("BROWSER", "Select Study", 0);
  EXPECT_EQ(config.GetString("BROWSER", "Select Study", "d"), "0");
}

TEST(MyConfig, ClearEmptiesTheStore) {
  CMyConfig config;
  config.SetString("A", "b", "c");
  config.Clear();
  EXPECT_EQ(config.Count(), 0);
  EXPECT_EQ(config.GetString("A", "b", "def"), "def");
}
