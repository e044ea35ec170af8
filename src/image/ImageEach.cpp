#include "image/ImageEach.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <optional>

#include "app/TextNumbers.h"
#include "image/AttributeReader.h"
#include "image/DicomTags.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"
#include "ui/MessageSink.h"

using imaging::DicomTag;

namespace {

// How decoded frames become the container's pixels: grey data is always 16-bit so that one
// window table serves every grey image; MONOCHROME1 is turned into its negative so that bone
// shows white as on every other radiograph.
struct PixelMapping {
  bool colour = false;
  bool monochrome1 = false;
  int bitsStored = 16;
  int maxStored() const { return bitsStored > 0 && bitsStored < 16 ? (1 << bitsStored) - 1 : 65535; }
};

bool toContainerFormat(imaging::Bitmap& frame, const PixelMapping& mapping) {
  if (mapping.colour) return true;
  if (frame.bitsPerPixel() == 8) {
    imaging::Bitmap wide;
    if (!wide.create(frame.width(), frame.height(), 16)) return false;
    const std::uint8_t* in = frame.data();
    std::uint16_t* out = wide.grey16();
    const std::size_t count = static_cast<std::size_t>(frame.width()) * frame.height();
    for (std::size_t i = 0; i < count; ++i) out[i] = in[i];
    frame = std::move(wide);
  }
  if (mapping.monochrome1) frame.invert(mapping.maxStored());
  return true;
}

// A window of a damaged file may lie anywhere (or be NaN after a rescale of "nan"); the
// tables take ints, so it is rounded (halves upwards, so that a centre of 0.5 puts the
// threshold of a width-1 window between 0 and 1) and held inside their range.
int roundToInt(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLow = std::numeric_limits<int>::min();
  constexpr double kHigh = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(std::floor(value + 0.5), kLow, kHigh));
}

}  // namespace

