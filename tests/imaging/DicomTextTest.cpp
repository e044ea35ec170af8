#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "ImagingTestUtil.h"
#include "imaging/DicomDataSet.h"
#include "imaging/ImagingError.h"

using namespace imaging;
using namespace imaging::testing_util;

namespace {

constexpr DicomTag kPatientName{0x0010, 0x0010};
constexpr DicomTag kWindowCenter{0x0028, 0x1050};
constexpr DicomTag kStudyDate{0x0008, 0x0020};
constexpr DicomTag kCharacterSet{0x0008, 0x0005};

bool isValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (int k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

}  // namespace

struct NameCase {
  const char* file;
  const char* name;
};

class TextCharacterSets : public testing::TestWithParam<NameCase> {};

TEST_P(TextCharacterSets, PatientNameIsConvertedToUtf8) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile(GetParam().file)), 0);
  EXPECT_EQ(ds.text(kPatientName), std::string(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextCharacterSets,
    testing::Values(NameCase{"chr_fren_latin1.dcm", "Buc^Jérôme"},
                    NameCase{"chr_germ_latin1.dcm", "Äneas^Rüdiger"},
                    NameCase{"chr_greek.dcm", "Διονυσιος"},
                    NameCase{"chr_russ.dcm", "Люкceмбypг"},
                    NameCase{"chr_arab.dcm", "قباني^لنزار"},
                    NameCase{"chr_hbrw.dcm", "שרון^דבורה"},
                    NameCase{"chr_utf8.dcm", "Wang^XiaoDong=王^小東="},
                    NameCase{"chr_gb18030.dcm", "Wang^XiaoDong=王^小东="},
                    NameCase{"chr_korean_i2.dcm", "Hong^Gildong=洪^吉洞=홍^길동"},
                    NameCase{"chr_jis_h31.dcm", "Yamada^Tarou=山田^太郎=やまだ^たろう"},
                    NameCase{"chr_jis_h32.dcm", "ﾔﾏﾀﾞ^ﾀﾛｳ=山田^太郎=やまだ^たろう"},
                    NameCase{"cr_jis_iso2022_nopixel.dcm", "やまだ^たろう"}));

TEST(TextCharacterSetsOther, UnconvertibleTextStillComesBackAsValidUtf8) {
  for (const char* file : {"dx_mono2_1420x1416_16bit_j2kr.dcm"}) {
    DicomDataSet ds;
    ASSERT_EQ(ds.load(testFile(file)), 0) << file;
    const auto name = ds.text(kPatientName);
    ASSERT_TRUE(name.has_value()) << file;
    EXPECT_FALSE(name->empty()) << file;
    EXPECT_TRUE(isValidUtf8(*name)) << file;
  }
}

TEST(TextLookup, AbsentElementIsNulloptAndValuesKeepTheirBackslashes) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("ct_2win_zeropad.dcm")), 0);
  EXPECT_EQ(ds.text(kWindowCenter), "00500\\00500");
  EXPECT_FALSE(ds.text({0x0011, 0x0011}).has_value());
  EXPECT_FALSE(ds.hasElement({0x0011, 0x0011}));
}

TEST(TextLookup, SearchIntoSequencesFindsElementsOnlyPresentInItems) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("ct_2f_jpll57_nobot.dcm")), 0);
  EXPECT_FALSE(ds.hasElement(kWindowCenter));
  EXPECT_FALSE(ds.text(kWindowCenter).has_value());
  EXPECT_TRUE(ds.hasElement(kWindowCenter, true));
  const auto centre = ds.text(kWindowCenter, true);
  ASSERT_TRUE(centre.has_value());
  EXPECT_DOUBLE_EQ(std::stod(*centre), 49.0);
}

TEST(TextLookup, DatesAreParsedAndInvalidOnesRejected) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("ct_small_signed.dcm")), 0);
  const auto date = ds.date(kStudyDate);
  ASSERT_TRUE(date.has_value());
  EXPECT_EQ(date->year, 2004);
  EXPECT_EQ(date->month, 1);
  EXPECT_EQ(date->day, 19);
  EXPECT_FALSE(ds.date(kPatientName).has_value());  // not a DA element
  for (const char* bad : {"20041340", "2004", "abcdefgh"}) {
    ASSERT_EQ(ds.setValue(kStudyDate, bad), 0);
    EXPECT_FALSE(ds.date(kStudyDate).has_value()) << bad;
  }
}

TEST(TextLookup, NarrowStringIsCutTo255BytesOnACharacterBoundary) {
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("mr_small_le.dcm")), 0);
  std::string longText;
  for (int i = 0; i < 200; ++i) longText += "é";  // 400 bytes
  ASSERT_EQ(ds.setValue({0x0010, 0x4000}, longText), 0);
  EXPECT_EQ(ds.text({0x0010, 0x4000}), longText);
  const auto cut = ds.string({0x0010, 0x4000});
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->size(), 254u);
  EXPECT_TRUE(isValidUtf8(*cut));
}

