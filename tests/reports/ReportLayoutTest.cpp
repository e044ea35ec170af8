// The printed page's layout: descriptors, the shipped layout table and the scaling of items.
#include <gtest/gtest.h>

#include "reports/ReportLayout.h"

namespace {

TEST(ReportLayout, DescriptorsGiveWhatAndHowToPrint) {
  struct Case {
    const char* text;
    const char* value;
    Qt::Alignment alignment;
    LayoutDescriptor::Font font;
    bool flowing, tight, frame;
    QColor colour;
  };
  using F = LayoutDescriptor::Font;
  const Case cases[] = {
      {"V=print from toraScan;L=T;B=T;F=F;A=C;FONT=M", "print from toraScan", Qt::AlignHCenter,
       F::Middle, false, true, false, Qt::black},
      {"V=[Finding];L=F;B=F;F=F;A=L;RPT=T;FONT=S", "[Finding]", Qt::AlignLeft, F::Small, true,
       false, false, Qt::black},
      // Nothing given: nothing printed, left, small, fixed, no frame, black.
      {"", "", Qt::AlignLeft, F::Small, false, false, false, Qt::black},
      {"A=R;FONT=L;F=T;C=B", "", Qt::AlignRight, F::Large, false, false, true, QColor(0, 0, 255)},
      {"A=X;FONT=Q;C=G", "", Qt::AlignLeft, F::DeviceDefault, false, false, false,
       QColor(0, 255, 0)},
      {"C=R;RPT=F;L=t", "", Qt::AlignLeft, F::Small, false, false, false, QColor(255, 0, 0)},
      // Keys are exact, empty entries and unknown keys are skipped, a value ends at "=".
      {";;v=lower;Zoom=2;V=a=b;;", "a", Qt::AlignLeft, F::Small, false, false, false, Qt::black},
      {"C=Y;V=Clinic", "Clinic", Qt::AlignLeft, F::Small, false, false, false, Qt::black},
  };
  for (const Case& c : cases) {
    const LayoutDescriptor d = LayoutDescriptor::Parse(QString::fromUtf8(c.text));
    SCOPED_TRACE(c.text);
    EXPECT_EQ(d.value, QString::fromUtf8(c.value));
    EXPECT_EQ(d.alignment, c.alignment);
    EXPECT_EQ(d.font, c.font);
    EXPECT_EQ(d.flowing, c.flowing);
    EXPECT_EQ(d.tight, c.tight);
    EXPECT_EQ(d.frame, c.frame);
    EXPECT_EQ(d.colour, c.colour);
  }
}

TEST(ReportLayout, ShippedLayoutHoldsTheFourteenItemsInPrintOrder) {
  const ReportLayout& layout = ReportLayout::Standard();
  EXPECT_EQ(layout.size, QSize(274, 440));
  QList<int> ids;
  for (const LayoutItem& item : layout.items) ids << item.id;
  EXPECT_EQ(ids, (QList<int>{1186, 1191, 1187, 1189, 1027, 1032, 1034, 1033, 1026, 1192, 1195, 1196,
                             1197, 1028}));
  EXPECT_EQ(layout.items[5].rect, QRect(42, 104, 232, 10));
  EXPECT_EQ(layout.items[5].descriptor.value, "[Finding]");
  EXPECT_TRUE(layout.items[5].descriptor.flowing);
  EXPECT_EQ(layout.items[13].descriptor.value, "print from toraScan");
  // The title and the patient line use the middle font, everything else the small one.
  for (const LayoutItem& item : layout.items) {
    const bool middle = QList<int>{1028, 1186, 1191, 1187, 1189}.contains(item.id);
    EXPECT_EQ(item.descriptor.font, middle ? LayoutDescriptor::Middle : LayoutDescriptor::Small)
        << item.id;
  }
}

TEST(ReportLayout, MalformedTablesAreRefusedWithTheLine) {
  ReportLayout layout;
  layout.size = QSize(1, 1);
  QString error;
  const char* const bad[] = {
      "page\t274\n", "page\t0\t440\n", "page\t274\t440\n1186\t33\t49\t42\tV=x\n",
      "page\t274\t440\n1186\t33\tx\t42\t20\tV=x\n", "1186\t33\t49\t42\t20\tV=x\n"};
  for (const char* text : bad) {
    EXPECT_FALSE(ReportLayout::Parse(QString::fromUtf8(text), layout, &error)) << text;
    EXPECT_FALSE(error.isEmpty());
  }
  EXPECT_EQ(layout.size, QSize(1, 1)) << "a refused table changes nothing";
  ASSERT_TRUE(ReportLayout::Parse("# comment\n\npage\t10\t20\n7\t1\t2\t3\t4\tV=x;A=R\n", layout));
  ASSERT_EQ(layout.items.size(), 1);
  EXPECT_EQ(layout.items[0].rect, QRect(1, 2, 3, 4));
  EXPECT_EQ(layout.items[0].descriptor.alignment, Qt::AlignRight);
}

// Each edge scales by page / layout in integer arithmetic: the layout fills the page.
TEST(ReportLayout, ItemsScaleToThePrintableArea) {
  const ReportLayout& layout = ReportLayout::Standard();
  struct Case {
    QRect units;
    QSize page;
    QRect pixels;
  };
  const Case cases[] = {
      {{0, 0, 274, 440}, {4660, 6716}, {0, 0, 4660, 6716}},
      {{42, 104, 232, 10}, {4660, 6716}, {714, 1587, 4660 - 714, 1740 - 1587}},
      {{163, 12, 97, 11}, {274, 440}, {163, 12, 97, 11}},
      {{33, 49, 42, 20}, {548, 880}, {66, 98, 84, 40}},
      {{1, 1, 1, 1}, {100, 100}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(layout.PageRect(c.units, c.page), c.pixels) << c.units.x() << "," << c.units.y();
  }
}

}  // namespace
