#pragma once

// The injectable message sink every core subsystem reports through. Core logic never opens a
// window: it calls ShowMessage(text, caption, style)
// and gets the pressed button back. The application binds the sink to the message box
// (CMsgBoxEx); tests bind a RecordingMessageSink with scripted answers.

#include <QList>
#include <QString>

// Button codes returned by a sink (the values of the Win32 message box). Guarded so that a
// translation unit that also includes <windows.h> keeps the identical macros.
#ifndef IDOK
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
#endif

// Style bits: the button set in the low four bits, the icon in bits 0x10 to 0x80.
#ifndef MB_OK
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_RETRYCANCEL = 0x05;
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONASTERISK = 0x40;
inline constexpr unsigned MB_TYPEMASK = 0x0F;
inline constexpr unsigned MB_ICONMASK = 0xF0;
#endif

class MessageSink {
 public:
  virtual ~MessageSink();
  // Shows (or records) one message and returns the code of the pressed button (IDOK, ...).
  virtual int show(const QString& text, const QString& caption, unsigned style) = 0;
};

// The sink in force when nothing else is bound: writes "caption: text" to stderr and answers
// IDOK at once (it never blocks, whatever buttons the style asks for).
class StderrMessageSink : public MessageSink {
 public:
  int show(const QString& text, const QString& caption, unsigned style) override;
};

// For tests: records every message and answers from a scripted queue (IDOK when it is empty).
class RecordingMessageSink : public MessageSink {
 public:
  struct Message {
    QString text;
    QString caption;
    unsigned style = 0;
  };

  int show(const QString& text, const QString& caption, unsigned style) override;

  // Appends answers to the queue; each show() takes the first one.
  void queueAnswer(int buttonCode) { m_answers.append(buttonCode); }
  void queueAnswers(const QList<int>& buttonCodes) { m_answers.append(buttonCodes); }
  int pendingAnswers() const { return static_cast<int>(m_answers.size()); }

  const QList<Message>& messages() const { return m_messages; }
  int count() const { return static_cast<int>(m_messages.size()); }
  bool isEmpty() const { return m_messages.isEmpty(); }
  // The texts only, in order (handy for exact comparisons in tests).
  QStringList texts() const;
  // Forgets the recorded messages and the queued answers.
  void clear();

 private:
  QList<Message> m_messages;
  QList<int> m_answers;
};

// Binds the process-wide sink (not owned; it must outlive its binding). nullptr restores the
// default stderr sink.
void setMessageSink(MessageSink* sink);
// The sink in force; never null.
MessageSink* messageSink();

// Binds a sink for the lifetime of this object and restores the previous one afterwards.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink* sink) : m_previous(messageSink()) {
    setMessageSink(sink);
  }
  ~ScopedMessageSink() { setMessageSink(m_previous); }
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink* m_previous;
};

// Forwards to the current sink, e.g. ShowMessage("WW/WL calc. error", "Image", MB_ICONEXCLAMATION).
int ShowMessage(const QString& text, const QString& caption, unsigned style = MB_OK);
