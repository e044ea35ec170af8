#pragma once

// Driving modal dialogs from a test without hanging or crashing when a check fails.
//
// A modal dialog runs its own event loop, so a test answers it from inside that loop. An ASSERT
// there only leaves the answering function: the dialog would stay open and the test wait for it
// until the test runner's timeout. AnswerModals closes every open modal dialog as soon as an
// answer fails fatally, so the call that opened the dialog returns at once; wrapped in
// ASSERT_NO_FATAL_FAILURE, that call then ends the test with the failure's message:
//
//   ASSERT_NO_FATAL_FAILURE(testsupport::AnswerModals<CDlgConfig>(
//       [&] { frame.OnCommand(command::Config); },
//       [](CDlgConfig& dialog) { testsupport::Control<QPushButton>(dialog, 1)->click(); }));
//
// Control<T>(parent, id) finds the child "ctl<id>" (or any object name); a missing one ends the
// test with its name instead of handing a null pointer on.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <source_location>
#include <stdexcept>
#include <string>

namespace testsupport {

// Thrown by Control when the child is missing; GoogleTest reports it with its text, and
// AnswerModals turns it into a fatal failure.
class MissingControl : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <class Widget>
Widget* Control(const QObject& parent, const QString& name) {
  if (auto* found = parent.findChild<Widget*>(name)) return found;
  throw MissingControl("no " + std::string(Widget::staticMetaObject.className()) + " \"" +
                       name.toStdString() + "\" in " + parent.metaObject()->className());
}

template <class Widget>
Widget* Control(const QObject& parent, int id) {
  return Control<Widget>(parent, QStringLiteral("ctl%1").arg(id));
}

// Closes every open modal dialog, innermost first (Cancel for dialogs).
inline void CloseModals() {
  for (int guard = 0; guard < 32; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    if (modal->isVisible()) modal->hide();
  }
}

// Runs `open`, which shows modal dialogs of type Dialog and waits in them, and `answer` on each
// as it shows; each answer closes its dialog (an answer may itself call AnswerModals for a dialog
// it opens). A fatal failure or a missing control in an answer, a dialog left open by its answer
// or a modal of another type is a fatal failure, after which every modal is closed, so `open`
// returns at once. Returns the number of dialogs answered: check it where a dialog must show.
template <class Dialog>
int AnswerModals(const std::function<void()>& open, const std::function<void(Dialog&)>& answer,
                 std::source_location where = std::source_location::current()) {
  int answered = 0;
  bool failed = false;
  const auto fail = [&](const std::string& message) {
    GTEST_MESSAGE_AT_(where.file_name(), int(where.line()), message.c_str(),
                      ::testing::TestPartResult::kFatalFailure);
    failed = true;
  };
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    auto* dialog = qobject_cast<Dialog*>(modal);
    if (failed) {
      CloseModals();
      return;
    }
    if (dialog == nullptr) {
      fail(std::string("a ") + modal->metaObject()->className() + " (\"" +
           modal->windowTitle().toStdString() + "\") opened where a " +
           Dialog::staticMetaObject.className() + " was expected");
      CloseModals();
      return;
    }
    // The answer may open dialogs of its own: they are its business.
    poll.stop();
    ++answered;
    ::testing::TestPartResultArray results;
    {
      ::testing::ScopedFakeTestPartResultReporter capture(
          ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
      try {
        answer(*dialog);
      } catch (const std::exception& error) {
        GTEST_MESSAGE_AT_(where.file_name(), int(where.line()), error.what(),
                          ::testing::TestPartResult::kFatalFailure);
      }
    }
    // Passed on to the test (or to whoever captures its results).
    for (int i = 0; i < results.size(); ++i) {
      const ::testing::TestPartResult& result = results.GetTestPartResult(i);
      if (result.type() == ::testing::TestPartResult::kSuccess) continue;
      ::testing::internal::AssertHelper(result.type(), result.file_name(), result.line_number(),
                                        result.message()) = ::testing::Message();
      failed = failed || result.fatally_failed();
    }
    if (!failed && QApplication::activeModalWidget() == dialog && dialog->isVisible())
      fail(std::string("the answer left the ") + Dialog::staticMetaObject.className() + " open");
    if (failed) CloseModals();
    poll.start();
  });
  poll.start();
  open();
  return answered;
}

}  // namespace testsupport
