#pragma once

#include "host/item.h"
#include "host/param_service.h"

// One camera using this handler. Allocated zero-filled by InstanceCreate; the five values are
// the working copies the ray, the preview and the panel read, the parameters hold the
// animation behind them.
struct CameraInstance {
    double fov;           // radians spanned by the film height
    double hShift;        // fraction of the film width
    double vShift;        // fraction of the film height
    double tiltDirection; // radians; stored and animated only
    double tiltAngle;     // radians; stored and animated only
    double filmWidth;     // last film size the preview saw, in film units
    double filmHeight;
    host::ParamHandle fovParm;
    host::ParamHandle hShiftParm;
    host::ParamHandle vShiftParm;
    host::ParamHandle tiltDirectionParm;
    host::ParamHandle tiltAngleParm;
    host::GroupHandle chanGroup;
    host::ItemId item;
};
