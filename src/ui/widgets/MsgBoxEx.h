#pragma once

// CMsgBoxEx: the application's modal message box. It takes the style value of the platform
// message box (button set in the low four bits, icon in 0x10 to 0x80) and ends with the code of
// the pressed button, so callers use it like the platform call. The caller's caption is kept but
// never shown: every box is titled with label 200 ("Message").

#include <QList>
#include <QString>

#include "ui/MessageSink.h"
#include "ui/widgets/BaseSkinDlg.h"

class CButtonSTEx2;
class CStaticEx;
class QShowEvent;

// The two codes beyond the platform's set.
inline constexpr int IDYESTOALL = 8;
inline constexpr int IDNOTOALL = 9;

class CMsgBoxEx : public CBaseSkinDlg {
  Q_OBJECT

 public:
  enum class Icon { None, Error, Question, Warning, Information };

  static constexpr int kWidth = 554;
  static constexpr int kHeight = 230;
  // Object name of the message text control (control 1919).
  static constexpr const char* kTextName = "msgText";
  // Object name of the icon button.
  static constexpr const char* kIconName = "msgIcon";

  CMsgBoxEx(QWidget* parent, const QString& text, const QString& caption, unsigned style);

  // ---- the rules, without a window
  // The style with the icon the button set implies when no icon bit (0x10 to 0x80) is given:
  // sets 0 and 1 information, 2 and 5 error, 3, 4 and 8 question, others none.
  static unsigned WithDefaultIcon(unsigned style);
  static Icon IconOf(unsigned style);
  // The button codes from left to right.
  static QList<int> ButtonCodes(unsigned style);
  // The text of a button code (labels 160, 166, 198, 199 through GetLabel; fixed English texts
  // for the others).
  static QString ButtonLabel(int code);
  // The skin element of an icon ("message_x", "message_q", "message_w", "message_i"; empty for
  // none) and its sound (16, 32, 48, and 0 for the default sound), played once when the box
  // first shows.
  static QString IconElement(Icon icon);
  static int IconSound(Icon icon);

  // The platform has a single beep (QApplication::beep()); the sound is passed on for a
  // platform that can tell them apart. Returns the previous function; nullptr restores the
  // platform beep.
  using BeepFunction = void (*)(int sound);
  static BeepFunction SetBeepFunction(BeepFunction beep);

  // ---- this box
  unsigned Style() const { return m_style; }
  Icon GetIcon() const { return IconOf(m_style); }
  QString Text() const { return m_text; }
  QString Caption() const { return m_caption; }
  // The push buttons from left to right; each one's objectName is "button<code>".
  const QList<CButtonSTEx2*>& Buttons() const { return m_buttons; }
  CButtonSTEx2* Button(int code) const;

 public slots:
  // The window's close box answers IDCANCEL, whatever buttons the box has.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void placeOnMainWindow();
  void createControls();

  unsigned m_style;
  QString m_text;
  QString m_caption;
  CStaticEx* m_textControl = nullptr;
  CButtonSTEx2* m_iconButton = nullptr;
  QList<CButtonSTEx2*> m_buttons;
  bool m_beeped = false;
};

// The message sink of the application: every message is shown in a CMsgBoxEx, modally, and the
// pressed button is returned.
class MsgBoxExSink : public MessageSink {
 public:
  int show(const QString& text, const QString& caption, unsigned style) override;
};

// Binds the process-wide message sink to the message box (once the QApplication exists).
void BindMsgBoxExSink();
