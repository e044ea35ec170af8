#pragma once

#include <QString>

#include "db/DateTime.h"

// In-memory copies of one row of each core table. Texts empty, numbers 0 and dates at the
// zero value when constructed. Members carry the table's column names.

class CDPatInfo {
 public:
  virtual ~CDPatInfo() = default;

  QString Spare;
  QString PatID;
  QString PatName;
  CDateTime PatBirthDate;
  QString PatSex;
  long PatWeight = 0;
  long PatHeight = 0;
  QString PatOccupation;
  QString PatEtc;
  CDateTime PatSchedule;
  long PatStatus = 0;
};

class CDStuInfo {
 public:
  virtual ~CDStuInfo() = default;

  long StuSeq = 0;
  QString StuID;
  QString PatID;
  QString StuOperator;
  QString StuPhysician;
  QString StuPhysicianRef;
  QString StuDesc;
  CDateTime StuDateTime;
  QString StuAccessNo;
  CDateTime StuSchedule;
  long StuStatus = 0;
  long TotalSeries = 0;
  long TotalInstance = 0;
  long Print = 0;
  QString StuInstanceUID;
  QString Spare;  // the image's SOP Instance UID when filled from a DICOM file
};

class CDSerInfo {
 public:
  virtual ~CDSerInfo() = default;

  long SerSeq = 0;
  long StuSeq = 0;
  long SeriesNo = 0;
  QString PatID;
  QString StuID;
  QString Laterality;
  QString BodyPart;
  QString PatientPosition;
  long InstanceCount = 0;
  long Print = 0;
  CDateTime SeriesDate;
};

class CDImgInfo {
 public:
  virtual ~CDImgInfo() = default;

  long ImgSeq = 0;
  long SerSeq = 0;
  long ImageNo = 0;
  long SeriesNo = 0;
  QString FullPath;
  QString Laterality;
  QString PatientPosition;
  long AcqNo = 0;
  long PostProc = 0;
  QString SourceApplicationEntityTitle;
  QString Manufacturer;
  QString InstitutionName;
  QString InstitutionAddress;
  QString StationName;
  QString ManufacturerModelName;
  QString DeviceSerialNumber;
  QString SoftwareVersions;
  long InstanceNumber = 0;
  QString PatientOrientation;
  CDateTime ImageDateTime;
  CDateTime AcquisitionDateTime;
  long SamplesPerPixel = 0;
  QString PhotometricInterpretation;
  long Rows = 0;
  long Columns = 0;
  long BitsAllocated = 0;
  long BitsStored = 0;
  long HighBit = 0;
  long PixelRepresentation = 0;
  QString ImageLaterality;
  QString ARS_CodeValue;
  QString ARS_CodingSchemeDesignator;
  QString ARS_CodeMeaning;
  QString ImageType;
  QString PixelIntensityRelationship;
  short PixelIntensityRelationshipSign = 0;
  double RescaleIntercept = 0;
  double RescaleSlope = 0;
  QString RescaleType;
  QString PresentationLUTShape;
  QString LossyImageCompression;
  QString BurnedInAnnotaton;  // the column is spelled this way
  QString DetectorType;
  double ImagerPixelSpacing = 0;
  double DetectorElementSpacing = 0;
  QString ViewPosition;
  QString VCS_CodeValue;
  QString VCS_CodingSchemeDesignator;
  QString VCS_CodeMeaning;
  double DistanceSourceToDetector = 0;
  double KVP = 0;
  double MA = 0;
  double MAS = 0;
  double TIME = 0;
  long X_RayTubeCurrent = 0;
  long ExposureTime = 0;
  long Exposure = 0;
  QString ExposureControlMode;
  QString Grid;
  double WindowCenter = 0;
  double WindowWidth = 0;
  QString SOPClassUID_U;
  QString SOPClassUID_P;
  QString SOPInstanceUID;
  bool SendToDICOM = false;
  long ModalType = 0;
  long PatientType = 0;
  QString Modality;
  long WLType = 0;
  double WLValue = 0;
  QString ImageSeq;

  // Not columns of the image table: filled from the DICOM file.
  QString Comment;
  long DoseAreaProduct = 0;  // in hundredths
  long Reserved1 = 0;
  long ExposureIndex = 0;
  long Reserved2 = 0;
  long NumberOfFrames = 0;
  double FrameTime = 0;
};

class CDScanInfo {
 public:
  CDScanInfo() { ResetScanInfo(); }
  virtual ~CDScanInfo() { ResetScanInfo(); }

  void ResetScanInfo();
  void SetScanInfo(const CDPatInfo& patient, const CDStuInfo& study, const CDSerInfo& series,
                   const CDImgInfo& image);

  CDPatInfo Pat;
  CDStuInfo Stu;
  CDSerInfo Ser;
  CDImgInfo Img;
};
