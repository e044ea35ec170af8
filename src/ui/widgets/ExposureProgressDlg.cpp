#include "ui/widgets/ExposureProgressDlg.h"

#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QKeyEvent>
#include <QMainWindow>
#include <QProgressBar>
#include <QVBoxLayout>

CExposureProgressDlg::CExposureProgressDlg(QWidget* parent) : CBaseSkinDlg(parent) {}

bool CExposureProgressDlg::Create(QWidget* parent) {
  if (parent != nullptr) setParent(parent, windowFlags());
  setWindowModality(Qt::NonModal);
  QFont caption(AppFontFace());
  caption.setPixelSize(25);
  caption.setBold(true);
  setFont(caption);
  if (m_bar == nullptr) {
    auto* layout = new QVBoxLayout(this);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress1486"));
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
  }
  resize(606, 58);
  m_created = true;
  return true;
}

void CExposureProgressDlg::DestroyWindow() {
  hide();
  m_created = false;
}

void CExposureProgressDlg::SetAutoShow(bool autoShow) {
  m_autoShow = autoShow;
  if (!autoShow) return;
  // Centred over the central widget (the view) of the application's main window.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* frame = qobject_cast<QMainWindow*>(top);
    if (frame == nullptr || frame->centralWidget() == nullptr || !frame->isVisible()) continue;
    const QWidget* view = frame->centralWidget();
    const QPoint topLeft((view->width() - width()) / 2, (view->height() - height()) / 2);
    move(view->mapToGlobal(topLeft));
    return;
  }
}

void CExposureProgressDlg::SetText(const QString& text) { m_baseText = text; }

void CExposureProgressDlg::SetRange(int lower, int upper, int step) {
  m_lower = lower;
  m_upper = upper;
  m_step = step;
  if (m_bar != nullptr) m_bar->setRange(lower, upper);
}

int CExposureProgressDlg::SetPos(int position) {
  if (!m_created) return m_position;
  if (m_autoShow && !isVisible()) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
  }
  const int previous = m_position;
  m_position = position;
  // The lower bound is not taken from the position: a range from 0 is all the callers use.
  const int percent = m_lower < m_upper ? position * 100 / (m_upper - m_lower) : 0;
  if (percent != m_shownPercent) {
    m_shownPercent = percent;
    setWindowTitle(QStringLiteral("%1 [%2%]").arg(m_baseText).arg(percent));
  }
  if (m_bar != nullptr) m_bar->setValue(position);
  return previous;
}

int CExposureProgressDlg::StepIt() { return SetPos(m_position + m_step); }

namespace {

// Sees every key the application handles while a batch lets the window system run; Escape
// cancels the progress window. The key still goes on to the window it was typed into.
class EscapeWatch : public QObject {
 public:
  explicit EscapeWatch(QDialog* dialog) : m_dialog(dialog) { qApp->installEventFilter(this); }
  ~EscapeWatch() override { qApp->removeEventFilter(this); }
  EscapeWatch(const EscapeWatch&) = delete;
  EscapeWatch& operator=(const EscapeWatch&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_dialog->isVisible()) {
      m_dialog->reject();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QDialog* m_dialog;
};

}  // namespace

void CExposureProgressDlg::PumpMessages() {
  // Cancelling only hides the window: the batch goes on and its next step shows it again.
  const EscapeWatch watch(this);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CExposureProgressDlg::StartBatch(const QString& text, int upper) {
  Create();
  SetAutoShow(true);
  SetText(text);
  show();
  SetRange(0, upper, 1);
  StepBatch();
}

void CExposureProgressDlg::StepBatch() {
  StepIt();
  PumpMessages();
}

void CExposureProgressDlg::EndBatch() {
  SetPos(m_upper);
  PumpMessages();
}
