#include "display/OverlayText.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "db/DateTime.h"
#include "display/OutlinedText.h"
#include "image/ImageEach.h"
#include "ui/Fonts.h"

namespace overlay {

namespace {

const QColor kTextColour(200, 200, 200);

constexpr int kLeft = 10;
constexpr int kRightInset = 20;    // right edge of the hospital lines
constexpr int kColumnInset = 100;  // left edge of the exposure and series lines
constexpr int kLineStep = 20;
constexpr int kFirstBottomOffset = 30;

bool hasNonBlank(const QString& text) {
  return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c != QLatin1Char(' '); });
}

QString trimmedRight(QString text) {
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

// Long names and values in a small pane would run over its edges: each line keeps its place
// where it fits and is moved in, or cut short, where it does not.
void keepInside(std::vector<Line>& lines, const QSize& client) {
  const QFontMetrics large(PointFont(Face::System, kLargeTenths));
  const QFontMetrics small(PointFont(Face::Arials, kSmallTenths));
  // Inside the pane's one-pixel border.
  const QRect room = QRect(QPoint(0, 0), client).adjusted(1, 1, -1, -1);
  const int widest = room.width() - 2;  // the outline takes a pixel on either side
  for (Line& line : lines) {
    const QFontMetrics& metrics = line.face == Face::System ? large : small;
    if (metrics.horizontalAdvance(line.text) > widest) {
      line.text = metrics.elidedText(line.text, Qt::ElideRight, widest);
    }
    const QRect cell = TextCell(metrics, line.anchor.x(), line.anchor.y(), line.text,
                                line.rightAligned ? TA_RIGHT | TA_TOP : TA_LEFT | TA_TOP);
    line.cell = MovedInside(cell, room);
    line.anchor += line.cell.topLeft() - cell.topLeft();
  }
}

}  // namespace

QFont PointFont(Face face, int tenths) {
  QFont font(face == Face::System ? QStringLiteral("DejaVu Sans")
                                  : QStringLiteral("Liberation Sans"));
  if (face == Face::System) font.setBold(true);
  font.setPointSizeF(tenths / 10.0);
  font.setStyleStrategy(QFont::NoAntialias);
  return WithScriptFallback(font);
}

QString FormatDate(const CDateTime& value) {
  if (!value.isGiven()) return {};
  return value.date().toString(QStringLiteral("yyyy.MM.dd"));
}

QString BirthText(const CDateTime& birth, int ageCode) {
  QString text = FormatDate(birth);
  if (birth.isValid() && birth.month() == 1 && birth.day() == 1 && birth.year() == 1900) {
    text.clear();
  }
  if (birth.isValid() && ageCode > 0 && ageCode < 3000) {
    static const char* const kUnits[] = {"Y", "M", "D"};
    text += QStringLiteral("[%1%2]").arg(ageCode % 1000).arg(QLatin1String(kUnits[ageCode / 1000]));
  }
  return text;
}

