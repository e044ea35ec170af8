#include "display/CineSpeed.h"

#include <algorithm>
#include <limits>

namespace cine {

int SpeedIndexForFrameTime(double frameTimeMs) {
  const double rate =
      frameTimeMs > 0 ? 1000.0 / frameTimeMs : std::numeric_limits<double>::infinity();
  const auto faster =
      std::find_if(kSpeeds.begin(), kSpeeds.end(), [rate](float speed) { return speed > rate; });
  if (faster == kSpeeds.end()) return kLastSpeedIndex;
  const int i = static_cast<int>(faster - kSpeeds.begin());
  if (i == 0) return 0;
  return rate - kSpeeds[i - 1] > kSpeeds[i] - rate ? i : i - 1;
}

int Slower(int index) { return std::clamp(index - 1, 0, kLastSpeedIndex); }

int Faster(int index) { return std::clamp(index + 1, 0, kLastSpeedIndex); }

int IntervalMs(double framesPerSecond) { return static_cast<int>(1000.0 / framesPerSecond); }

QString SpeedText(int index) {
  return QString::asprintf(
      "%1.1f", kSpeeds[static_cast<std::size_t>(std::clamp(index, 0, kLastSpeedIndex))]);
}

}  // namespace cine
