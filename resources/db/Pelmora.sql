-- The image database. Run statement by statement (each ends with a semicolon at the end of a
-- line) on an empty database file when the file is missing.
--
-- Date-times are text "yyyy-MM-dd hh:mm:ss" (NULL when there is none): that text sorts and
-- compares like the moment it names. Keys StuSeq, SerSeq and ImgSeq are assigned by the engine
-- and never reused, so a key remembered elsewhere cannot come to name a later row. The texts
-- operators search by (patient IDs and names, study IDs, accession numbers, laterality, body
-- part, patient position) compare and sort without letter case, as operators type them; their
-- indexes take the column's collation. Deletes cascade in the program, not here: no foreign key
-- is declared.

CREATE TABLE AnatomicRegionSequence (id INTEGER PRIMARY KEY AUTOINCREMENT, CodeValue TEXT,
  CodingSchemeDesignator TEXT, CodeMeaning TEXT);
CREATE TABLE Equipment (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT);

CREATE TABLE ImgInfo (
  ImgSeq INTEGER PRIMARY KEY AUTOINCREMENT,
  SerSeq INTEGER NOT NULL DEFAULT 0,
  ImageNo INTEGER NOT NULL DEFAULT 0,
  SeriesNo INTEGER NOT NULL DEFAULT 0,
  FullPath TEXT,
  Laterality TEXT,
  PatientPosition TEXT,
  AcqNo INTEGER DEFAULT 0,
  PostProc INTEGER DEFAULT 0,
  SourceApplicationEntityTitle TEXT,
  Manufacturer TEXT,
  InstitutionName TEXT,
  InstitutionAddress TEXT,
  StationName TEXT,
  ManufacturerModelName TEXT,
  DeviceSerialNumber TEXT,
  SoftwareVersions TEXT,
  InstanceNumber INTEGER DEFAULT 0,
  PatientOrientation TEXT,
  ImageDateTime TEXT,
  AcquisitionDateTime TEXT,
  SamplesPerPixel INTEGER DEFAULT 0,
  PhotometricInterpretation TEXT,
  Rows INTEGER DEFAULT 0,
  Columns INTEGER DEFAULT 0,
  BitsAllocated INTEGER DEFAULT 0,
  BitsStored INTEGER DEFAULT 0,
  HighBit INTEGER DEFAULT 0,
  PixelRepresentation INTEGER DEFAULT 0,
  ImageLaterality TEXT,
  ARS_CodeValue TEXT,
  ARS_CodingSchemeDesignator TEXT,
  ARS_CodeMeaning TEXT,
  ImageType TEXT,
  PixelIntensityRelationship TEXT,
  PixelIntensityRelationshipSign INTEGER DEFAULT 0,
  RescaleIntercept REAL DEFAULT 0,
  RescaleSlope REAL DEFAULT 0,
  RescaleType TEXT,
  PresentationLUTShape TEXT,
  LossyImageCompression TEXT,
  BurnedInAnnotaton TEXT,
  DetectorType TEXT,
  ImagerPixelSpacing REAL DEFAULT 0,
  DetectorElementSpacing REAL DEFAULT 0,
  ViewPosition TEXT,
  VCS_CodeValue TEXT,
  VCS_CodingSchemeDesignator TEXT,
  VCS_CodeMeaning TEXT,
  DistanceSourceToDetector REAL DEFAULT 0,
  KVP REAL DEFAULT 0,
  MA REAL DEFAULT 0,
  MAS REAL DEFAULT 0,
  TIME REAL DEFAULT 0,
  X_RayTubeCurrent INTEGER DEFAULT 0,
  ExposureTime INTEGER DEFAULT 0,
  Exposure INTEGER DEFAULT 0,
  ExposureControlMode TEXT,
  Grid TEXT,
  WindowCenter REAL DEFAULT 0,
  WindowWidth REAL DEFAULT 0,
  SOPClassUID_U TEXT,
  SOPClassUID_P TEXT,
  SOPInstanceUID TEXT,
  SendToDICOM INTEGER DEFAULT 0,
  ModalType INTEGER DEFAULT 0,
  PatientType INTEGER DEFAULT 0,
  Modality TEXT,
  WLType INTEGER DEFAULT 0,
  WLValue REAL DEFAULT 0,
  ImageSeq TEXT,
  PreviewRAWSize INTEGER DEFAULT 0,
  PreviewDCMSize INTEGER DEFAULT 0
);
CREATE INDEX ImgInfo_SerSeq_ImageNo ON ImgInfo (SerSeq, ImageNo);
CREATE INDEX ImgInfo_SOPInstanceUID ON ImgInfo (SOPInstanceUID);

CREATE TABLE Network (id INTEGER PRIMARY KEY AUTOINCREMENT, AETitle TEXT, Host TEXT,
  Port INTEGER);

CREATE TABLE Operator (
  "Index" INTEGER PRIMARY KEY AUTOINCREMENT,
  OperatorName TEXT COLLATE NOCASE,
  Password TEXT
);
CREATE INDEX Operator_OperatorName ON Operator (OperatorName);

CREATE TABLE PatInfo (
  PatID TEXT COLLATE NOCASE NOT NULL DEFAULT '',
  PatName TEXT COLLATE NOCASE,
  PatBirthDate TEXT,
  PatSex TEXT,
  PatWeight INTEGER DEFAULT 0,
  PatHeight INTEGER DEFAULT 0,
  PatOccupation TEXT,
  PatEtc TEXT,
  PatSchedule TEXT,
  PatStatus INTEGER DEFAULT 0
);
CREATE INDEX PatInfo_PatID ON PatInfo (PatID);
CREATE INDEX PatInfo_PatName ON PatInfo (PatName);
CREATE INDEX PatInfo_PatSchedule ON PatInfo (PatSchedule);

