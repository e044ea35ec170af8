#pragma once

// Command ids of the menu and the tool bar.
namespace command {
constexpr int Browser = 32771;
constexpr int PrevImage = 32772;
constexpr int NextImage = 32773;
constexpr int Default = 32774;
constexpr int Magnify = 32775;
constexpr int Pan = 32776;
constexpr int Zoom = 32777;
constexpr int Angle = 32778;
constexpr int Line = 32779;
constexpr int Layout1x1 = 32780;
constexpr int Layout2x2 = 32782;
constexpr int Reset = 32783;
constexpr int RotateLeft = 32784;
constexpr int RotateRight = 32785;
constexpr int Mirror = 32786;
constexpr int Flip = 32787;
constexpr int Report = 32788;
constexpr int CreateUser = 32789;
constexpr int ChangeUser = 32790;
constexpr int Config = 32794;
constexpr int Invert = 32795;
constexpr int Layout1x2 = 32796;
constexpr int Operators = 32797;
constexpr int DicomNodes = 32798;
constexpr int SendQueue = 32799;
constexpr int Exit = 57665;
}  // namespace command
