#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/IniFile.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

void writeAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

class IniFileTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString path() const { return dir.filePath("Pelmora.ini"); }
};

}  // namespace

TEST_F(IniFileTest, MissingFileGivesDefaults) {
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadString("SYSTEM", "SkinType", "default.skf"), "default.skf");
  EXPECT_EQ(ini.ReadInt("SYSTEM", "toraScanWidth", 1920), 1920);
  CIniFile noPath;
  EXPECT_EQ(noPath.ReadString("A", "b", "d"), "d");
}

TEST_F(IniFileTest, SectionAndKeyNamesAreCaseInsensitiveAndValuesTrimmed) {
  writeAll(path(), "[ System ]\n  wholespinepath =   C:\\dcm\\CR_1205   \n");
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadString("SYSTEM", "WholeSpinePath", "x"), "C:\\dcm\\CR_1205");
}

TEST_F(IniFileTest, QuotesAroundTheWholeValueAreRemovedOnRead) {
  writeAll(path(),
           "[A]\nq1=\"quoted\"\nq2='single'\nq3=\"open\nq4=\"\nq5=\"in\"side\nq6=\"a\" b \"c\"\n");
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadString("A", "q1"), "quoted");
  EXPECT_EQ(ini.ReadString("A", "q2"), "single");
  EXPECT_EQ(ini.ReadString("A", "q3"), "\"open");
  EXPECT_EQ(ini.ReadString("A", "q4"), "\"");
  EXPECT_EQ(ini.ReadString("A", "q5"), "\"in\"side");
  EXPECT_EQ(ini.ReadString("A", "q6"), "a\" b \"c");
}

TEST_F(IniFileTest, ReadIntTakesTheLeadingNumber) {
  writeAll(path(), "[N]\na=12abc\nb=  -5\nc=abc\nd=\ne=+7\nf=0x1F\ng=\"42\"\nh=   \n");
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadInt("N", "a", 99), 12);
  EXPECT_EQ(ini.ReadInt("N", "b", 99), -5);
  EXPECT_EQ(ini.ReadInt("N", "c", 99), 0);
  EXPECT_EQ(ini.ReadInt("N", "d", 99), 99);  // empty value: default
  EXPECT_EQ(ini.ReadInt("N", "e", 99), 7);
  EXPECT_EQ(ini.ReadInt("N", "f", 99), 31);
  EXPECT_EQ(ini.ReadInt("N", "g", 99), 42);
  EXPECT_EQ(ini.ReadInt("N", "h", 99), 99);
  EXPECT_EQ(ini.ReadInt("N", "missing", 99), 99);
  EXPECT_EQ(ini.ReadInt("Other", "a", -3), -3);
}

TEST_F(IniFileTest, ReadsAreCutAt511Characters) {
  const QString longValue(600, QLatin1Char('v'));
  CIniFile ini(path());
  ASSERT_TRUE(ini.WriteString("L", "long", longValue));
  EXPECT_EQ(ini.ReadString("L", "long").size(), 511);
  EXPECT_EQ(ini.ReadString("L", "long"), longValue.left(511));
  EXPECT_EQ(ini.ReadString("L", "missing", longValue).size(), 511);
  // The file itself keeps the whole value.
  EXPECT_TRUE(readAll(path()).contains(longValue.toUtf8()));
}

TEST_F(IniFileTest, DefaultLosesTrailingBlanks) {
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadString("A", "b", "  value  "), "  value");
}

TEST_F(IniFileTest, WriteReplacesOnlyTheValueAndKeepsEveryOtherLine) {
  const QByteArray original =
      "; toraScan settings\r\n"
      "[SYSTEM]\r\n"
      "DispOrder=1\r\n"
      "; the path of the images\r\n"
      "WholeSpinePath=C:\\dcm\\CR_1205\r\n"
      "SkinType = blue.skf\r\n"
      "\r\n"
      "[VA]\r\n"
      "IsPatientInfo=0\r\n";
  writeAll(path(), original);
  CIniFile ini(path());
  const QString value = QString::fromUtf8("D:\\Bilder\\\"Größe\" 日本 O'Brien");
  ASSERT_TRUE(ini.WriteString("system", "wholespinepath", value));
  QByteArray expected = original;
  expected.replace("WholeSpinePath=C:\\dcm\\CR_1205", "WholeSpinePath=" + value.toUtf8());
  EXPECT_EQ(readAll(path()), expected);
  EXPECT_EQ(ini.ReadString("SYSTEM", "WholeSpinePath"), value);
  EXPECT_EQ(ini.ReadInt("VA", "IsPatientInfo", 1), 0);
  EXPECT_EQ(ini.ReadString("SYSTEM", "SkinType"), "blue.skf");
}

