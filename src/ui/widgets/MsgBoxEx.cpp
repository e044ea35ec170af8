#include "ui/widgets/MsgBoxEx.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "app/AppSettings.h"
#include "app/LanguageTable.h"
#include "ui/widgets/SkinControls.h"

namespace {

constexpr int kTextId = 1919;
constexpr int kIconSize = 46;
constexpr int kButtonWidth = 116;
constexpr int kButtonHeight = 30;
constexpr int kButtonStep = 122;
constexpr int kButtonMargin = 15;

QStyle::StandardPixmap PlainIcon(CMsgBoxEx::Icon icon) {
  switch (icon) {
    case CMsgBoxEx::Icon::Error:
      return QStyle::SP_MessageBoxCritical;
    case CMsgBoxEx::Icon::Question:
      return QStyle::SP_MessageBoxQuestion;
    case CMsgBoxEx::Icon::Warning:
      return QStyle::SP_MessageBoxWarning;
    default:
      return QStyle::SP_MessageBoxInformation;
  }
}

void PlatformBeep(int /*sound*/) { QApplication::beep(); }

CMsgBoxEx::BeepFunction g_beep = PlatformBeep;

}  // namespace

CMsgBoxEx::BeepFunction CMsgBoxEx::SetBeepFunction(BeepFunction beep) {
  const BeepFunction previous = g_beep;
  g_beep = beep ? beep : PlatformBeep;
  return previous;
}

CMsgBoxEx::CMsgBoxEx(QWidget* parent, const QString& text, const QString& caption, unsigned style)
    : CBaseSkinDlg(parent), m_style(WithDefaultIcon(style)), m_text(text), m_caption(caption) {
  setFixedSize(kWidth, kHeight);
  setWindowTitle(GetLabel(200));
  placeOnMainWindow();
  createControls();
}

unsigned CMsgBoxEx::WithDefaultIcon(unsigned style) {
  if (style & MB_ICONMASK) return style;
  switch (style & MB_TYPEMASK) {
    case 0:
    case 1:
      return style | MB_ICONINFORMATION;
    case 2:
    case 5:
      return style | MB_ICONERROR;
    case 3:
    case 4:
    case 8:
      return style | MB_ICONQUESTION;
    default:
      return style;
  }
}

CMsgBoxEx::Icon CMsgBoxEx::IconOf(unsigned style) {
  if ((style & MB_ICONWARNING) == MB_ICONWARNING) return Icon::Warning;
  if (style & MB_ICONQUESTION) return Icon::Question;
  if (style & MB_ICONINFORMATION) return Icon::Information;
  if (style & MB_ICONERROR) return Icon::Error;
  return Icon::None;
}

QList<int> CMsgBoxEx::ButtonCodes(unsigned style) {
  if ((style & 0x9) == 0x9) return {IDYES, IDNO, IDCANCEL, IDNOTOALL};
  if (style & 0x8) return {IDYES, IDNO, IDCANCEL, IDYESTOALL};
  if ((style & 0x5) == 0x5) return {IDRETRY, IDCANCEL};
  if (style & 0x4) return {IDYES, IDNO};
  if ((style & 0x3) == 0x3) return {IDYES, IDNO, IDCANCEL};
  if (style & 0x2) return {IDABORT, IDRETRY, IDIGNORE};
  if (style & 0x1) return {IDOK, IDCANCEL};
  return {IDOK};
}

QString CMsgBoxEx::ButtonLabel(int code) {
  switch (code) {
    case IDOK:
      return GetLabel(160);
    case IDCANCEL:
      return GetLabel(166);
    case IDABORT:
      return QStringLiteral("Abort");
    case IDRETRY:
      return QStringLiteral("Retry");
    case IDIGNORE:
      return QStringLiteral("Ignore");
    case IDYES:
      return GetLabel(198);
    case IDNO:
      return GetLabel(199);
    case IDYESTOALL:
      return QStringLiteral("Yes to all");
    case IDNOTOALL:
      return QStringLiteral("No to all");
    default:
      return QString();
  }
}

