#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "support/ModalDialogs.h"
#include "ui/widgets/MsgBoxEx.h"
#include "ui/widgets/SkinControls.h"

namespace {

using Icon = CMsgBoxEx::Icon;

struct StyleCase {
  unsigned style;
  QStringList labels;  // left to right
  QList<int> codes;
  Icon icon;
};

const QList<StyleCase>& StyleCases() {
  static const QList<StyleCase> cases = {
      {0x0, {"OK"}, {IDOK}, Icon::Information},
      {0x1, {"OK", "Cancel"}, {IDOK, IDCANCEL}, Icon::Information},
      {0x2, {"Abort", "Retry", "Ignore"}, {IDABORT, IDRETRY, IDIGNORE}, Icon::Error},
      {0x3, {"Yes", "No", "Cancel"}, {IDYES, IDNO, IDCANCEL}, Icon::Question},
      {0x4, {"Yes", "No"}, {IDYES, IDNO}, Icon::Question},
      {0x5, {"Retry", "Cancel"}, {IDRETRY, IDCANCEL}, Icon::Error},
      // Sets without an icon of their own: 6 is Yes/No, 7 falls to Retry/Cancel (bits 0x5).
      {0x6, {"Yes", "No"}, {IDYES, IDNO}, Icon::None},
      {0x7, {"Retry", "Cancel"}, {IDRETRY, IDCANCEL}, Icon::None},
      {0x8,
       {"Yes", "No", "Cancel", "Yes to all"},
       {IDYES, IDNO, IDCANCEL, IDYESTOALL},
       Icon::Question},
      {0x9, {"Yes", "No", "Cancel", "No to all"}, {IDYES, IDNO, IDCANCEL, IDNOTOALL}, Icon::None},
      {0xF, {"Yes", "No", "Cancel", "No to all"}, {IDYES, IDNO, IDCANCEL, IDNOTOALL}, Icon::None},
      // Explicit icon bits replace the set's default, in the order warning, question,
      // information, error.
      {0x30, {"OK"}, {IDOK}, Icon::Warning},
      {0x10, {"OK"}, {IDOK}, Icon::Error},
      {0x14, {"Yes", "No"}, {IDYES, IDNO}, Icon::Error},
      {0x44, {"Yes", "No"}, {IDYES, IDNO}, Icon::Information},
      {0x50, {"OK"}, {IDOK}, Icon::Information},
      {0x60, {"OK"}, {IDOK}, Icon::Question},
      {0x70, {"OK"}, {IDOK}, Icon::Warning},
      {0x80, {"OK"}, {IDOK}, Icon::None},
  };
  return cases;
}

QStringList LabelsOf(const CMsgBoxEx& box) {
  QStringList labels;
  for (const CButtonSTEx2* button : box.Buttons()) labels.append(button->text());
  return labels;
}

class MsgBoxExTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearLanguageTable();
    m_previousBeep = CMsgBoxEx::SetBeepFunction([](int sound) { s_sounds.append(sound); });
    s_sounds.clear();
  }
  void TearDown() override {
    CMsgBoxEx::SetBeepFunction(m_previousBeep);
    ClearLanguageTable();
  }

  static inline QList<int> s_sounds;
  CMsgBoxEx::BeepFunction m_previousBeep = nullptr;
};

TEST_F(MsgBoxExTest, StyleGivesButtonsInOrderIconAndMessageTitle) {
  for (const StyleCase& c : StyleCases()) {
    SCOPED_TRACE(QString::number(c.style, 16).toStdString());
    CMsgBoxEx box(nullptr, "Delete this patient?", "Browser", c.style);
    EXPECT_EQ(LabelsOf(box), c.labels);
    EXPECT_EQ(CMsgBoxEx::ButtonCodes(box.Style()), c.codes);
    EXPECT_EQ(box.GetIcon(), c.icon);
    EXPECT_EQ(box.windowTitle(), "Message");
    EXPECT_EQ(box.Caption(), "Browser");
    auto* icon = box.findChild<CButtonSTEx2*>(CMsgBoxEx::kIconName);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->property(kSkinElementProperty).toString(), CMsgBoxEx::IconElement(c.icon));
    EXPECT_EQ(icon->icon().isNull(), c.icon == Icon::None);
  }
}

TEST_F(MsgBoxExTest, EachButtonEndsTheBoxWithItsCode) {
  for (const StyleCase& c : StyleCases()) {
    for (int i = 0; i < c.codes.size(); ++i) {
      SCOPED_TRACE((QString::number(c.style, 16) + " " + c.labels[i]).toStdString());
      CMsgBoxEx box(nullptr, "text", "Image", c.style);
      box.show();
      ASSERT_EQ(box.Buttons().size(), c.codes.size());
      QTest::mouseClick(box.Buttons()[i], Qt::LeftButton);
      EXPECT_FALSE(box.isVisible());
      EXPECT_EQ(box.result(), c.codes[i]);
    }
  }
}

TEST_F(MsgBoxExTest, EscapeAndEnterLeaveTheBoxOpenAndTheCloseBoxAnswersCancel) {
  for (const StyleCase& c : StyleCases()) {
    SCOPED_TRACE(QString::number(c.style, 16).toStdString());
    CMsgBoxEx box(nullptr, "text", "Image", c.style);
    box.show();
    QWidget* focused = box.Buttons().front();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
      QTest::keyClick(focused, key);
      EXPECT_TRUE(box.isVisible());
    }
    box.close();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), IDCANCEL);
  }
}

