// Importing one DICOM file: where each element goes, the new rows' fixed values and defaults,
// when rows are found instead of added, and that a failed import leaves nothing behind.
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "ImportTestSupport.h"
#include "imaging/ImagingError.h"

using testsupport::DicomBuilder;

namespace {

struct Column {
  const char* table;
  const char* column;
  QVariant expected;
};

TEST_F(ImportTest, EveryElementGoesIntoItsColumn) {
  DicomBuilder file = radiograph("1.2.826.0.1.77.1");
  file.set(DCM_PatientName, "Doe^Jane ")
      .set(DCM_PatientBirthDate, "19700102")
      .set(DCM_StudyInstanceUID, "1.2.826.0.1.77")
      .set(DCM_ReferringPhysicianName, "Ref^Rita")
      .set(DCM_PerformingPhysicianName, "Perf^Paul")
      .set(DCM_OperatorsName, "Op^Olga")
      .set(DCM_StudyDescription, "Chest PA")
      .set(DCM_SeriesDate, "20240305")
      .set(DCM_SeriesTime, "1015")
      .set(DCM_Laterality, "R")
      .set(DCM_SeriesDescription, "series text")
      .set(DCM_PatientPosition, "PA")
      .set(DCM_InstitutionName, "General")
      .set(DCM_InstitutionAddress, "1 Main St")
      .set(DCM_StationName, "ROOM2")
      .set(DCM_DeviceSerialNumber, "SN42")
      .set(DCM_SoftwareVersions, "v7")
      .set(DCM_AcquisitionNumber, "3")
      .set(DCM_InstanceNumber, "4")
      .set(DCM_ContentDate, "20240306")
      .set(DCM_ContentTime, "080910.123")
      .set(DCM_ImageLaterality, "L")
      .setNested({DCM_AnatomicRegionSequence}, DCM_CodeValue, "T-D3000")
      .setNested({DCM_AnatomicRegionSequence}, DCM_CodingSchemeDesignator, "SRT")
      .setNested({DCM_AnatomicRegionSequence}, DCM_CodeMeaning, "Chest")
      .set(DCM_ImageType, "ORIGINAL\\PRIMARY")
      .set(DCM_PixelIntensityRelationship, "LOG")
      .set(DCM_RescaleType, "US")
      .set(DCM_PresentationLUTShape, "IDENTITY")
      .set(DCM_LossyImageCompression, "00")
      .set(DCM_PatientOrientation, "ANTERIOR\\FOOTFIRST")
      .set(DCM_BurnedInAnnotation, "NO")
      .set(DCM_DetectorType, "SCINTILLATOR")
      .set(DCM_DetectorElementSpacing, "0.143\\0.150")
      .set(DCM_KVP, "81.5")
      .set(DCM_XRayTubeCurrent, "200")
      .set(DCM_ExposureTime, "250")
      .set(DCM_Exposure, "50")
      .set(DCM_DistanceSourceToDetector, "1800.5")
      .set(DCM_ExposureControlMode, "AUTOMATIC")
      .set(DCM_ViewPosition, "AP")
      .setNested({DCM_ViewCodeSequence}, DCM_CodeValue, "R-10206")
      .setNested({DCM_ViewCodeSequence}, DCM_CodingSchemeDesignator, "SRT")
      .setNested({DCM_ViewCodeSequence}, DCM_CodeMeaning, "antero-posterior")
      .set(DCM_Grid, "FOCUSED")
      .setMeta(DCM_SourceApplicationEntityTitle, "MODALITY1")
      .set(DCM_WindowCenter, "2048.7\\1000")
      .set(DCM_WindowWidth, "4096\\500")
      .set(DCM_NumberOfFrames, "2")
      .pixels16(2, 1, {1, 2, 3, 4}, 12);
  ASSERT_EQ(import(file), kImportDone);
  EXPECT_EQ(patID, "P1");
  EXPECT_FALSE(importer.WasDuplicate());

  const Column columns[] = {
      {"PatInfo", "PatID", "P1"},
      {"PatInfo", "PatName", "Doe^Jane"},
      {"PatInfo", "PatBirthDate", "1970-01-02 00:00:00"},
      {"PatInfo", "PatSex", "F"},
      {"PatInfo", "PatWeight", 0},
      {"PatInfo", "PatHeight", 0},
      {"PatInfo", "PatOccupation", ""},
      {"PatInfo", "PatSchedule", "2024-03-05 10:11:12"},
      {"StuInfo", "StuID", "S1"},
      {"StuInfo", "PatID", "P1"},
      {"StuInfo", "StuAccessNo", "A1"},
      {"StuInfo", "StuInstanceUID", "1.2.826.0.1.77"},
      {"StuInfo", "StuDateTime", "2024-03-05 10:11:12"},
      {"StuInfo", "StuSchedule", "2024-03-05 10:11:12"},
      {"StuInfo", "StuPhysicianRef", "Ref^Rita"},
      {"StuInfo", "StuPhysician", "Perf^Paul"},
      {"StuInfo", "StuOperator", "Op^Olga"},
      {"StuInfo", "StuDesc", "Chest PA"},
      {"StuInfo", "StuStatus", 1},
      {"StuInfo", "TotalSeries", 1},
      {"StuInfo", "TotalInstance", 1},
      {"StuInfo", "Print", 0},
      {"SerInfo", "SeriesNo", 1},
      {"SerInfo", "PatID", "P1"},
      {"SerInfo", "StuID", "S1"},
      {"SerInfo", "SeriesDate", "2024-03-05 10:15:00"},
      {"SerInfo", "Laterality", "R"},
      {"SerInfo", "BodyPart", "CHEST"},
      {"SerInfo", "PatientPosition", "PA"},
      {"SerInfo", "InstanceCount", 1},
      {"ImgInfo", "ImageNo", 4},
      {"ImgInfo", "InstanceNumber", 4},
      {"ImgInfo", "SeriesNo", 1},
      {"ImgInfo", "PatientPosition", "PA"},
      {"ImgInfo", "InstitutionName", "General"},
      {"ImgInfo", "InstitutionAddress", "1 Main St"},
      {"ImgInfo", "StationName", "ROOM2"},
      {"ImgInfo", "DeviceSerialNumber", "SN42"},
      {"ImgInfo", "SoftwareVersions", "v7"},
      {"ImgInfo", "AcqNo", 3},
      {"ImgInfo", "ImageDateTime", "2024-03-06 08:09:10"},
      {"ImgInfo", "AcquisitionDateTime", "2024-03-06 08:09:10"},
      {"ImgInfo", "Laterality", "L"},
      {"ImgInfo", "ImageLaterality", "L"},
      {"ImgInfo", "ARS_CodeValue", "T-D3000"},
      {"ImgInfo", "ARS_CodingSchemeDesignator", "SRT"},
      {"ImgInfo", "ARS_CodeMeaning", "Chest"},
      {"ImgInfo", "ImageType", "ORIGINAL\\PRIMARY"},
      {"ImgInfo", "PixelIntensityRelationship", "LOG"},
      {"ImgInfo", "RescaleType", "US"},
      {"ImgInfo", "PresentationLUTShape", "IDENTITY"},
      {"ImgInfo", "LossyImageCompression", "00"},
      {"ImgInfo", "PatientOrientation", "ANTERIOR\\FOOTFIR"},
      {"ImgInfo", "BurnedInAnnotaton", "NO"},
      {"ImgInfo", "DetectorType", "SCINTILLATOR"},
      {"ImgInfo", "ImagerPixelSpacing", 0.143},
      {"ImgInfo", "DetectorElementSpacing", 0.143},
      {"ImgInfo", "KVP", 81.5},
      {"ImgInfo", "X_RayTubeCurrent", 200},
      {"ImgInfo", "MA", 200.0},
      {"ImgInfo", "ExposureTime", 250},
      {"ImgInfo", "TIME", 0.25},
      {"ImgInfo", "Exposure", 50},
      {"ImgInfo", "MAS", 50.0},
      {"ImgInfo", "DistanceSourceToDetector", 1800.5},
      {"ImgInfo", "ExposureControlMode", "AUTOMATIC"},
      {"ImgInfo", "ViewPosition", "AP"},
      {"ImgInfo", "VCS_CodeValue", "R-10206"},
      {"ImgInfo", "VCS_CodingSchemeDesignator", "SRT"},
      {"ImgInfo", "VCS_CodeMeaning", "antero-posterior"},
      {"ImgInfo", "Grid", "FOCUSED"},
      {"ImgInfo", "SOPInstanceUID", "1.2.826.0.1.77.1"},
      {"ImgInfo", "SourceApplicationEntityTitle", "MODALITY1"},
      {"ImgInfo", "Modality", "CR"},
      {"ImgInfo", "SamplesPerPixel", 1},
      {"ImgInfo", "PhotometricInterpretation", "MONOCHROME2"},
      {"ImgInfo", "PreviewDCMSize", 2},
      {"ImgInfo", "Rows", 1},
      {"ImgInfo", "Columns", 2},
      {"ImgInfo", "BitsAllocated", 16},
      {"ImgInfo", "BitsStored", 12},
      {"ImgInfo", "HighBit", 11},
      {"ImgInfo", "PixelRepresentation", 0},
      {"ImgInfo", "WindowCenter", 2048.0},
      {"ImgInfo", "WindowWidth", 4096.0},
      {"ImgInfo", "FullPath", dir.filePath("a.dcm")},
      {"ImgInfo", "ImageSeq", "i001"},
      // The fixed values of a new image row.
      {"ImgInfo", "Manufacturer", "Company"},
      {"ImgInfo", "ManufacturerModelName", ""},
      {"ImgInfo", "RescaleIntercept", 0.0},
      {"ImgInfo", "RescaleSlope", 1.0},
      {"ImgInfo", "PixelIntensityRelationshipSign", -1},
      {"ImgInfo", "PostProc", 0},
      {"ImgInfo", "SendToDICOM", 0},
      {"ImgInfo", "ModalType", 1},
      {"ImgInfo", "PatientType", 3},
      {"ImgInfo", "WLType", 0},
      {"ImgInfo", "WLValue", 0.0},
      {"ImgInfo", "PreviewRAWSize", 0},
  };
  for (const Column& c : columns) {
    const QVariant actual =
        value(QStringLiteral("SELECT %1 FROM %2").arg(c.column, c.table), QLatin1String(c.column));
    if (c.expected.typeId() == QMetaType::Double) {
      EXPECT_DOUBLE_EQ(actual.toDouble(), c.expected.toDouble()) << c.table << "." << c.column;
    } else {
      EXPECT_EQ(actual.toString(), c.expected.toString()) << c.table << "." << c.column;
    }
  }
  // The rows hang together by their keys.
  EXPECT_EQ(value("SELECT COUNT(*) AS n FROM ImgInfo JOIN SerInfo USING (SerSeq) JOIN StuInfo "
                  "ON StuInfo.StuSeq = SerInfo.StuSeq",
                  "n")
                .toInt(),
            1);
}

TEST_F(ImportTest, SameFileTwiceKeepsOneImageAndRecountsTheTotals) {
  ASSERT_EQ(import(radiograph()), kImportDone);
  EXPECT_FALSE(importer.WasDuplicate());
  // Totals that drifted are put right by the next import of any image of the study.
  ASSERT_TRUE(execute("UPDATE StuInfo SET TotalInstance = 9, TotalSeries = 9"));
  ASSERT_TRUE(execute("UPDATE SerInfo SET InstanceCount = 9"));
  ASSERT_EQ(import(radiograph(), "copy.dcm"), kImportDone);
  EXPECT_TRUE(importer.WasDuplicate());
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 1}));
  EXPECT_EQ(value("SELECT FullPath FROM ImgInfo", "FullPath").toString(), dir.filePath("a.dcm"));
  EXPECT_EQ(value("SELECT TotalInstance FROM StuInfo", "TotalInstance").toInt(), 1);
  EXPECT_EQ(value("SELECT TotalSeries FROM StuInfo", "TotalSeries").toInt(), 1);
  EXPECT_EQ(value("SELECT InstanceCount FROM SerInfo", "InstanceCount").toInt(), 1);

  // A second image of the series joins it.
  ASSERT_EQ(import(radiograph("1.2.3.4.5.2").set(DCM_InstanceNumber, "2"), "b.dcm"), kImportDone);
  EXPECT_FALSE(importer.WasDuplicate());
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 2}));
  EXPECT_EQ(value("SELECT TotalInstance FROM StuInfo", "TotalInstance").toInt(), 2);
  EXPECT_EQ(value("SELECT MAX(ImageSeq) AS s FROM ImgInfo", "s").toString(), "i002");
}

