#include "ui/MessageSink.h"

#include <QStringList>
#include <atomic>
#include <cstdio>

MessageSink::~MessageSink() = default;

int StderrMessageSink::show(const QString& text, const QString& caption, unsigned /*style*/) {
  const QByteArray line = (caption + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
  std::fflush(stderr);
  return IDOK;
}

int RecordingMessageSink::show(const QString& text, const QString& caption, unsigned style) {
  m_messages.append(Message{text, caption, style});
  if (m_answers.isEmpty()) return IDOK;
  return m_answers.takeFirst();
}

QStringList RecordingMessageSink::texts() const {
  QStringList result;
  for (const Message& m : m_messages) result.append(m.text);
  return result;
}

void RecordingMessageSink::clear() {
  m_messages.clear();
  m_answers.clear();
}

namespace {

StderrMessageSink& defaultSink() {
  static StderrMessageSink sink;
  return sink;
}

std::atomic<MessageSink*> g_sink{nullptr};

}  // namespace

void setMessageSink(MessageSink* sink) { g_sink.store(sink); }

MessageSink* messageSink() {
  MessageSink* sink = g_sink.load();
  return sink ? sink : &defaultSink();
}

int ShowMessage(const QString& text, const QString& caption, unsigned style) {
  return messageSink()->show(text, caption, style);
}
