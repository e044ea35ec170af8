// The DICOM nodes of an archive: their table (on SQLite and on the server), the checks of what
// is stored, and the command line's node commands with an echo to a real peer.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "db/DaoDatabase.h"
#include "net/DicomNodes.h"
#include "net/NetTestSupport.h"
#include "support/TestDatabase.h"

namespace {

DicomNode node(const QString& name, const QString& ae, int port,
               QStringList uses = {QStringLiteral("send")}) {
  DicomNode n;
  n.name = name;
  n.aeTitle = ae;
  n.host = QStringLiteral("127.0.0.1");
  n.port = port;
  n.uses = uses;
  return n;
}

class DicomNodes : public ::testing::Test {
 protected:
  void SetUp() override {
    TORASCAN_NEEDS_DATABASE(database);
    QString error;
    ASSERT_TRUE(db.Open(database.location(), &error)) << error.toStdString();
  }

  QTemporaryDir dir;
  TestDatabase database{dir.path()};
  CDaoDatabase db;
};

TEST_F(DicomNodes, AreAddedEditedListedAndRemovedOnAnArchiveWithoutTheTable) {
  CDicomNodes nodes(db);
  EXPECT_TRUE(nodes.List().isEmpty());
  EXPECT_EQ(nodes.Add(node("PACS", "MAIN_PACS", 104)), QString());
  EXPECT_EQ(nodes.Add(node("O'Brien room", "READING1", 11112,
                           {QStringLiteral("send"), QStringLiteral("query")})),
            QString());
  EXPECT_FALSE(nodes.Add(node("PACS", "OTHER", 105)).isEmpty()) << "a name is taken once";

  DicomNode edited = node("PACS2", "MAIN_PACS", 4242);
  EXPECT_EQ(nodes.Edit(QStringLiteral("PACS"), edited), QString());
  EXPECT_FALSE(nodes.Edit(QStringLiteral("PACS2"), node("O'Brien room", "X", 1)).isEmpty())
      << "renaming onto another node's name";
  const QList<DicomNode> listed = nodes.List();
  ASSERT_EQ(listed.size(), 2);
  EXPECT_EQ(listed[0].name, QStringLiteral("O'Brien room"));
  EXPECT_EQ(listed[0].uses, (QStringList{"send", "query"}));
  EXPECT_EQ(listed[1].name, QStringLiteral("PACS2"));
  EXPECT_EQ(listed[1].port, 4242);

  EXPECT_EQ(nodes.Remove(QStringLiteral("PACS2")), QString());
  EXPECT_FALSE(nodes.Remove(QStringLiteral("PACS2")).isEmpty());
  // A second connection (another station) sees the same nodes.
  CDaoDatabase other;
  ASSERT_TRUE(other.Open(database.location()));
  EXPECT_EQ(CDicomNodes(other).List().size(), 1);
}

TEST_F(DicomNodes, RefuseWhatCouldNotReachAPeer) {
  const struct {
    DicomNode node;
    const char* why;
  } cases[] = {
      {node("", "PACS", 104), "no name"},
      {node("A", "", 104), "empty AE title"},
      {node("A", "SEVENTEEN_LETTERS", 104), "AE title over 16"},
      {node("A", "BACK\\SLASH", 104), "backslash"},
      {node("A", QString::fromUtf8("PAC\xC3\x9F"), 104), "outside the default repertoire"},
      {node("A", "PACS", 0), "port 0"},
      {node("A", "PACS", 65536), "port over 65535"},
      {node("A", "PACS", 104, {}), "no use"},
  };
  CDicomNodes nodes(db);
  for (const auto& c : cases) EXPECT_FALSE(nodes.Add(c.node).isEmpty()) << c.why;
  DicomNode noHost = node("A", "PACS", 104);
  noHost.host = QStringLiteral(" ");
  EXPECT_FALSE(nodes.Add(noHost).isEmpty());
  EXPECT_TRUE(nodes.List().isEmpty());
  EXPECT_EQ(CDicomNodes::ParseUses(QStringLiteral("send, QUERY")), (QStringList{"send", "query"}));
  EXPECT_FALSE(CDicomNodes::ParseUses(QStringLiteral("send,print")));
}

class NodeCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    // An empty archive made by the tool itself.
    ASSERT_EQ(nettest::RunCli({"db-fill", "--db", db, "--patients", "0"}).status, 0);
  }
  QTemporaryDir dir;
  QString db = dir.filePath(QStringLiteral("Pelmora.db"));
};

TEST_F(NodeCommand, ManagesNodesAndEchoesARealPeer) {
  nettest::Storescp peer(dir.filePath(QStringLiteral("in")), {});
  ASSERT_TRUE(peer.waitUntilListening());
  const QString port = QString::number(peer.port());
  auto run = nettest::RunCli({"node", "add", "--db", db, "--name", "PACS", "--ae", "STORESCP",
                              "--host", "127.0.0.1", "--port", port, "--use", "send,query"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  run = nettest::RunCli({"node", "echo", "--db", db, "--name", "PACS"});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("echo").toString(), "success");

  // A wrong called AE title and a port nothing listens on: the reason, status 1.
  run = nettest::RunCli({"node", "edit", "--db", db, "--name", "PACS", "--ae", "NOT_STORESCP"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  peer.stop();
  run = nettest::RunCli({"node", "echo", "--db", db, "--name", "PACS"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(QJsonDocument::fromJson(run.out).object().value("echo").toString(), "success");

  run = nettest::RunCli({"node", "list", "--db", db});
  ASSERT_EQ(run.status, 0);
  const QJsonArray list = QJsonDocument::fromJson(run.out).array();
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0].toObject().value("ae").toString(), "NOT_STORESCP");
  EXPECT_EQ(list[0].toObject().value("port").toInt(), peer.port());
  EXPECT_EQ(nettest::RunCli({"node", "remove", "--db", db, "--name", "PACS"}).status, 0);
  EXPECT_EQ(nettest::RunCli({"node", "remove", "--db", db, "--name", "PACS"}).status, 1);
}

TEST_F(NodeCommand, RejectsBadFieldsAndCommandLines) {
  const struct {
    QStringList args;
    int status;
  } cases[] = {
      {{"--ae", "TOO_LONG_AE_TITLE_", "--host", "h", "--port", "104"}, 1},
      {{"--ae", "PACS", "--host", "h", "--port", "70000"}, 1},
      {{"--ae", "PACS", "--host", "h", "--port", "1o4"}, 1},
      {{"--ae", "PACS", "--host", "h", "--port", "104", "--use", "print"}, 2},
      {{"--ae", "PACS", "--host", "h"}, 2},
  };
  for (const auto& c : cases) {
    const auto run =
        nettest::RunCli(QStringList{"node", "add", "--db", db, "--name", "N"} + c.args);
    EXPECT_EQ(run.status, c.status) << c.args.join(' ').toStdString() << run.err.toStdString();
  }
  EXPECT_EQ(
      QJsonDocument::fromJson(nettest::RunCli({"node", "list", "--db", db}).out).array().size(), 0);
  EXPECT_EQ(nettest::RunCli({"node", "list", "--db", dir.filePath("missing.db")}).status, 1);
}

}  // namespace
