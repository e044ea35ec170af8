#include <gtest/gtest.h>

#include "imaging/JapaneseText.h"

using namespace imaging;

TEST(JapaneseText, OnlyTheJapaneseCodeExtensionsAreDecodedHere) {
  const struct {
    const char* charset;
    bool japanese;
  } cases[] = {{"\\ISO 2022 IR 87", true},
               {"ISO 2022 IR 13\\ISO 2022 IR 87", true},
               {"ISO 2022 IR 6\\ISO 2022 IR 87\\ISO 2022 IR 159", true},
               {"ISO 2022 IR 13", false},
               {"\\ISO 2022 IR 149", false},
               {"\\ISO 2022 IR 87\\ISO 2022 IR 149", false},
               {"ISO_IR 100", false},
               {"", false}};
  for (const auto& c : cases)
    EXPECT_EQ(IsJapaneseCodeExtension(c.charset), c.japanese) << c.charset;
}

TEST(JapaneseText, EveryValueAndComponentStartsInTheDefaultSetAndBrokenTextIsRefused) {
  EXPECT_EQ(DecodeJapanese("\x1b$B;3ED\x1b(B\\ABC^\x1b$BB@O:\x1b(J", false, "\\^="),
            "山田\\ABC^太郎");
  EXPECT_EQ(DecodeJapanese("\xd4\xcf\xc0\xde^AB", true, "\\^="), "ﾔﾏﾀﾞ^AB");
  EXPECT_EQ(DecodeJapanese("\xd4", false, "\\"), std::nullopt) << "katakana bytes need IR 13";
  EXPECT_EQ(DecodeJapanese("\x1b$B;", false, "\\"), std::nullopt) << "half a kanji";
}
