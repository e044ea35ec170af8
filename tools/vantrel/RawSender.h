#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "frame/CompanionProtocol.h"

// One raw image as the companion hands it over.
struct RawImage {
  companion::RawImageHeader header;
  std::vector<std::uint16_t> pixels;
};

// A headerless file of width x height 16-bit little-endian pixels. Without a window the image's
// own range is used. False with the reason in *error when the file is missing or too short.
bool LoadRawFile(const QString& path, int width, int height, int bits, RawImage& image,
                 QString* error);
// A diagonal 12-bit ramp, 0 at the top left to 4095 at the bottom right, window 4096 / 2048.
RawImage SyntheticImage(int width, int height);
// Puts the pixels into the shared-memory object, then sends the block to the viewer's server.
bool SendRawImage(const RawImage& image, const QString& serverName, const QString& sharedMemoryName,
                  QString* error);
