#include "reports/ReportPrint.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/IniFile.h"
#include "ui/Fonts.h"

namespace {

// The fonts were drawn with an average character width of 38 % of their height (48 % for the
// large one); Arial's own is about 38 %, so the large one is stretched.
QFont reportFont(int pixelHeight, int widthPercent) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(qMax(1, pixelHeight));
  font.setWeight(QFont::Normal);
  font.setStretch(widthPercent * 100 / 38);
  return WithScriptFallback(font);
}

// The headings of the three report texts; each is also the value of the item printing it.
constexpr std::array<const char*, 3> kSectionHeadings{"[Finding]", "[Conclusion]", "[Recommend]"};

// Calls visit(from, length, next) for every typed line of text: a line ends at its line feed
// (and the carriage return before it, when there is one), which length leaves out and next
// steps over; a final line break opens no further line.
template <typename Visit>
void forEachTypedLine(const QString& text, Visit visit) {
  for (qsizetype from = 0; from < text.size();) {
    const qsizetype feed = text.indexOf(QLatin1Char('\n'), from);
    const qsizetype end = feed < 0 ? text.size() : feed;
    const bool carriageReturn = end > from && feed >= 0 && text[feed - 1] == QLatin1Char('\r');
    const qsizetype next = feed < 0 ? text.size() : feed + 1;
    visit(from, end - from - (carriageReturn ? 1 : 0), next);
    from = next;
  }
}

// A text laid out as it prints within a width: each typed line broken between words, and inside
// a word only where the word alone is wider than the line, so nothing runs past the edge; lines
// one line spacing apart (the font's external leading included).
class PrintedText {
 public:
  PrintedText(const QString& text, const QFont& font, const QPaintDevice* device, int width,
              Qt::Alignment alignment) {
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    forEachTypedLine(text, [&](qsizetype from, qsizetype length, qsizetype) {
      auto& layout = m_layouts.emplace_back(
          std::make_unique<QTextLayout>(text.mid(from, length), font, device));
      layout->setTextOption(option);
      layout->beginLayout();
      for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, m_height));
        m_height += line.height();
        m_lengths.append(line.textLength());
      }
      layout->endLayout();
    });
  }

  // Characters of each printed line.
  const QList<qsizetype>& lineLengths() const { return m_lengths; }
  int height() const { return qCeil(m_height); }
  void draw(QPainter& painter, const QPoint& topLeft) const {
    for (const auto& layout : m_layouts) layout->draw(&painter, topLeft);
  }

 private:
  std::vector<std::unique_ptr<QTextLayout>> m_layouts;
  QList<qsizetype> m_lengths;
  qreal m_height = 0;
};

class PagePainter {
 public:
  PagePainter(QPagedPaintDevice& device, const ReportFonts& fonts, const ReportLayout& layout)
      : m_device(device),
        m_layout(layout),
        m_fonts{reportFont(fonts.small, 38), reportFont(fonts.middle, 38),
                reportFont(fonts.large, 48), QFont()} {}

  // How a typed line of a report text wraps in the item that prints that text.
  QList<qsizetype> typedLineBreaks(ReportPageParts::Text text, QStringView typedLine) const {
    for (const LayoutItem& item : m_layout.items) {
      if (item.descriptor.value != QLatin1String(kSectionHeadings[text])) continue;
      const QFont& font = m_fonts[item.descriptor.font];
      return PrintedText(typedLine.toString(), font, &m_device, textRect(item, font).width(),
                         item.descriptor.alignment)
          .lineLengths();
    }
    return {typedLine.size()};  // a layout without the item never prints the text
  }

  void startPage() { m_flow = -1; }

