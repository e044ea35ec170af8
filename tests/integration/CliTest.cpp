// The command-line tool on the bundled samples: what users script against.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct CliResult {
  bool crashed = true;
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

CliResult cli(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(TORASCAN_CLI), args);
  CliResult result;
  if (!process.waitForFinished(60000)) return result;
  result.crashed = process.exitStatus() == QProcess::CrashExit;
  result.exitCode = process.exitCode();
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

const QString kChest = QStringLiteral(TORASCAN_PROGRAM_DIR "/samples/TS0001_chest_pa.dcm");

TEST(Cli, ExportPrintsThePathOfTheWrittenPicture) {
  QTemporaryDir out;
  for (const QString format : {"bmp", "jpg", "png"}) {
    const CliResult r = cli({"export", kChest, "--format", format, "--out", out.path(),
                             "--prefix", "ER_"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString written = QString::fromLocal8Bit(r.out).trimmed();
    EXPECT_TRUE(written.startsWith(out.path() + "/ER_")) << written.toStdString();
    EXPECT_TRUE(written.endsWith("." + format));
    const QImage picture(written);
    ASSERT_FALSE(picture.isNull()) << format.toStdString();
    EXPECT_EQ(picture.width() % 4, 0);
    EXPECT_EQ(picture.height() % 4, 0);
  }
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 3) << "no intermediate files left";
}

TEST(Cli, ExportWritesATinyImageWhole) {
  // 3 x 3 colour pixels: no multiple of 4 to cut the sides to.
  const QString tiny = QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/ot_rgb_3x3_odd.dcm");
  QTemporaryDir out;
  for (const QString format : {"bmp", "jpg", "png"}) {
    const CliResult r = cli({"export", tiny, "--format", format, "--out", out.path()});
    ASSERT_EQ(r.exitCode, 0) << format.toStdString() << ": " << r.err.toStdString();
    const QImage picture(QString::fromLocal8Bit(r.out).trimmed());
    EXPECT_EQ(picture.size(), QSize(3, 3)) << format.toStdString();
  }
}

TEST(Cli, RenderFitsTheImageIntoThePane) {
  QTemporaryDir out;
  const QString png = out.filePath("pane.png");
  const CliResult r = cli({"render", kChest, "--size", "300x200", "--out", png});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QImage pane(png);
  ASSERT_EQ(pane.size(), QSize(300, 200));
  // A portrait radiograph in a landscape pane: black bands left and right, picture between.
  EXPECT_EQ(pane.pixel(2, 100), qRgb(0, 0, 0));
  EXPECT_EQ(pane.pixel(297, 100), qRgb(0, 0, 0));
  EXPECT_NE(pane.pixel(150, 100), qRgb(0, 0, 0));
}

TEST(Cli, RawFileNeedsItsGeometry) {
  QTemporaryDir dir;
  const QString raw = dir.filePath("acquired.raw");
  QFile file(raw);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  QByteArray pixels(64 * 32 * 2, '\0');
  for (int i = 0; i < 64 * 32; ++i) pixels[2 * i] = char(i % 256);
  file.write(pixels);
  file.close();

  const CliResult info = cli({"info", raw, "--raw", "64x32x16"});
  ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
  const QJsonObject json = QJsonDocument::fromJson(info.out).object();
  EXPECT_EQ(json.value("width").toInt(), 64);
  EXPECT_EQ(json.value("height").toInt(), 32);
  EXPECT_EQ(cli({"info", raw, "--raw", "64x64x16"}).exitCode, 1) << "file shorter than stated";
}

TEST(Cli, WrongCommandLinesAndFilesGiveTheirExitStatus) {
  struct Case {
    QStringList args;
    int exitCode;
  };
  QTemporaryDir out;
  const QString missing = out.filePath("missing.dcm");
  for (const Case& c : {Case{{}, 2},
                        Case{{"bogus"}, 2},
                        Case{{"info"}, 2},
                        Case{{"export", kChest, "--format", "tif", "--out", out.path()}, 2},
                        Case{{"export", kChest, "--format", "png", "--out", missing}, 1},
                        Case{{"render", kChest, "--size", "0x10", "--out", "x.png"}, 2},
                        Case{{"info", kChest, "--raw", "12x12x12"}, 2},
                        Case{{"info", missing}, 1}}) {
    const CliResult r = cli(c.args);
    EXPECT_FALSE(r.crashed) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_FALSE(r.err.isEmpty()) << c.args.join(' ').toStdString();
  }
  const CliResult r = cli({"info", missing});
  EXPECT_TRUE(r.err.contains("missing.dcm")) << "names the file";
  EXPECT_TRUE(r.err.contains("error -2")) << "names the error code: " << r.err.toStdString();
}

}  // namespace
