#include "image/RawGeometry.h"

#include <QRegularExpression>

std::optional<RawGeometry> ParseRawGeometry(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral("^(\\d+)x(\\d+)x(8|16)$"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch()) return std::nullopt;
  return RawGeometry{match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt()};
}