  // Paints an item's text, or only places it without a painter; returns where the text lies.
  QRect paintItem(QPainter* painter, const LayoutItem& item, const QString& text) {
    const LayoutDescriptor& descriptor = item.descriptor;
    const QFont& font = m_fonts[descriptor.font];
    if (painter) {
      painter->setFont(font);
      painter->setPen(descriptor.colour);
    }
    if (painter && descriptor.frame) {
      painter->save();
      painter->setPen(QPen(Qt::black, 3));
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(pageRect(item));
      painter->restore();
    }
    const QRect rect = textRect(item, font);
    const int gap = descriptor.tight ? 0 : lineHeight(font);
    if (descriptor.flowing) {
      const int top = m_flow == -1 ? rect.top() : m_flow;
      if (text.isEmpty()) {
        m_flow = top + gap;
        return {};
      }
      const PrintedText printed(text, font, &m_device, rect.width(), descriptor.alignment);
      const QRect placed(rect.left(), top, rect.width(), printed.height());
      if (painter) printed.draw(*painter, placed.topLeft());
      m_flow = placed.bottom() + 1 + gap;
      return placed;
    }
    if (text.isEmpty()) return {};
    if (painter) {
      // What does not fit is cut off at the rectangle.
      painter->save();
      painter->setClipRect(rect);
      PrintedText(text, font, &m_device, rect.width(), descriptor.alignment)
          .draw(*painter, rect.topLeft());
      painter->restore();
    }
    return rect;
  }

  // Whether the first page of parts keeps its flowing items on the sheet and clear of the fixed
  // items (the page number among them).
  bool fits(const ReportContent& content, const ReportPageParts& parts) {
    startPage();
    const QRect sheet(0, 0, m_device.width(), m_device.height());
    QList<QRect> fixed, flowing;
    for (const LayoutItem& item : m_layout.items) {
      const QRect placed =
          paintItem(nullptr, item, ReportItemText(item.descriptor.value, content, parts, 0));
      if (!placed.isEmpty()) (item.descriptor.flowing ? flowing : fixed).append(placed);
    }
    return std::all_of(flowing.begin(), flowing.end(), [&](const QRect& text) {
      return sheet.contains(text) && std::none_of(fixed.begin(), fixed.end(), [&](const QRect& f) {
               return f.intersects(text);
             });
    });
  }

 private:
  int lineHeight(const QFont& font) const { return QFontMetrics(font, &m_device).height(); }
  QRect pageRect(const LayoutItem& item) const {
    return m_layout.PageRect(item.rect, QSize(m_device.width(), m_device.height()));
  }
  // The item's rectangle with the text's indent: half a line from the left, a sixteenth of a
  // line from the top.
  QRect textRect(const LayoutItem& item, const QFont& font) const {
    const int h = lineHeight(font);
    return pageRect(item).adjusted(h / 2, h / 16, 0, 0);
  }

  QPagedPaintDevice& m_device;
  const ReportLayout& m_layout;
  std::array<QFont, 4> m_fonts;
  int m_flow = -1;
};

// The most printed lines a page takes: 29, or fewer where the report fonts are so large that 29
// lines under all three headings would run over the page number or off the sheet.
int LinesPerPage(PagePainter& pages, const ReportContent& content) {
  for (int lines = ReportPageParts::kLinesPerPage; lines > 1; --lines) {
    ReportPageParts page;
    page.pageCount = 1;
    page.parts = {{QStringLiteral("x\n").repeated(qMax(1, lines - 2)), QStringLiteral("x"),
                   QStringLiteral("x")}};
    if (pages.fits(content, page)) return lines;
  }
  return 1;
}

}  // namespace

ReportPageParts ReportPageParts::Split(const ReportTexts& texts, const LineBreaker& breaker,
                                       int linesPerPage) {
  ReportPageParts split;
  int lineCount = 0;
  int page = 0;
  auto store = [&split](int at, int text, const QString& chunk) {
    while (split.parts.size() <= at) split.parts.append(std::array<QString, 3>{});
    split.parts[at][text] = chunk;
  };
  const std::array<const QString*, 3> all{&texts.finding, &texts.conclusion, &texts.recommend};
  for (int t = 0; t < 3; ++t) {
    const QString& text = *all[t];
    qsizetype chunkStart = 0;
    forEachTypedLine(text, [&](qsizetype from, qsizetype length, qsizetype next) {
      const QList<qsizetype> lengths = breaker(Text(t), QStringView(text).mid(from, length));
      qsizetype lineEnd = from;
      for (qsizetype i = 0; i < lengths.size(); ++i) {
        // The last printed line takes the typed line's break with it.
        lineEnd = i + 1 < lengths.size() ? lineEnd + lengths[i] : next;
        if (++lineCount % linesPerPage != 0) continue;
        store(page++, t, text.mid(chunkStart, lineEnd - chunkStart));
        chunkStart = lineEnd;
      }
    });
    store(page, t, text.mid(chunkStart));
  }
  split.pageCount = (lineCount + linesPerPage - 1) / linesPerPage;
  return split;
}

