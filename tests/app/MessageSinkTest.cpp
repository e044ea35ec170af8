#include <gtest/gtest.h>

#include "ui/MessageSink.h"

TEST(MessageSink, ButtonAndStyleConstantsHaveTheMessageBoxValues) {
  EXPECT_EQ(IDOK, 1);
  EXPECT_EQ(IDCANCEL, 2);
  EXPECT_EQ(IDABORT, 3);
  EXPECT_EQ(IDRETRY, 4);
  EXPECT_EQ(IDIGNORE, 5);
  EXPECT_EQ(IDYES, 6);
  EXPECT_EQ(IDNO, 7);
  EXPECT_EQ(MB_OK, 0u);
  EXPECT_EQ(MB_OKCANCEL, 1u);
  EXPECT_EQ(MB_ABORTRETRYIGNORE, 2u);
  EXPECT_EQ(MB_YESNOCANCEL, 3u);
  EXPECT_EQ(MB_YESNO, 4u);
  EXPECT_EQ(MB_RETRYCANCEL, 5u);
  EXPECT_EQ(MB_ICONHAND, 0x10u);
  EXPECT_EQ(MB_ICONERROR, 0x10u);
  EXPECT_EQ(MB_ICONQUESTION, 0x20u);
  EXPECT_EQ(MB_ICONEXCLAMATION, 0x30u);
  EXPECT_EQ(MB_ICONINFORMATION, 0x40u);
}

TEST(MessageSink, DefaultSinkAnswersOkWithoutBlocking) {
  setMessageSink(nullptr);
  ASSERT_NE(messageSink(), nullptr);
  EXPECT_EQ(ShowMessage("default sink test", "Test", MB_YESNO | MB_ICONQUESTION), IDOK);
}

TEST(MessageSink, RecorderKeepsEveryMessageAndAnswersFromItsQueue) {
  RecordingMessageSink sink;
  ScopedMessageSink bind(&sink);
  sink.queueAnswers({IDYES, IDNO});
  EXPECT_EQ(ShowMessage("first", "Browser", MB_YESNO), IDYES);
  EXPECT_EQ(ShowMessage("second", "Browser", MB_YESNO), IDNO);
  EXPECT_EQ(ShowMessage("WW/WL calc. error", "Image", MB_ICONEXCLAMATION), IDOK);  // queue empty
  ASSERT_EQ(sink.count(), 3);
  EXPECT_EQ(sink.messages()[2].text, "WW/WL calc. error");
  EXPECT_EQ(sink.messages()[2].caption, "Image");
  EXPECT_EQ(sink.messages()[2].style, MB_ICONEXCLAMATION);
  EXPECT_EQ(sink.texts(), QStringList({"first", "second", "WW/WL calc. error"}));
  sink.clear();
  EXPECT_TRUE(sink.isEmpty());
}

TEST(MessageSink, ScopedBindingRestoresThePreviousSink) {
  RecordingMessageSink outer;
  RecordingMessageSink inner;
  ScopedMessageSink bindOuter(&outer);
  {
    ScopedMessageSink bindInner(&inner);
    ShowMessage("to inner", "T", MB_OK);
  }
  ShowMessage("to outer", "T", MB_OK);
  EXPECT_EQ(inner.texts(), QStringList({"to inner"}));
  EXPECT_EQ(outer.texts(), QStringList({"to outer"}));
}
