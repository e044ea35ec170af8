#include "app/StopSignals.h"

#include <QSocketNotifier>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_fds[2] = {-1, -1};

void onStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_fds[0], &byte, 1);
}

}  // namespace

StopSignals::StopSignals(std::function<void()> stop, QObject* parent)
    : QObject(parent), m_stop(std::move(stop)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0) return;
  m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(g_fds[1], &byte, 1);
    m_stop();
  });
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

StopSignals::~StopSignals() {
  if (m_notifier == nullptr) return;
  // Back to the default: a signal after this ends the process at once.
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  delete m_notifier;
  ::close(g_fds[0]);
  ::close(g_fds[1]);
  g_fds[0] = g_fds[1] = -1;
}