CREATE TABLE Physician (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT);

CREATE TABLE SerInfo (
  SerSeq INTEGER PRIMARY KEY AUTOINCREMENT,
  StuSeq INTEGER NOT NULL DEFAULT 0,
  SeriesNo INTEGER NOT NULL DEFAULT 0,
  PatID TEXT COLLATE NOCASE,
  StuID TEXT COLLATE NOCASE,
  Laterality TEXT COLLATE NOCASE,
  BodyPart TEXT COLLATE NOCASE,
  PatientPosition TEXT COLLATE NOCASE,
  InstanceCount INTEGER DEFAULT 0,
  Print INTEGER DEFAULT 0,
  SeriesDate TEXT
);
CREATE INDEX SerInfo_StuSeq_SeriesNo ON SerInfo (StuSeq, SeriesNo);
CREATE INDEX SerInfo_PatID_StuID ON SerInfo (PatID, StuID);

CREATE TABLE SOP (id INTEGER PRIMARY KEY AUTOINCREMENT, ClassUID TEXT, Name TEXT);

CREATE TABLE StuInfo (
  StuSeq INTEGER PRIMARY KEY AUTOINCREMENT,
  StuID TEXT COLLATE NOCASE,
  PatID TEXT COLLATE NOCASE,
  StuOperator TEXT,
  StuPhysician TEXT,
  StuPhysicianRef TEXT,
  StuDesc TEXT,
  StuDateTime TEXT,
  StuAccessNo TEXT COLLATE NOCASE,
  StuSchedule TEXT,
  StuStatus INTEGER DEFAULT 0,
  TotalSeries INTEGER DEFAULT 0,
  TotalInstance INTEGER DEFAULT 0,
  Print INTEGER DEFAULT 0,
  StuInstanceUID TEXT
);
CREATE INDEX StuInfo_PatID ON StuInfo (PatID);
CREATE INDEX StuInfo_StuID ON StuInfo (StuID);
CREATE INDEX StuInfo_StuDateTime ON StuInfo (StuDateTime);
CREATE INDEX StuInfo_StuAccessNo ON StuInfo (StuAccessNo);

CREATE TABLE tBS (KeyBS INTEGER PRIMARY KEY AUTOINCREMENT, NameBS TEXT);

CREATE TABLE tEC (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  KeyVP INTEGER NOT NULL DEFAULT 0,
  KeyBS INTEGER NOT NULL DEFAULT 0,
  FilmSizeX INTEGER DEFAULT 0,
  FilmSizeY INTEGER DEFAULT 0,
  ValueA INTEGER DEFAULT 0,
  ValueB INTEGER DEFAULT 0,
  ValueC INTEGER DEFAULT 0,
  ValueD INTEGER DEFAULT 0,
  ValueE INTEGER DEFAULT 0,
  LUT TEXT,
  PAR TEXT
);
CREATE INDEX tEC_KeyVP_KeyBS ON tEC (KeyVP, KeyBS);

CREATE TABLE tEP (
  KeyEP INTEGER PRIMARY KEY AUTOINCREMENT,
  NameEP TEXT COLLATE NOCASE,
  KeyMT INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX tEP_NameEP_KeyMT ON tEP (NameEP, KeyMT);

CREATE TABLE tMT (KeyMT INTEGER PRIMARY KEY AUTOINCREMENT, NameMT TEXT);
CREATE TABLE tVA (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, Value TEXT);

CREATE TABLE tVP (
  KeyVP INTEGER PRIMARY KEY AUTOINCREMENT,
  NameVP TEXT COLLATE NOCASE,
  KeyMT INTEGER NOT NULL DEFAULT 0,
  KeyEP INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX tVP_NameVP_KeyMT_KeyEP ON tVP (NameVP, KeyMT, KeyEP);

CREATE TABLE tOCS (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT);
CREATE TABLE ViewCodeSequence (id INTEGER PRIMARY KEY AUTOINCREMENT, CodeValue TEXT,
  CodingSchemeDesignator TEXT, CodeMeaning TEXT);

CREATE TABLE Worklist (
  idx INTEGER PRIMARY KEY AUTOINCREMENT,
  StuAccessNo TEXT COLLATE NOCASE,
  PatID TEXT COLLATE NOCASE,
  PatName TEXT COLLATE NOCASE,
  StuSchedule TEXT
);
CREATE INDEX Worklist_StuAccessNo ON Worklist (StuAccessNo);

CREATE TABLE WorklistOCS (id INTEGER PRIMARY KEY AUTOINCREMENT, idx INTEGER NOT NULL DEFAULT 0,
  Code TEXT);
CREATE INDEX WorklistOCS_idx ON WorklistOCS (idx);

CREATE TABLE PatientOrientationSequence (id INTEGER PRIMARY KEY AUTOINCREMENT, CodeValue TEXT,
  CodingSchemeDesignator TEXT, CodeMeaning TEXT);
CREATE TABLE tLine (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT);
CREATE TABLE tAPR (id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT);
CREATE TABLE tAPRIndex (id INTEGER PRIMARY KEY AUTOINCREMENT, KeyAPR INTEGER, Name TEXT);
