#include "DbTestSupport.h"
#include "frame/OpenImages.h"
#include "image/ImageEach.h"

namespace {

class ProtocolLookup : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;  // no server to run on
    CdbDatabase db(path);
    for (const char* sql :
         {"INSERT INTO tEP (KeyEP, NameEP, KeyMT) VALUES (4, 'CHEST', 1)",
          "INSERT INTO tEP (KeyEP, NameEP, KeyMT) VALUES (5, 'CHEST', 2)",
          "INSERT INTO tVP (KeyVP, NameVP, KeyMT, KeyEP) VALUES (8, 'PA', 1, 4)",
          "INSERT INTO tVP (KeyVP, NameVP, KeyMT, KeyEP) VALUES (9, 'AP', 1, 4)",
          "INSERT INTO tEC (KeyVP, KeyBS, FilmSizeX, FilmSizeY, ValueA, ValueB, ValueC, ValueD, "
          "ValueE, LUT, PAR) VALUES (8, 2, 3500, 4300, 1, 2, 3, 4, 5, 'lut.a', 'par.b')",
          "INSERT INTO tEC (KeyVP, KeyBS, FilmSizeX, FilmSizeY, ValueA, LUT) "
          "VALUES (9, 2, 0, -1, 7, 'lut.c')"}) {
      ASSERT_TRUE(db.Execute(QLatin1String(sql)));
    }
  }

  static void describe(CImageEach& image, const QString& bodyPart, const QString& position,
                       long modalType, long patientType) {
    image.scanInfo.Ser.BodyPart = bodyPart;
    image.scanInfo.Ser.PatientPosition = position;
    image.scanInfo.Img.ModalType = modalType;
    image.scanInfo.Img.PatientType = patientType;
  }
};

TEST_F(ProtocolLookup, FillsFilmSizeAndProcessingValues) {
  CImageEach image;
  describe(image, "CHEST", "PA", 1, 2);
  EXPECT_EQ(LookUpAcquisitionProtocol(image, path), 0);
  EXPECT_EQ(image.filmSizeX, 3500);
  EXPECT_EQ(image.filmSizeY, 4300);
  EXPECT_EQ(QList<long>({image.valueA, image.valueB, image.valueC, image.valueD, image.valueE}),
            QList<long>({1, 2, 3, 4, 5}));
  EXPECT_EQ(image.lut, "lut.a");
  EXPECT_EQ(image.par, "par.b");
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(ProtocolLookup, FilmSizesOfZeroOrLessKeepTheImagesOwn) {
  CImageEach image;
  const int width = image.filmSizeX;
  const int height = image.filmSizeY;
  describe(image, "CHEST", "AP", 1, 2);
  EXPECT_EQ(LookUpAcquisitionProtocol(image, path), 0);
  EXPECT_EQ(image.filmSizeX, width);
  EXPECT_EQ(image.filmSizeY, height);
  EXPECT_EQ(image.valueA, 7);
  EXPECT_EQ(image.lut, "lut.c");
}

TEST_F(ProtocolLookup, ImagesWithoutAProtocolKeepTheirValues) {
  struct Case {
    const char* bodyPart;
    const char* position;
    long modalType;
    long patientType;
  };
  // No step, no view, no exposure row for the patient kind; a quote is just a character.
  for (const Case& c :
       {Case{"HAND", "PA", 1, 2}, Case{"CHEST", "LAT", 1, 2}, Case{"CHEST", "PA", 1, 3},
        Case{"CHEST", "PA", 2, 2}, Case{"O'HAND", "P'A", 1, 2}}) {
    CImageEach image;
    describe(image, c.bodyPart, c.position, c.modalType, c.patientType);
    image.valueA = 42;
    EXPECT_EQ(LookUpAcquisitionProtocol(image, path), 0);
    EXPECT_EQ(image.filmSizeX, CImageEach().filmSizeX);
    EXPECT_EQ(image.valueA, 42);
    EXPECT_TRUE(image.lut.isEmpty());
  }
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(ProtocolLookup, DatabaseErrorIsShownUnderMainControl) {
  ASSERT_TRUE(CdbDatabase(path).Execute(QStringLiteral("DROP TABLE tEC")));
  CImageEach image;
  describe(image, "CHEST", "PA", 1, 2);
  EXPECT_EQ(LookUpAcquisitionProtocol(image, path), -1);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].caption, "Main control");
  EXPECT_TRUE(sink.messages()[0].text.contains("tEC")) << sink.messages()[0].text.toStdString();
}

}  // namespace
