#pragma once

// Builds small DICOM data sets for tests with DCMTK: exact tags, sizes and edge values, written
// to a file the code under test then reads. Header-only so that every test executable can use
// it without another library.

#include <QFile>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcuid.h>

namespace testsupport {

class DicomBuilder {
 public:
  // A digital X-ray image without pixels: SOP class, SOP instance UID and modality only.
  DicomBuilder() {
    set(DCM_SOPClassUID, UID_DigitalXRayImageStorageForPresentation);
    set(DCM_SOPInstanceUID, "1.2.3.4.5.1");
    set(DCM_Modality, "DX");
  }

  DcmDataset* dataset() { return m_file.getDataset(); }

  // Any element from its text form, several values separated by "\". A tag the dictionary does
  // not know needs its VR: DcmTag(group, element, EVR_LT).
  DicomBuilder& set(const DcmTag& tag, const std::string& value) {
    track(dataset()->putAndInsertString(tag, value.c_str(), Uint32(value.size())));
    return *this;
  }
  DicomBuilder& setUint16(const DcmTagKey& key, Uint16 value) {
    track(dataset()->putAndInsertUint16(key, value));
    return *this;
  }
  // An element of the file meta header (group 0002), kept when the file is written.
  DicomBuilder& setMeta(const DcmTagKey& key, const std::string& value) {
    track(m_file.getMetaInfo()->putAndInsertString(key, value.c_str()));
    return *this;
  }
  DicomBuilder& remove(const DcmTagKey& key) {
    delete dataset()->remove(key);
    return *this;
  }
  // An element inside the first item of each sequence along the path (created when missing),
  // e.g. {DCM_SharedFunctionalGroupsSequence, DCM_FrameVOILUTSequence} for a frame window.
  DicomBuilder& setNested(std::initializer_list<DcmTagKey> sequences, const DcmTag& tag,
                          const std::string& value) {
    DcmItem* item = dataset();
    for (const DcmTagKey& sequence : sequences) {
      DcmItem* child = nullptr;
      if (item != nullptr) track(item->findOrCreateSequenceItem(sequence, child, 0));
      item = child;
    }
    if (item == nullptr) {
      m_ok = false;
      return *this;
    }
    track(item->putAndInsertString(tag, value.c_str(), Uint32(value.size())));
    return *this;
  }

  // Grey pixels, row after row and frame after frame; frames = values / (columns × rows).
  DicomBuilder& pixels16(int columns, int rows, const std::vector<std::uint16_t>& values,
                         int bitsStored = 16) {
    greyModule(columns, rows, 16, bitsStored, values.size());
    track(dataset()->putAndInsertUint16Array(DCM_PixelData, values.data(),
                                             static_cast<unsigned long>(values.size())));
    return *this;
  }
  // Signed pixels as two's complement in the allocated 16 bits.
  DicomBuilder& signedPixels16(int columns, int rows, const std::vector<std::int16_t>& values,
                               int bitsStored) {
    std::vector<std::uint16_t> raw(values.begin(), values.end());
    pixels16(columns, rows, raw, bitsStored);
    return setUint16(DCM_PixelRepresentation, 1);
  }
  DicomBuilder& pixels8(int columns, int rows, const std::vector<std::uint8_t>& values) {
    greyModule(columns, rows, 8, 8, values.size());
    track(dataset()->putAndInsertUint8Array(DCM_PixelData, values.data(),
                                            static_cast<unsigned long>(values.size())));
    return *this;
  }
  // Interleaved R, G, B bytes.
  DicomBuilder& rgb(int columns, int rows, const std::vector<std::uint8_t>& values) {
    imageModule(columns, rows, 8, 8);
    setUint16(DCM_SamplesPerPixel, 3);
    setUint16(DCM_PlanarConfiguration, 0);
    set(DCM_PhotometricInterpretation, "RGB");
    track(dataset()->putAndInsertUint8Array(DCM_PixelData, values.data(),
                                            static_cast<unsigned long>(values.size())));
    return *this;
  }

  // Writes the file (explicit VR little endian). False when any step of the building failed.
  bool save(const QString& path) {
    return m_ok &&
           m_file
               .saveFile(QFile::encodeName(path).constData(), EXS_LittleEndianExplicit,
                         EET_ExplicitLength, EGL_recalcGL, EPD_noChange, 0, 0, EWM_updateMeta)
               .good();
  }

 private:
  void track(const OFCondition& condition) { m_ok = m_ok && condition.good(); }

  void imageModule(int columns, int rows, int bitsAllocated, int bitsStored) {
    setUint16(DCM_Rows, Uint16(rows));
    setUint16(DCM_Columns, Uint16(columns));
    setUint16(DCM_BitsAllocated, Uint16(bitsAllocated));
    setUint16(DCM_BitsStored, Uint16(bitsStored));
    setUint16(DCM_HighBit, Uint16(bitsStored - 1));
    setUint16(DCM_PixelRepresentation, 0);
  }

  void greyModule(int columns, int rows, int bitsAllocated, int bitsStored, std::size_t count) {
    imageModule(columns, rows, bitsAllocated, bitsStored);
    setUint16(DCM_SamplesPerPixel, 1);
    set(DCM_PhotometricInterpretation, "MONOCHROME2");
    const std::size_t frameSize = std::size_t(columns) * std::size_t(rows);
    if (frameSize > 0 && count > frameSize) {
      set(DCM_NumberOfFrames, std::to_string(count / frameSize));
    }
  }

  DcmFileFormat m_file;
  bool m_ok = true;
};

}  // namespace testsupport
