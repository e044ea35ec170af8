// Stored passwords: salted hashes, verified in constant time; plain text of older rows accepted
// once for rewriting.
#include <gtest/gtest.h>

#include "login/Passwords.h"

namespace {

TEST(Passwords, HashIsSaltedAndVerifiesOnlyTheSamePassword) {
  const QString hash = HashPassword(QStringLiteral("Sécret'1"));
  ASSERT_FALSE(hash.isEmpty());
  EXPECT_FALSE(hash.contains(QStringLiteral("Sécret")));
  EXPECT_TRUE(IsPasswordHash(hash));
  EXPECT_NE(HashPassword(QStringLiteral("Sécret'1")), hash) << "each hash has its own salt";
  EXPECT_EQ(CheckPassword(hash, QStringLiteral("Sécret'1")), PasswordCheck::Accepted);
  for (const char* wrong : {"sécret'1", "Sécret'", "Sécret'12", ""}) {
    EXPECT_EQ(CheckPassword(hash, QString::fromUtf8(wrong)), PasswordCheck::Refused) << wrong;
  }
  EXPECT_EQ(CheckPassword(HashPassword(QString()), QString()), PasswordCheck::Accepted);
}

TEST(Passwords, PlainTextMatchesExactlyAndAsksToBeRewritten) {
  const struct {
    const char* stored;
    const char* typed;
    PasswordCheck expected;
  } cases[] = {
      {"abc", "abc", PasswordCheck::AcceptedRewrite},
      {"abc", "ABC", PasswordCheck::Refused},
      {"abc", "ab", PasswordCheck::Refused},
      {"abc", "abcd", PasswordCheck::Refused},
      {"", "", PasswordCheck::AcceptedRewrite},
      {"", "x", PasswordCheck::Refused},
      {"pä'ss", "pä'ss", PasswordCheck::AcceptedRewrite},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(IsPasswordHash(QString::fromUtf8(c.stored)));
    EXPECT_EQ(CheckPassword(QString::fromUtf8(c.stored), QString::fromUtf8(c.typed)), c.expected)
        << c.stored << " / " << c.typed;
  }
}

TEST(Passwords, DamagedHashIsRefusedNotAccepted) {
  QString hash = HashPassword(QStringLiteral("pw"));
  EXPECT_EQ(CheckPassword(hash.left(hash.size() - 4), QStringLiteral("pw")),
            PasswordCheck::Refused);
  EXPECT_EQ(CheckPassword(QStringLiteral("$argon2id$"), QStringLiteral("$argon2id$")),
            PasswordCheck::Refused);
}

}  // namespace
