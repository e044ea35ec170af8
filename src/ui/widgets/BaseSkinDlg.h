#pragma once

// The dialog base of the skinned dialog family, and the skin hooks every window uses.
//
// The skin is an optional Qt style sheet, Skins/<SkinType> in the program folder. A window is
// given a named skin element by the dynamic property "skinElement", so a style sheet picks it
// with a selector such as  QPushButton[skinElement="testBtn0001"] { ... }.  Without a style
// sheet every window keeps the platform's plain look.

#include <QColor>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

class QEvent;
class QHideEvent;
class QShowEvent;

// The dynamic property that carries a window's skin element.
inline constexpr const char* kSkinElementProperty = "skinElement";

// Reads the style sheet at skinFilePath and applies it to the application. A missing or
// unreadable file is no error: the application then gets no style sheet (the plain look) and
// the call returns false.
bool LoadSkin(const QString& skinFilePath);

// Gives a window a named skin element (a picture set of the skin) and re-polishes it so that a
// style sheet already in force takes the new element at once. A null window is ignored.
void ApplySkinElement(QWidget* window, const QString& element);

// A colour value stored as 0x00BBGGRR (the settings' dialog colours) as a QColor.
QColor ColorFromRef(unsigned colorRef);
// The application's dialog text and background colours (both black by default) and font face
// (empty: the system default face).
QColor DialogTextColour();
QColor DialogBackColour();
QString AppFontFace();

// The base of the skinned dialogs. Enter and Escape are swallowed wherever the focus is in the
// dialog, so a dialog of this family closes only through its buttons or the window's close box:
// an operator typing into a field cannot end it by accident. A dialog names the few fields
// whose Enter does something (a search field) with LetEnterThrough; one that is a window of
// its own rather than a question lets Escape close it (LetEscapeClose).
class CBaseSkinDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CBaseSkinDlg(QWidget* parent = nullptr);

 protected:
  // Enter in widget reaches it (a line edit then emits returnPressed); it still goes no further,
  // so it never presses a button of the dialog.
  void LetEnterThrough(QWidget* widget);
  // Escape anywhere in the dialog closes it as the window's close button does.
  void LetEscapeClose() { m_escapeCloses = true; }

  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Guarded: a field destroyed before the dialog leaves no address for another to take.
  QList<QPointer<QWidget>> m_enterTargets;
  bool m_escapeCloses = false;
};