TEST_F(ImportTest, AKnownPatientGetsOnlyItsScheduleUpdated) {
  {
    CDRPatInfo patients(dbPath);
    ASSERT_EQ(patients.InsertNew("P1", "Old^Name", 1950, 6, 7, "M", 80, 180, "smith", "note",
                                 CDateTime(2020, 1, 1, 9, 0, 0)),
              0);
  }
  ASSERT_EQ(import(radiograph().set(DCM_PatientBirthDate, "19700102")), kImportDone);
  EXPECT_EQ(rows("PatInfo"), 1);
  EXPECT_EQ(value("SELECT PatName FROM PatInfo", "PatName").toString(), "Old^Name");
  EXPECT_EQ(value("SELECT PatBirthDate FROM PatInfo", "PatBirthDate").toString(),
            "1950-06-07 00:00:00");
  EXPECT_EQ(value("SELECT PatSex FROM PatInfo", "PatSex").toString(), "M");
  EXPECT_EQ(value("SELECT PatWeight FROM PatInfo", "PatWeight").toInt(), 80);
  EXPECT_EQ(value("SELECT PatOccupation FROM PatInfo", "PatOccupation").toString(), "smith");
  EXPECT_EQ(value("SELECT PatSchedule FROM PatInfo", "PatSchedule").toString(),
            "2024-03-05 10:11:12");
}

