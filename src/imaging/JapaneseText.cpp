#include "imaging/JapaneseText.h"

#include <iconv.h>

#include <vector>

namespace imaging {

namespace {

constexpr char kEscape = '\x1b';

std::vector<std::string_view> termsOf(std::string_view value) {
  std::vector<std::string_view> terms;
  for (;;) {
    const std::size_t cut = value.find('\\');
    std::string_view term = value.substr(0, cut);
    while (!term.empty() && term.front() == ' ') term.remove_prefix(1);
    while (!term.empty() && term.back() == ' ') term.remove_suffix(1);
    terms.push_back(term);
    if (cut == std::string_view::npos) return terms;
    value.remove_prefix(cut + 1);
  }
}

// One run between delimiters, escapes included, through the system's ISO-2022-JP-2 decoder
// (which knows JIS X 0201 romaji, JIS X 0208 and JIS X 0212). A fresh state per run: each run
// starts in the default set.
bool appendIso2022(std::string_view run, std::string& out) {
  if (run.empty()) return true;
  iconv_t cd = iconv_open("UTF-8", "ISO-2022-JP-2");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(run);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  std::string buffer(4 * in.size() + 16, '\0');
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  const bool ok = result != static_cast<std::size_t>(-1) &&
                  iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return false;
  out.append(buffer.data(), buffer.size() - outLeft);
  return true;
}

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool IsJapaneseCodeExtension(std::string_view specificCharacterSet) {
  bool twoByte = false;
  for (std::string_view term : termsOf(specificCharacterSet)) {
    if (term == "ISO 2022 IR 87" || term == "ISO 2022 IR 159") {
      twoByte = true;
    } else if (!term.empty() && term != "ISO 2022 IR 6" && term != "ISO 2022 IR 13") {
      return false;  // mixed with another script: the toolkit's converter decides
    }
  }
  return twoByte;
}

std::optional<std::string> DecodeJapanese(std::string_view value, bool withKatakana,
                                          std::string_view delimiters) {
  std::string out;
  std::string run;
  bool twoByteMode = false;
  const auto flush = [&] {
    const bool ok = appendIso2022(run, out);
    run.clear();
    return ok;
  };
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    if (byte == static_cast<unsigned char>(kEscape)) {
      // ESC ) I designates the katakana to G1, which the bytes above 0xA0 use anyway.
      if (value.substr(i, 3) == "\x1b)I") {
        i += 2;
        continue;
      }
      const std::string_view rest = value.substr(i);
      twoByteMode =
          rest.starts_with("\x1b$B") || rest.starts_with("\x1b$@") || rest.starts_with("\x1b$(D");
      run += static_cast<char>(byte);
      continue;
    }
    if (withKatakana && byte >= 0xA1 && byte <= 0xDF) {
      if (!flush()) return std::nullopt;
      appendUtf8(U'\uFF61' + (byte - 0xA1), out);
      continue;
    }
    if (byte >= 0x80) return std::nullopt;
    const bool delimiter =
        byte < 0x20 || delimiters.find(static_cast<char>(byte)) != std::string_view::npos;
    if (delimiter && !twoByteMode) {
      if (!flush()) return std::nullopt;
      out += static_cast<char>(byte);
      continue;
    }
    run += static_cast<char>(byte);
  }
  if (!flush()) return std::nullopt;
  return out;
}

}  // namespace imaging
