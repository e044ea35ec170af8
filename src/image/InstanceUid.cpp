#include "image/InstanceUid.h"

namespace {

constexpr int kMaxUidLength = 64;

}  // namespace

bool IsSafeInstanceUid(const QString& uid) {
  if (uid.isEmpty() || uid.size() > kMaxUidLength) return false;
  QChar previous = QLatin1Char('.');
  for (const QChar c : uid) {
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!digit && (c != QLatin1Char('.') || previous == QLatin1Char('.'))) return false;
    previous = c;
  }
  return previous != QLatin1Char('.');
}