TEST(SaveRoundTrip, ChangedValueAndPixelsSurviveSaveAndReload) {
  TempDir dir;
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("mr_small_be.dcm")), 0);
  ASSERT_EQ(ds.setValue(kPatientName, "Doe^John"), 0);
  const std::string path = dir.file("saved.dcm");
  ASSERT_EQ(ds.save(path), 0);
  DicomDataSet back;
  ASSERT_EQ(back.load(path), 0);
  EXPECT_EQ(back.text(kPatientName), "Doe^John");
  EXPECT_EQ(back.transferSyntaxUid(), DcmXfer(EXS_LittleEndianExplicit).getXferID());
  Bitmap a, b;
  ASSERT_EQ(ds.frameImage(0, a), 0);
  ASSERT_EQ(back.frameImage(0, b), 0);
  EXPECT_TRUE(samePixels(a, b));
}

TEST(SaveRoundTrip, CompressedDataSetKeepsItsTransferSyntax) {
  TempDir dir;
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("ct_2f_jpll57_nobot.dcm")), 0);
  const std::string path = dir.file("jpll.dcm");
  ASSERT_EQ(ds.save(path), 0);
  DicomDataSet back;
  ASSERT_EQ(back.load(path), 0);
  EXPECT_EQ(back.transferSyntaxUid(), ds.transferSyntaxUid());
  Bitmap a, b;
  ASSERT_EQ(ds.frameImage(1, a), 0);
  ASSERT_EQ(back.frameImage(1, b), 0);
  EXPECT_TRUE(samePixels(a, b));
}

TEST(SaveRoundTrip, SavingOverTheLoadedFileKeepsItsPixels) {
  TempDir dir;
  const std::string path = dir.file("copy.dcm");
  std::filesystem::copy_file(testFile("cr_hip_1760x2140_unc.dcm"), path);
  DicomDataSet ds;
  ASSERT_EQ(ds.load(path), 0);
  ASSERT_EQ(ds.setValue(kPatientName, "Renamed^Patient"), 0);
  ASSERT_EQ(ds.save(path), 0);
  DicomDataSet back;
  ASSERT_EQ(back.load(path), 0);
  EXPECT_EQ(back.text(kPatientName), "Renamed^Patient");
  Bitmap b;
  ASSERT_EQ(back.frameImage(0, b), 0);
  EXPECT_TRUE(samePixels(b, frameOf("cr_hip_1760x2140_unc.dcm")));
}

TEST(SaveRoundTrip, NonAsciiValueMovesALatin1DataSetToUtf8) {
  TempDir dir;
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("chr_fren_latin1.dcm")), 0);
  ASSERT_EQ(ds.setValue({0x0010, 0x1040}, "Straße 5, Zürich"), 0);
  EXPECT_EQ(ds.text(kCharacterSet), "ISO_IR 192");
  const std::string path = dir.file("utf8.dcm");
  ASSERT_EQ(ds.save(path), 0);
  DicomDataSet back;
  ASSERT_EQ(back.load(path), 0);
  EXPECT_EQ(back.text({0x0010, 0x1040}), "Straße 5, Zürich");
  EXPECT_EQ(back.text(kPatientName), "Buc^Jérôme");
}

TEST(SaveRoundTrip, UnloadedDataSetRefusesToSaveOrSet) {
  TempDir dir;
  DicomDataSet ds;
  EXPECT_EQ(ds.save(dir.file("x.dcm")), kErrInvalidParameter);
  EXPECT_EQ(ds.setValue(kPatientName, "x"), kErrInvalidParameter);
  EXPECT_FALSE(ds.text(kPatientName).has_value());
  EXPECT_EQ(ds.dataset(), nullptr);
}

TEST(SaveRoundTrip, WritingIntoAMissingFolderIsAWriteError) {
  TempDir dir;
  DicomDataSet ds;
  ASSERT_EQ(ds.load(testFile("mr_small_le.dcm")), 0);
  EXPECT_EQ(ds.save(dir.file("missing/folder/x.dcm")), kErrWrite);
}

TEST(ErrorText, EveryCodeHasItsOwnText) {
  std::vector<std::string> texts;
  for (int code = 0; code >= kErrPixelFormat; --code) {
    if (code == -1) continue;
    const std::string text = imagingErrorText(code);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), text), 0) << code;
    texts.push_back(text);
  }
  EXPECT_NE(imagingErrorText(-999).find("-999"), std::string::npos);
}
