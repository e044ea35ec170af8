#pragma once

#include <QString>
#include <optional>

// Width, height and bit depth of a headerless raw file, given as "WxHxBITS" (BITS 8 or 16).
struct RawGeometry {
  int width = 0;
  int height = 0;
  int bits = 0;
};

std::optional<RawGeometry> ParseRawGeometry(const QString& text);