namespace attribute {

long toInteger(const QString& text) { return LeadingLong(text); }

double toReal(const QString& text) { return LeadingDouble(text); }

int encodeAge(const QString& ageText) {
  const QString text = ageText.trimmed();
  int age = static_cast<int>(toInteger(text));
  const QString unit = text.mid(text.indexOf(QRegularExpression(QStringLiteral("[^0-9 ]"))))
                           .toLower();
  if (unit.startsWith(QLatin1String("m"))) return age + 1000;
  if (unit.startsWith(QLatin1String("w"))) return age * 7 + 2000;
  if (unit.startsWith(QLatin1String("d"))) return age + 2000;
  return age;
}

double spacing(const QString& spacingText) {
  QString first = spacingText.section(QLatin1Char('\\'), 0, 0).trimmed();
  while (first.contains(QLatin1Char('.')) && first.endsWith(QLatin1Char('0'))) first.chop(1);
  return toReal(first);
}

long hundredths(double value) {
  // Decimal texts such as "0.29" are not exact in binary; a nudge far below one hundredth
  // keeps them from truncating to the value below.
  const double scaled = value * 100.0 + (value >= 0 ? 1e-7 : -1e-7);
  constexpr double kLimit = 2147483647.0;  // the column is 32-bit; NaN and absurd values give 0
  if (!(std::fabs(scaled) < kLimit)) return 0;
  return static_cast<long>(scaled);
}

bool parseTime(const QString& text, int& hour, int& minute, int& second) {
  const QString t = text.trimmed();
  static const QRegularExpression colon(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?"));
  static const QRegularExpression compact(QStringLiteral("^(\\d{2})(\\d{2})?(\\d{2})?"));
  QRegularExpressionMatch match = colon.match(t);
  if (!match.hasMatch()) match = compact.match(t);
  if (!match.hasMatch()) return false;
  hour = match.captured(1).toInt();
  minute = match.captured(2).toInt();
  second = match.captured(3).toInt();
  return hour < 24 && minute < 60 && second < 60;
}

}  // namespace attribute

int CImageEach::OpenDicom(const QString& path, int applyBitRangeLut, int loadFrames) {
  m_raw.clear();
  m_raw.shrink_to_fit();
  if (path.isEmpty() || path.size() > kMaxPathLength) return -1;

  imaging::DicomDataSet dataSet;
  const int loadCode = dataSet.load(path.toStdString());
  if (loadCode != 0) return loadCode;

  // A record opened again (Reset) starts from its file: no turn, inversion or window of before.
  image.Reset();
  frameCount = dataSet.frameCount();
  scanInfo.Img.NumberOfFrames = frameCount;
  const AttributeReader read(dataSet);
  CDImgInfo& img = scanInfo.Img;

  m_pixelError = 0;
  m_frames.clear();
  // Values wider than 16 bits are scaled into the container, which then holds 16 bits.
  const imaging::PixelDescription pixels = dataSet.pixelDescription();
  const bool wide = pixels.isWide();
  if (dataSet.hasPixelData()) {
    PixelMapping mapping;
    mapping.colour = pixels.isColour();
    mapping.monochrome1 = pixels.isMonochrome1();
    mapping.bitsStored = wide ? 16 : pixels.bitsStored;

    imaging::Bitmap first;
    imaging::ValueMap valueMap;
    if (frameCount > 1 && loadFrames == 1) {
      m_pixelError = dataSet.allFrames(m_frames, &valueMap);
      for (auto& frame : m_frames) {
        if (m_pixelError == 0 && !toContainerFormat(frame, mapping)) {
          m_pixelError = imaging::kErrNoMemory;
        }
      }
      if (m_pixelError == 0 && !m_frames.empty()) {
        const imaging::Bitmap& front = m_frames.front();
        first = front.copyRect(0, 0, front.width(), front.height());
      }
      if (m_pixelError != 0) m_frames.clear();
    } else {
      m_pixelError = dataSet.frameImage(0, first, &valueMap);
      if (m_pixelError == 0 && !toContainerFormat(first, mapping)) {
        m_pixelError = imaging::kErrNoMemory;
      }
    }

    if (m_pixelError == 0 && first.isAllocated()) {
      image.bitmap() = std::move(first);
      image.setBitsStored(mapping.bitsStored);
      image.ResetView();
      if (mapping.colour) {
        image.StoreWindow(0, 0);  // neutral intensity and contrast
      } else {
        // The file's window is in rescaled units; the container holds stored values made
        // unsigned, or scaled into 16 bits (valueMap), and mirrored for MONOCHROME1, so the
        // window follows them there, and the window shown to the operator goes the way back.
        double slope = 1.0;
        double intercept = 0.0;
        read.real(tag::RescaleSlope, slope);
        read.real(tag::RescaleIntercept, intercept);
        // An RT dose gives its stored values in units of its Dose Grid Scaling instead.
        if (!read.has(tag::RescaleSlope)) read.real(tag::DoseGridScaling, slope);
        if (slope == 0.0 || !std::isfinite(slope)) slope = 1.0;
        const double valueSlope = slope * valueMap.scale;
        const double valueIntercept = slope * valueMap.offset + intercept;
        image.SetFileValueScale(valueSlope, valueIntercept, 0, mapping.monochrome1);
        // Window values are decimal numbers (DS): "1.497E+04" is 14970, not 1.
        const auto widthText = read.textAnywhere(tag::WindowWidth);
        const auto centreText = read.textAnywhere(tag::WindowCenter);
        const double fileWidth = widthText ? attribute::toReal(*widthText) : kDefaultWindowWidth;
        const double fileCentre =
            centreText ? attribute::toReal(*centreText) : kDefaultWindowCentre;
        const bool linearRescale = !read.has(tag::ModalityLutSequence);
        // A width below 1 has no LINEAR window (nor does NaN); over values scaled into 16 bits
        // (float data, 32-bit doses) the values are no whole units and any positive width is.
        const bool scaled = valueMap.scale != 1.0;
        const bool usableWidth = scaled ? fileWidth > 0.0 : fileWidth >= 1.0;
        if (!widthText || !centreText || !linearRescale || !usableWidth) {
          // No usable window in the file: show the whole range of values present.
          image.SetWindowFromData();
        } else {
          // The window is in rescaled values; the container's are stored values. A width of
          // at least 1 stays at least one stored value wide after a steep slope.
          int windowCentre = roundToInt((fileCentre - valueIntercept) / valueSlope);
          const int windowWidth = std::max(1, roundToInt(fileWidth / std::fabs(valueSlope)));
          if (mapping.monochrome1)
            windowCentre = roundToInt(static_cast<double>(mapping.maxStored()) - windowCentre);
          if (fileWidth == kDefaultWindowWidth || fileCentre == kDefaultWindowCentre) {
            image.StoreWindow(windowWidth, windowCentre);
          } else {
            image.SetWindow(windowWidth, windowCentre);
            if (applyBitRangeLut == 1) image.SetWindowBitRange(windowWidth, windowCentre);
          }
        }
      }
    }
  } else {
    m_pixelError = imaging::kErrNoPixelData;
  }

  CDPatInfo& pat = scanInfo.Pat;
  CDStuInfo& stu = scanInfo.Stu;
  CDSerInfo& ser = scanInfo.Ser;
  if (auto bits = read.text(tag::BitsStored); bits && !wide)
    image.setBitsStored(int(attribute::toInteger(*bits)));
  read.text(tag::SopInstanceUid, stu.Spare);
  read.narrow(tag::PatientName, pat.PatName);
  read.narrow(tag::PatientId, pat.PatID);
  read.dateTime(tag::PatientBirthDate, std::nullopt, pat.PatBirthDate);
  read.text(tag::PatientSex, pat.PatSex);
  if (auto age = read.text(tag::PatientAge)) patientAge = attribute::encodeAge(*age);
  read.text(tag::StudyInstanceUid, stu.StuInstanceUID);
  read.dateTime(tag::StudyDate, tag::StudyTime, stu.StuDateTime);
  read.narrow(tag::ReferringPhysician, stu.StuPhysicianRef);
  read.narrow(tag::StudyId, stu.StuID);
  read.narrow(tag::AccessionNumber, stu.StuAccessNo);
  read.narrow(tag::StudyDescription, stu.StuDesc);
  read.integer(tag::SeriesNumber, ser.SeriesNo);
  read.integer(tag::SeriesNumber, img.SeriesNo);
  read.dateTime(tag::SeriesDate, tag::SeriesTime, ser.SeriesDate);
  read.narrow(tag::PerformingPhysician, stu.StuPhysician);
  read.narrow(tag::OperatorsName, stu.StuOperator);
  read.narrow(tag::BodyPartExamined, ser.BodyPart);
  read.text(tag::PatientPosition, ser.PatientPosition);
  read.text(tag::PatientPosition, img.PatientPosition);
  read.text(tag::Laterality, ser.Laterality);
  read.text(tag::Laterality, img.Laterality);
  read.narrow(tag::InstitutionName, img.InstitutionName);
  read.narrow(tag::InstitutionAddress, img.InstitutionAddress);
  read.narrow(tag::StationName, img.StationName);
  read.integer(tag::InstanceNumber, img.InstanceNumber);
  read.integer(tag::InstanceNumber, img.ImageNo);
  read.integer(tag::AcquisitionNumber, img.AcqNo);
  read.real(tag::Kvp, img.KVP);
  // Exposure Time is in milliseconds; the row's TIME, which the overlay shows, in seconds. A
  // file opened without a database row has only its own attribute.
  if (read.has(tag::ExposureTime)) {
    read.integer(tag::ExposureTime, img.ExposureTime);
    img.TIME = img.ExposureTime / 1000.0;
  }
  if (auto current = read.text(tag::XRayTubeCurrent)) {
    img.X_RayTubeCurrent = attribute::toInteger(*current);
    img.MA = static_cast<double>(img.X_RayTubeCurrent);
  }
  if (auto exposure = read.text(tag::Exposure)) {
    img.MAS = static_cast<double>(attribute::toInteger(*exposure));
  }
  read.dateTime(tag::ContentDate, tag::ContentTime, img.AcquisitionDateTime);
  read.text(tag::ImageComment, img.Comment);
  // Real files carry Image Comments at (0020,4000); it stands in when (0020,4001) is absent.
  if (!read.has(tag::ImageComment)) read.text(tag::ImageComments, img.Comment);
  // Most CR/DX files carry only Imager Pixel Spacing; lengths measured with the configured
  // default of another detector would be wrong, so it stands in for Pixel Spacing.
  if (auto value = read.textAnywhere(tag::PixelSpacing)) {
    img.ImagerPixelSpacing = attribute::spacing(*value);
  } else if (auto imager = read.textAnywhere(tag::ImagerPixelSpacing)) {
    img.ImagerPixelSpacing = attribute::spacing(*imager);
  }
  if (auto dose = read.text(tag::DoseAreaProduct)) {
    img.DoseAreaProduct = attribute::hundredths(attribute::toReal(*dose));
  }
  read.integer(tag::ExposureIndex, img.ExposureIndex);
  read.real(tag::FrameTime, img.FrameTime);
  // The pixel description, so that lists and exports can tell how the values read.
  read.integer(tag::Rows, img.Rows);
  read.integer(tag::Columns, img.Columns);
  read.integer(tag::BitsAllocated, img.BitsAllocated);
  read.integer(tag::BitsStored, img.BitsStored);
  read.integer(tag::HighBit, img.HighBit);
  read.integer(tag::PixelRepresentation, img.PixelRepresentation);
  read.integer(tag::SamplesPerPixel, img.SamplesPerPixel);
  read.text(tag::Photometric, img.PhotometricInterpretation);
  if (auto centre = read.textAnywhere(tag::WindowCenter)) img.WindowCenter = attribute::toReal(*centre);
  if (auto width = read.textAnywhere(tag::WindowWidth)) img.WindowWidth = attribute::toReal(*width);
  read.real(tag::RescaleSlope, img.RescaleSlope);
  read.real(tag::RescaleIntercept, img.RescaleIntercept);

  width = image.bitmap().width();
  height = image.bitmap().height();
  currentFrame = 0;
  return 0;
}

int CImageEach::OpenRaw(const QString& path, int rawWidth, int rawHeight, int bits) {
  if (rawWidth <= 0 || rawHeight <= 0 || (bits != 8 && bits != 16)) return -1;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ShowMessage(QStringLiteral("Can't open selected file. [%1]").arg(path),
                QStringLiteral("OpenImage"), MB_ICONEXCLAMATION);
    return -1;
  }
  const int bytesPerPixel = bits / 8;
  const qint64 expected = qint64(rawWidth) * rawHeight * bytesPerPixel;
  if (file.size() < expected) return -1;
  QByteArray data;
  try {
    data = file.read(expected);
  } catch (const std::bad_alloc&) {
    return -100;
  }
  if (data.size() < expected) return -1;
  if (!image.Create(rawWidth, rawHeight, bits)) return -100;
  const std::size_t rowBytes = std::size_t(rawWidth) * bytesPerPixel;
  for (int y = 0; y < rawHeight; ++y) image.bitmap().putRow(y, data.constData() + y * rowBytes, rowBytes);
  image.setBitsStored(bits);
  image.ResetView();
  if (bits == 16) image.SetWindowFromData();
  rawFilePath = path;
  frameCount = 1;
  m_frames.clear();
  width = rawWidth;
  height = rawHeight;
  return 0;
}

