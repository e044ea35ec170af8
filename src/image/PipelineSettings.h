#pragma once

// Start-up settings the pixel pipeline reads: resampling of the displayed image and the
// stored bit depth assumed for 16-bit images. Set once by the application.
struct PipelineSettings {
  int interpolation = 0;     // "Interpolation": non-zero resamples an enlarged image for display
  int isVet = 0;             // "IsVet": above 0 resamples whatever the zoom
  int windowLevelBits = 14;  // 1 << 14 grey levels
};

const PipelineSettings& pipelineSettings();
void setPipelineSettings(const PipelineSettings& settings);
