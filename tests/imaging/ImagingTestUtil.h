#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/DicomDataSet.h"

namespace imaging::testing_util {

inline std::string testFile(const std::string& name) {
  return std::string(TORASCAN_TESTDATA_DIR) + "/dicom/" + name;
}

// A fresh folder under the system temp folder, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() /
             ("torascan-imaging-" + std::string(info->name()) + "-" +
              std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string file(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

inline bool samePixels(const Bitmap& a, const Bitmap& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         a.bitsPerPixel() == b.bitsPerPixel() && a.byteSize() == b.byteSize() &&
         std::memcmp(a.data(), b.data(), a.byteSize()) == 0;
}

inline Bitmap frameOf(const std::string& name, int frame = 0) {
  DicomDataSet ds;
  Bitmap out;
  EXPECT_EQ(ds.load(testFile(name)), 0) << name;
  EXPECT_EQ(ds.frameImage(frame, out), 0) << name << " frame " << frame;
  return out;
}

}  // namespace imaging::testing_util
