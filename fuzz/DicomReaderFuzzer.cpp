// Feeds each input through the path a file takes when the viewer opens it: the data set is
// loaded, the attributes of the open-image record are read, every frame is decoded and the
// window table is set; then each frame of a multi-frame image is shown in turn.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "image/ImageEach.h"

namespace {

// The reader takes a path (DCMTK reads large values lazily from the file), so every input is
// written to one file of this process, removed when the fuzzer exits normally.
class InputFile {
 public:
  InputFile()
      : m_path((std::filesystem::temp_directory_path() /
                ("torascan-fuzz-" + std::to_string(getpid()) + ".dcm"))
                   .string()) {}
  ~InputFile() { std::remove(m_path.c_str()); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(m_path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
  }
  QString path() const { return QString::fromStdString(m_path); }

 private:
  std::string m_path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const InputFile input;
  if (!input.write(data, size)) std::abort();  // nothing can be tested: stop loudly
  CImageEach record;
  // As the viewer opens a file: no bit-range table, every frame loaded.
  if (record.OpenDicom(input.path(), 0, 1) != 0) return 0;
  for (int i = 0; i < static_cast<int>(record.frames().size()); ++i) record.SelectFrame(i);
  return 0;
}