Layout Compute(const CImageEach& record, const OverlaySwitches& switches, const QSize& client,
               double cmPerPixel) {
  Layout layout;
  if (!(cmPerPixel > 0) || client.height() <= 10) return layout;
  const int w = client.width();
  const int h = client.height();
  const CDScanInfo& info = record.scanInfo;
  const auto add = [&](const QString& text, int x, int y, bool right = false,
                       Face face = Face::Arials) {
    layout.lines.push_back({text, QPoint(x, y), right, face, QRect()});
  };

  if (switches.patientInfo) {
    add(info.Pat.PatID, kLeft, 10, false, Face::System);
    add(trimmedRight(info.Pat.PatName), kLeft, 30, false, Face::System);
    QString sexLine;
    if (!info.Pat.PatSex.isEmpty()) sexLine = info.Pat.PatSex.left(1).toUpper();
    const QString birth = BirthText(info.Pat.PatBirthDate, record.patientAge);
    if (!birth.isEmpty()) sexLine += QLatin1Char('(') + birth + QLatin1Char(')');
    add(sexLine, kLeft, 50, false, Face::System);
    if (!info.Stu.StuAccessNo.isEmpty()) add(info.Stu.StuAccessNo, kLeft, 70);
  }

  // The right-hand lines stack upward from the bottom; o is the distance of the next one.
  int o = kFirstBottomOffset;
  if (switches.hospitalInfo) {
    const int x = w - kRightInset;
    if (!info.Img.InstitutionName.isEmpty()) {
      add(info.Img.InstitutionName, x, h - o, true);
      o = 50;
    }
    for (const auto& [prefix, name] : {std::pair{QStringLiteral("Ref:"), info.Stu.StuPhysicianRef},
                                       std::pair{QStringLiteral("Op:"), info.Stu.StuOperator}}) {
      if (!hasNonBlank(name)) continue;
      add(prefix + name, x, h - o, true);
      o += kLineStep;
    }
  }

  const int column = w - kColumnInset;
  const auto stack = [&](const QString& text) {
    add(text, column, h - o);
    o += kLineStep;
  };
  if (info.Img.ExposureIndex > 0) stack(QString::asprintf("EI      : %ld", info.Img.ExposureIndex));
  const double kv = info.Img.KVP;
  if (switches.xrayParamInfo && kv != -1 && kv != 0) {
    if (info.Img.DoseAreaProduct != 0) {
      stack(QString::asprintf("Dose  : %ld mGcm2", info.Img.DoseAreaProduct));
    }
    if (info.Img.MAS != 0) stack(QString::asprintf("mAs  : %3.0f", info.Img.MAS));
    // The row keeps the exposure time in seconds.
    if (info.Img.TIME != 0) stack(QString::asprintf("Time : %3.3f", info.Img.TIME));
    if (info.Img.MA != 0) stack(QString::asprintf("mA    : %3.2f", info.Img.MA));
    stack(QString::asprintf("kV     : %3d", static_cast<int>(kv)));
  }

  if (switches.seriesInfo) {
    if (info.Ser.SeriesNo != 0) add(QString::asprintf("Srs : %ld", info.Ser.SeriesNo), column, 10);
    if (info.Img.ImageNo != 0) add(QString::asprintf("Img : %ld", info.Img.ImageNo), column, 30);
    if (record.frameCount > 1) {
      add(QString::asprintf("Frm : %d", record.currentFrame + 1), column, 50);
      layout.frameNumberRect = QRect(QPoint(w - 70, 50), QPoint(w - 41, 64));
    } else if (info.Img.AcqNo != 0) {
      add(QString::asprintf("Acq : %ld", info.Img.AcqNo), column, 50);
    }
  }

  const CDateTime& content = info.Img.AcquisitionDateTime;
  if (switches.acquisitionInfo && content.isGiven()) {
    add(FormatDate(content), kLeft, h - 50);
    add(content.time().toString(QStringLiteral("hh:mm:ss")), kLeft, h - 30);
  }

  if (switches.anatomicalInfo) {
    const QString& bodyPart = info.Ser.BodyPart;
    QString position = info.Ser.PatientPosition;
    if (position.startsWith(bodyPart)) position.remove(0, bodyPart.size());
    add(bodyPart + QLatin1Char(' ') + position, kLeft, h - 70);
  }
  keepInside(layout.lines, client);
  return layout;
}

void Paint(QPainter& painter, const Layout& layout) {
  if (layout.lines.empty()) return;
  painter.save();
  const QFont large = PointFont(Face::System, kLargeTenths);
  const QFont small = PointFont(Face::Arials, kSmallTenths);
  for (const Line& line : layout.lines) {
    painter.setFont(line.face == Face::System ? large : small);
    DrawOutlinedText(painter, line.anchor.x(), line.anchor.y(), line.text, kTextColour,
                     line.rightAligned ? TA_RIGHT | TA_TOP : TA_LEFT | TA_TOP);
  }
  painter.restore();
}

}  // namespace overlay