int CImageEach::SetRawImage(const std::uint16_t* pixels, int rawWidth, int rawHeight, int bits,
                            int windowWidth, int windowCentre) {
  if (pixels == nullptr || rawWidth <= 0 || rawHeight <= 0) return -100;
  width = rawWidth;
  height = rawHeight;
  const std::size_t count = std::size_t(rawWidth) * rawHeight;
  try {
    m_raw.assign(pixels, pixels + count);
  } catch (const std::bad_alloc&) {
    return -100;
  }
  if (!image.Create(rawWidth, rawHeight, 16)) return -100;
  const std::size_t rowBytes = std::size_t(rawWidth) * 2;
  for (int y = 0; y < rawHeight; ++y) image.bitmap().putRow(y, m_raw.data() + std::size_t(y) * rawWidth, rowBytes);
  image.setBitsStored(std::clamp(bits, 1, 16));
  image.ResetView();
  image.StoreWindow(windowWidth, windowCentre);
  m_raw.clear();
  m_raw.shrink_to_fit();
  frameCount = 1;
  m_frames.clear();
  return 0;
}

void CImageEach::SelectFrame(int index) {
  if (m_frames.size() < 2) return;
  if (index < 0) index = currentFrame;
  if (index >= static_cast<int>(m_frames.size())) return;
  if (!image.PutFrame(m_frames[static_cast<std::size_t>(index)])) return;
  currentFrame = index;
}
