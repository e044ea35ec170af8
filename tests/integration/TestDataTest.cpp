// Every real DICOM file of the shared test data through torascan-cli: the record agrees with
// DCMTK's dcmdump, the rendered picture agrees with DCMTK's own renderer, and broken files
// fail with an error code instead of a crash.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

namespace {

struct ProcessResult {
  bool crashed = false;
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

ProcessResult run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  ProcessResult result;
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    result.crashed = true;
    return result;
  }
  result.crashed = process.exitStatus() == QProcess::CrashExit;
  result.exitCode = process.exitCode();
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

QString dataDir() { return QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom"); }

std::vector<std::string> testFiles() {
  std::vector<std::string> files;
  QDirIterator it(dataDir(), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString name = QFileInfo(path).fileName();
    if (name.endsWith(QLatin1String(".md")) || name.endsWith(QLatin1String(".txt")) ||
        name == QLatin1String("SHA256SUMS") || name == QLatin1String("DICOMDIR")) {
      continue;
    }
    files.push_back(QDir(dataDir()).relativeFilePath(path).toStdString());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Values of dcmdump for a few tags: tag "gggg,eeee" → text between the brackets.
class DcmdumpValues {
 public:
  explicit DcmdumpValues(const QString& path) {
    const QStringList tags = {"0010,0010", "0010,0020", "0020,000d", "0028,0010", "0028,0011",
                              "0028,0101", "0028,1050", "0028,1051", "0028,0008", "0028,0030",
                              "0018,1164"};
    QStringList printArgs;
    for (const QString& t : tags) printArgs << QStringLiteral("+P") << t;
    // Unicode first; some character sets cannot be converted, and files without a meta
    // header need the transfer syntax given.
    const QList<QStringList> attempts = {{"-q", "+U8"}, {"-q"}, {"-q", "-f", "-te"}};
    for (const QStringList& attempt : attempts) {
      const ProcessResult result = run(QStringLiteral("dcmdump"), attempt + printArgs + QStringList{path});
      if (!result.crashed && result.exitCode == 0) {
        m_readable = true;
        m_unicode = attempt.contains(QStringLiteral("+U8"));
        parse(QString::fromUtf8(result.out));
        break;
      }
    }
  }
  bool readable() const { return m_readable; }
  bool unicode() const { return m_unicode; }
  std::optional<QString> value(const QString& tag) const {
    if (!m_values.contains(tag)) return std::nullopt;
    return m_values.value(tag);
  }
  std::optional<double> firstNumber(const QString& tag) const {
    const auto text = value(tag);
    if (!text || text->isEmpty()) return std::nullopt;
    return text->section(QLatin1Char('\\'), 0, 0).toDouble();
  }

 private:
  void parse(const QString& out) {
    static const QRegularExpression line(
        QStringLiteral("^\\s*\\(([0-9a-f]{4},[0-9a-f]{4})\\) \\w\\w (?:\\[(.*)\\]|\\(no value\\))"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& l : out.split(QLatin1Char('\n'))) {
      const QRegularExpressionMatch m = line.match(l);
      // +P prints nested matches too; the top-level element comes first.
      if (m.hasMatch() && !l.startsWith(QLatin1Char(' '))) {
        const QString tag = m.captured(1).toLower();
        if (!m_values.contains(tag)) m_values.insert(tag, m.captured(2));
      }
    }
  }
  bool m_readable = false;
  bool m_unicode = false;
  QMap<QString, QString> m_values;
};

double correlation(const QImage& a, const QImage& b) {
  const QImage ga = a.convertToFormat(QImage::Format_Grayscale8);
  const QImage gb = b.convertToFormat(QImage::Format_Grayscale8);
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = double(ga.width()) * ga.height();
  for (int y = 0; y < ga.height(); ++y) {
    const uchar* pa = ga.constScanLine(y);
    const uchar* pb = gb.constScanLine(y);
    for (int x = 0; x < ga.width(); ++x) {
      sa += pa[x];
      sb += pb[x];
      saa += double(pa[x]) * pa[x];
      sbb += double(pb[x]) * pb[x];
      sab += double(pa[x]) * pb[x];
    }
  }
  const double cov = sab / n - (sa / n) * (sb / n);
  const double va = saa / n - (sa / n) * (sa / n);
  const double vb = sbb / n - (sb / n) * (sb / n);
  if (va < 1e-9 && vb < 1e-9) return 1.0;  // both flat: the same picture
  if (va < 1e-9 || vb < 1e-9) return 0.0;
  return cov / std::sqrt(va * vb);
}

bool isFlat(const QImage& image) {
  const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  const uchar first = grey.constScanLine(0)[0];
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* line = grey.constScanLine(y);
    for (int x = 0; x < grey.width(); ++x) {
      if (line[x] != first) return false;
    }
  }
  return true;
}

class TestDataFile : public ::testing::TestWithParam<std::string> {
 protected:
  QString path() const { return QDir(dataDir()).filePath(QString::fromStdString(GetParam())); }
  ProcessResult cli(const QStringList& args) const {
    return run(QStringLiteral(TORASCAN_CLI), args);
  }
};

TEST_P(TestDataFile, InfoAgreesWithDcmdumpOrFailsCleanly) {
  const ProcessResult info = cli({QStringLiteral("info"), path()});
  ASSERT_FALSE(info.crashed) << info.err.toStdString();
  const DcmdumpValues dump(path());
  if (info.exitCode != 0) {
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_TRUE(info.err.contains("error -")) << "the message names the error code";
    EXPECT_TRUE(info.err.contains(QFileInfo(path()).fileName().toUtf8()));
    return;
  }
  ASSERT_TRUE(dump.readable()) << "a file DCMTK cannot read was accepted";
  const QJsonObject json = QJsonDocument::fromJson(info.out).object();
  const QJsonObject patient = json.value("patient").toObject();
  const QJsonObject study = json.value("study").toObject();
  const QJsonObject image = json.value("image").toObject();

  if (auto id = dump.value("0010,0020")) {
    EXPECT_EQ(patient.value("PatID").toString(), id->trimmed());
  }
  if (auto name = dump.value("0010,0010"); name && dump.unicode()) {
    EXPECT_EQ(patient.value("PatName").toString(), name->trimmed());
  }
  if (auto uid = dump.value("0020,000d")) {
    EXPECT_EQ(study.value("StuInstanceUID").toString(), *uid);
  }
  if (auto rows = dump.firstNumber("0028,0010")) {
    EXPECT_EQ(image.value("Rows").toDouble(), *rows);
  }
  if (auto cols = dump.firstNumber("0028,0011")) {
    EXPECT_EQ(image.value("Columns").toDouble(), *cols);
  }
  if (auto bits = dump.firstNumber("0028,0101")) {
    EXPECT_EQ(json.value("bitsStored").toInt(), int(*bits));
  }
  if (auto centre = dump.firstNumber("0028,1050")) {
    EXPECT_DOUBLE_EQ(json.value("windowCenter").toDouble(), *centre);
  }
  if (auto width = dump.firstNumber("0028,1051")) {
    EXPECT_DOUBLE_EQ(json.value("windowWidth").toDouble(), *width);
  }
  const int frames = dump.firstNumber("0028,0008").value_or(1);
  if (json.value("pixelError").toInt() == 0) {
    EXPECT_EQ(json.value("frameCount").toInt(), frames);
    if (auto rows = dump.firstNumber("0028,0010")) {
      EXPECT_EQ(json.value("height").toInt(), *rows);
    }
    if (auto cols = dump.firstNumber("0028,0011")) {
      EXPECT_EQ(json.value("width").toInt(), *cols);
    }
  }
  std::optional<double> spacing = dump.firstNumber("0028,0030");
  if (!spacing) spacing = dump.firstNumber("0018,1164");
  EXPECT_NEAR(json.value("pixelSpacing").toDouble(), spacing.value_or(0.0), 1e-9);
}

TEST_P(TestDataFile, RenderMatchesDcmtkPictureOrFailsCleanly) {
  const ProcessResult info = cli({QStringLiteral("info"), path()});
  ASSERT_FALSE(info.crashed);
  QTemporaryDir dir;
  const QString ours = dir.filePath(QStringLiteral("ours.png"));
  if (info.exitCode != 0) {
    const ProcessResult render = cli({"render", path(), "--size", "64x64", "--out", ours});
    EXPECT_FALSE(render.crashed);
    EXPECT_EQ(render.exitCode, 1);
    return;
  }
  const QJsonObject json = QJsonDocument::fromJson(info.out).object();
  const int width = json.value("width").toInt();
  const int height = json.value("height").toInt();
  if (json.value("pixelError").toInt() != 0) {
    const ProcessResult render = cli({"render", path(), "--size", "64x64", "--out", ours});
    EXPECT_FALSE(render.crashed);
    EXPECT_EQ(render.exitCode, 1) << "a file whose pixels cannot be taken out renders nothing";
    return;
  }
  ASSERT_GT(width, 0);
  const ProcessResult render =
      cli({"render", path(), "--size", QStringLiteral("%1x%2").arg(width).arg(height), "--out", ours});
  ASSERT_FALSE(render.crashed);
  ASSERT_EQ(render.exitCode, 0) << render.err.toStdString();

  // DCMTK's renderer: the file's first window, else the min-max window as ours takes.
  // JPEG-LS needs its own tool; JPEG 2000 has no reference here.
  const QString reference = dir.filePath(QStringLiteral("reference.png"));
  const bool hasWindow = json.value("windowWidth").toDouble() != 0;
  bool referenceMade = false;
  for (const QString& tool : {QStringLiteral("dcmj2pnm"), QStringLiteral("dcml2pnm")}) {
    for (const QStringList& extra : {QStringList{}, QStringList{"-f", "-te"}}) {
      const QStringList args = extra + QStringList{hasWindow ? "+Wi" : "+Wm"} +
                               (hasWindow ? QStringList{"1"} : QStringList{}) +
                               QStringList{"--write-png", path(), reference};
      const ProcessResult ref = run(tool, args);
      if (!ref.crashed && ref.exitCode == 0 && QFileInfo::exists(reference)) {
        referenceMade = true;
        break;
      }
    }
    if (referenceMade) break;
  }
  if (!referenceMade) GTEST_SKIP() << "DCMTK renders no reference for this file";
  const QImage a(ours);
  const QImage b(reference);
  if (isFlat(b) && !isFlat(a)) {
    // DCMTK's modality transform loses images with a tiny rescale slope (its own warning).
    GTEST_SKIP() << "DCMTK's reference shows no picture";
  }
  ASSERT_EQ(a.size(), b.size());
  EXPECT_GT(correlation(a, b), 0.95) << "picture or polarity differs from DCMTK's";
}

INSTANTIATE_TEST_SUITE_P(SharedTestData, TestDataFile, ::testing::ValuesIn(testFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
