#pragma once

// Where the main window's controls stand, in twips from the top left of the
// client area (left, top, width, height).

#include "link/Acquisition.h"
#include "widgets/Twips.h"

namespace form1layout {

inline constexpr int kClientWidth = 5145;
inline constexpr int kClientHeight = 4095;
inline constexpr int kBackgroundGrey = 192;   // red, green and blue each

// The thin top line.
inline constexpr TwipsRect kLine1{0, 0, 5160, 30};   // 2 px at 96 dpi
inline constexpr int kLine1Grey = 224;

// Analog channel grid: seven columns.
inline constexpr int kGridLeft = 120;
inline constexpr int kGridPitch = 720;
inline constexpr int kGridWidth = 615;
inline constexpr int kButtonTop = 120, kButtonHeight = 375;
inline constexpr int kChLiteTop = 600, kChLiteHeight = 135;
inline constexpr int kCountTop = 840, kCountHeight = 375, kCountHeight3 = 360;
inline constexpr int kMillivoltTop = 1320, kMillivoltHeight = 375;

constexpr TwipsRect gridCell(int column, int top, int height)
{
    return {kGridLeft + kGridPitch * column, top, kGridWidth, height};
}

// Digital area: the frame and what it holds (window coordinates).
inline constexpr TwipsRect kFrame1{120, 1800, 2055, 1095};
inline constexpr TwipsRect kCommand1{240, 2280, 735, 495};
inline constexpr TwipsRect kDLite[] = {
    {1800, 2040, 255, 255},   // line 3, the output
    {1440, 2040, 255, 255},   // line 4, input D0
    {1080, 2040, 255, 255},   // line 5, input D1
};
inline constexpr TwipsRect kDinTxt[] = {
    {1800, 2400, 255, 360},
    {1440, 2400, 255, 375},
    {1080, 2400, 255, 375},
};
inline constexpr int kDLite3Grey = 192;

inline constexpr TwipsRect kCommand7{1200, 3000, 975, 615};

// Read and sampling column.
inline constexpr TwipsRect kSamLite0{2280, 1800, 1335, 135};
inline constexpr TwipsRect kSamLite1{3720, 1800, 1335, 135};
inline constexpr TwipsRect kCommand13{2280, 2040, 1350, 495};
inline constexpr TwipsRect kCommand3{3720, 2040, 1350, 495};
inline constexpr TwipsRect kCommand12{2280, 2640, 1350, 615};
inline constexpr TwipsRect kCommand6{2280, 3360, 1350, 615};
inline constexpr TwipsRect kLabel1{3720, 3000, 1335, 375};
inline constexpr TwipsRect kLabel4{3720, 3240, 495, 375};
inline constexpr TwipsRect kCommand4{4080, 3600, 975, 375};

// Pictures on the start and stop buttons, in pixels.
inline constexpr int kStartPictureWidth = 32, kStartPictureHeight = 16;
inline constexpr int kStopPictureWidth = 32, kStopPictureHeight = 20;

// Line status column.
inline constexpr TwipsRect kLiteXfer{120, 3000, 135, 255};
inline constexpr TwipsRect kLabel6{360, 3000, 735, 255};
inline constexpr TwipsRect kLite3{120, 3360, 135, 255};
inline constexpr TwipsRect kLabel2{360, 3360, 615, 255};
inline constexpr TwipsRect kLite1{120, 3720, 135, 255};
inline constexpr TwipsRect kLabel3{360, 3720, 495, 255};

// Sampling timer: stored 1000 ms, start-up sets 500 ms.
inline constexpr int kTimerStoredMs = 1000;
inline constexpr int kTimerStartMs = 500;
// The Sampling menu's pauses, in its order.
inline constexpr int kMaxSpeedMs = acquisition::kNamedPauses[0].ms;
inline constexpr int kHalfSecondMs = acquisition::kNamedPauses[1].ms;
inline constexpr int kOneSecondMs = acquisition::kNamedPauses[2].ms;
inline constexpr int kTenSecondsMs = acquisition::kNamedPauses[3].ms;

} // namespace form1layout
