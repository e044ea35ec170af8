#include "image/PipelineSettings.h"

namespace {
PipelineSettings g_settings;
}

const PipelineSettings& pipelineSettings() { return g_settings; }

void setPipelineSettings(const PipelineSettings& settings) { g_settings = settings; }