TEST_F(MsgBoxExTest, LeftmostButtonHasTheFocusAndSpacePressesIt) {
  CMsgBoxEx box(nullptr, "Delete this study?", "Browser", MB_YESNO);
  box.show();
  QApplication::setActiveWindow(&box);
  EXPECT_EQ(box.focusWidget(), box.Button(IDYES));
  QTest::keyClick(box.focusWidget(), Qt::Key_Space);
  EXPECT_EQ(box.result(), IDYES);
}

TEST_F(MsgBoxExTest, LayoutIsFixedFromTheRightAndBottomEdges) {
  CMsgBoxEx box(nullptr, "text", "Image", 0x9);
  EXPECT_EQ(box.size(), QSize(554, 230));
  const QList<CButtonSTEx2*>& buttons = box.Buttons();
  ASSERT_EQ(buttons.size(), 4);
  for (int i = 0; i < 4; ++i) {
    const QRect r = buttons[3 - i]->geometry();  // i counted from the right
    EXPECT_EQ(r.size(), QSize(116, 30));
    EXPECT_EQ(r.x() + r.width(), 554 - 15 - 122 * i);
    EXPECT_EQ(r.y() + r.height(), 230 - 15);
    EXPECT_EQ(buttons[i]->font().pixelSize(), 18);
    EXPECT_EQ(buttons[i]->font().weight(), 800);
    EXPECT_EQ(buttons[i]->property(kSkinElementProperty).toString(), "testBtn0001");
  }
  EXPECT_EQ(box.findChild<CButtonSTEx2*>(CMsgBoxEx::kIconName)->geometry(), QRect(30, 50, 46, 46));
  auto* text = box.findChild<CStaticEx*>(CMsgBoxEx::kTextName);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->geometry(), QRect(100, 46, 434, 96));
  EXPECT_EQ(text->font().pixelSize(), 16);
  EXPECT_EQ(text->font().weight(), 700);
}

TEST_F(MsgBoxExTest, MessageTextIsShownAsWrittenNotAsMarkup) {
  const QString text = "Can't open <b>C:/dcm/a&b.dcm</b>\nsecond line";
  CMsgBoxEx box(nullptr, text, "OpenImage", MB_ICONERROR);
  auto* label = box.findChild<CStaticEx*>(CMsgBoxEx::kTextName);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), text);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(box.Text(), text);
}

TEST_F(MsgBoxExTest, LabelsAndTitleComeFromTheLanguageTable) {
  SetLanguageTable(
      {{"160", "Okay"}, {"166", "Abbrechen"}, {"198", "Ja"}, {"199", "Nein"}, {"200", "Meldung"}});
  CMsgBoxEx box(nullptr, "text", "Browser", 0x8);
  EXPECT_EQ(LabelsOf(box), QStringList({"Ja", "Nein", "Abbrechen", "Yes to all"}));
  EXPECT_EQ(box.windowTitle(), "Meldung");
  EXPECT_EQ(LabelsOf(CMsgBoxEx(nullptr, "text", "Browser", MB_OKCANCEL)),
            QStringList({"Okay", "Abbrechen"}));
}

TEST_F(MsgBoxExTest, SoundOfTheIconPlaysOnceWhenTheBoxFirstShows) {
  const QList<std::pair<unsigned, int>> cases = {
      {MB_ICONWARNING, 48}, {MB_ICONERROR, 16}, {MB_YESNO, 32}, {MB_OK, 0}, {0x6, 0}};
  for (const auto& [style, sound] : cases) {
    SCOPED_TRACE(style);
    s_sounds.clear();
    CMsgBoxEx box(nullptr, "text", "Image", style);
    EXPECT_TRUE(s_sounds.isEmpty());
    box.show();
    box.hide();
    box.show();
    EXPECT_EQ(s_sounds, QList<int>({sound}));
  }
}

TEST_F(MsgBoxExTest, BoxIsCentredOnTheConfiguredMainWindowAndKeptOnScreen) {
  AppSettings& settings = theAppSettings();
  const int width = settings.windowWidth;
  const int height = settings.windowHeight;
  const QRect screen = QApplication::primaryScreen()->availableGeometry();

  settings.windowWidth = 2 * (screen.left() + 200) + 554;
  settings.windowHeight = 2 * (screen.top() + 100) + 230;
  EXPECT_EQ(CMsgBoxEx(nullptr, "t", "c", 0).pos(), screen.topLeft() + QPoint(200, 100));

  settings.windowWidth = 0;  // never configured: the box would start 277 pixels left of 0
  settings.windowHeight = 100000;
  EXPECT_EQ(CMsgBoxEx(nullptr, "t", "c", 0).pos(),
            QPoint(screen.left(), screen.bottom() + 1 - 230));

  settings.windowWidth = width;
  settings.windowHeight = height;
}

TEST_F(MsgBoxExTest, BoundSinkShowsTheBoxModallyAndReturnsThePressedButton) {
  MessageSink* previous = messageSink();
  BindMsgBoxExSink();
  QString title;
  QString shownText;
  int pressed = 0;
  EXPECT_EQ(testsupport::AnswerModals<CMsgBoxEx>(
                [&] { pressed = ShowMessage("Delete this series?", "Browser", MB_YESNO); },
                [&](CMsgBoxEx& box) {
                  title = box.windowTitle();
                  shownText = testsupport::Control<CStaticEx>(box, CMsgBoxEx::kTextName)->text();
                  QTest::mouseClick(box.Button(IDNO), Qt::LeftButton);
                }),
            1);
  EXPECT_EQ(pressed, IDNO);
  EXPECT_EQ(title, "Message");
  EXPECT_EQ(shownText, "Delete this series?");
  setMessageSink(previous);
}

}  // namespace
