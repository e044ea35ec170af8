#include "net/DicomNodes.h"

#include <QJsonArray>

#include "app/CompanionSettings.h"
#include "db/DaoDatabase.h"
#include "db/DbDatabase.h"
#include "net/SendQueue.h"

namespace {

const QStringList kUses{QStringLiteral("send"), QStringLiteral("query")};

DicomNode rowNode(const CdbDatabase& rows) {
  DicomNode node;
  node.name = rows.GetFieldValue(QStringLiteral("NodeName")).toString();
  node.aeTitle = rows.GetFieldValue(QStringLiteral("AETitle")).toString();
  node.host = rows.GetFieldValue(QStringLiteral("Host")).toString();
  node.port = rows.GetFieldValue(QStringLiteral("Port")).toInt();
  node.uses = rows.GetFieldValue(QStringLiteral("Uses"))
                  .toString()
                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
  return node;
}

QVariantList nodeValues(const DicomNode& node) {
  return {node.name.trimmed(), node.aeTitle.trimmed(), node.host.trimmed(), node.port,
          node.uses.join(QLatin1Char(','))};
}

}  // namespace

QJsonObject DicomNode::toJson() const {
  return {{QStringLiteral("name"), name},
          {QStringLiteral("ae"), aeTitle},
          {QStringLiteral("host"), host},
          {QStringLiteral("port"), port},
          {QStringLiteral("use"), QJsonArray::fromStringList(uses)}};
}

CDicomNodes::CDicomNodes(CDaoDatabase& database) : m_db(database) {}

QString CDicomNodes::Check(const DicomNode& node) {
  if (node.name.trimmed().isEmpty()) return QStringLiteral("The node needs a name.");
  if (const QString problem = CompanionSettings::CheckAETitle(node.aeTitle); !problem.isEmpty())
    return problem;
  if (node.host.trimmed().isEmpty() || node.host.trimmed().contains(QLatin1Char(' ')))
    return QStringLiteral("The host \"%1\" must be a host name or an address.").arg(node.host);
  if (const QString problem = CompanionSettings::CheckPort(QString::number(node.port));
      !problem.isEmpty())
    return problem;
  if (node.uses.isEmpty()) return QStringLiteral("The node must be for send, query or both.");
  return {};
}

std::optional<QStringList> CDicomNodes::ParseUses(const QString& text) {
  QStringList uses;
  for (const QString& word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const QString use = word.trimmed().toLower();
    if (!kUses.contains(use)) return std::nullopt;
    if (!uses.contains(use)) uses.append(use);
  }
  if (uses.isEmpty()) return std::nullopt;
  return uses;
}

bool CDicomNodes::ensureTable() {
  // Archives older than the nodes get the table on first use; both engines take this text.
  if (!m_ready) {
    m_ready = CdbDatabase(&m_db).Execute(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS DicomNode (NodeName text NOT NULL PRIMARY KEY, AETitle text "
        "NOT NULL, Host text NOT NULL, Port integer NOT NULL, Uses text NOT NULL DEFAULT "
        "'send')"));
    if (!m_ready) m_lastError = m_db.LastError();
  }
  return m_ready;
}

QList<DicomNode> CDicomNodes::List() {
  QList<DicomNode> nodes;
  if (!ensureTable()) return nodes;
  CdbDatabase rows(&m_db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT NodeName, AETitle, Host, Port, Uses FROM DicomNode "
                                "ORDER BY NodeName"))) {
    m_lastError = m_db.LastError();
    return nodes;
  }
  for (; !rows.IsEOF(); rows.MoveNext()) nodes.append(rowNode(rows));
  return nodes;
}

std::optional<DicomNode> CDicomNodes::Find(const QString& name) {
  if (!ensureTable()) return std::nullopt;
  CdbDatabase rows(&m_db);
  if (!rows.Open(CGMDaoRecordset::dbOpenSnapshot,
                 QStringLiteral("SELECT NodeName, AETitle, Host, Port, Uses FROM DicomNode "
                                "WHERE NodeName = ?"),
                 {name.trimmed()}) ||
      rows.IsEOF())
    return std::nullopt;
  return rowNode(rows);
}

QString CDicomNodes::Add(const DicomNode& node) {
  if (const QString problem = Check(node); !problem.isEmpty()) return problem;
  if (!ensureTable()) return m_lastError;
  // Looked up inside the writing transaction, so two stations cannot both add the name.
  if (!m_db.BeginTrans()) return m_db.LastError();
  if (Find(node.name)) {
    m_db.Rollback();
    return QStringLiteral("A node \"%1\" exists already.").arg(node.name.trimmed());
  }
  if (!CdbDatabase(&m_db).Execute(QStringLiteral("INSERT INTO DicomNode (NodeName, AETitle, "
                                                 "Host, Port, Uses) VALUES (?, ?, ?, ?, ?)"),
                                  nodeValues(node)) ||
      !m_db.CommitTrans()) {
    m_db.Rollback();
    return m_db.LastError();
  }
  return {};
}

QString CDicomNodes::Edit(const QString& name, const DicomNode& node) {
  if (const QString problem = Check(node); !problem.isEmpty()) return problem;
  if (!ensureTable()) return m_lastError;
  if (!m_db.BeginTrans()) return m_db.LastError();
  QString problem;
  if (!Find(name)) {
    problem = QStringLiteral("There is no node \"%1\".").arg(name.trimmed());
  } else if (node.name.trimmed() != name.trimmed() && Find(node.name)) {
    problem = QStringLiteral("A node \"%1\" exists already.").arg(node.name.trimmed());
  } else if (!CdbDatabase(&m_db).Execute(
                 QStringLiteral("UPDATE DicomNode SET NodeName = ?, AETitle = ?, Host = ?, "
                                "Port = ?, Uses = ? WHERE NodeName = ?"),
                 nodeValues(node) << name.trimmed()) ||
             // Queued jobs name their node: they follow it to its new name.
             !CSendQueue(m_db).RenameNode(name.trimmed(), node.name.trimmed()) ||
             !m_db.CommitTrans()) {
    problem = m_db.LastError();
  } else {
    return {};
  }
  m_db.Rollback();
  return problem;
}

QString CDicomNodes::Remove(const QString& name) {
  if (!ensureTable()) return m_lastError;
  if (!Find(name)) return QStringLiteral("There is no node \"%1\".").arg(name.trimmed());
  if (!CdbDatabase(&m_db).Execute(QStringLiteral("DELETE FROM DicomNode WHERE NodeName = ?"),
                                  {name.trimmed()}))
    return m_db.LastError();
  return {};
}