TEST_F(ImportTest, AStudyIsOneDayOfOneStudyIdAndAccessionNumber) {
  struct Case {
    const char* date;
    const char* time;
    const char* accession;
    long studies;
  };
  // The first file is always 5 March 2024 10:11:12, accession A1.
  const Case cases[] = {
      {"20240305", "101112", "A1", 1},  // the same file's study
      {"20240305", "235959", "A1", 1},  // later that day
      {"20240306", "101112", "A1", 2},  // the next day: another study
      {"20240305", "101112", "A2", 2},  // another accession number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.date) + " " + c.accession);
    ASSERT_TRUE(execute("DELETE FROM StuInfo"));
    ASSERT_EQ(import(radiograph("1.2.3.1"), "first.dcm"), kImportDone);
    ASSERT_EQ(import(radiograph("1.2.3.2")
                         .set(DCM_StudyDate, c.date)
                         .set(DCM_StudyTime, c.time)
                         .set(DCM_AccessionNumber, c.accession),
                     "second.dcm"),
              kImportDone);
    EXPECT_EQ(rows("StuInfo"), c.studies);
  }
}

TEST_F(ImportTest, TheModalityChoosesTheSopClassValues) {
  struct Case {
    const char* modality;
    const char* stored;
    const char* processing;
  };
  const Case cases[] = {
      {"CR", "1.2.840.10008.5.1.4.1.1.1", "1.2.840.10008.5.1.4.1.1.1"},
      {"MG", "1.2.840.10008.5.1.4.1.1.1", "1.2.840.10008.5.1.4.1.1.1"},
      {"DX", "1.2.840.10008.5.1.4.1.1.1.1", "1.2.840.10008.5.1.4.1.1.1.1.1"},
      {"", "1.2.840.10008.5.1.4.1.1.1", "1.2.840.10008.5.1.4.1.1.1"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string uid = "1.2.3.9." + std::to_string(++n);
    ASSERT_EQ(import(radiograph(uid).set(DCM_Modality, c.modality), QString::number(n) + ".dcm"),
              kImportDone);
    const QString where = QStringLiteral(" FROM ImgInfo WHERE SOPInstanceUID = '%1'")
                              .arg(QString::fromStdString(uid));
    EXPECT_EQ(value("SELECT SOPClassUID_U" + where, "SOPClassUID_U").toString(), c.stored)
        << c.modality;
    EXPECT_EQ(value("SELECT SOPClassUID_P" + where, "SOPClassUID_P").toString(), c.processing)
        << c.modality;
  }
}

TEST_F(ImportTest, AFileWithoutPixelModuleGetsTheDefaults) {
  struct Case {
    const char* name;
    bool pixelData;
    double windowCenter;
    double windowWidth;
  };
  // Window values are read only from files with Pixel Data.
  const Case cases[] = {{"header only", false, 0, 0}, {"with pixel data", true, 550, 1024}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string uid = "1.2.3.8." + std::to_string(++n);
    DicomBuilder file = radiograph(uid);
    file.set(DCM_WindowCenter, "550").set(DCM_WindowWidth, "1024");
    const Uint16 pixel = 0;
    if (c.pixelData) file.dataset()->putAndInsertUint16Array(DCM_PixelData, &pixel, 1);
    ASSERT_EQ(import(file, QString::number(n) + ".dcm"), kImportDone);
    const QString where = QStringLiteral(" FROM ImgInfo WHERE SOPInstanceUID = '%1'")
                              .arg(QString::fromStdString(uid));
    const Column columns[] = {{"", "Rows", 3121},
                              {"", "Columns", 3121},
                              {"", "BitsAllocated", 16},
                              {"", "BitsStored", 14},
                              {"", "HighBit", 13},
                              {"", "PixelRepresentation", 0},
                              {"", "SamplesPerPixel", 1},
                              {"", "PreviewDCMSize", 1},
                              {"", "WindowCenter", c.windowCenter},
                              {"", "WindowWidth", c.windowWidth}};
    for (const Column& column : columns) {
      EXPECT_EQ(value(QStringLiteral("SELECT ") + column.column + where, column.column).toDouble(),
                column.expected.toDouble())
          << column.column;
    }
  }
}

TEST_F(ImportTest, DatesFollowTheirElements) {
  struct Case {
    const char* name;
    const char* birth;  // nullptr: no element
    const char* content;
    const char* series;
    const char* studyTime;
    const char* patBirthDate;
    const char* stuDateTime;
  };
  const Case cases[] = {
      {"no birth date", nullptr, "20240307", "20240306", "101112", "1899-12-30 00:00:00",
       "2024-03-05 10:11:12"},
      {"empty birth date", "", "20240307", "20240306", "101112", "1899-12-30 00:00:00",
       "2024-03-05 10:11:12"},
      {"valid birth date", "19700102", "20240307", "20240306", nullptr, "1970-01-02 00:00:00",
       "2024-03-05 00:00:00"},
      // A birth date that is no date takes the last date read: content, else series, else
      // study date.
      {"invalid, content date", "19701302", "20240307", "20240306", "101112", "2024-03-07 00:00:00",
       "2024-03-05 10:11:12"},
      {"invalid, series date", "1970XX02", nullptr, "20240306", "101112", "2024-03-06 00:00:00",
       "2024-03-05 10:11:12"},
      {"invalid, study date", "19700231", nullptr, nullptr, "101112", "2024-03-05 00:00:00",
       "2024-03-05 10:11:12"},
      {"unreadable study time", nullptr, nullptr, nullptr, "later", "1899-12-30 00:00:00",
       "2024-03-05 00:00:00"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(execute("DELETE FROM PatInfo"));
    ASSERT_TRUE(execute("DELETE FROM StuInfo"));
    DicomBuilder file = radiograph("1.2.3.7." + std::to_string(++n));
    if (c.birth) file.set(DCM_PatientBirthDate, c.birth);
    if (c.content) file.set(DCM_ContentDate, c.content);
    if (c.series) file.set(DCM_SeriesDate, c.series);
    if (c.studyTime)
      file.set(DCM_StudyTime, c.studyTime);
    else
      file.remove(DCM_StudyTime);
    ASSERT_EQ(import(file, QString::number(n) + ".dcm"), kImportDone);
    EXPECT_EQ(value("SELECT PatBirthDate FROM PatInfo", "PatBirthDate").toString(), c.patBirthDate);
    EXPECT_EQ(value("SELECT StuDateTime FROM StuInfo", "StuDateTime").toString(), c.stuDateTime);
  }
}

TEST_F(ImportTest, ATimeWithoutItsDateKeepsTheZeroValue) {
  ASSERT_EQ(import(radiograph().remove(DCM_StudyDate).set(DCM_ContentTime, "080910")), kImportDone);
  EXPECT_EQ(value("SELECT StuDateTime FROM StuInfo", "StuDateTime").toString(),
            "1899-12-30 00:00:00");
  EXPECT_EQ(value("SELECT ImageDateTime FROM ImgInfo", "ImageDateTime").toString(),
            "1899-12-30 00:00:00");
}

TEST_F(ImportTest, PathsOf255CharactersAreImportedLongerOnesRefused) {
  const QString longest = pathOfLength(dir.path(), 255);
  const QString tooLong = pathOfLength(dir.path(), 256);
  ASSERT_EQ(longest.size(), 255);
  ASSERT_EQ(tooLong.size(), 256);
  ASSERT_TRUE(radiograph("1.2.3.6.1").save(longest));
  ASSERT_TRUE(radiograph("1.2.3.6.2").save(tooLong));
  EXPECT_EQ(importer.ImportImageFile(tooLong, patID), kImportRefused);
  EXPECT_EQ(importer.ImportImageFile(QString(), patID), kImportRefused);
  EXPECT_EQ(rows("PatInfo"), 0);
  EXPECT_EQ(importer.ImportImageFile(longest, patID), kImportDone);
  EXPECT_EQ(value("SELECT FullPath FROM ImgInfo", "FullPath").toString(), longest);
}

TEST_F(ImportTest, DoubledSeparatorsAreReducedInTheStoredPath) {
  DicomBuilder file = radiograph();
  const QString path = save(file, "a.dcm");
  const QString doubled = dir.path() + QStringLiteral("//a.dcm");
  ASSERT_EQ(importer.ImportImageFile(doubled, patID), kImportDone);
  EXPECT_EQ(value("SELECT FullPath FROM ImgInfo", "FullPath").toString(), path);
}

TEST_F(ImportTest, FilesThatCannotBeFoundAgainAreNotIndexed) {
  QFile text(dir.filePath("notes.dcm"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("not an image at all, just some notes about one");
  text.close();
  DicomBuilder noUid = radiograph();
  noUid.remove(DCM_SOPInstanceUID);
  DicomBuilder blankUid = radiograph("");
  DicomBuilder directory;
  directory.remove(DCM_SOPInstanceUID)
      .remove(DCM_SOPClassUID)
      .remove(DCM_Modality)
      .set(DCM_FileSetID, "SET")
      .setNested({DCM_DirectoryRecordSequence}, DCM_DirectoryRecordType, "PATIENT")
      .setNested({DCM_DirectoryRecordSequence}, DCM_PatientID, "P1");
  struct Case {
    QString path;
    int result;
  };
  const Case cases[] = {{dir.filePath("notes.dcm"), imaging::kErrNotDicom},
                        {save(noUid, "nouid.dcm"), kImportNoInstanceUid},
                        {save(blankUid, "blank.dcm"), kImportNoInstanceUid},
                        {save(directory, "DICOMDIR"), kImportDirectory},
                        {dir.filePath("missing.dcm"), imaging::kErrFileNotFound}};
  for (const Case& c : cases) {
    EXPECT_EQ(importer.ImportImageFile(c.path, patID), c.result) << c.path.toStdString();
    EXPECT_FALSE(importer.LastError().isEmpty());
  }
  EXPECT_EQ(coreRows(), (std::vector<long>{0, 0, 0, 0}));
}

TEST_F(ImportTest, AFileWithoutPatientIdIsNotFiledUnderAnotherPatient) {
  ASSERT_EQ(import(radiograph("1.2.3.5.1"), "p1.dcm"), kImportDone);
  DicomBuilder anonymous = radiograph("1.2.3.5.2");
  anonymous.set(DCM_PatientID, "")
      .remove(DCM_StudyID)
      .remove(DCM_AccessionNumber)
      .remove(DCM_StudyDate)
      .remove(DCM_SeriesNumber)
      .remove(DCM_BodyPartExamined);
  ASSERT_EQ(import(anonymous, "anonymous.dcm"), kImportDone);
  EXPECT_EQ(patID, "");
  EXPECT_EQ(coreRows(), (std::vector<long>{2, 2, 2, 2}));
  EXPECT_EQ(value("SELECT PatSchedule FROM PatInfo WHERE PatID = 'P1'", "PatSchedule").toString(),
            "2024-03-05 10:11:12");
  EXPECT_EQ(value("SELECT StuInfo.PatID FROM ImgInfo JOIN SerInfo USING (SerSeq) JOIN StuInfo "
                  "ON StuInfo.StuSeq = SerInfo.StuSeq WHERE SOPInstanceUID = '1.2.3.5.2'",
                  "PatID")
                .toString(),
            "");
  // A second file without an ID finds that patient.
  ASSERT_EQ(import(anonymous.set(DCM_SOPInstanceUID, "1.2.3.5.3"), "anonymous2.dcm"), kImportDone);
  EXPECT_EQ(coreRows(), (std::vector<long>{2, 2, 2, 3}));
}

TEST_F(ImportTest, AStatementTheEngineRefusesLeavesNothingOfTheFile) {
  struct Case {
    const char* trigger;
    const char* patient;  // P0 is known, P1 new
  };
  const Case cases[] = {
      {"BEFORE INSERT ON PatInfo", "P1"}, {"BEFORE UPDATE ON PatInfo", "P0"},
      {"BEFORE INSERT ON SerInfo", "P1"}, {"BEFORE INSERT ON ImgInfo", "P1"},
      {"BEFORE INSERT ON ImgInfo", "P0"}, {"BEFORE UPDATE ON SerInfo", "P1"},
      {"BEFORE UPDATE ON StuInfo", "P0"},
  };
  {
    CDRPatInfo patients(dbPath);
    ASSERT_EQ(
        patients.InsertNew("P0", "Known", 1950, 1, 1, "M", 0, 0, "", "", CDateTime(2020, 1, 1)), 0);
  }
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.trigger) + ", " + c.patient);
    ASSERT_TRUE(refuse(QLatin1String(c.trigger), "refused by the test"));
    ++n;
    const int result =
        import(radiograph("1.2.3.4." + std::to_string(n)).set(DCM_PatientID, c.patient),
               QString::number(n) + ".dcm");
    EXPECT_EQ(result, kImportDatabaseError);
    EXPECT_TRUE(importer.LastError().contains("refused by the test"))
        << importer.LastError().toStdString();
    EXPECT_EQ(coreRows(), (std::vector<long>{1, 0, 0, 0}));
    EXPECT_EQ(value("SELECT PatSchedule FROM PatInfo", "PatSchedule").toString(),
              "2020-01-01 00:00:00");
    // The transaction is over: another connection can write.
    ASSERT_TRUE(allow(QLatin1String(c.trigger)));
  }
  // And the connection goes on importing.
  EXPECT_EQ(import(radiograph("1.2.3.4.99")), kImportDone);
  EXPECT_EQ(coreRows(), (std::vector<long>{2, 1, 1, 1}));
}

TEST_F(ImportTest, ManyFilesGoInBatchesAndAFailingFileLeavesOnlyItselfOut) {
  // 150 images of one series (three batches), with the fourth file again, a file that is no
  // DICOM and a file the engine refuses at its image row, after its patient, study and series
  // rows were written.
  QStringList paths;
  for (int i = 1; i <= 150; ++i) {
    paths << save(
        radiograph("1.2.3.9." + std::to_string(i)).set(DCM_InstanceNumber, std::to_string(i)),
        QString::number(i) + ".dcm");
  }
  paths.insert(10, paths[3]);
  QFile broken(dir.filePath("broken.dcm"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("no DICOM here");
  broken.close();
  paths.insert(20, broken.fileName());
  paths.insert(70, save(radiograph("1.2.3.8.1").set(DCM_PatientID, "LATE"), "late.dcm"));
  ASSERT_TRUE(refuse("BEFORE INSERT ON ImgInfo", "refused by the test",
                     "NEW.SOPInstanceUID = '1.2.3.8.1'"));

  std::vector<CImageImport::FileOutcome> outcomes;
  long visibleAtFirst = -1;
  importer.ImportFiles(paths, [&](const CImageImport::FileOutcome& outcome) {
    // A file is reported once its batch is committed: other connections see it.
    if (outcomes.empty()) visibleAtFirst = rows("ImgInfo");
    outcomes.push_back(outcome);
  });
  ASSERT_EQ(outcomes.size(), static_cast<std::size_t>(paths.size()));
  EXPECT_GE(visibleAtFirst, 1);
  for (qsizetype i = 0; i < paths.size(); ++i) {
    const CImageImport::FileOutcome& outcome = outcomes[static_cast<std::size_t>(i)];
    SCOPED_TRACE(paths[i].toStdString());
    EXPECT_EQ(outcome.path, paths[i]);
    if (i == 20) {
      EXPECT_LT(outcome.code, kImportRefused);
      EXPECT_FALSE(outcome.reason.isEmpty());
    } else if (i == 70) {
      EXPECT_EQ(outcome.code, kImportDatabaseError);
      EXPECT_TRUE(outcome.reason.contains("refused by the test"));
    } else {
      EXPECT_EQ(outcome.code, kImportDone);
      EXPECT_EQ(outcome.duplicate, i == 10);
    }
  }
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 150}));
  EXPECT_EQ(value("SELECT TotalInstance FROM StuInfo", "TotalInstance").toInt(), 150);
  EXPECT_EQ(value("SELECT InstanceCount FROM SerInfo", "InstanceCount").toInt(), 150);

  // Again: every image is found, nothing is added.
  ASSERT_TRUE(allow("BEFORE INSERT ON ImgInfo"));
  long duplicates = 0;
  importer.ImportFiles(paths.mid(0, 20), [&](const CImageImport::FileOutcome& outcome) {
    duplicates += outcome.code == kImportDone && outcome.duplicate;
  });
  EXPECT_EQ(duplicates, 20);
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 150}));
}

