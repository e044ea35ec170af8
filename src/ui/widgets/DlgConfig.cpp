#include "ui/widgets/DlgConfig.h"

#include <QFrame>

#include "app/AppSettings.h"
#include "ui/MessageSink.h"
#include "ui/widgets/FileDialogEx.h"
#include "ui/widgets/SkinControls.h"

namespace {

// Dialog units of the layout in pixels, for the 8-point dialog face (6 x 13 pixel base units).
QRect dialogUnits(int x, int y, int width, int height) {
  return {x * 3 / 2, y * 13 / 8, width * 3 / 2, height * 13 / 8};
}

}  // namespace

CDlgConfig::CDlgConfig(QWidget* parent, AppSettings& settings)
    : QDialog(parent),
      m_settings(settings),
      m_receiver(CompanionSettings::Read(settings.settingsFolder)) {
  setWindowTitle(QStringLiteral("Config"));
  setFixedSize(dialogUnits(0, 0, 303, 172).size());
  const QFont font = SkinFont(QStringLiteral("Arial"), 16, 700);

  const struct {
    int labelId;
    const char* label;
    int editId;
    CColoredEdit** edit;
    const QString* value;
    int y;
    int editWidth;
  } rows[] = {{1059, "AE Title", kAETitleEdit, &m_aeTitle, &m_receiver.localAE, 19, 187},
              {1060, "Port", kPortEdit, &m_port, &m_receiver.localPort, 48, 187},
              {2240, "Path", kSavePathEdit, &m_savePath, &m_receiver.savePath, 78, 151}};
  for (const auto& row : rows) {
    auto* label = PlaceControl(new CStaticEx(this), row.labelId, dialogUnits(22, row.y, 53, 19));
    label->setText(QString::fromLatin1(row.label));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    *row.edit = PlaceControl(new CColoredEdit(*row.value, this), row.editId,
                             dialogUnits(87, row.y, row.editWidth, 19));
    (*row.edit)->setFont(font);
  }
  auto* browse = PlaceControl(new CButtonSTEx2(QStringLiteral("..."), this), kBrowseButton,
                              dialogUnits(244, 78, 30, 19));
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setGeometry(dialogUnits(7, 120, 289, 1));
  auto* ok =
      PlaceControl(new CButtonSTEx2(QStringLiteral("OK"), this), 1, dialogUnits(81, 134, 92, 26));
  auto* cancel = PlaceControl(new CButtonSTEx2(QStringLiteral("CANCEL"), this), 2,
                              dialogUnits(185, 134, 92, 26));
  ok->setDefault(true);
  ok->setFont(font);
  cancel->setFont(font);

  connect(browse, &QPushButton::clicked, this, &CDlgConfig::OnBrowse);
  connect(ok, &QPushButton::clicked, this, &CDlgConfig::accept);
  connect(cancel, &QPushButton::clicked, this, &CDlgConfig::reject);
}

void CDlgConfig::OnBrowse() {
  CFileDialogEx chooser(this, m_savePath->text(), QStringLiteral("All Files (*.*)|*.*||"),
                        QStringLiteral("Path"), 0);
  // What is typed into the other edits stays: OK saves it.
  if (chooser.exec() == QDialog::Accepted) m_savePath->setText(chooser.GetFolderPath());
}

void CDlgConfig::accept() {
  m_receiver.localAE = m_aeTitle->text();
  m_receiver.localPort = m_port->text();
  m_receiver.savePath = m_savePath->text();
  if (const QString problem = m_settings.SaveReceiverSettings(m_receiver); !problem.isEmpty()) {
    ShowMessage(problem, QStringLiteral("Config"), MB_ICONEXCLAMATION);
    return;
  }
  QDialog::accept();
}
