#pragma once

#include "host/panel_service.h"

// Element ids of the settings panel.
constexpr host::PanelElementId ID_FOV = 0x8001;
constexpr host::PanelElementId ID_HSHIFT = 0x8003;
constexpr host::PanelElementId ID_VSHIFT = 0x8004;
constexpr host::PanelElementId ID_FOV_GROUP = 0x8005;
constexpr host::PanelElementId ID_SHIFT_GROUP = 0x8006;
// Listed in the field of view's group, though no control or data entry has it.
constexpr host::PanelElementId ID_FOV_GROUP_SPARE = 0x8002;
