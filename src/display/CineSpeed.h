#pragma once

#include <QString>
#include <array>

// The playback speeds of the cine bar, in frames per second, and how a speed is chosen.
namespace cine {

constexpr std::array<float, 10> kSpeeds = {0.2f,  0.5f,  1.0f,  2.0f,  4.0f,
                                           10.0f, 15.0f, 20.0f, 25.0f, 30.0f};
constexpr int kInitialSpeedIndex = 4;  // 4 frames per second
constexpr int kLastSpeedIndex = static_cast<int>(kSpeeds.size()) - 1;

// The index of the listed speed nearest to 1000 / frameTimeMs frames per second (the lower one
// on a tie); a frame time of 0 or less counts as infinitely fast.
int SpeedIndexForFrameTime(double frameTimeMs);
// One step slower or faster, staying inside the table.
int Slower(int index);
int Faster(int index);
// The timer period for a speed: 1000 / framesPerSecond ms, truncated.
int IntervalMs(double framesPerSecond);
// The speed as the bar shows it, "%1.1f".
QString SpeedText(int index);

}  // namespace cine