TEST_F(IniFileTest, NewKeyGoesAfterTheLastEntryOfItsSection) {
  writeAll(path(), "[SYSTEM]\nDispOrder=1\n\n; about VA\n[VA]\nIsPatientInfo=0\n");
  CIniFile ini(path());
  ASSERT_TRUE(ini.WriteString("SYSTEM", "IsVet", "1"));
  EXPECT_EQ(readAll(path()),
            QByteArray("[SYSTEM]\nDispOrder=1\nIsVet=1\n\n; about VA\n[VA]\nIsPatientInfo=0\n"));
}

TEST_F(IniFileTest, NewSectionIsAppendedAndMissingFileCreated) {
  CIniFile ini(path());
  ASSERT_TRUE(ini.WriteString("User", "ID", "admin"));
  EXPECT_EQ(readAll(path()), QByteArray("[User]\nID=admin\n"));
  writeAll(path(), "[A]\nx=1");  // no line break at the end
  ASSERT_TRUE(ini.WriteString("B", "y", "2"));
  EXPECT_EQ(readAll(path()), QByteArray("[A]\nx=1\n[B]\ny=2\n"));
}

TEST_F(IniFileTest, QuotedValueRoundTripsAsTheSystemDoes) {
  CIniFile ini(path());
  ASSERT_TRUE(ini.WriteString("A", "inner", "say \"hi\" \\ there"));
  EXPECT_EQ(ini.ReadString("A", "inner"), "say \"hi\" \\ there");
  ASSERT_TRUE(ini.WriteString("A", "whole", "\"all\""));
  EXPECT_EQ(ini.ReadString("A", "whole"), "all");  // quotes round a whole value are dropped
}

TEST_F(IniFileTest, LineBreaksInAWriteAreRefusedAndTheFileIsUntouched) {
  writeAll(path(), "[A]\nx=1\n");
  CIniFile ini(path());
  EXPECT_FALSE(ini.WriteString("A", "x", "2\n[Evil]\ny=3"));
  EXPECT_FALSE(ini.WriteString("A", "bad\rkey", "2"));
  EXPECT_FALSE(ini.WriteString("A", "k=v", "2"));
  EXPECT_FALSE(ini.WriteString("A]", "k", "2"));
  EXPECT_EQ(readAll(path()), QByteArray("[A]\nx=1\n"));
}

TEST_F(IniFileTest, FirstOfDuplicateKeysIsReadAndWritten) {
  writeAll(path(), "[A]\nx=1\nX=2\n[a]\nx=3\n");
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadString("A", "x"), "1");
  ASSERT_TRUE(ini.WriteString("A", "x", "9"));
  EXPECT_EQ(readAll(path()), QByteArray("[A]\nx=9\nX=2\n[a]\nx=3\n"));
}

TEST_F(IniFileTest, ByteOrderMarkIsSkippedAndKept) {
  writeAll(path(), "\xEF\xBB\xBF[A]\nx=1\n");
  CIniFile ini(path());
  EXPECT_EQ(ini.ReadInt("A", "x", 0), 1);
  ASSERT_TRUE(ini.WriteString("A", "x", "2"));
  EXPECT_EQ(readAll(path()), QByteArray("\xEF\xBB\xBF[A]\nx=2\n"));
}

TEST_F(IniFileTest, SeveralKeysLandInOneRewriteOrNoneDoes) {
  writeAll(path(), "; kept\n[A]\nx=1\n");
  CIniFile ini(path());
  ASSERT_TRUE(ini.WriteStrings({{"A", "x", "2"}, {"B", "y", "3"}, {"A", "z", "4"}}));
  EXPECT_EQ(readAll(path()), QByteArray("; kept\n[A]\nx=2\nz=4\n[B]\ny=3\n"));
  // One bad entry after good ones: the file stays as it was.
  EXPECT_FALSE(ini.WriteStrings({{"A", "x", "5"}, {"B", "y", "6\n[Evil]"}}));
  EXPECT_EQ(readAll(path()), QByteArray("; kept\n[A]\nx=2\nz=4\n[B]\ny=3\n"));
}

TEST_F(IniFileTest, WriteIntoAMissingFolderFails) {
  CIniFile ini(dir.filePath("no/such/folder/Pelmora.ini"));
  EXPECT_FALSE(ini.WriteString("A", "x", "1"));
}

TEST(IniFileGlobal, OneGlobalInstance) {
  theIniFile().SetPath("/nonexistent/Pelmora.ini");
  EXPECT_EQ(&theIniFile(), &theIniFile());
  EXPECT_EQ(theIniFile().Path(), "/nonexistent/Pelmora.ini");
  EXPECT_EQ(theIniFile().ReadInt("SYSTEM", "IsVet", 5), 5);
}
