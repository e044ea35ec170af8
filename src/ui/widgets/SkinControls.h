#pragma once

// The controls the skinned dialogs are built from. None paints a button face or a dialog frame:
// those come from the skin (ApplySkinElement), or else from the platform's plain look.

#include <QColor>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

// A font as the skinned controls build it: pixel height, weight (100 to 900, 700 bold), an empty
// face meaning the application face, antialiased.
QFont SkinFont(const QString& face, int pixelHeight, int weight, bool italic = false);

// Names a dialog's control "ctl<id>" after its resource id (tests find it by that name) and
// places it at geometry (pixels).
template <class Widget>
Widget* PlaceControl(Widget* widget, int id, const QRect& geometry) {
  widget->setObjectName(QStringLiteral("ctl%1").arg(id));
  widget->setGeometry(geometry);
  return widget;
}

// A dialog's push button, named and placed as by PlaceControl, running slot when clicked. It
// is never the dialog's default button, so Enter in a field does not press it.
template <class Button, class Dialog>
Button* AddDialogButton(Dialog* dialog, int id, const QString& text, const QRect& geometry,
                        void (Dialog::*slot)()) {
  auto* button = PlaceControl(new Button(text, dialog), id, geometry);
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, dialog, slot);
  return button;
}

// A skinned push button with a font of its own.
class CButtonSTEx2 : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

  // Font sizes are given in the skin's point-like unit: the pixel height is size x 1.32,
  // truncated (size 14 gives 18 pixels). An empty face means the application face.
  void SetFont(const QString& face, int size, int weight);
};

// A static text with its own font and colour. Text is always shown as plain text, so a message
// that happens to contain markup is shown as it is written.
class CStaticEx : public QLabel {
  Q_OBJECT

 public:
  explicit CStaticEx(QWidget* parent = nullptr);

  // An empty face keeps the stored face (the application face until one is given); a height of
  // 0 keeps the stored height (20 until set). The font is rebuilt only when face, height,
  // weight or italic changed; the colour is taken on every call.
  void SetFont(const QString& face, int height, const QColor& colour, int weight = 400,
               bool italic = false);

 private:
  bool m_hasFont = false;
  QString m_face;
  int m_height = 20;
  int m_weight = 400;
  bool m_italic = false;
};

// A date-time field on the dialog background colour.
class CDateTimeCtrlEx : public QDateTimeEdit {
  Q_OBJECT

 public:
  explicit CDateTimeCtrlEx(QWidget* parent = nullptr);

 protected:
  void changeEvent(QEvent* event) override;
};

// A caption band: its window text on the left, and behind it a band fading from the dialog
// background colour at the right edge towards black at the left, with a caption drawn
// right-aligned into the band.
class CSAPrefsStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CSAPrefsStatic(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  QString Caption() const { return m_caption; }

  // The fading band (without the caption) for a control of the given size: bands of width
  // max(1, width / 128) from the right edge, each component v of backColour becoming
  // v - d*d*v / (width*width) at distance d from the right edge; the strip left of the last band
  // is textColour.
  static QImage BuildBand(int width, int height, const QColor& backColour,
                          const QColor& textColour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_caption;
  // Built on the first paint and kept: the band does not follow later size changes.
  QImage m_background;
};

// Plain platform controls under the names the dialogs use.
class CColoredCombo : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
};

class CColoredEdit : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;
};

class CRoundStatic : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
};
