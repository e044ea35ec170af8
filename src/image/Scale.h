#pragma once

#include <QPoint>

// A zoom value: image pixels per screen pixel (0.5 shows the image twice as large).
class CScale {
 public:
  explicit CScale(float value = 1.0f) : m_value(value) {}

  float value() const { return m_value; }
  void set(float value) { m_value = value; }

  float Divide(float x) const { return x / m_value; }
  float Multiply(float x) const { return x * m_value; }
  // (x × value, y × value), truncated towards zero.
  QPoint Map(const QPoint& point) const {
    return QPoint(static_cast<int>(point.x() * m_value), static_cast<int>(point.y() * m_value));
  }
  static float Ratio(float a, float b) { return a / b; }

 private:
  float m_value;
};
