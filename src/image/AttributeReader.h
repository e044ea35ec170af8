#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <string>

#include "db/DateTime.h"
#include "image/ImageEach.h"
#include "imaging/DicomDataSet.h"

// Reads attribute values of one data set into record fields; an absent element leaves the
// field as it was. The image record and the import read a file's attributes through it, so that
// both turn the same element into the same value.
class AttributeReader {
 public:
  using DicomTag = imaging::DicomTag;

  explicit AttributeReader(const imaging::DicomDataSet& dataSet) : m_dataSet(dataSet) {}

  std::optional<QString> text(DicomTag t) const { return toQString(m_dataSet.text(t)); }
  // Top level first; else the first one inside a sequence, where multi-frame files keep the
  // values shared by all frames (functional groups).
  std::optional<QString> textAnywhere(DicomTag t) const {
    if (auto value = text(t)) return value;
    return toQString(m_dataSet.text(t, true));
  }
  void text(DicomTag t, QString& field) const {
    if (auto value = text(t)) field = *value;
  }
  // Narrow strings: at most 255 characters, trailing blanks removed.
  void narrow(DicomTag t, QString& field) const {
    const auto value = m_dataSet.string(t);
    if (!value) return;
    QString s = QString::fromUtf8(value->data(), static_cast<qsizetype>(value->size()));
    while (s.endsWith(QLatin1Char(' '))) s.chop(1);
    field = s;
  }
  template <typename Number>
  void integer(DicomTag t, Number& field) const {
    if (auto value = text(t)) field = static_cast<Number>(attribute::toInteger(*value));
  }
  void real(DicomTag t, double& field) const {
    if (auto value = text(t)) field = attribute::toReal(*value);
  }
  // The element's date; nothing when it is absent or names no day of the calendar (DCMTK lets
  // 31 February through).
  std::optional<imaging::DicomDate> date(DicomTag t) const {
    const auto day = m_dataSet.date(t);
    if (!day || !QDate::isValid(day->year, day->month, day->day)) return std::nullopt;
    return day;
  }
  // Date element and time element combined; a missing date keeps the zero date, a missing
  // time gives midnight.
  void dateTime(DicomTag dateTag, std::optional<DicomTag> timeTag, CDateTime& field) const {
    const auto day = date(dateTag);
    if (!day && !(timeTag && m_dataSet.hasElement(*timeTag))) return;
    CDateTime value;
    if (day) value.setDate(day->year, day->month, day->day);
    if (timeTag) {
      int hour = 0, minute = 0, second = 0;
      if (auto t = text(*timeTag); t && attribute::parseTime(*t, hour, minute, second)) {
        value.setTime(hour, minute, second);
      }
    }
    field = value;
  }
  bool has(DicomTag t) const { return m_dataSet.hasElement(t); }

 private:
  static std::optional<QString> toQString(const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    return QString::fromUtf8(value->data(), static_cast<qsizetype>(value->size()));
  }

  const imaging::DicomDataSet& m_dataSet;
};
