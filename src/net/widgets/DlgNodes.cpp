#include "net/widgets/DlgNodes.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "ui/MessageSink.h"

namespace {

const QString kCaption = QStringLiteral("DICOM Nodes");

}  // namespace

CDlgNodes::CDlgNodes(const QString& location, NetworkOptions network, QWidget* parent)
    : QDialog(parent), m_network(std::move(network)) {
  setWindowTitle(kCaption);
  QString error;
  if (!m_db.Open(location, &error)) ShowMessage(error, kCaption, MB_ICONEXCLAMATION);
  m_table = new QTableWidget(0, 5, this);
  m_table->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("AE Title"),
                                      QStringLiteral("Host"), QStringLiteral("Port"),
                                      QStringLiteral("Use")});
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  m_table->horizontalHeader()->setStretchLastSection(true);
  connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) { showNode(row); });
  m_name = new QLineEdit(this);
  m_ae = new QLineEdit(this);
  m_host = new QLineEdit(this);
  m_port = new QLineEdit(this);
  m_send = new QCheckBox(QStringLiteral("Send"), this);
  m_query = new QCheckBox(QStringLiteral("Query/Retrieve"), this);
  m_send->setChecked(true);
  auto* uses = new QHBoxLayout;
  uses->addWidget(m_send);
  uses->addWidget(m_query);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Name"), m_name);
  form->addRow(QStringLiteral("AE Title"), m_ae);
  form->addRow(QStringLiteral("Host"), m_host);
  form->addRow(QStringLiteral("Port"), m_port);
  form->addRow(QStringLiteral("Use"), uses);
  auto* buttons = new QHBoxLayout;
  const auto button = [&](const QString& text, void (CDlgNodes::*slot)()) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(text);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
    return b;
  };
  button(QStringLiteral("Add"), &CDlgNodes::OnAdd);
  button(QStringLiteral("Save"), &CDlgNodes::OnSave);
  button(QStringLiteral("Remove"), &CDlgNodes::OnRemove);
  m_echo = button(QStringLiteral("Echo"), &CDlgNodes::OnEcho);
  buttons->addStretch();
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_table);
  layout->addLayout(form);
  layout->addLayout(buttons);
  resize(640, 420);
  refresh();
}

void CDlgNodes::refresh() {
  m_nodes = m_db.IsOpen() ? CDicomNodes(m_db).List() : QList<DicomNode>();
  m_table->setRowCount(0);
  for (const DicomNode& node : m_nodes) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const QStringList cells{node.name, node.aeTitle, node.host, QString::number(node.port),
                            node.uses.join(QLatin1Char(','))};
    for (int column = 0; column < cells.size(); ++column)
      m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
}

void CDlgNodes::showNode(int row) {
  if (row < 0 || row >= m_nodes.size()) return;
  const DicomNode& node = m_nodes[row];
  m_name->setText(node.name);
  m_ae->setText(node.aeTitle);
  m_host->setText(node.host);
  m_port->setText(QString::number(node.port));
  m_send->setChecked(node.uses.contains(QStringLiteral("send")));
  m_query->setChecked(node.uses.contains(QStringLiteral("query")));
}

DicomNode CDlgNodes::fields() const {
  DicomNode node;
  node.name = m_name->text();
  node.aeTitle = m_ae->text();
  node.host = m_host->text();
  bool ok = false;
  node.port = m_port->text().trimmed().toInt(&ok);
  if (!ok) node.port = -1;  // refused by the check with the port's message
  node.uses.clear();
  if (m_send->isChecked()) node.uses << QStringLiteral("send");
  if (m_query->isChecked()) node.uses << QStringLiteral("query");
  return node;
}

QString CDlgNodes::chosen() const {
  const int row = m_table->currentRow();
  return row >= 0 && row < m_nodes.size() ? m_nodes[row].name : QString();
}

bool CDlgNodes::told(const QString& problem) {
  if (!problem.isEmpty()) ShowMessage(problem, kCaption, MB_ICONEXCLAMATION);
  refresh();
  return problem.isEmpty();
}

void CDlgNodes::OnAdd() { told(CDicomNodes(m_db).Add(fields())); }

void CDlgNodes::OnSave() {
  if (chosen().isEmpty()) {
    told(QStringLiteral("Please select a node."));
    return;
  }
  told(CDicomNodes(m_db).Edit(chosen(), fields()));
}

void CDlgNodes::OnRemove() {
  const QString name = chosen();
  if (name.isEmpty()) {
    told(QStringLiteral("Please select a node."));
    return;
  }
  if (ShowMessage(QStringLiteral("Remove the node \"%1\"?").arg(name), kCaption,
                  MB_YESNO | MB_ICONQUESTION) == IDNO)
    return;
  told(CDicomNodes(m_db).Remove(name));
}

void CDlgNodes::OnEcho() {
  const DicomNode node = fields();
  if (const QString problem = CDicomNodes::Check(node); !problem.isEmpty()) {
    told(problem);
    return;
  }
  // A node that is gone takes the connect timeout to say so: never on this thread.
  m_echo->setEnabled(false);
  auto* watcher = new QFutureWatcher<QString>(this);
  connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, node] {
    const QString problem = watcher->result();
    watcher->deleteLater();
    m_echo->setEnabled(true);
    const QString answer =
        problem.isEmpty()
            ? QStringLiteral("%1 answered the echo.").arg(node.aeTitle.trimmed())
            : QStringLiteral("No echo from %1: %2").arg(node.aeTitle.trimmed(), problem);
    ShowMessage(answer, kCaption, problem.isEmpty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    emit echoed(answer);
  });
  watcher->setFuture(
      QtConcurrent::run([node, network = m_network] { return EchoNode(node, network); }));
}