TEST_F(ImportTest, AFileThatFailsAfterWritingRowsLeavesTheRestOfItsBatchWritten) {
  // Ten new patients in one batch; the fifth one's study is refused after its patient row was
  // written, so the batch is written again, that file undone alone.
  QStringList paths;
  for (int i = 1; i <= 10; ++i) {
    const std::string n = std::to_string(i);
    paths << save(radiograph("1.2.3.7." + n).set(DCM_PatientID, "P" + n).set(DCM_StudyID, "S" + n),
                  QString::number(i) + ".dcm");
  }
  ASSERT_TRUE(refuse("BEFORE INSERT ON StuInfo", "refused by the test", "NEW.PatID = 'P5'"));
  sink.clear();
  std::vector<int> codes;
  importer.ImportFiles(
      paths, [&](const CImageImport::FileOutcome& outcome) { codes.push_back(outcome.code); });
  std::vector<int> expected(10, kImportDone);
  expected[4] = kImportRefused;
  EXPECT_EQ(codes, expected);
  EXPECT_EQ(coreRows(), (std::vector<long>{9, 9, 9, 9}));
  EXPECT_EQ(value("SELECT COUNT(*) AS n FROM PatInfo WHERE PatID = 'P5'", "n").toInt(), 0);
  EXPECT_EQ(value("SELECT SUM(TotalInstance) AS n FROM StuInfo", "n").toInt(), 9);
  // The refusal is told once, by the attempt that leaves the file out.
  EXPECT_EQ(sink.texts().filter("New study generated error.").size(), 1)
      << sink.texts().join(" | ").toStdString();
}

