#include "ui/widgets/BaseSkinDlg.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QStyle>

#include "app/AppSettings.h"

bool LoadSkin(const QString& skinFilePath) {
  QFile file(skinFilePath);
  const bool readable = file.open(QIODevice::ReadOnly | QIODevice::Text);
  qApp->setStyleSheet(readable ? QString::fromUtf8(file.readAll()) : QString());
  return readable;
}

void ApplySkinElement(QWidget* window, const QString& element) {
  if (!window) return;
  window->setProperty(kSkinElementProperty, element);
  window->style()->unpolish(window);
  window->style()->polish(window);
  window->update();
}

QColor ColorFromRef(unsigned colorRef) {
  return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

QColor DialogTextColour() { return ColorFromRef(theAppSettings().dialogTextColour); }

QColor DialogBackColour() { return ColorFromRef(theAppSettings().dialogBackColour); }

QString AppFontFace() { return theAppSettings().fontFace; }

CBaseSkinDlg::CBaseSkinDlg(QWidget* parent) : QDialog(parent) {}

void CBaseSkinDlg::LetEnterThrough(QWidget* widget) { m_enterTargets.append(widget); }

// Key presses reach the focused child first, so the dialog's own keyPressEvent would come too
// late for a focused push button (which clicks itself on Enter). The filter sits on the
// application only while the dialog is shown and drops the two keys for any widget inside it.
bool CBaseSkinDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
      if (enter && m_enterTargets.contains(widget)) return QDialog::eventFilter(watched, event);
      if (key == Qt::Key_Escape && m_escapeCloses) close();
      if (enter || key == Qt::Key_Escape) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CBaseSkinDlg::showEvent(QShowEvent* event) {
  qApp->installEventFilter(this);
  QDialog::showEvent(event);
}

void CBaseSkinDlg::hideEvent(QHideEvent* event) {
  qApp->removeEventFilter(this);
  QDialog::hideEvent(event);
}
