#pragma once

// The remote DICOM systems this station talks to, kept in the image database (table DicomNode,
// made on first use), so that workstations sharing an archive share their nodes too.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class CDaoDatabase;

struct DicomNode {
  QString name;
  QString aeTitle;
  QString host;
  int port = 0;
  // What the node is for: "send", "query" (retrieve goes with query).
  QStringList uses{QStringLiteral("send")};

  bool sendsTo() const { return uses.contains(QStringLiteral("send")); }
  QJsonObject toJson() const;
};

class CDicomNodes {
 public:
  explicit CDicomNodes(CDaoDatabase& database);

  // Why the node cannot be stored, in words for the operator; empty when it can. The AE title
  // and the port are checked as the receiver's own settings are.
  static QString Check(const DicomNode& node);
  // The known uses; "send,query" parsed into a list (empty with a bad word).
  static std::optional<QStringList> ParseUses(const QString& text);

  // Every node, by name. Empty when the table cannot be read (the reason in LastError()).
  QList<DicomNode> List();
  std::optional<DicomNode> Find(const QString& name);
  // Empty on success, else the reason (a name taken, a bad field, the engine's error).
  QString Add(const DicomNode& node);
  // Replaces the node called `name` (which may be renamed).
  QString Edit(const QString& name, const DicomNode& node);
  QString Remove(const QString& name);
  const QString& LastError() const { return m_lastError; }

 private:
  bool ensureTable();

  CDaoDatabase& m_db;
  bool m_ready = false;
  QString m_lastError;
};
