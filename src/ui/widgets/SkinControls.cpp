#include "ui/widgets/SkinControls.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

#include "ui/widgets/BaseSkinDlg.h"

QFont SkinFont(const QString& face, int pixelHeight, int weight, bool italic) {
  QFont font;
  const QString family = face.isEmpty() ? AppFontFace() : face;
  if (!family.isEmpty()) font.setFamilies({family});
  font.setPixelSize(std::max(1, pixelHeight));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  font.setItalic(italic);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

void CButtonSTEx2::SetFont(const QString& face, int size, int weight) {
  setFont(SkinFont(face, static_cast<int>(size * 1.32), weight));
}

CStaticEx::CStaticEx(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void CStaticEx::SetFont(const QString& face, int height, const QColor& colour, int weight,
                        bool italic) {
  const QString newFace = face.isEmpty() ? m_face : face;
  const int newHeight = height != 0 ? height : m_height;
  if (!m_hasFont || newFace != m_face || newHeight != m_height || weight != m_weight ||
      italic != m_italic) {
    m_face = newFace;
    m_height = newHeight;
    m_weight = weight;
    m_italic = italic;
    m_hasFont = true;
    setFont(SkinFont(m_face, m_height, m_weight, m_italic));
  }
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, colour);
  setPalette(pal);
}

CDateTimeCtrlEx::CDateTimeCtrlEx(QWidget* parent) : QDateTimeEdit(parent) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, DialogBackColour());
  setPalette(pal);
  setAutoFillBackground(isEnabled());
}

// A disabled field keeps the parent's ground instead of the dialog colour.
void CDateTimeCtrlEx::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) setAutoFillBackground(isEnabled());
  QDateTimeEdit::changeEvent(event);
}

CSAPrefsStatic::CSAPrefsStatic(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void CSAPrefsStatic::SetCaption(const QString& caption) {
  m_caption = caption;
  m_background = QImage();
  update();
}

QImage CSAPrefsStatic::BuildBand(int width, int height, const QColor& backColour,
                                 const QColor& textColour) {
  QImage band(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  const qint64 w = band.width();
  const int k = std::max<int>(1, band.width() / 128);
  // 64-bit: d*d*v overflows an int for bands wider than about 2900 pixels.
  const auto fade = [w](int v, qint64 d) { return static_cast<int>(v - d * d * v / (w * w)); };
  QPainter painter(&band);
  int x = band.width() - k;
  for (;;) {
    const qint64 d = w - x;
    painter.fillRect(
        x, 0, k, band.height(),
        QColor(fade(backColour.red(), d), fade(backColour.green(), d), fade(backColour.blue(), d)));
    if (x <= k) break;
    x -= k;
  }
  if (x > 0) painter.fillRect(0, 0, x, band.height(), textColour);
  return band;
}

void CSAPrefsStatic::paintEvent(QPaintEvent*) {
  if (m_background.isNull()) {
    m_background = BuildBand(width(), height(), DialogBackColour(), DialogTextColour());
    QPainter band(&m_background);
    QFont captionFont = SkinFont(QString(), 1, 700);
    captionFont.setPointSize(20 - 6);
    band.setFont(captionFont);
    const QRect area = m_background.rect().adjusted(0, 0, -5, 0);
    const int flags = Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine;
    band.setPen(palette().color(QPalette::Highlight));
    band.drawText(area.translated(1, 1), flags, m_caption);
    band.setPen(palette().color(QPalette::Shadow));
    band.drawText(area, flags, m_caption);
  }
  QPainter painter(this);
  painter.drawImage(0, 0, m_background);
  const QString face = AppFontFace();
  painter.setFont(face.isEmpty() && parentWidget() ? parentWidget()->font()
                                                   : SkinFont(face, 20, 700));
  painter.setPen(palette().color(QPalette::Button));
  painter.drawText(rect().adjusted(5, 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}
