// The browser's File Export of the selected images: the files written, their names, and the
// refusals that write nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "browser/FileExport.h"
#include "support/DicomBuilder.h"
#include "ui/MessageSink.h"

namespace {

TEST(FileExport, SelectedImagesBecomePicturesNamedAfterTheTypedName) {
  QTemporaryDir dir;
  RecordingMessageSink sink;
  ScopedMessageSink bind(&sink);
  QStringList files;
  for (int image = 1; image <= 2; ++image) {
    testsupport::DicomBuilder file;
    file.set(DCM_StudyID, "S7")
        .set(DCM_SeriesNumber, "3")
        .set(DCM_InstanceNumber, std::to_string(image))
        .set(DCM_WindowCenter, "2048")
        .set(DCM_WindowWidth, "4096")
        .pixels16(10, 6, std::vector<std::uint16_t>(60, 4095), 12);
    files << dir.filePath(QStringLiteral("in%1.dcm").arg(image));
    ASSERT_TRUE(file.save(files.last()));
  }
  const QString out = dir.filePath(QStringLiteral("out"));
  ASSERT_TRUE(QDir().mkpath(out));

  struct Case {
    const char* what;
    QString name, extension;
    QStringList written;  // file names
    QStringList messages;
  };
  const Case cases[] = {
      {"an empty name", "", "png", {}, {"Please input file name."}},
      {"png, the extension's dot trimmed", "knee_", ".png", {"knee_S70301.png", "knee_S70302.png"}, {}},
      {"jpg", "hand", "jpg", {"handS70301.jpg", "handS70302.jpg"}, {}},
  };
  int steps = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sink.clear();
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    const QStringList written =
        ExportImageFiles(files + QStringList{QString()}, out, c.name, c.extension, [&] { ++steps; });
    QStringList names;
    for (const QString& path : written) names << QFileInfo(path).fileName();
    EXPECT_EQ(names, c.written);
    EXPECT_EQ(QDir(out).entryList(QDir::Files), c.written) << "nothing else, no BMP left over";
    EXPECT_EQ(sink.texts(), c.messages);
    // The pictures are cut to multiples of 4 and white at the window's top.
    for (const QString& path : written) {
      const QImage picture(path);
      EXPECT_EQ(picture.size(), QSize(8, 4));
      EXPECT_GT(qGray(picture.pixel(0, 0)), 250);
    }
  }
  EXPECT_EQ(steps, 6) << "each listed item counts, the path-less one too";
}

}  // namespace
