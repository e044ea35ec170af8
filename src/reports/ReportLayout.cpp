#include "reports/ReportLayout.h"

#include <QFile>
#include <QStringList>

LayoutDescriptor LayoutDescriptor::Parse(const QString& text) {
  LayoutDescriptor descriptor;
  for (const QString& entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QStringList parts = entry.split(QLatin1Char('='));
    const QString& key = parts[0];
    const QString value = parts.size() > 1 ? parts[1] : QString();
    if (key == QLatin1String("V")) {
      descriptor.value = value;
    } else if (key == QLatin1String("A")) {
      descriptor.alignment = value == QLatin1String("C")   ? Qt::AlignHCenter
                             : value == QLatin1String("R") ? Qt::AlignRight
                                                           : Qt::AlignLeft;
    } else if (key == QLatin1String("FONT")) {
      descriptor.font = value == QLatin1String("S")   ? Small
                        : value == QLatin1String("M") ? Middle
                        : value == QLatin1String("L") ? Large
                                                      : DeviceDefault;
    } else if (key == QLatin1String("RPT")) {
      descriptor.flowing = value == QLatin1String("T");
    } else if (key == QLatin1String("L")) {
      descriptor.tight = value == QLatin1String("T");
    } else if (key == QLatin1String("F")) {
      descriptor.frame = value == QLatin1String("T");
    } else if (key == QLatin1String("C")) {
      descriptor.colour = value == QLatin1String("B")   ? QColor(0, 0, 255)
                          : value == QLatin1String("G") ? QColor(0, 255, 0)
                          : value == QLatin1String("R") ? QColor(255, 0, 0)
                                                        : QColor(Qt::black);
    }
  }
  return descriptor;
}

bool ReportLayout::Parse(const QString& text, ReportLayout& layout, QString* error) {
  ReportLayout parsed;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const QStringList fields = line.split(QLatin1Char('\t'));
    bool ok = true;
    auto number = [&](int index) {
      bool valid = false;
      const int value = index < fields.size() ? fields[index].trimmed().toInt(&valid) : 0;
      ok = ok && valid && value >= 0;
      return value;
    };
    if (fields[0] == QLatin1String("page") && fields.size() == 3) {
      parsed.size = QSize(number(1), number(2));
      ok = ok && !parsed.size.isEmpty();
    } else if (fields.size() == 6) {
      parsed.items.append({number(0), QRect(number(1), number(2), number(3), number(4)),
                           LayoutDescriptor::Parse(fields[5])});
    } else {
      ok = false;
    }
    if (!ok) {
      if (error) *error = QStringLiteral("Line %1 of the page layout: %2").arg(i + 1).arg(line);
      return false;
    }
  }
  if (parsed.size.isEmpty()) {
    if (error) *error = QStringLiteral("The page layout has no page size");
    return false;
  }
  layout = parsed;
  return true;
}

const ReportLayout& ReportLayout::Standard() {
  static const ReportLayout standard = [] {
    ReportLayout layout;
    QFile file(QStringLiteral(":/reports/ReportLayout.txt"));
    if (file.open(QIODevice::ReadOnly)) Parse(QString::fromUtf8(file.readAll()), layout);
    return layout;
  }();
  return standard;
}

QRect ReportLayout::PageRect(const QRect& units, const QSize& page) const {
  if (size.isEmpty()) return {};
  const int left = units.x() * page.width() / size.width();
  const int right = (units.x() + units.width()) * page.width() / size.width();
  const int top = units.y() * page.height() / size.height();
  const int bottom = (units.y() + units.height()) * page.height() / size.height();
  return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}