TEST_F(ImportTest, AStudyThatCannotBeAppendedIsReportedAndNothingIsWritten) {
  ASSERT_TRUE(refuse("BEFORE INSERT ON StuInfo", "no studies today"));
  sink.clear();
  EXPECT_EQ(import(radiograph()), kImportRefused);
  EXPECT_EQ(coreRows(), (std::vector<long>{0, 0, 0, 0}));
  bool shown = false;
  for (const RecordingMessageSink::Message& message : sink.messages()) {
    if (message.text != "New study generated error.") continue;
    shown = true;
    EXPECT_EQ(message.caption, "Browser");
    EXPECT_EQ(message.style & MB_ICONMASK, MB_ICONWARNING);
  }
  EXPECT_TRUE(shown) << sink.texts().join(" | ").toStdString();
}

TEST_F(ImportTest, AReadOnlyDatabaseRefusesTheImport) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  ASSERT_EQ(import(radiograph("1.2.3.3.1"), "first.dcm"), kImportDone);
  database.Close();
  ASSERT_TRUE(QFile::setPermissions(dbPath, QFileDevice::ReadOwner));
  CDaoDatabase readOnly;
  ASSERT_TRUE(readOnly.Open(dbPath));
  ASSERT_TRUE(readOnly.isReadOnly());
  CImageImport readOnlyImport(readOnly);
  DicomBuilder file = radiograph("1.2.3.3.2");
  EXPECT_LT(readOnlyImport.ImportImageFile(save(file, "second.dcm"), patID), 0);
  EXPECT_EQ(coreRows(), (std::vector<long>{1, 1, 1, 1}));
}

}  // namespace
