#include "reports/ReportPrint.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

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

class PagePainter {
 public:
  PagePainter(QPainter& painter, QPagedPaintDevice& device, const ReportFonts& fonts)
      : m_painter(painter),
        m_device(device),
        m_fonts{reportFont(fonts.small, 38), reportFont(fonts.middle, 38),
                reportFont(fonts.large, 48), QFont()} {}

  void startPage() { m_flow = -1; }

  void paintItem(const ReportLayout& layout, const LayoutItem& item, const QString& text) {
    const LayoutDescriptor& descriptor = item.descriptor;
    QRect rect = layout.PageRect(item.rect, QSize(m_device.width(), m_device.height()));
    const QFont& font = m_fonts[descriptor.font];
    m_painter.setFont(font);
    const int h = QFontMetrics(font, &m_device).height();
    if (descriptor.frame) {
      m_painter.setPen(QPen(Qt::black, 3));
      m_painter.setBrush(Qt::NoBrush);
      m_painter.drawRect(rect);
    }
    rect.setLeft(rect.left() + h / 2);
    rect.setTop(rect.top() + h / 16);
    const int gap = descriptor.tight ? 0 : h;
    if (descriptor.flowing) {
      const int top = m_flow == -1 ? rect.top() : m_flow;
      if (text.isEmpty()) {
        m_flow = top + gap;
        return;
      }
      const int flags = int(descriptor.alignment) | Qt::TextWordWrap;
      const QRect measured =
          m_painter.boundingRect(QRect(rect.left(), top, rect.width(), 0), flags, text);
      const QRect placed(rect.left(), top, rect.width(), measured.height());
      m_painter.setPen(descriptor.colour);
      m_painter.drawText(placed, flags, text);
      m_flow = placed.top() + placed.height() + gap;
    } else if (!text.isEmpty()) {
      // What does not fit is cut off at the rectangle.
      m_painter.setPen(descriptor.colour);
      m_painter.drawText(rect, int(descriptor.alignment) | Qt::TextWordWrap, text);
    }
  }

 private:
  QPainter& m_painter;
  QPagedPaintDevice& m_device;
  std::array<QFont, 4> m_fonts;
  int m_flow = -1;
};

}  // namespace

ReportPageParts ReportPageParts::Split(const ReportTexts& texts) {
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
    QString chunk;
    qsizetype from = 0;
    // A line ends at its line feed (after its carriage return, when it has one).
    for (qsizetype end = text.indexOf(QLatin1Char('\n')); end >= 0;
         end = text.indexOf(QLatin1Char('\n'), from)) {
      chunk += text.mid(from, end + 1 - from);
      from = end + 1;
      if (++lineCount % kLinesPerPage == 0) {
        store(page++, t, chunk);
        chunk.clear();
      }
    }
    if (from < text.size()) {
      chunk += text.mid(from);
      store(page, t, chunk);
      if (++lineCount % kLinesPerPage == 0) ++page;
    } else {
      store(page, t, chunk);
    }
  }
  split.pageCount = (lineCount + kLinesPerPage - 1) / kLinesPerPage;
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
  const struct {
    const char* heading;
    ReportPageParts::Text text;
  } sections[] = {{"[Finding]", ReportPageParts::Finding},
                  {"[Conclusion]", ReportPageParts::Conclusion},
                  {"[Recommend]", ReportPageParts::Recommend}};
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
  for (const auto& section : sections) {
    if (value != QLatin1String(section.heading)) continue;
    const QString part = parts.part(page, section.text);
    text = part.isEmpty() ? QString() : value + QStringLiteral("\r\n") + part;
  }
  return text;
}

int PrintReport(QPagedPaintDevice& device, const ReportContent& content, const ReportFonts& fonts,
                const ReportLayout& layout) {
  const ReportPageParts parts = ReportPageParts::Split(content.texts);
  if (parts.pageCount == 0) return 0;
  QPainter painter;
  if (!painter.begin(&device)) return -1;
  PagePainter pages(painter, device, fonts);
  for (int page = 0; page < parts.pageCount; ++page) {
    if (page > 0 && !device.newPage()) {
      painter.end();
      return -1;
    }
    pages.startPage();
    for (const LayoutItem& item : layout.items) {
      QString text = ReportItemText(item.descriptor.value, content, parts, page);
      pages.paintItem(layout, item, text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
  }
  return painter.end() ? parts.pageCount : -1;
}

int SaveReportPdf(const QString& path, const ReportContent& content, const ReportFonts& fonts,
                  QString* error) {
  if (ReportPageParts::Split(content.texts).pageCount == 0) {
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
