#pragma once

// Synthetic radiographs written as DICOM files: the sample images bundled with the program,
// also used by integration tests and benchmarks. Every picture is drawn from simple bone and
// soft-tissue shapes and invented patient data; output is the same on every run.

#include <cstdint>
#include <string>
#include <vector>

namespace torascan::samples {

enum class Anatomy { ChestPa, HandPa, KneeAp, PelvisAp, SwallowRf };

struct SampleParams {
  // Picture
  Anatomy anatomy = Anatomy::ChestPa;
  std::uint32_t seed = 1;  // noise and the small random details (vessels, bowel gas)
  int columns = 2000;
  int rows = 2500;
  int frames = 1;  // more than one writes a cine loop (the swallow moves frame to frame)
  int frameTimeMs = 100;
  int bitsStored = 14;  // 8..16, always in 16 allocated bits, unsigned
  double pixelSpacingMm = 0.143;
  bool monochrome1 = false;  // stored inverted, so bone is still white once displayed
  bool jpegLossless = false;  // JPEG Lossless SV1; otherwise Explicit VR Little Endian
  double viewRotationDeg = 0.0;  // tilts the anatomy in the field
  double viewSqueeze = 1.0;  // horizontal foreshortening, e.g. 0.8 for an oblique view
  char marker = 0;  // lead marker letter burnt into the pixels: 'L', 'R' or 0 for none

  // Identification; empty UIDs get fresh ones from the toolkit
  std::string modality = "DX";  // CR, DX or RF: picks the storage class
  std::string patientName;
  std::string patientId;
  std::string patientBirthDate;  // YYYYMMDD; the age is derived from it and the study date
  std::string patientSex;  // F gets breast shadows on a chest
  std::string studyInstanceUid;
  std::string seriesInstanceUid;
  std::string sopInstanceUid;
  std::string studyId;
  std::string accessionNumber;
  std::string studyDescription;
  std::string seriesDescription;
  std::string studyDate;  // YYYYMMDD, also the series and content date
  std::string studyTime;  // HHMMSS
  std::string contentTime;  // HHMMSS, also the series and acquisition time
  int seriesNumber = 1;
  int instanceNumber = 1;
  std::string institutionName = "toraScan Sample Clinic";
  std::string stationName = "SAMPLE-DR1";

  // Acquisition
  std::string bodyPartExamined;
  std::string viewPosition;  // AP, PA, LL, ...
  std::string patientPosition;  // HFS, FFS, ... (may stay empty for upright views)
  std::string laterality;  // L, R or empty for unpaired parts
  std::string patientOrientation;  // e.g. "L\F"
  double kvp = 70.0;
  int exposureTimeMs = 10;
  int tubeCurrentMa = 250;
  int exposureMas = 3;
  double areaDoseProduct = 0.1;  // dGy*cm2
  double exposureIndex = 400.0;
};

// Renders and writes one file. False with a reason in *error (when given) on failure.
bool writeSample(const SampleParams& params, const std::string& path, std::string* error);

struct NamedSample {
  std::string fileName;
  SampleParams params;
};

// The bundled set (two patients, several studies and series); with `large` also the
// 3000 x 3000 16-bit benchmark pair, uncompressed and JPEG lossless.
std::vector<NamedSample> sampleSet(bool large);

// Creates `dir` and writes sampleSet(large) into it. Returns the paths written, or an empty
// list with a reason in *error (when given) on the first failure.
std::vector<std::string> writeSampleSet(const std::string& dir, bool large,
                                        std::string* error = nullptr);

}  // namespace torascan::samples
