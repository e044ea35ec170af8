#include <gtest/gtest.h>

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "ui/widgets/BaseSkinDlg.h"

namespace {

// A dialog with a field and a default button that would accept it.
template <typename Dialog>
struct Fixture {
  Dialog dialog;
  QLineEdit* edit = new QLineEdit(&dialog);
  QPushButton* button = new QPushButton("OK", &dialog);
  int clicks = 0;

  Fixture() {
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(button);
    button->setDefault(true);
    QObject::connect(button, &QPushButton::clicked, [this] {
      ++clicks;
      dialog.accept();
    });
    dialog.show();
  }
};

TEST(BaseSkinDlg, EnterAndEscapeDoNothingWhereverTheFocusIs) {
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    for (bool onButton : {false, true}) {
      SCOPED_TRACE(QKeySequence(key).toString().toStdString());
      Fixture<CBaseSkinDlg> f;
      QWidget* target = onButton ? static_cast<QWidget*>(f.button) : f.edit;
      QTest::keyClick(target, key);
      EXPECT_TRUE(f.dialog.isVisible());
      EXPECT_EQ(f.clicks, 0);
      EXPECT_EQ(f.dialog.result(), QDialog::Rejected);  // nothing ended it
    }
  }
}

// The same keys do end a plain dialog, so the test above shows the swallowing, not the fixture.
TEST(BaseSkinDlg, PlainDialogWouldBeEndedByTheSameKeys) {
  Fixture<QDialog> enter;
  QTest::keyClick(enter.edit, Qt::Key_Return);
  EXPECT_EQ(enter.clicks, 1);
  Fixture<QDialog> escape;
  QTest::keyClick(escape.edit, Qt::Key_Escape);
  EXPECT_FALSE(escape.dialog.isVisible());
}

// A search field of a skinned dialog acts on Enter; the key still presses no button, and
// Escape there is swallowed as anywhere else.
TEST(BaseSkinDlg, EnterReachesAFieldLetThroughButPressesNoButton) {
  struct Searching : CBaseSkinDlg {
    using CBaseSkinDlg::LetEnterThrough;
  };
  Fixture<Searching> f;
  f.dialog.LetEnterThrough(f.edit);
  int searches = 0;
  QObject::connect(f.edit, &QLineEdit::returnPressed, [&] { ++searches; });
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QTest::keyClick(f.edit, key);
    QTest::keyClick(f.button, key);
  }
  EXPECT_EQ(searches, 2);
  EXPECT_EQ(f.clicks, 0);
  EXPECT_TRUE(f.dialog.isVisible());
}

TEST(BaseSkinDlg, OtherKeysAndOtherWindowsAreUntouched) {
  Fixture<CBaseSkinDlg> skinned;
  QTest::keyClicks(skinned.edit, "Lee");
  EXPECT_EQ(skinned.edit->text(), "Lee");
  QTest::keyClick(skinned.button, Qt::Key_Space);
  EXPECT_EQ(skinned.clicks, 1);

  Fixture<CBaseSkinDlg> shown;
  Fixture<QDialog> other;  // a second window while a skinned one is open
  QTest::keyClick(other.edit, Qt::Key_Escape);
  EXPECT_FALSE(other.dialog.isVisible());
  EXPECT_TRUE(shown.dialog.isVisible());

  // Once hidden, a skinned dialog stops filtering.
  shown.dialog.hide();
  Fixture<QDialog> after;
  QTest::keyClick(after.edit, Qt::Key_Return);
  EXPECT_EQ(after.clicks, 1);
}

TEST(BaseSkinDlg, SkinFileBecomesTheApplicationStyleSheetAndElementsSelectWindows) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("default.skf");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  const QByteArray sheet = "QPushButton[skinElement=\"testBtn0001\"] { color: rgb(10, 20, 30); }";
  file.write(sheet);
  file.close();

  QPushButton plain("plain");
  QPushButton skinned("skinned");
  ASSERT_TRUE(LoadSkin(path));
  EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(sheet));
  ApplySkinElement(&skinned, "testBtn0001");
  ApplySkinElement(nullptr, "testBtn0001");  // ignored
  EXPECT_EQ(skinned.property(kSkinElementProperty).toString(), "testBtn0001");
  plain.ensurePolished();
  EXPECT_EQ(skinned.palette().color(QPalette::ButtonText), QColor(10, 20, 30));
  EXPECT_NE(plain.palette().color(QPalette::ButtonText), QColor(10, 20, 30));

  EXPECT_FALSE(LoadSkin(dir.filePath("missing.skf")));
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST(BaseSkinDlg, ColourValuesAreRedInTheLowByte) {
  EXPECT_EQ(ColorFromRef(0x00332211u), QColor(0x11, 0x22, 0x33));
  EXPECT_EQ(ColorFromRef(0xFF0000FFu), QColor(255, 0, 0));  // the top byte is not a colour
  EXPECT_EQ(DialogTextColour(), QColor(Qt::black));
  EXPECT_EQ(DialogBackColour(), QColor(Qt::black));
}

}  // namespace