QString CMsgBoxEx::IconElement(Icon icon) {
  switch (icon) {
    case Icon::Error:
      return QStringLiteral("message_x");
    case Icon::Question:
      return QStringLiteral("message_q");
    case Icon::Warning:
      return QStringLiteral("message_w");
    case Icon::Information:
      return QStringLiteral("message_i");
    case Icon::None:
      break;
  }
  return QString();
}

int CMsgBoxEx::IconSound(Icon icon) {
  switch (icon) {
    case Icon::Error:
      return 16;
    case Icon::Question:
      return 32;
    case Icon::Warning:
      return 48;
    default:
      return 0;
  }
}

CButtonSTEx2* CMsgBoxEx::Button(int code) const {
  for (CButtonSTEx2* button : m_buttons) {
    if (button->property("code").toInt() == code) return button;
  }
  return nullptr;
}

void CMsgBoxEx::reject() { done(IDCANCEL); }

// Centred on the main window as configured. A configured size far from the screen's (or none at
// all) would put the box partly off screen, where its buttons could not be reached, so it is
// kept inside the screen's available area.
void CMsgBoxEx::placeOnMainWindow() {
  const AppSettings& settings = theAppSettings();
  QPoint topLeft(settings.windowWidth / 2 - kWidth / 2, settings.windowHeight / 2 - kHeight / 2);
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : QApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    topLeft.setX(
        std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - kWidth + 1)));
    topLeft.setY(
        std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - kHeight + 1)));
  }
  move(topLeft);
}

void CMsgBoxEx::createControls() {
  m_textControl = new CStaticEx(this);
  m_textControl->setObjectName(kTextName);
  m_textControl->setProperty("controlId", kTextId);
  m_textControl->setGeometry(100, 46, 434, 96);
  m_textControl->setWordWrap(true);
  m_textControl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_textControl->SetFont(AppFontFace(), 16, DialogTextColour(), 700);
  m_textControl->setText(m_text);

  const Icon icon = GetIcon();
  m_iconButton = new CButtonSTEx2(this);
  m_iconButton->setObjectName(kIconName);
  m_iconButton->setGeometry(30, 50, kIconSize, kIconSize);
  m_iconButton->setFocusPolicy(Qt::NoFocus);
  m_iconButton->setFlat(true);
  if (icon != Icon::None) {
    // The platform's picture stands in until a skin gives the element its own.
    m_iconButton->setIcon(style()->standardIcon(PlainIcon(icon), nullptr, this));
    m_iconButton->setIconSize(QSize(kIconSize - 6, kIconSize - 6));
  }
  ApplySkinElement(m_iconButton, IconElement(icon));

  const QFont buttonFont = SkinFont(AppFontFace(), 18, 800);
  const QList<int> codes = ButtonCodes(m_style);
  const int count = static_cast<int>(codes.size());
  m_buttons.resize(count);
  // Laid from the right; each new button takes the focus, so the leftmost ends with it.
  for (int i = 0; i < count; ++i) {
    const int code = codes[count - 1 - i];
    auto* button = new CButtonSTEx2(ButtonLabel(code), this);
    button->setObjectName(QStringLiteral("button%1").arg(code));
    button->setProperty("code", code);
    button->setGeometry(kWidth - kButtonMargin - kButtonStep * i - kButtonWidth,
                        kHeight - kButtonMargin - kButtonHeight, kButtonWidth, kButtonHeight);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFont(buttonFont);
    ApplySkinElement(button, QStringLiteral("testBtn0001"));
    connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
    button->setFocus();
    m_buttons[count - 1 - i] = button;
  }
}

void CMsgBoxEx::showEvent(QShowEvent* event) {
  CBaseSkinDlg::showEvent(event);
  if (!m_beeped) {
    m_beeped = true;
    g_beep(IconSound(GetIcon()));
  }
  if (!m_buttons.isEmpty()) m_buttons.front()->setFocus();
}

int MsgBoxExSink::show(const QString& text, const QString& caption, unsigned style) {
  CMsgBoxEx box(QApplication::activeWindow(), text, caption, style);
  return box.exec();
}

void BindMsgBoxExSink() {
  static MsgBoxExSink sink;
  setMessageSink(&sink);
}