QString ReportPageParts::part(int page, Text text) const {
  return page >= 0 && page < parts.size() ? parts[page][text] : QString();
}

ReportFonts ReportFonts::Read(const CIniFile& ini) {
  const ReportFonts defaults;
  const QString section = QStringLiteral("PRTRPT");
  return {ini.ReadInt(section, QStringLiteral("Small"), defaults.small),
          ini.ReadInt(section, QStringLiteral("Middle"), defaults.middle),
          ini.ReadInt(section, QStringLiteral("Large"), defaults.large)};
}

QString ReportDoctor(const CIniFile& ini) {
  return ini.ReadString(QStringLiteral("User"), QStringLiteral("Name"));
}

QString ReportItemText(const QString& value, const ReportContent& content,
                       const ReportPageParts& parts, int page) {
  const CDScanInfo& info = content.scanInfo;
  QString text = value;
  if (value == QLatin1String("Patient ID")) {
    text = info.Pat.PatID;
  } else if (value == QLatin1String("Patient Name")) {
    text = info.Pat.PatName;
  } else if (value == QLatin1String("DOB")) {
    text = ReportDate(info.Pat.PatBirthDate);
  } else if (value == QLatin1String("Sex")) {
    text = info.Pat.PatSex;
  } else if (value == QLatin1String("Study")) {
    text = value + QLatin1Char(':') + ReportStudyName(info);
  } else if (value == QLatin1String("Hospital")) {
    text = info.Img.InstitutionName;
  } else if (value == QLatin1String("Doctor")) {
    text = content.doctor;
  } else if (value == QLatin1String("Page")) {
    text = QStringLiteral("Page : %1 / %2").arg(page + 1).arg(parts.pageCount);
  }
  for (int section = 0; section < 3; ++section) {
    if (value != QLatin1String(kSectionHeadings[section])) continue;
    const QString part = parts.part(page, ReportPageParts::Text(section));
    text = part.isEmpty() ? QString() : value + QStringLiteral("\r\n") + part;
  }
  return text;
}

int PrintReport(QPagedPaintDevice& device, const ReportContent& content, const ReportFonts& fonts,
                const ReportLayout& layout) {
  if (content.texts.isEmpty()) return 0;
  PagePainter pages(device, fonts, layout);
  const ReportPageParts parts = ReportPageParts::Split(
      content.texts,
      [&pages](ReportPageParts::Text text, QStringView line) {
        return pages.typedLineBreaks(text, line);
      },
      LinesPerPage(pages, content));
  QPainter painter;
  if (!painter.begin(&device)) return -1;
  for (int page = 0; page < parts.pageCount; ++page) {
    if (page > 0 && !device.newPage()) {
      painter.end();
      return -1;
    }
    pages.startPage();
    for (const LayoutItem& item : layout.items) {
      pages.paintItem(&painter, item, ReportItemText(item.descriptor.value, content, parts, page));
    }
  }
  return painter.end() ? parts.pageCount : -1;
}

int SaveReportPdf(const QString& path, const ReportContent& content, const ReportFonts& fonts,
                  QString* error) {
  if (content.texts.isEmpty()) {
    if (error) *error = QStringLiteral("The report has no text to print");
    return 0;
  }
  // Written whole or not at all: an earlier file of that name stays until the new one is
  // complete.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return -1;
  }
  QPdfWriter writer(&file);
  writer.setResolution(kReportDpi);
  writer.setTitle(QLatin1String(kReportJobName));
  writer.setCreator(QStringLiteral("toraScan"));
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter));
  const int pages = PrintReport(writer, content, fonts);
  if (pages > 0 && file.commit()) return pages;
  file.cancelWriting();
  if (error) *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
  return -1;
}
