#include "login/Passwords.h"

#include <sodium.h>

#include <QByteArray>

namespace {

constexpr auto kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr auto kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

bool sodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace

QString HashPassword(const QString& password) {
  if (!sodiumReady()) return {};
  const QByteArray utf8 = password.toUtf8();
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                        kOpsLimit, kMemLimit) != 0) {
    return {};
  }
  return QString::fromLatin1(hash);
}

bool IsPasswordHash(const QString& stored) {
  // Every Argon2 variant libsodium writes ("$argon2i$", "$argon2id$") starts so.
  return stored.startsWith(QLatin1String("$argon2i"));
}

PasswordCheck CheckPassword(const QString& stored, const QString& typed) {
  if (!sodiumReady()) return PasswordCheck::Refused;
  const QByteArray typedUtf8 = typed.toUtf8();
  if (IsPasswordHash(stored)) {
    const QByteArray hash = stored.toLatin1();
    if (crypto_pwhash_str_verify(hash.constData(), typedUtf8.constData(),
                                 static_cast<unsigned long long>(typedUtf8.size())) != 0) {
      return PasswordCheck::Refused;
    }
    return crypto_pwhash_str_needs_rehash(hash.constData(), kOpsLimit, kMemLimit) == 0
               ? PasswordCheck::Accepted
               : PasswordCheck::AcceptedRewrite;
  }
  // A plain-text row: only the length can show through the timing, never the contents.
  const QByteArray plain = stored.toUtf8();
  const bool same = plain.size() == typedUtf8.size() &&
                    sodium_memcmp(plain.constData(), typedUtf8.constData(),
                                  static_cast<std::size_t>(plain.size())) == 0;
  return same ? PasswordCheck::AcceptedRewrite : PasswordCheck::Refused;
}
