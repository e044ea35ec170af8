#include "app/TextNumbers.h"

#include <charconv>
#include <climits>

namespace {

// The number's characters after leading blanks, with a "+" sign dropped (from_chars takes
// only "-").
QByteArray numberPart(const QString& text) {
  QByteArray bytes = text.toLatin1();
  qsizetype start = 0;
  while (start < bytes.size() &&
         (bytes[start] == ' ' || (bytes[start] >= '\t' && bytes[start] <= '\r'))) {
    ++start;
  }
  if (start < bytes.size() && bytes[start] == '+') ++start;
  return bytes.mid(start);
}

}  // namespace

double LeadingDouble(const QString& text) {
  const QByteArray bytes = numberPart(text);
  double value = 0.0;
  const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
  return result.ec == std::errc() ? value : 0.0;
}

long LeadingLong(const QString& text) {
  const QByteArray bytes = numberPart(text);
  long value = 0;
  const auto result = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
  if (result.ec == std::errc::result_out_of_range)
    return bytes.startsWith('-') ? LONG_MIN : LONG_MAX;
  return result.ec == std::errc() ? value : 0;
}
