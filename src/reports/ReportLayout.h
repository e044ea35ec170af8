#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

// What one item of the printed page prints and how, read from its descriptor: entries
// "key=value" separated by ";". The key ends at the first "=", the value at the next "=" or at
// the end of the entry; empty entries are skipped, keys are compared exactly and unknown keys
// (and "B") are ignored.
//   V     what to print: a field name or literal text; absent: nothing
//   A     L, C or R alignment; anything else: left
//   FONT  S, M or L report font; anything else: the device's default font; absent: S
//   RPT   T: a flowing item, placed below the previous flowing item of the page
//   L     T: the next flowing item follows right below; otherwise one line lower
//   F     T: a frame around the item's rectangle
//   C     B, G or R text colour; anything else: black
struct LayoutDescriptor {
  enum Font { Small, Middle, Large, DeviceDefault };

  QString value;
  Qt::Alignment alignment = Qt::AlignLeft;
  Font font = Small;
  bool flowing = false;
  bool tight = false;
  bool frame = false;
  QColor colour = Qt::black;

  static LayoutDescriptor Parse(const QString& text);
};

struct LayoutItem {
  int id = 0;
  QRect rect;  // layout units
  LayoutDescriptor descriptor;
};

// The page: its size in layout units and its items in the order they are printed.
struct ReportLayout {
  QSize size;
  QList<LayoutItem> items;

  // Lines "page W H" and "id x y w h descriptor" (tab-separated; "#" starts a comment line).
  // False, with the line at fault in error, for any other line or a page without a size.
  static bool Parse(const QString& text, ReportLayout& layout, QString* error = nullptr);
  // The layout the program ships (":/reports/ReportLayout.txt").
  static const ReportLayout& Standard();

  // An item's rectangle on a printable area of page pixels: each edge scaled by page / layout
  // size in integer arithmetic, so the layout fills the area.
  QRect PageRect(const QRect& units, const QSize& page) const;
};
