#pragma once

#include "host/panel_service.h"

// Texts of the panel, as the user sees them.
constexpr char kFovLabel[] = "Vertical FOV";
constexpr char kHShiftLabel[] = "Horizontal Shift";
constexpr char kVShiftLabel[] = "Vertical Shift";
constexpr char kAngleEnvClass[] = "angle-env";
constexpr char kPercentEnvClass[] = "percent-env";

// The panel's controls, data description and hints, each ended the way the toolkit expects.
extern const host::PanelControl kPanelControls[];
extern const host::PanelDataDesc kPanelData[];
extern const host::HintWord kPanelHints[];
